#pragma once

#include "flyout.h"

#include <QModelIndex>
#include <QPointer>

class QLineEdit;
class QPushButton;

// Asks for the access code of a locked menu item.
class PasswordFlyout : public Flyout
{
    Q_OBJECT

public:
    static PasswordFlyout *showFlyout(const QModelIndex &index, const QString &accessCode,
                                      const QRect &anchor);
    static PasswordFlyout *current() { return s_current; }
    ~PasswordFlyout() override;

    // The stored code is an 8-character salt and the hex SHA-256 of salt + entered text.
    static bool checkAccessCode(const QString &storedCode, const QString &entered);

    QLineEdit *edit() const { return m_edit; }

signals:
    void passwordGood(QModelIndex index);

private slots:
    void okayClicked();

private:
    PasswordFlyout(const QModelIndex &index, const QString &accessCode);

    QPersistentModelIndex m_index;
    QString m_accessCode;
    QLineEdit *m_edit;
    QPushButton *m_okayButton;
    bool m_warned = false;
    static QPointer<PasswordFlyout> s_current;
};
