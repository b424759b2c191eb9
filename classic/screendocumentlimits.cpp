#include "screendocumentlimits.h"

#include <QByteArray>
#include <QDebug>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

// Grid attributes of a layout item; absent ones are fine.
QString checkItem(const QXmlStreamAttributes &attributes)
{
    static const char *const Names[] = { "row", "column", "rowspan", "colspan" };
    for (const char *name : Names) {
        const QStringRef value = attributes.value(QLatin1String(name));
        if (value.isNull())
            continue;
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || !ScreenDocumentLimits::withinGrid(number))
            return QStringLiteral("layout item %1 %2 is outside the grid").arg(QLatin1String(name), value);
    }
    return QString();
}

} // namespace

QString ScreenDocumentLimits::Tracker::startElement(const QXmlStreamReader &reader)
{
    if (++m_depth > MaxDepth)
        return QStringLiteral("document nested deeper than %1").arg(MaxDepth);
    if (++m_elements > MaxElements)
        return QStringLiteral("document holds more than %1 elements").arg(MaxElements);
    if (reader.name() == QLatin1String("widget") && ++m_widgets > MaxWidgets)
        return QStringLiteral("document holds more than %1 widgets").arg(MaxWidgets);
    if (reader.name() == QLatin1String("item"))
        return checkItem(reader.attributes());
    return QString();
}

QString ScreenDocumentLimits::Tracker::readerError(const QXmlStreamReader &reader)
{
    return QStringLiteral("%1 at line %2").arg(reader.errorString()).arg(reader.lineNumber());
}

QString ScreenDocumentLimits::check(const QByteArray &document)
{
    if (document.size() > MaxBytes)
        return QStringLiteral("document of %1 bytes exceeds %2").arg(document.size()).arg(MaxBytes);
    QXmlStreamReader reader(document);
    Tracker tracker;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString error = tracker.startElement(reader);
            if (!error.isEmpty())
                return error;
            break;
        }
        case QXmlStreamReader::EndElement:
            tracker.endElement();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return Tracker::readerError(reader);
    return QString();
}

bool ScreenDocumentLimits::parseBreaks(const QString &text, QList<int> *breaks, QString *error)
{
    breaks->clear();
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() > MaxBreaks) {
        *error = QStringLiteral("more than %1 page breaks").arg(MaxBreaks);
        return false;
    }
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (!ok || !withinGrid(value) || (!breaks->isEmpty() && value <= breaks->last())) {
            *error = QStringLiteral("page breaks \"%1\" are not ascending rows of the grid").arg(text);
            breaks->clear();
            return false;
        }
        breaks->append(value);
    }
    return true;
}

QString ScreenDocumentLimits::shownText(const QString &text, const QString &what)
{
    if (text.size() <= MaxShownText)
        return text;
    qWarning().noquote() << QStringLiteral("%1: %2 characters of text, %3 shown").arg(what).arg(text.size()).arg(MaxShownText);
    return text.left(MaxShownText);
}
