#pragma once

class QPainter;

// Draws what belongs above the table on every printed page. Called with the painter's origin at
// the top-left of the page; leaves the painter translated to where the table may begin.
class PagePrepare
{
public:
    virtual ~PagePrepare() = default;
    virtual void preparePage(QPainter *painter) = 0;
};
