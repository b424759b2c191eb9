#include "filemessagebox.h"

#include <QLabel>

FileMessageBox::FileMessageBox(Icon icon, const QString &title, const QString &text,
                               const QString &informativeText, QWidget *parent)
    : QMessageBox(icon, title, text, NoButton, parent)
{
    setTextFormat(Qt::PlainText);
    if (informativeText.isEmpty())
        return;
    setInformativeText(informativeText);
    // The informative label does not follow textFormat; Qt names it, so it can be found.
    if (auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
}

void FileMessageBox::showCritical(QWidget *parent, const QString &text, const QString &informativeText)
{
    auto *box = new FileMessageBox(Critical, QString(), text, informativeText, parent);
    box->setStandardButtons(Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
