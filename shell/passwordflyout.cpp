#include "passwordflyout.h"

#include "style/stylemanager.h"

#include <QAction>
#include <QCryptographicHash>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>

QPointer<PasswordFlyout> PasswordFlyout::s_current;

namespace {
constexpr int SaltLength = 8;
}

PasswordFlyout::PasswordFlyout(const QModelIndex &index, const QString &accessCode)
    : Flyout(nullptr, false)
    , m_index(index)
    , m_accessCode(accessCode)
    , m_edit(new QLineEdit(this))
    , m_okayButton(new QPushButton(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(8, 8, 8, 8);
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setPlaceholderText(QStringLiteral("Enter Access Code"));
    m_edit->setMinimumWidth(200);
    m_okayButton->setObjectName(QStringLiteral("okayButton"));
    m_okayButton->setIcon(QIcon(QStringLiteral("theme:check_page.svg")));
    layout->addWidget(m_edit);
    layout->addWidget(m_okayButton);
    connect(m_edit, &QLineEdit::returnPressed, m_okayButton, &QPushButton::click);
    connect(m_okayButton, &QPushButton::clicked, this, &PasswordFlyout::okayClicked);
    m_edit->setFocus();
}

PasswordFlyout::~PasswordFlyout()
{
    if (s_current == this)
        s_current = nullptr;
}

PasswordFlyout *PasswordFlyout::showFlyout(const QModelIndex &index, const QString &accessCode,
                                           const QRect &anchor)
{
    if (s_current) {
        s_current->hide();
        s_current->deleteLater();
    }
    s_current = new PasswordFlyout(index, accessCode);
    s_current->flyout(anchor);
    return s_current;
}

bool PasswordFlyout::checkAccessCode(const QString &storedCode, const QString &entered)
{
    const QString salt = storedCode.left(SaltLength);
    const QByteArray digest
        = QCryptographicHash::hash(salt.toUtf8() + entered.toUtf8(), QCryptographicHash::Sha256).toHex();
    return salt + QString::fromLatin1(digest) == storedCode;
}

void PasswordFlyout::okayClicked()
{
    if (checkAccessCode(m_accessCode, m_edit->text())) {
        emit passwordGood(m_index);
        if (s_current == this)
            s_current = nullptr;
        deleteLater();
        return;
    }
    if (!m_warned) {
        m_warned = true;
        m_edit->setStyleSheet(QStringLiteral("color: %1;border: 1px solid %2;background-color: %3;")
                                  .arg(StyleManager::themeVar(QStringLiteral("color_field_warning_text")),
                                       StyleManager::themeVar(QStringLiteral("color_field_warning_border")),
                                       StyleManager::themeVar(QStringLiteral("color_field_warning_bg"))));
        m_edit->addAction(QIcon(QStringLiteral("theme:alert_red.svg")), QLineEdit::TrailingPosition);
    }
    m_edit->selectAll();
    m_edit->setFocus();
}
