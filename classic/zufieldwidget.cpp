#include "zufieldwidget.h"

#include "screendocumentlimits.h"
#include "zudateedit.h"

#include <QCoreApplication>
#include <QDate>
#include <QDebug>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QAction>
#include <QMenu>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>

#include <utility>

namespace {

constexpr int ModeBits
    = ZuFieldWidget::DropdownBit | ZuFieldWidget::ButtonBit | ZuFieldWidget::MultiElementBit;
constexpr int IdMaxLength = 11;
constexpr int DropdownButtonSize = 18;
constexpr int IdButtonMargin = 2;
constexpr QSize IdIconSize(18, 24);
constexpr QSize BlobIconSize(24, 24);
constexpr int WidthPadding = 5;
constexpr int WidthHintHeight = 18;
constexpr int RowDigits = 3;
constexpr int ColumnDigits = 3;
constexpr auto MultiElementProperty = "_multi_element";

void deleteLayout(QLayout *layout)
{
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            delete widget;
        else if (QLayout *nested = item->layout())
            deleteLayout(nested);
        delete item;
    }
    delete layout;
}

void repolish(QWidget *widget)
{
    if (!widget)
        return;
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

QString hex(int value)
{
    return QString::number(uint(value), 16);
}

bool consistsOf(const QString &text, QChar c)
{
    for (const QChar ch : text) {
        if (ch != c)
            return false;
    }
    return true;
}

} // namespace

ZuFieldWidget::ZuFieldWidget(QWidget *parent)
    : ZuProperties(parent)
{
    connect(this, &ZuProperties::propLengthChanged, this, &ZuFieldWidget::adjustFieldLength);
    connect(this, &ZuProperties::propLabelFieldChanged, this, &ZuFieldWidget::restyle);
    connect(this, &ZuProperties::propReverseChanged, this, &ZuFieldWidget::restyle);
    connect(this, &ZuProperties::propHighlightChanged, this, &ZuFieldWidget::restyle);
    setFocusPolicy(Qt::ClickFocus);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
}

// The elements are siblings in the parent's grid; they must not outlive the field.
ZuFieldWidget::~ZuFieldWidget()
{
    removeElements();
}

void ZuFieldWidget::setAttributes(int mask, int type)
{
    m_mask = mask;
    m_type = type;
    m_autonext = mask & AutonextBit;
    const char *typeName = QMetaEnum::fromType<ZuFieldColumnType>().valueToKey(type);
    qDebug() << "field" << objectName() << qPrintable("attributes mask: 0x" + hex(mask))
             << " type:" << (typeName ? typeName : qPrintable(QString::number(type)));

    if (propMultiElement())
        return;

    setPropReverse(mask & ReverseBit);
    setPropLabelField(mask & LabelFieldBit);
    setPropHighlight(mask & HighlightBit);

    const bool required = mask & RequiredBit;
    if (!m_labelName.isEmpty() && required != m_asteriskShown)
        updateRequiredMarker(required);

    if (type == ZUGUI_DATE) {
        setDisplayMode(m_readOnly || propLabelField() ? DisplayMode::DateText : DisplayMode::DateEntry);
    } else if (type == ZUGUI_BLOB) {
        setDisplayMode(DisplayMode::Blob);
    } else if (mask & IdBit) {
        setDisplayMode(DisplayMode::Id);
    } else {
        switch (mask & ModeBits) {
        case 0:
            setDisplayMode(DisplayMode::Text);
            break;
        case DropdownBit:
            setDisplayMode(DisplayMode::Dropdown);
            break;
        case ButtonBit:
            setDisplayMode(DisplayMode::Button);
            break;
        case MultiElementBit:
            setDisplayMode(DisplayMode::MultiElement);
            break;
        default:
            qWarning() << "Field" << objectName()
                       << "Invalid display mode mask:" << qPrintable("0x" + hex(mask));
            break;
        }
    }

    if (m_editor) {
        const bool right = (mask & RightAlignBit) && m_mode != DisplayMode::Id;
        m_editor->setAlignment(right ? Qt::AlignRight : Qt::AlignLeft);
        m_validator.setUpshift(mask & UpshiftBit);
    }
}

void ZuFieldWidget::updateRequiredMarker(bool required)
{
    QLabel *label = parentWidget() ? parentWidget()->findChild<QLabel *>(m_labelName) : nullptr;
    if (!label) {
        qWarning() << "'Required' field" << objectName() << "label widget not found. Asterisk not shown.";
        m_asteriskShown = false;
        return;
    }
    const QString marker = QLatin1String(RequiredMarker);
    if (required)
        label->setText(label->text() + marker);
    else if (label->text().endsWith(marker))
        label->setText(label->text().chopped(marker.size()));
    m_asteriskShown = required;
    repolish(label);
}

