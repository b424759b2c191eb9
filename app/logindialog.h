#pragma once

#include "hub/hostentry.h"

#include <QDialog>
#include <QVector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The login form: user name, password, host choice, and a status area that shows either an error,
// a progress text or nothing. While a login is under way (inputs disabled) Cancel stops it.
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    enum StatusPage { ErrorPage = 0, StatusPage = 1, BlankPage = 2 };

    explicit LoginDialog(QWidget *parent = nullptr);

    void setHosts(const QVector<HostEntry> &hosts, const QString &selectedName);
    HostEntry selectedHost() const;

    void setError(const QString &text);
    void setStatus(const QString &text);
    int statusPage() const;
    QString errorText() const;
    QString statusText() const;

    void enableInputs(bool enable);

    QString username() const;
    void setUsername(const QString &username);
    QString password() const;
    bool rememberUsername() const;
    void setRememberUsername(bool remember);
    bool connectToDefault() const;

signals:
    void connectClicked();
    void cancelClicked();

public slots:
    void hostSelectionChanged(const QString &text);
    void updateCapsLock();

protected:
    bool event(QEvent *event) override;

private:
    void applyHosts();

    QVector<HostEntry> m_hosts;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_logo = nullptr;
    QLineEdit *m_usernameEdit = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLabel *m_capsLockLabel = nullptr;
    QWidget *m_hostWidget = nullptr;
    QComboBox *m_hostsCombo = nullptr;
    QPushButton *m_connectButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QCheckBox *m_rememberUsername = nullptr;
    QCheckBox *m_connectToDefault = nullptr;
    QStackedWidget *m_statusStack = nullptr;
    QLabel *m_errorLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
};
