#pragma once

#include <QString>

class QMessageBox;
class QWidget;

// Wire text shown where Qt guesses rich text. A server string is never taken as markup: an
// <img src=…> in rich text makes Qt read local files.
namespace PlainText {

// The text as markup that shows it literally, for places that always guess (tool tips, message
// box informative texts). Empty stays empty.
QString escaped(const QString &text);

// A message box showing its text and informative text literally.
void setTexts(QMessageBox *box, const QString &text, const QString &informativeText = QString());

// QMessageBox::information with a literal text, opened without a nested event loop: a box whose
// parent goes (a dialog the network closed) goes with it.
void information(QWidget *parent, const QString &title, const QString &text);

} // namespace PlainText