void ZuFieldWidget::setAccessibleTexts(const QString &name, const QString &description)
{
    m_accessibleName = name;
    m_accessibleDescription = description;
    applyAccessibleTexts();
}

void ZuFieldWidget::applyAccessibleTexts()
{
    for (QWidget *widget : { static_cast<QWidget *>(this), static_cast<QWidget *>(m_editor),
                             static_cast<QWidget *>(m_button), static_cast<QWidget *>(m_dateEdit) }) {
        if (!widget)
            continue;
        widget->setAccessibleName(m_accessibleName);
        widget->setAccessibleDescription(m_accessibleDescription);
    }
}

void ZuFieldWidget::setDisplayMode(DisplayMode mode)
{
    if (mode == m_mode)
        return;
    if (m_mode == DisplayMode::MultiElement)
        removeElements();
    clearModeWidgets();
    m_mode = mode;

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    QWidget *proxy = nullptr;
    QLineEdit *textSource = nullptr;

    switch (mode) {
    case DisplayMode::None:
        break;
    case DisplayMode::Text:
    case DisplayMode::DateText:
        m_editor = makeLineEdit(QStringLiteral("fieldLineEdit"), shownText());
        grid->addWidget(m_editor, 0, 0);
        proxy = m_editor;
        break;
    case DisplayMode::Dropdown:
        m_editor = makeLineEdit(QStringLiteral("fieldLineEdit"), shownText());
        m_button = makeButton(QStringLiteral("fieldComboBoxButton"));
        m_button->setFixedSize(DropdownButtonSize, DropdownButtonSize);
        // A read-only field offers no choice list.
        m_button->setVisible(!m_readOnly);
        connect(m_button, &QPushButton::clicked, this, &ZuFieldWidget::dropdownClicked);
        grid->addWidget(m_editor, 0, 0, 2, 2);
        grid->addWidget(m_button, 1, 1);
        m_button->raise();
        proxy = m_editor;
        break;
    case DisplayMode::Button:
        m_button = makeButton(QStringLiteral("fieldButton"));
        m_button->setText(m_refValue);
        m_button->setEnabled(!m_readOnly);
        connect(m_button, &QPushButton::clicked, this, &ZuFieldWidget::buttonClicked);
        grid->addWidget(m_button, 0, 0);
        proxy = m_button;
        break;
    case DisplayMode::Id: {
        m_editor = makeLineEdit(QStringLiteral("fieldIdLineEdit"), m_refValue);
        m_button = makeButton(QStringLiteral("idSecButton"));
        m_button->setParent(m_editor);
        m_button->setFocusPolicy(Qt::NoFocus);
        m_button->setCursor(Qt::PointingHandCursor);
        m_button->setIconSize(IdIconSize);
        // Beside the layout's stretch an ignored width would be zero: the button would vanish.
        m_button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
        connect(m_button, &QPushButton::clicked, this, &ZuFieldWidget::idSecClicked);
        auto *inner = new QHBoxLayout(m_editor);
        inner->setContentsMargins(IdButtonMargin, IdButtonMargin, IdButtonMargin, IdButtonMargin);
        inner->addStretch();
        inner->addWidget(m_button);
        // The text stops before the button instead of running under it.
        m_editor->setTextMargins(0, 0, IdIconSize.width() + IdButtonMargin, 0);
        grid->addWidget(m_editor, 0, 0);
        proxy = m_editor;
        break;
    }
    case DisplayMode::DateEntry:
        m_dateEdit = new ZuDateEdit(this);
        m_dateEdit->setObjectName(QStringLiteral("fieldDate"));
        m_dateEdit->setReadOnly(m_readOnly);
        m_dateEdit->setAttribute(Qt::WA_Hover);
        m_dateEdit->installEventFilter(this);
        m_dateEdit->setText(m_refValue);
        textSource = m_dateEdit;
        grid->addWidget(m_dateEdit, 0, 0);
        proxy = m_dateEdit;
        break;
    case DisplayMode::Blob:
        m_editor = makeLineEdit(QStringLiteral("fieldBlobLine"), m_refValue);
        m_editor->setReadOnly(true);
        m_button = makeButton(QStringLiteral("fieldBlobButton"));
        m_button->setIconSize(BlobIconSize);
        connect(m_button, &QPushButton::clicked, this, &ZuFieldWidget::buttonClicked);
        grid->setSpacing(0);
        grid->addWidget(m_editor, 0, 0);
        grid->addWidget(m_button, 0, 1);
        proxy = m_button;
        break;
    case DisplayMode::MultiElement: {
        auto *frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("multiElementFrame"));
        frame->setFocusPolicy(Qt::StrongFocus);
        frame->installEventFilter(this);
        grid->addWidget(frame, 0, 0);
        proxy = frame;
        buildElements(m_refValue);
        break;
    }
    }

    setFocusProxy(proxy);
    applyAccessibleTexts();
    if (m_editor)
        textSource = m_editor;
    if (textSource)
        connect(textSource, &QLineEdit::textEdited, this, &ZuFieldWidget::textEdited);
    // Sets the maximum length and sizes the new editor for the field length.
    if (m_mode == DisplayMode::Id && m_editor) {
        m_editor->setMaxLength(IdMaxLength);
        calculateMinimumWidth();
    } else if (textSource) {
        // The text block line only shows the start of the text; a limit would cut the value.
        if (propLength() != 0 && m_mode != DisplayMode::Blob)
            textSource->setMaxLength(propLength());
        calculateMinimumWidth();
    }
}

