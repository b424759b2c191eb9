#include "abstractoverlay.h"

#include "ringmenuwidget.h"

#include <QGraphicsDropShadowEffect>

namespace {
constexpr int ShadowBlurRadius = 8;
constexpr int ShadowAlpha = 50;
constexpr QPoint ShadowOffset(4, 4);
} // namespace

AbstractOverlay::AbstractOverlay(QWidget *parent)
    : QWidget(parent)
{ }

void AbstractOverlay::setTitleText(const QString &text)
{
    if (text == m_titleText)
        return;
    m_titleText = text;
    emit titleTextChanged(m_titleText);
}

void AbstractOverlay::setStatusText(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(m_statusText);
}

void AbstractOverlay::setErrorText(const QString &text)
{
    if (text == m_errorText)
        return;
    m_errorText = text;
    emit errorTextChanged(m_errorText);
}

void AbstractOverlay::setMenu(const Pb::ScreenMenu &menu)
{
    m_menu = menu;
    emit menuChanged(m_menu);
}

void AbstractOverlay::setKeyboardMode(int mode)
{
    if (mode == m_keyboardMode)
        return;
    m_keyboardMode = mode;
    emit keyboardModeChanged(m_keyboardMode);
}

void AbstractOverlay::renderMenu(const Pb::ScreenMenu &msgMenu)
{
    if (RingMenuWidget *ring = ringMenu())
        ring->buildMenu(msgMenu, false);
}

void AbstractOverlay::indicateIsAttached(bool)
{ }

void AbstractOverlay::addShadow(QWidget *box)
{
    auto *shadow = new QGraphicsDropShadowEffect(box);
    shadow->setBlurRadius(ShadowBlurRadius);
    shadow->setColor(QColor(0, 0, 0, ShadowAlpha));
    shadow->setOffset(ShadowOffset);
    box->setGraphicsEffect(shadow);
}
