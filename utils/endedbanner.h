#pragma once

#include <QFrame>

class QLabel;

// The plain notice across a page whose program has ended: what happened, as selectable text, and
// a button that closes the page.
class EndedBanner : public QFrame
{
    Q_OBJECT

public:
    explicit EndedBanner(const QString &notice, QWidget *parent = nullptr);

    QString text() const;

signals:
    void closeClicked();

private:
    QLabel *m_label;
};
