#include "elidedlabel.h"

#include <QPainter>

ElidedLabel::ElidedLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
    // Elided text is drawn as it is; server names are never markup.
    setTextFormat(Qt::PlainText);
}

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : ElidedLabel(parent, flags)
{
    setText(text);
}

void ElidedLabel::setText(const QString &text)
{
    QLabel::setText(text);
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_mode = mode;
    update();
}

QSize ElidedLabel::minimumSizeHint() const
{
    // It can always shrink: the ellipsis takes what does not fit.
    return m_mode == Qt::ElideNone ? QLabel::minimumSizeHint() : QSize(0, QLabel::minimumSizeHint().height());
}

QString ElidedLabel::elidedText() const
{
    return fontMetrics().elidedText(text(), m_mode, width(), Qt::TextShowMnemonic);
}

void ElidedLabel::paintEvent(QPaintEvent *event)
{
    if (m_mode == Qt::ElideNone) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect(), int(alignment()), elidedText());
}