void ZuFieldWidget::clearModeWidgets()
{
    m_editor = nullptr;
    m_button = nullptr;
    m_dateEdit = nullptr;
    setFocusProxy(nullptr);
    deleteLayout(layout());
}

QLineEdit *ZuFieldWidget::makeLineEdit(const QString &objectName, const QString &text)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setReadOnly(m_readOnly);
    edit->setAttribute(Qt::WA_Hover);
    edit->installEventFilter(this);
    edit->setValidator(&m_validator);
    edit->setText(text);
    return edit;
}

QPushButton *ZuFieldWidget::makeButton(const QString &objectName)
{
    auto *button = new QPushButton(this);
    button->setObjectName(objectName);
    button->setFlat(true);
    return button;
}

// The value as the current mode shows it: date text is normalised, an invalid date shows empty.
QString ZuFieldWidget::shownText() const
{
    if (m_mode != DisplayMode::DateText)
        return m_refValue;
    const QString format = QLatin1String(DateFormat);
    return QDate::fromString(m_refValue, format).toString(format);
}

void ZuFieldWidget::setData(const QString &data)
{
    const QString value = ScreenDocumentLimits::shownText(data, QStringLiteral("Field \"%1\"").arg(objectName()));
    m_refValue = value;
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
    case DisplayMode::DateText:
    case DisplayMode::Blob:
        m_editor->setText(shownText());
        break;
    case DisplayMode::Button:
        m_button->setText(value);
        break;
    case DisplayMode::DateEntry:
        m_dateEdit->setText(value);
        break;
    case DisplayMode::MultiElement:
        buildElements(value);
        break;
    case DisplayMode::None:
        break;
    }
}

QString ZuFieldWidget::data() const
{
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
    case DisplayMode::Blob:
        return m_editor->text();
    case DisplayMode::DateEntry:
        return m_dateEdit->text();
    case DisplayMode::DateText:
    case DisplayMode::MultiElement:
        return m_refValue;
    case DisplayMode::Button:
    case DisplayMode::None:
        break;
    }
    return QString();
}

bool ZuFieldWidget::isDataChanged() const
{
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
    case DisplayMode::DateEntry:
        return data() != m_refValue;
    default:
        return false;
    }
}

void ZuFieldWidget::commitData()
{
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
    case DisplayMode::DateEntry:
        m_refValue = data();
        break;
    default:
        break;
    }
}

void ZuFieldWidget::setPropReadOnly(bool readOnly)
{
    if (m_readOnly == readOnly)
        return;
    m_readOnly = readOnly;
    // Dates switch between entry and text with their editability.
    if (m_type == ZUGUI_DATE)
        setAttributes(m_mask, ZUGUI_DATE);

    switch (m_mode) {
    case DisplayMode::Dropdown:
        m_editor->setReadOnly(readOnly);
        m_button->setVisible(!readOnly);
        break;
    case DisplayMode::Button:
        m_button->setEnabled(!readOnly);
        break;
    case DisplayMode::DateEntry:
        m_dateEdit->setReadOnly(readOnly);
        break;
    case DisplayMode::Text:
    case DisplayMode::Id:
    case DisplayMode::DateText:
        m_editor->setReadOnly(readOnly);
        break;
    case DisplayMode::Blob:
    case DisplayMode::MultiElement:
    case DisplayMode::None:
        break;
    }
    restyle();
}

