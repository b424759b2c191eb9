#include "dictedittestdialog.h"

#include "ui_dictedittestdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

DictEditTestDialog::DictEditTestDialog(const QStringList &keys, const QHash<QString, QString> &initialValues,
                                       QWidget *parent)
    : QDialog(parent)
    , m_form(std::make_unique<Ui::DictEditTestDialog>())
{
    m_form->setupUi(this);
    auto *grid = static_cast<QGridLayout *>(m_form->varsContainer->layout());
    QWidget *previous = nullptr;
    for (const QString &key : keys) {
        if (m_editors.contains(key))
            continue;
        const int row = m_editors.size();
        auto *label = new QLabel(key, m_form->varsContainer);
        label->setTextFormat(Qt::PlainText);
        auto *editor = new QLineEdit(initialValues.value(key), m_form->varsContainer);
        label->setBuddy(editor);
        grid->addWidget(label, row, 0);
        grid->addWidget(editor, row, 1);
        m_editors.insert(key, editor);
        // Values first, then OK: the user types at once and Return sends.
        if (previous)
            setTabOrder(previous, editor);
        else
            editor->setFocus();
        previous = editor;
    }
    if (previous)
        setTabOrder(previous, m_form->buttonBox);
}

DictEditTestDialog::~DictEditTestDialog() = default;

QString DictEditTestDialog::value(const QString &key) const
{
    const QLineEdit *editor = m_editors.value(key);
    return editor ? editor->text() : QString();
}
