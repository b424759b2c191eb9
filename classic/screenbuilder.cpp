#include "screenbuilder.h"

#include "zufieldwidget.h"
#include "zugroup.h"
#include "zugroupcontainer.h"
#include "zuhiddenfield.h"
#include "zuhiddenfieldcontainer.h"
#include "zuscreen.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMetaEnum>
#include <QRect>
#include <QSpacerItem>
#include <QVariant>

#include <algorithm>
#include <initializer_list>

namespace {

QWidget *createWidget(QStringRef className, QWidget *parent)
{
    if (className == QLatin1String("ZuFieldWidget"))
        return new ZuFieldWidget(parent);
    if (className == QLatin1String("QLabel"))
        return new QLabel(parent);
    if (className == QLatin1String("QWidget"))
        return new QWidget(parent);
    if (className == QLatin1String("ZuScreen"))
        return new ZuScreen(parent);
    if (className == QLatin1String("ZuGroup"))
        return new ZuGroup(parent);
    if (className == QLatin1String("ZuGroupContainer"))
        return new ZuGroupContainer(parent);
    if (className == QLatin1String("ZuHiddenField"))
        return new ZuHiddenField(parent);
    if (className == QLatin1String("ZuHiddenFieldContainer"))
        return new ZuHiddenFieldContainer(parent);
    if (className == QLatin1String("Line")) {
        auto *line = new QFrame(parent);
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        return line;
    }
    if (className == QLatin1String("QFrame"))
        return new QFrame(parent);
    return nullptr;
}

// Enumeration values as Designer writes them ("Qt::Vertical"), without the scope.
QString enumKey(const QString &value)
{
    const int scope = value.lastIndexOf(QLatin1Char(':'));
    return scope < 0 ? value : value.mid(scope + 1);
}

Qt::Alignment alignmentOf(QStringRef text)
{
    static const struct
    {
        const char *name;
        Qt::AlignmentFlag flag;
    } Flags[] = { { "Qt::AlignLeft", Qt::AlignLeft },       { "Qt::AlignRight", Qt::AlignRight },
                  { "Qt::AlignHCenter", Qt::AlignHCenter }, { "Qt::AlignJustify", Qt::AlignJustify },
                  { "Qt::AlignTop", Qt::AlignTop },         { "Qt::AlignBottom", Qt::AlignBottom },
                  { "Qt::AlignVCenter", Qt::AlignVCenter } };
    Qt::Alignment alignment;
    const QVector<QStringRef> parts = text.split(QLatin1Char('|'));
    for (const QStringRef &part : parts) {
        for (const auto &flag : Flags) {
            if (part == QLatin1String(flag.name))
                alignment |= flag.flag;
        }
    }
    return alignment;
}

// The attributes QUiLoader accepts on the elements this builder reads; any other attribute makes
// QUiLoader fail the document, so the builder leaves such documents to it.
bool attributesKnown(const QXmlStreamReader &reader)
{
    static const struct
    {
        const char *element;
        std::initializer_list<const char *> attributes;
    } Known[] = { { "ui", { "version", "language" } },
                  { "widget", { "class", "name" } },
                  { "property", { "name", "stdset" } },
                  { "string", { "notr", "comment", "extracomment" } },
                  { "layout", { "class", "name" } },
                  { "item", { "row", "column", "rowspan", "colspan", "alignment" } },
                  { "spacer", { "name" } } };
    const QXmlStreamAttributes attributes = reader.attributes();
    if (attributes.isEmpty())
        return true;
    for (const auto &known : Known) {
        if (reader.name() != QLatin1String(known.element))
            continue;
        for (const QXmlStreamAttribute &attribute : attributes) {
            const auto found = std::find_if(known.attributes.begin(), known.attributes.end(),
                                            [&](const char *name) { return attribute.name() == QLatin1String(name); });
            if (found == known.attributes.end())
                return false;
        }
        return true;
    }
    return false;
}

} // namespace

ScreenBuilder::ScreenBuilder(const QByteArray &document)
    : m_reader(document)
{
    // Screens use no name spaces; the limits reading does not resolve them either.
    m_reader.setNamespaceProcessing(false);
}

ScreenBuilder::~ScreenBuilder() = default;

QWidget *ScreenBuilder::takeRoot()
{
    return m_root.release();
}

ScreenBuilder::Outcome ScreenBuilder::build()
{
    if (readUi()) {
        while (next() != Token::Stop) { }
    }
    // A reader error met here lies past elements that all kept the limits.
    if (m_outcome != Outcome::Refused && m_reader.hasError()) {
        m_outcome = Outcome::Refused;
        m_error = ScreenDocumentLimits::Tracker::readerError(m_reader);
    }
    if (m_outcome != Outcome::Built) {
        m_root.reset();
        return m_outcome;
    }
    for (const LayoutWidget &entry : qAsConst(m_layoutWidgets)) {
        if (!m_containers.contains(entry.parentClass))
            entry.grid->setContentsMargins(0, 0, 0, 0);
    }
    return m_outcome;
}