void ZuFieldWidget::restyle()
{
    repolish(m_editor);
    repolish(m_button);
    repolish(m_dateEdit);
}

void ZuFieldWidget::focusField()
{
    setFocus(Qt::OtherFocusReason);
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
        m_editor->selectAll();
        break;
    case DisplayMode::DateEntry:
        m_dateEdit->selectAll();
        break;
    default:
        break;
    }
}

ZuFieldWidget::State ZuFieldWidget::snapshot() const
{
    State state;
    state.field = const_cast<ZuFieldWidget *>(this);
    state.mask = m_mask;
    state.type = m_type;
    state.color = m_color;
    state.data = data();
    state.readOnly = m_readOnly;
    return state;
}

void ZuFieldWidget::restore(const State &state)
{
    setAttributes(state.mask, state.type);
    setColor(state.color);
    setData(state.data);
    setPropReadOnly(state.readOnly);
}

// As small as its editor allows; the grid gives it more where columns are wider.
QSize ZuFieldWidget::sizeHint() const
{
    return minimumSizeHint();
}

void ZuFieldWidget::adjustFieldLength(int length)
{
    if (length != 0 && m_editor && m_mode != DisplayMode::Blob)
        m_editor->setMaxLength(length);
    calculateMinimumWidth();
}

void ZuFieldWidget::calculateMinimumWidth()
{
    switch (m_mode) {
    case DisplayMode::Text:
    case DisplayMode::Dropdown:
    case DisplayMode::Id:
    case DisplayMode::DateText:
    case DisplayMode::Blob: {
        // The style sheet sets the font (and its scale) when the editor is polished; a new editor
        // is not polished until it is shown, and would be measured in the default font.
        m_editor->ensurePolished();
        const int charWidth = m_editor->fontMetrics().horizontalAdvance(QLatin1Char('G'));
        QStyleOptionFrame option;
        option.initFrom(m_editor);
        option.rect = m_editor->contentsRect();
        option.lineWidth = m_editor->hasFrame()
            ? m_editor->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, m_editor)
            : 0;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        if (m_editor->isReadOnly())
            option.state |= QStyle::State_ReadOnly;
        option.features = QStyleOptionFrame::None;
        const QSize size = m_editor->style()->sizeFromContents(
            QStyle::CT_LineEdit, &option, QSize(charWidth * propLength(), WidthHintHeight), m_editor);
        const QMargins text = m_editor->textMargins();
        m_editor->setMinimumWidth(size.width() + text.left() + text.right() + WidthPadding);
        break;
    }
    case DisplayMode::None:
        // Nothing to size before the first attributes: this keeps screen loading cheap.
        return;
    default:
        break;
    }
    adjustSize();
}

void ZuFieldWidget::textEdited(const QString &text)
{
    // A field of unknown length (0) would otherwise jump on every key.
    if (m_autonext && propLength() > 0 && text.length() >= propLength()) {
        qDebug() << "autonext! ==>";
        // Sent, not posted: the Enter reaches the page before the next key typed, which must not
        // land in this field once it is full.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier, QString());
        QCoreApplication::sendEvent(this, &enter);
    }
}

// The line edit's own menu names Ctrl+V for Paste, but Ctrl+V is a program key here; Shift+Insert
// pastes. Opened without a nested event loop: a server command may delete the field meanwhile.
void ZuFieldWidget::showEditMenu(QLineEdit *edit, const QPoint &globalPos)
{
    QMenu *menu = edit->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The line edit writes each action's key after a tab; Paste is the one naming the paste key.
    const QString platformPaste = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *action : menu->actions()) {
        const QString text = action->text();
        if (text.section(QLatin1Char('\t'), 1) == platformPaste)
            action->setText(text.section(QLatin1Char('\t'), 0, 0) + QLatin1Char('\t')
                            + QKeySequence(PasteKey).toString(QKeySequence::NativeText));
    }
    menu->popup(globalPos);
}

void ZuFieldWidget::setButtonState(const char *name, bool value)
{
    if (!m_button)
        return;
    m_button->setProperty(name, value);
    repolish(m_button);
}

