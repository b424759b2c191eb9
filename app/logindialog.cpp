#include "logindialog.h"

#include "utils/platform.h"
#include "utils/version.h"

#include "style/stylemanager.h"
#include "utils/windowfit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int MinWidth = 350;
constexpr int MaxWidth = 400;
constexpr int ExtraHeight = 75;

// One page of the status area: an icon beside a word-wrapped text.
QWidget *statusPanel(const QString &panelName, const QString &iconName, const QString &labelName,
                     QStyle::StandardPixmap icon, QLabel **label, QWidget *parent)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(panelName);
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *iconLabel = new QLabel(panel);
    iconLabel->setObjectName(iconName);
    iconLabel->setPixmap(panel->style()->standardIcon(icon).pixmap(16, 16));
    iconLabel->setAlignment(Qt::AlignTop);
    layout->addWidget(iconLabel);
    *label = new QLabel(panel);
    (*label)->setObjectName(labelName);
    (*label)->setTextFormat(Qt::PlainText); // hub and server texts
    (*label)->setWordWrap(true);
    layout->addWidget(*label, 1);
    return panel;
}

} // namespace

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QStringLiteral("Halvorne ZU"));
    setStyleSheet(StyleManager::unthemedStyleSheet());
    resize(350, 370);
    fitWindowOntoDesktop(this);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->setPixmap(QPixmap(QStringLiteral(":/images/halvorne_logo_banner.png")));
    m_logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_logo);

    m_versionLabel = new QLabel(QStringLiteral("v%1").arg(QLatin1String(ClientVersion)), this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setAlignment(Qt::AlignRight);
    layout->addWidget(m_versionLabel);

    m_usernameEdit = new QLineEdit(this);
    m_usernameEdit->setObjectName(QStringLiteral("usernameEdit"));
    m_usernameEdit->setPlaceholderText(QStringLiteral("Username"));
    layout->addWidget(m_usernameEdit);

    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setPlaceholderText(QStringLiteral("Password"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    layout->addWidget(m_passwordEdit);

    m_capsLockLabel = new QLabel(this);
    m_capsLockLabel->setObjectName(QStringLiteral("capsLockLabel"));
    m_capsLockLabel->setVisible(Platform::capsLockOn().has_value());
    layout->addWidget(m_capsLockLabel);

    m_hostWidget = new QWidget(this);
    m_hostWidget->setObjectName(QStringLiteral("hostWidget"));
    auto *hostLayout = new QHBoxLayout(m_hostWidget);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    hostLayout->addWidget(new QLabel(QStringLiteral("Host"), m_hostWidget));
    m_hostsCombo = new QComboBox(m_hostWidget);
    m_hostsCombo->setObjectName(QStringLiteral("hostsCombo"));
    hostLayout->addWidget(m_hostsCombo, 1);
    m_hostWidget->hide();
    layout->addWidget(m_hostWidget);

    auto *buttonRow = new QHBoxLayout;
    m_connectButton = new QPushButton(QStringLiteral("Login"), this);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    m_connectButton->setDefault(true);
    buttonRow->addWidget(m_connectButton, 1);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->hide();
    buttonRow->addWidget(m_cancelButton);
    layout->addLayout(buttonRow);

    m_rememberUsername = new QCheckBox(QStringLiteral("Remember Username"), this);
    m_rememberUsername->setObjectName(QStringLiteral("rememberUsername"));
    layout->addWidget(m_rememberUsername);

    m_connectToDefault = new QCheckBox(QStringLiteral("Connect to Default Release"), this);
    m_connectToDefault->setObjectName(QStringLiteral("connectToDefault"));
    m_connectToDefault->setChecked(true);
    m_connectToDefault->hide();
    layout->addWidget(m_connectToDefault);

    m_statusStack = new QStackedWidget(this);
    m_statusStack->setObjectName(QStringLiteral("statusStack"));
    m_statusStack->addWidget(statusPanel(QStringLiteral("errorPanelLogin"), QStringLiteral("errorIconLogin"),
                                         QStringLiteral("errorLabelLogin"), QStyle::SP_MessageBoxCritical,
                                         &m_errorLabel, m_statusStack));
    m_statusStack->addWidget(statusPanel(
        QStringLiteral("statusPanelLogin"), QStringLiteral("statusIconLogin"),
        QStringLiteral("statusLabelLogin"), QStyle::SP_MessageBoxInformation, &m_statusLabel, m_statusStack));
    auto *blank = new QWidget(m_statusStack);
    blank->setObjectName(QStringLiteral("blankStatusPanelLogin"));
    m_statusStack->addWidget(blank);
    m_statusStack->setCurrentIndex(BlankPage);
    layout->addWidget(m_statusStack);
    layout->addStretch(1);

    setTabOrder(m_usernameEdit, m_passwordEdit);
    setTabOrder(m_passwordEdit, m_hostsCombo);
    setTabOrder(m_hostsCombo, m_connectButton);

    connect(m_connectButton, &QPushButton::clicked, this, &LoginDialog::connectClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &LoginDialog::cancelClicked);
    connect(m_hostsCombo, &QComboBox::currentTextChanged, this, &LoginDialog::hostSelectionChanged);
    // Once laid out for real, the size limits can use the final size hint.
    QTimer::singleShot(0, this, &LoginDialog::applyHosts);
}

void LoginDialog::setHosts(const QVector<HostEntry> &hosts, const QString &selectedName)
{
    m_hosts = hosts;
    const QSignalBlocker blocker(m_hostsCombo);
    m_hostsCombo->clear();
    for (const HostEntry &host : hosts)
        m_hostsCombo->addItem(host.name);
    const int index = m_hostsCombo->findText(selectedName);
    m_hostsCombo->setCurrentIndex(index >= 0 ? index : 0);
    hostSelectionChanged(m_hostsCombo->currentText());
    applyHosts();
}

void LoginDialog::applyHosts()
{
    m_hostWidget->setVisible(m_hosts.size() > 1);
    layout()->activate();
    const QSize hint = sizeHint();
    setMinimumHeight(hint.height());
    setMaximumHeight(hint.height() + ExtraHeight);
    setMinimumWidth(MinWidth);
    setMaximumWidth(MaxWidth);
}

HostEntry LoginDialog::selectedHost() const
{
    const QString name = m_hostsCombo->currentText();
    for (const HostEntry &host : m_hosts)
        if (host.name == name)
            return host;
    return {};
}

void LoginDialog::hostSelectionChanged(const QString &text)
{
    HostEntry host;
    for (const HostEntry &candidate : qAsConst(m_hosts))
        if (candidate.name == text)
            host = candidate;
    m_connectToDefault->setVisible(!host.defaultRelease.isEmpty());
    if (!host.defaultRelease.isEmpty())
        m_connectToDefault->setText(
            QStringLiteral("Connect to Default Release\n\"%1\"").arg(host.defaultRelease));
}

void LoginDialog::setError(const QString &text)
{
    m_errorLabel->setText(text.trimmed());
    if (!text.trimmed().isEmpty())
        m_statusStack->setCurrentIndex(ErrorPage);
    else
        // A cleared error while a login is under way (a certificate question answered, say) leaves
        // what the login is doing in view, not a blank.
        m_statusStack->setCurrentIndex(!m_connectButton->isEnabled() && !m_statusLabel->text().isEmpty()
                                           ? StatusPage
                                           : BlankPage);
}

void LoginDialog::setStatus(const QString &text)
{
    m_statusLabel->setText(text.trimmed());
    m_statusStack->setCurrentIndex(text.trimmed().isEmpty() ? BlankPage : StatusPage);
}

int LoginDialog::statusPage() const
{
    return m_statusStack->currentIndex();
}

QString LoginDialog::errorText() const
{
    return m_errorLabel->text();
}

QString LoginDialog::statusText() const
{
    return m_statusLabel->text();
}

void LoginDialog::enableInputs(bool enable)
{
    for (QWidget *input :
         std::initializer_list<QWidget *> { m_usernameEdit, m_passwordEdit, m_hostsCombo, m_connectButton,
                                            m_rememberUsername, m_connectToDefault })
        input->setEnabled(enable);
    m_cancelButton->setVisible(!enable);
    if (!enable) {
        m_cancelButton->setFocus();
        return;
    }
    m_statusLabel->clear(); // the attempt it described is over
    if (m_statusStack->currentIndex() == StatusPage)
        m_statusStack->setCurrentIndex(BlankPage);
    if (!m_usernameEdit->text().isEmpty()) {
        m_passwordEdit->selectAll();
        m_passwordEdit->setFocus();
    } else {
        m_passwordEdit->clear();
        m_usernameEdit->setFocus();
    }
}

QString LoginDialog::username() const
{
    return m_usernameEdit->text();
}

void LoginDialog::setUsername(const QString &username)
{
    m_usernameEdit->setText(username);
    if (!username.isEmpty())
        m_passwordEdit->setFocus();
}

QString LoginDialog::password() const
{
    return m_passwordEdit->text();
}

bool LoginDialog::rememberUsername() const
{
    return m_rememberUsername->isChecked();
}

void LoginDialog::setRememberUsername(bool remember)
{
    m_rememberUsername->setChecked(remember);
}

bool LoginDialog::connectToDefault() const
{
    return m_connectToDefault->isChecked();
}

void LoginDialog::updateCapsLock()
{
    if (!m_capsLockLabel) // events arrive while the form is still being built
        return;
    const std::optional<bool> capsLock = Platform::capsLockOn();
    const bool on = m_passwordEdit->isEnabled() && capsLock.value_or(false);
    const QString text = on ? QStringLiteral("    Caps Lock is on") : QString();
    if (m_capsLockLabel->text() != text)
        m_capsLockLabel->setText(text);
}

bool LoginDialog::event(QEvent *event)
{
    updateCapsLock();
    return QDialog::event(event);
}
