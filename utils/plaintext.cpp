#include "plaintext.h"

#include "openprompt.h"

#include <QMessageBox>
#include <QTextDocument>

namespace PlainText {

QString escaped(const QString &text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void setTexts(QMessageBox *box, const QString &text, const QString &informativeText)
{
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    // The informative label has no format of its own to set.
    box->setInformativeText(escaped(informativeText));
}

void information(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, title, QString(), QMessageBox::Ok, parent);
    setTexts(box, text);
    openPrompt(box, box, [](QMessageBox *, int) {});
}

} // namespace PlainText
