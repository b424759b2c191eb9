#include "filedialogbase.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FileDialogBase::FileDialogBase(const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_grid(new QGridLayout(this))
{
    setWindowTitle(title);
    m_grid->setColumnStretch(1, 1);
    m_grid->setColumnMinimumWidth(1, 240);
}

void FileDialogBase::addRow(const QString &label, QWidget *field)
{
    const int row = m_grid->rowCount();
    m_grid->addWidget(new QLabel(label, this), row, 0);
    m_grid->addWidget(field, row, 1);
}

void FileDialogBase::addNameRow(const QString &label, const QString &name)
{
    auto *shown = new QLabel(name, this);
    shown->setTextFormat(Qt::PlainText);
    shown->setObjectName(QStringLiteral("name"));
    addRow(label, shown);
}

QString FileDialogBase::destination() const
{
    return m_destination ? m_destination->text() : QString();
}

void FileDialogBase::addDestinationRow(const QString &label)
{
    m_destination = new QLineEdit(this);
    m_destination->setObjectName(QStringLiteral("destinationEdit"));
    addRow(label, m_destination);
}

void FileDialogBase::addButtons(const QString &actionText)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    auto *action = new QPushButton(actionText, this);
    action->setObjectName(QStringLiteral("okayButton"));
    action->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(action);
    m_grid->addLayout(buttons, m_grid->rowCount(), 0, 1, 2);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(action, &QPushButton::clicked, this, &QDialog::accept);
}
