#pragma once

#include "pageprepare.h"

#include <QString>

// The top line of a printed table page: the title at the left, "page N" at the right, counting
// from 1 on the first page it prepares.
class PrintPageHeader : public PagePrepare
{
public:
    explicit PrintPageHeader(const QString &title);

    void preparePage(QPainter *painter) override;
    int pageNumber() const { return m_pageNumber; }

private:
    QString m_title;
    int m_pageNumber = 0;
};
