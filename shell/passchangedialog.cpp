#include "passchangedialog.h"

#include "style/stylemanager.h"
#include "utils/windowfit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel *fieldLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit *passwordEdit(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

PassChangeDialog::PassChangeDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PassChangeDialog"));
    setWindowTitle(QStringLiteral("Password Expired"));
    setStyleSheet(StyleManager::unthemedStyleSheet());
    setModal(true);
    resize(268, 167);
    fitWindowOntoDesktop(this);

    auto *grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    auto *intro = new QLabel(QStringLiteral("<p><b>Your password has expired.</b></p>"
                                            "<p>You must set a new password to proceed.</p>"),
                             this);
    intro->setObjectName(QStringLiteral("label"));
    intro->setTextFormat(Qt::RichText);
    grid->addWidget(intro, 0, 0, 1, 2);

    m_currentPassEdit = passwordEdit(QStringLiteral("currentPassEdit"), this);
    m_newPassEdit = passwordEdit(QStringLiteral("newPassEdit"), this);
    m_confirmPassEdit = passwordEdit(QStringLiteral("confirmPassEdit"), this);
    grid->addWidget(fieldLabel(QStringLiteral("label_4"), QStringLiteral("Current Password"), this), 1, 0);
    grid->addWidget(m_currentPassEdit, 1, 1);
    grid->addWidget(fieldLabel(QStringLiteral("label_5"), QStringLiteral("New Password"), this), 2, 0);
    grid->addWidget(m_newPassEdit, 2, 1);
    grid->addWidget(fieldLabel(QStringLiteral("label_6"), QStringLiteral("Confirm Password"), this), 3, 0);
    grid->addWidget(m_confirmPassEdit, 3, 1);

    auto *buttonBox = new QWidget(this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    auto *buttons = new QHBoxLayout(buttonBox);
    buttons->setObjectName(QStringLiteral("horizontalLayout"));
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(QStringLiteral("Disconnect"), buttonBox);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);
    m_confirmButton = new QPushButton(QStringLiteral("Change Password"), buttonBox);
    m_confirmButton->setObjectName(QStringLiteral("confirmButton"));
    m_confirmButton->setDefault(true);
    m_confirmButton->setEnabled(false);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_confirmButton);
    grid->addWidget(buttonBox, 4, 0, 1, 2);

    setTabOrder(m_currentPassEdit, m_newPassEdit);
    setTabOrder(m_newPassEdit, m_confirmPassEdit);
    setTabOrder(m_confirmPassEdit, m_confirmButton);
    setTabOrder(m_confirmButton, m_cancelButton);

    for (QLineEdit *edit : { m_currentPassEdit, m_newPassEdit, m_confirmPassEdit })
        connect(edit, &QLineEdit::textChanged, this, &PassChangeDialog::fieldChanged);
    connect(m_confirmButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_currentPassEdit->setFocus();
}

QString PassChangeDialog::currentPassword() const
{
    return m_currentPassEdit->text();
}

QString PassChangeDialog::newPassword() const
{
    return m_newPassEdit->text();
}

void PassChangeDialog::fieldChanged()
{
    m_confirmButton->setEnabled(!m_currentPassEdit->text().isEmpty() && !m_newPassEdit->text().isEmpty()
                                && m_confirmPassEdit->text() == m_newPassEdit->text());
}
