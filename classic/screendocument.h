#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QByteArray;

// What a grid lookup needs from a screen document without building its widgets: the grid column
// of every field widget, and the screen's column headers and title.
class ScreenDocument
{
public:
    explicit ScreenDocument(const QByteArray &document);

    bool isValid() const { return m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }

    // Field name -> column attribute of the layout item that holds the field.
    QHash<QString, int> fieldColumns() const { return m_fieldColumns; }
    // The screen's "scrdotable_headers" strings, in order.
    QStringList headers() const { return m_headers; }
    // The first string of the screen's "windowTitle".
    QString title() const { return m_title; }

private:
    QHash<QString, int> m_fieldColumns;
    QStringList m_headers;
    QString m_title;
    QString m_errorString;
};
