#include "filemessagebox.h"

#include "utils/plaintext.h"

FileMessageBox::FileMessageBox(Icon icon, const QString &title, const QString &text,
                               const QString &informativeText, QWidget *parent)
    : QMessageBox(icon, title, QString(), NoButton, parent)
{
    PlainText::setTexts(this, text, informativeText);
}

void FileMessageBox::showCritical(QWidget *parent, const QString &text, const QString &informativeText)
{
    auto *box = new FileMessageBox(Critical, QString(), text, informativeText, parent);
    box->setStandardButtons(Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
