#pragma once

#include <QLabel>
#include <QString>
#include <QTextDocument>
#include <QTextDocumentFragment>

// What a person sees for a text given to a label or tool tip that guesses rich text.
inline QString shownText(const QString &text, Qt::TextFormat format = Qt::AutoText)
{
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

inline QString shownText(const QLabel *label)
{
    return shownText(label->text(), label->textFormat());
}