// The next element start or end, with the limits checked; Stop at the end of the document, on
// a reader error, a refusal, or once the document was found unsupported.
ScreenBuilder::Token ScreenBuilder::next()
{
    if (m_outcome != Outcome::Built)
        return Token::Stop;
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString refused = m_tracker.startElement(m_reader);
            if (!refused.isEmpty()) {
                m_outcome = Outcome::Refused;
                m_error = refused;
                return Token::Stop;
            }
            if (!attributesKnown(m_reader)) {
                unsupported();
                return Token::Stop;
            }
            return Token::Start;
        }
        case QXmlStreamReader::EndElement:
            m_tracker.endElement();
            return Token::End;
        case QXmlStreamReader::EntityReference:
            unsupported();
            return Token::Stop;
        default:
            break;
        }
    }
    return Token::Stop;
}

bool ScreenBuilder::unsupported()
{
    if (m_outcome == Outcome::Built)
        m_outcome = Outcome::Unsupported;
    return false;
}

// The text of an element that holds nothing else.
bool ScreenBuilder::readText(QString *text)
{
    text->clear();
    while (m_outcome == Outcome::Built && !m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case QXmlStreamReader::Characters:
            text->append(m_reader.text());
            break;
        case QXmlStreamReader::EndElement:
            m_tracker.endElement();
            return true;
        case QXmlStreamReader::StartElement: {
            const QString refused = m_tracker.startElement(m_reader);
            if (!refused.isEmpty()) {
                m_outcome = Outcome::Refused;
                m_error = refused;
                return false;
            }
            return unsupported();
        }
        case QXmlStreamReader::EntityReference:
            return unsupported();
        default:
            break;
        }
    }
    return false;
}

bool ScreenBuilder::readUi()
{
    if (next() != Token::Start || m_reader.name() != QLatin1String("ui"))
        return unsupported();
    for (const QXmlStreamAttribute &attribute : m_reader.attributes()) {
        if (attribute.name() == QLatin1String("version")) {
            if (attribute.value() != QLatin1String("4.0"))
                return unsupported();
        } else if (attribute.name() != QLatin1String("language") || attribute.value() != QLatin1String("c++")) {
            return unsupported();
        }
    }
    bool widgetRead = false;
    for (;;) {
        const Token token = next();
        if (token == Token::End)
            return widgetRead || unsupported();
        if (token == Token::Stop)
            return false;
        const QStringRef name = m_reader.name();
        if (name == QLatin1String("widget")) {
            if (widgetRead)
                return unsupported();
            QWidget *root = nullptr;
            if (!readWidget(nullptr, &root))
                return false;
            widgetRead = true;
        } else if (name == QLatin1String("class")) {
            QString context;
            if (!readText(&context))
                return false;
            m_context = context.toUtf8();
        } else if (name == QLatin1String("customwidgets")) {
            if (!readCustomWidgets())
                return false;
        } else if (name == QLatin1String("author") || name == QLatin1String("comment")
                   || name == QLatin1String("exportmacro")) {
            QString text;
            if (!readText(&text))
                return false;
        } else if (name == QLatin1String("resources") || name == QLatin1String("connections")
                   || name == QLatin1String("includes")) {
            // Only empty ones: QUiLoader checks what they hold.
            if (next() != Token::End)
                return unsupported();
        } else {
            return unsupported();
        }
    }
}

bool ScreenBuilder::readCustomWidgets()
{
    for (;;) {
        Token token = next();
        if (token == Token::End)
            return true;
        if (token == Token::Stop)
            return false;
        if (m_reader.name() != QLatin1String("customwidget"))
            return unsupported();
        QString className;
        bool container = false;
        while ((token = next()) == Token::Start) {
            const QStringRef name = m_reader.name();
            QString text;
            if (name == QLatin1String("class")) {
                if (!readText(&className))
                    return false;
            } else if (name == QLatin1String("container")) {
                if (!readText(&text))
                    return false;
                container = text.toInt() != 0;
            } else if (name == QLatin1String("extends") || name == QLatin1String("header")) {
                if (!readText(&text))
                    return false;
            } else {
                return unsupported();
            }
        }
        if (token == Token::Stop)
            return false;
        if (container)
            m_containers.insert(className);
        else
            m_containers.remove(className);
    }
}

