#include "screendocument.h"
#include "screendocumentlimits.h"

#include <QDomDocument>

namespace {

QStringList stringTexts(const QDomElement &property)
{
    QStringList texts;
    const QDomNodeList strings = property.elementsByTagName(QStringLiteral("string"));
    for (int i = 0; i < strings.size(); ++i)
        texts.append(strings.at(i).toElement().text());
    return texts;
}

} // namespace

ScreenDocument::ScreenDocument(const QByteArray &document)
{
    m_errorString = ScreenDocumentLimits::check(document);
    if (!m_errorString.isEmpty())
        return;
    QDomDocument dom;
    QString message;
    int line = 0;
    int column = 0;
    if (!dom.setContent(document, &message, &line, &column)) {
        m_errorString = QStringLiteral("%1 at line %2, column %3").arg(message).arg(line).arg(column);
        return;
    }

    const QDomNodeList widgets = dom.elementsByTagName(QStringLiteral("widget"));
    for (int i = 0; i < widgets.size(); ++i) {
        const QDomElement widget = widgets.at(i).toElement();
        const QString className = widget.attribute(QStringLiteral("class"));
        if (className == QLatin1String("ZuFieldWidget")) {
            const QDomElement item = widget.parentNode().toElement();
            m_fieldColumns.insert(widget.attribute(QStringLiteral("name")),
                                  item.attribute(QStringLiteral("column")).toInt());
        } else if (className == QLatin1String("ZuScreen")) {
            for (QDomElement property = widget.firstChildElement(QStringLiteral("property"));
                 !property.isNull(); property = property.nextSiblingElement(QStringLiteral("property"))) {
                const QString name = property.attribute(QStringLiteral("name"));
                if (name == QLatin1String("scrdotable_headers"))
                    m_headers = stringTexts(property);
                else if (name == QLatin1String("windowTitle"))
                    m_title = stringTexts(property).value(0);
            }
        }
    }
}
