#include "ringmenubutton.h"

#include "toolbaricon.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

constexpr int InnerMargin = 8;
constexpr int InnerSpacing = 4;
constexpr int IconSize = 24;
constexpr int ShortcutLabelIndex = 2;
constexpr auto ChevronPath = ":/icons/chevron-down_white.svg";

// Position of the first occurrence of the key character in any case, or -1.
int keyCharIndex(const QString &text, int keyChar)
{
    if (keyChar <= 0 || keyChar > 0xFFFF)
        return -1;
    return text.indexOf(QChar(keyChar), 0, Qt::CaseInsensitive);
}

} // namespace

RingMenuButton::RingMenuButton(const QString &text, QWidget *parent)
    : QPushButton(parent)
    , m_text(text)
    , m_chevronIcon(toolbarIcon(QLatin1String(ChevronPath)))
    , m_layout(new QHBoxLayout(this))
    , m_iconLabel(new QLabel(this))
    , m_textLabel(new QLabel(this))
{
    m_layout->setContentsMargins(InnerMargin, InnerMargin, InnerMargin, InnerMargin);
    m_layout->setSpacing(InnerSpacing);
    m_textLabel->setObjectName(QStringLiteral("ringMenuText"));
    m_textLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    m_textLabel->setTextFormat(Qt::RichText);
    m_layout->addWidget(m_iconLabel);
    m_layout->addWidget(m_textLabel);
    renderText();
    renderLook(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_dropDown)
            m_dropDown->popup(mapToGlobal(QPoint(0, height())));
    });
}

void RingMenuButton::setText(const QString &text)
{
    m_text = text;
    // The text is drawn by child labels, which assistive technology does not read for a button.
    setAccessibleName(text);
    renderText();
}

void RingMenuButton::setKeyChar(int keyChar)
{
    m_keyChar = keyChar;
    renderText();
}

void RingMenuButton::setShortcut(const QKeySequence &sequence)
{
    QPushButton::setShortcut(sequence);
    if (sequence.isEmpty()) {
        delete m_shortcutLabel;
        m_shortcutLabel = nullptr;
        return;
    }
    if (!m_shortcutLabel) {
        m_shortcutLabel = new QLabel(this);
        m_shortcutLabel->setObjectName(QStringLiteral("ringMenuShortcut"));
        m_layout->insertWidget(qMin(ShortcutLabelIndex, m_layout->count()), m_shortcutLabel);
    }
    m_shortcutLabel->setText(sequence.toString(QKeySequence::NativeText));
    renderLook(hasFocus());
}

// The drop-down opens as a popup: QPushButton's own menu runs a nested event loop, inside which
// the page (and the button) may be deleted by a server message, and keys typed ahead would wait
// behind it.
void RingMenuButton::setMenu(QMenu *menu)
{
    m_dropDown = menu;
    if (!menu) {
        delete m_chevronLabel;
        m_chevronLabel = nullptr;
        return;
    }
    if (!m_chevronLabel) {
        m_chevronLabel = new QLabel(this);
        m_layout->addWidget(m_chevronLabel);
    }
    renderLook(hasFocus());
}

QSize RingMenuButton::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return m_layout->sizeHint() + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QString RingMenuButton::withMnemonic(const QString &text, int keyChar)
{
    const int at = keyCharIndex(text, keyChar);
    QString result;
    for (int i = 0; i < text.size(); ++i) {
        if (i == at)
            result += QLatin1Char('&');
        if (text.at(i) == QLatin1Char('&'))
            result += QLatin1Char('&');
        result += text.at(i);
    }
    return result;
}

void RingMenuButton::renderText()
{
    const int at = keyCharIndex(m_text, m_keyChar);
    if (at < 0) {
        m_textLabel->setText(m_text.toHtmlEscaped());
        return;
    }
    m_textLabel->setText(m_text.left(at).toHtmlEscaped() + QLatin1String("<u>")
                         + m_text.mid(at, 1).toHtmlEscaped() + QLatin1String("</u>")
                         + m_text.mid(at + 1).toHtmlEscaped());
}

void RingMenuButton::renderLook(bool focused)
{
    const QIcon::Mode mode = focused ? QIcon::Active : QIcon::Normal;
    m_iconLabel->setPixmap(m_icon.pixmap(IconSize, IconSize, mode));
    m_textLabel->setForegroundRole(focused ? QPalette::BrightText : QPalette::Text);
    if (m_shortcutLabel)
        m_shortcutLabel->setForegroundRole(focused ? QPalette::BrightText : QPalette::ButtonText);
    if (m_chevronLabel)
        m_chevronLabel->setPixmap(m_chevronIcon.pixmap(IconSize, IconSize, mode));
}

void RingMenuButton::focusInEvent(QFocusEvent *event)
{
    QPushButton::focusInEvent(event);
    renderLook(true);
}

void RingMenuButton::focusOutEvent(QFocusEvent *event)
{
    QPushButton::focusOutEvent(event);
    renderLook(false);
}