bool ScreenBuilder::readWidget(QWidget *parent, QWidget **made)
{
    const QXmlStreamAttributes attributes = m_reader.attributes();
    if (attributes.size() != 2 || !attributes.hasAttribute(QLatin1String("name")))
        return unsupported();
    const QStringRef className = attributes.value(QLatin1String("class"));
    QWidget *widget = createWidget(className, parent);
    if (!widget)
        return unsupported();
    if (!parent)
        m_root.reset(widget);
    widget->setObjectName(attributes.value(QLatin1String("name")).toString());
    *made = widget;
    const bool layoutWidget = parent && className == QLatin1String("QWidget");

    bool childrenSeen = false;
    bool layoutSeen = false;
    for (;;) {
        const Token token = next();
        if (token == Token::End)
            return true;
        if (token == Token::Stop)
            return false;
        const QStringRef name = m_reader.name();
        if (name == QLatin1String("property")) {
            // QUiLoader sets all properties before it makes the children.
            if (childrenSeen || layoutSeen)
                return unsupported();
            if (!readProperty(widget))
                return false;
        } else if (name == QLatin1String("widget")) {
            if (layoutSeen)
                return unsupported();
            childrenSeen = true;
            QWidget *child = nullptr;
            if (!readWidget(widget, &child))
                return false;
        } else if (name == QLatin1String("layout")) {
            // After child widgets QUiLoader's choice of margins depends on the last of them.
            if (layoutSeen || childrenSeen)
                return unsupported();
            layoutSeen = true;
            if (!readLayout(widget, layoutWidget))
                return false;
        } else {
            return unsupported();
        }
    }
}

bool ScreenBuilder::readProperty(QObject *object)
{
    const QXmlStreamAttributes attributes = m_reader.attributes();
    const QByteArray name = attributes.value(QLatin1String("name")).toUtf8();
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() != QLatin1String("name") && attribute.name() != QLatin1String("stdset"))
            return unsupported();
    }
    Token token = next();
    if (token == Token::End)
        return true;
    if (token == Token::Stop)
        return false;
    const QStringRef kind = m_reader.name();
    QVariant value;
    QString text;
    if (kind == QLatin1String("string")) {
        bool translate = true;
        QByteArray comment;
        for (const QXmlStreamAttribute &attribute : m_reader.attributes()) {
            if (attribute.name() == QLatin1String("notr"))
                translate = attribute.value() != QLatin1String("true") && attribute.value() != QLatin1String("yes");
            else if (attribute.name() == QLatin1String("comment"))
                comment = attribute.value().toUtf8();
            else if (attribute.name() != QLatin1String("extracomment"))
                return unsupported();
        }
        if (!readText(&text))
            return false;
        value = translate ? QCoreApplication::translate(m_context.constData(), text.toUtf8().constData(),
                                                        comment.constData())
                          : text;
    } else if (kind == QLatin1String("number")) {
        if (!readText(&text))
            return false;
        value = text.toInt();
    } else if (kind == QLatin1String("bool")) {
        if (!readText(&text))
            return false;
        value = text == QLatin1String("true");
    } else if (kind == QLatin1String("stringlist")) {
        QStringList list;
        while ((token = next()) == Token::Start) {
            if (m_reader.name() != QLatin1String("string") || !m_reader.attributes().isEmpty())
                return unsupported();
            if (!readText(&text))
                return false;
            list.append(text);
        }
        if (token == Token::Stop)
            return false;
        value = list;
    } else if (kind == QLatin1String("rect")) {
        QRect rect;
        while ((token = next()) == Token::Start) {
            const QStringRef part = m_reader.name();
            void (QRect::*set)(int) = nullptr;
            if (part == QLatin1String("x"))
                set = &QRect::moveLeft;
            else if (part == QLatin1String("y"))
                set = &QRect::moveTop;
            else if (part == QLatin1String("width"))
                set = &QRect::setWidth;
            else if (part == QLatin1String("height"))
                set = &QRect::setHeight;
            else
                return unsupported();
            if (!readText(&text))
                return false;
            (rect.*set)(text.toInt());
        }
        if (token == Token::Stop)
            return false;
        value = rect;
    } else if (kind == QLatin1String("size")) {
        QSize size(0, 0);
        if (!readSize(&size))
            return false;
        value = size;
    } else if (name == "orientation" && qstrcmp(object->metaObject()->className(), "QFrame") == 0) {
        // QUiLoader turns any orientation of a line into its frame shape.
        if (kind != QLatin1String("enum"))
            return unsupported();
        if (!readText(&text))
            return false;
        static_cast<QFrame *>(object)->setFrameShape(enumKey(text) == QLatin1String("Horizontal") ? QFrame::HLine
                                                                                               : QFrame::VLine);
    } else {
        return unsupported();
    }
    if (next() != Token::End)
        return unsupported();
    if (!value.isValid())
        return true;
    // QUiLoader takes only the size of the root's geometry, whatever the value converts to.
    if (object == m_root.get() && name == "geometry")
        m_root->resize(qvariant_cast<QRect>(value).size());
    else if (name == "buddy" || name.isEmpty())
        return unsupported();
    else
        object->setProperty(name.constData(), value);
    return true;
}

