#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QLineEdit;

namespace Ui {
class DictEditTestDialog;
}

// Asks for a test value of each data source a query refers to. A name referred to more than once
// gets one editor: every use of it is tested with the same value.
class DictEditTestDialog : public QDialog
{
    Q_OBJECT

public:
    DictEditTestDialog(const QStringList &keys, const QHash<QString, QString> &initialValues,
                       QWidget *parent = nullptr);
    ~DictEditTestDialog() override;

    // Empty for a key the dialog does not ask for.
    QString value(const QString &key) const;

private:
    std::unique_ptr<Ui::DictEditTestDialog> m_form;
    QHash<QString, QLineEdit *> m_editors;
};
