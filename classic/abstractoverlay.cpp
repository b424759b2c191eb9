#include "abstractoverlay.h"

#include "ringmenuwidget.h"

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
