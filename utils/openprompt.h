#pragma once

#include <QDialog>
#include <QObject>

// Opens a question without a nested event loop. A dialog running exec() inside the page, browser or
// window it belongs to dies with it when a server message or a dropped link deletes that owner, and
// the code after exec() then runs on a deleted object. Here the dialog (made on the heap, a child of
// its owner) is opened window-modal and deletes itself when closed; `answered(dialog, result)`
// runs once the user answers, never after `context` is gone.
template<class Dialog, class Answered>
void openPrompt(Dialog *dialog, const QObject *context, Answered answered)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, context,
                     [dialog, answered](int result) { answered(dialog, result); });
    dialog->open();
}