bool ScreenBuilder::readLayout(QWidget *owner, bool layoutWidget)
{
    const QXmlStreamAttributes attributes = m_reader.attributes();
    if (attributes.size() > 2 || attributes.value(QLatin1String("class")) != QLatin1String("QGridLayout")
        || (attributes.size() == 2 && !attributes.hasAttribute(QLatin1String("name"))) || owner->layout())
        return unsupported();
    auto *grid = new QGridLayout(owner);
    grid->setObjectName(attributes.value(QLatin1String("name")).toString());
    // QUiLoader fixes the style's margins on the layout.
    int left, top, right, bottom;
    grid->getContentsMargins(&left, &top, &right, &bottom);
    grid->setContentsMargins(left, top, right, bottom);
    if (layoutWidget)
        m_layoutWidgets.append({ grid, QString::fromLatin1(owner->parentWidget()->metaObject()->className()) });
    for (;;) {
        const Token token = next();
        if (token == Token::End)
            return true;
        if (token == Token::Stop)
            return false;
        if (m_reader.name() != QLatin1String("item"))
            return unsupported();
        if (!readItem(grid, owner))
            return false;
    }
}

bool ScreenBuilder::readItem(QGridLayout *grid, QWidget *owner)
{
    // The limits have checked the numbers.
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
    Qt::Alignment alignment;
    for (const QXmlStreamAttribute &attribute : m_reader.attributes()) {
        const QStringRef name = attribute.name();
        if (name == QLatin1String("row"))
            row = attribute.value().toInt();
        else if (name == QLatin1String("column"))
            column = attribute.value().toInt();
        else if (name == QLatin1String("rowspan"))
            rowSpan = attribute.value().toInt();
        else if (name == QLatin1String("colspan"))
            columnSpan = attribute.value().toInt();
        else if (name == QLatin1String("alignment"))
            alignment = alignmentOf(attribute.value());
        else
            return unsupported();
    }
    if (next() != Token::Start)
        return unsupported();
    if (m_reader.name() == QLatin1String("widget")) {
        QWidget *widget = nullptr;
        if (!readWidget(owner, &widget))
            return false;
        grid->addWidget(widget, row, column, rowSpan, columnSpan, alignment);
    } else if (m_reader.name() == QLatin1String("spacer")) {
        if (!readSpacer(grid, row, column, rowSpan, columnSpan))
            return false;
    } else {
        return unsupported();
    }
    return next() == Token::End || unsupported();
}

// The width and height elements of a size, up to its end element.
bool ScreenBuilder::readSize(QSize *size)
{
    Token token;
    QString text;
    while ((token = next()) == Token::Start) {
        const bool width = m_reader.name() == QLatin1String("width");
        if ((!width && m_reader.name() != QLatin1String("height")) || !readText(&text))
            return unsupported();
        if (width)
            size->setWidth(text.toInt());
        else
            size->setHeight(text.toInt());
    }
    return token != Token::Stop;
}

bool ScreenBuilder::readSpacer(QGridLayout *grid, int row, int column, int rowSpan, int columnSpan)
{
    QSize size(0, 0);
    auto sizeType = QSizePolicy::Expanding;
    bool vertical = false;
    Token token;
    while ((token = next()) == Token::Start) {
        if (m_reader.name() != QLatin1String("property"))
            return unsupported();
        const QString name = m_reader.attributes().value(QLatin1String("name")).toString();
        if (next() != Token::Start)
            return unsupported();
        const QStringRef kind = m_reader.name();
        QString text;
        if (kind == QLatin1String("enum")) {
            if (!readText(&text))
                return false;
            const QByteArray key = enumKey(text).toUtf8();
            if (name == QLatin1String("orientation"))
                vertical = QMetaEnum::fromType<Qt::Orientation>().keyToValue(key.constData()) == Qt::Vertical;
            else if (name == QLatin1String("sizeType"))
                sizeType = QSizePolicy::Policy(QMetaEnum::fromType<QSizePolicy::Policy>().keyToValue(key.constData()));
        } else if (kind == QLatin1String("size") && name == QLatin1String("sizeHint")) {
            if (!readSize(&size))
                return false;
        } else {
            return unsupported();
        }
        if (next() != Token::End)
            return unsupported();
    }
    if (token == Token::Stop)
        return false;
    auto *spacer = vertical ? new QSpacerItem(size.width(), size.height(), QSizePolicy::Minimum, sizeType)
                            : new QSpacerItem(size.width(), size.height(), sizeType, QSizePolicy::Minimum);
    grid->addItem(spacer, row, column, rowSpan, columnSpan);
    return true;
}
