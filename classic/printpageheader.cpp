#include "printpageheader.h"

#include <QPainter>

namespace {
constexpr int HeaderLineHeight = 20;
}

PrintPageHeader::PrintPageHeader(const QString &title)
    : m_title(title)
{ }

void PrintPageHeader::preparePage(QPainter *painter)
{
    ++m_pageNumber;
    const QRect line(0, 0, painter->viewport().width(), HeaderLineHeight);
    QRect titleBounds;
    QRect numberBounds;
    painter->drawText(line, Qt::AlignLeft | Qt::AlignTop, m_title, &titleBounds);
    painter->drawText(line, Qt::AlignRight | Qt::AlignTop, QStringLiteral("page %1").arg(m_pageNumber),
                      &numberBounds);
    painter->translate(0, qMax(titleBounds.height(), numberBounds.height()));
}