bool ZuFieldWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Paint)
        return false;
    if (m_mode == DisplayMode::Blob && type == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        if (m_button)
            m_button->click();
        return true;
    }
    if (m_eventDelegate && m_eventDelegate->eventFilter(watched, event))
        return true;

    switch (type) {
    case QEvent::ContextMenu:
        if (auto *edit = qobject_cast<QLineEdit *>(watched)) {
            showEditMenu(edit, static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        if (m_mode != DisplayMode::MultiElement) {
            focusField();
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (!m_readOnly) {
            emit focusIn();
            setButtonState("editHasFocus", true);
        } else if (m_mode == DisplayMode::MultiElement) {
            emit focusIn();
        }
        break;
    case QEvent::FocusOut:
        emit lostFocus();
        setButtonState("editHasFocus", false);
        break;
    case QEvent::HoverEnter:
        setButtonState("editIsHovering", true);
        break;
    case QEvent::HoverLeave:
        setButtonState("editIsHovering", false);
        break;
    default:
        break;
    }
    return false;
}

// Only the field's own hide and show touch the elements: they are siblings, and the parent
// walks a copy of its children while it hides or shows them.
void ZuFieldWidget::showEvent(QShowEvent *event)
{
    ZuProperties::showEvent(event);
    if (m_elementsHidden && m_mode == DisplayMode::MultiElement)
        buildElements(m_refValue);
    m_elementsHidden = false;
}

void ZuFieldWidget::hideEvent(QHideEvent *event)
{
    ZuProperties::hideEvent(event);
    if (isHidden() && m_mode == DisplayMode::MultiElement) {
        removeElements();
        m_elementsHidden = true;
    }
}

QList<QWidget *> ZuFieldWidget::elementWidgets() const
{
    QList<QWidget *> widgets;
    for (const QPointer<QWidget> &element : m_elements) {
        if (element)
            widgets.append(element);
    }
    return widgets;
}

void ZuFieldWidget::removeElements()
{
    const QList<QPointer<QWidget>> elements = std::exchange(m_elements, {});
    for (const QPointer<QWidget> &element : elements)
        delete element.data();
}

// The value is a three-digit row followed by pieces "<align><3-digit column><text>" separated by
// "|"; align "r" puts the text's last character at the column, anything else its first.
void ZuFieldWidget::buildElements(const QString &value)
{
    removeElements();
    if (testAttribute(Qt::WA_WState_ExplicitShowHide) && isHidden()) {
        m_elementsHidden = true;
        return;
    }
    if (value.isEmpty())
        return;

    bool ok = false;
    const int row = value.leftRef(RowDigits).toInt(&ok);
    if (!ok) {
        qWarning() << "Field" << objectName() << "Could not parse multi-element data (a)";
        return;
    }
    QWidget *parent = parentWidget();
    auto *grid = parent ? qobject_cast<QGridLayout *>(parent->layout()) : nullptr;
    const int index = grid ? grid->indexOf(this) : -1;
    if (index < 0) {
        qWarning() << "Field" << objectName() << "multi-element field is not in a grid; elements not shown";
        return;
    }
    int myRow = 0;
    int myColumn = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    grid->getItemPosition(index, &myRow, &myColumn, &rowSpan, &columnSpan);
    qDebug() << "ZZZ" << objectName() << "row" << row << " My row,col:" << myRow << myColumn;
    if (value.size() < RowDigits + 1)
        return;

    int pos = RowDigits;
    while (pos < value.size()) {
        const bool alignRight = value.at(pos) == QLatin1Char('r');
        ++pos;
        const int column = value.midRef(pos, ColumnDigits).toInt(&ok);
        if (!ok || column < 0) {
            qWarning() << "Field" << objectName() << "Could not parse multi-element data (b)";
            return;
        }
        pos += ColumnDigits;
        const int bar = value.indexOf(QLatin1Char('|'), pos);
        const QString text = value.mid(pos, bar < 0 ? -1 : bar - pos);
        pos = bar < 0 ? value.size() : bar + 1;
        qDebug() << "    col:" << column << " alignRight:" << alignRight << " text:" << text;
        if (text.isEmpty())
            continue;

        QWidget *element = nullptr;
        if (consistsOf(text, QLatin1Char('-')) || consistsOf(text, QLatin1Char('='))) {
            auto *line = new QFrame(parent);
            line->setFrameShape(QFrame::HLine);
            if (text.at(0) == QLatin1Char('='))
                line->setLineWidth(2);
            element = line;
        } else {
            auto *label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment((alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            element = label;
        }
        element->setProperty(MultiElementProperty, true);
        const int first = qMax(0, alignRight ? column - text.size() + 1 : column);
        const int span = alignRight ? column - first + 1 : text.size();
        grid->addWidget(element, myRow, first, 1, span);
        element->stackUnder(this);
        m_elements.append(element);
    }
}
