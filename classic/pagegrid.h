#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

class QButtonGroup;
class QGridLayout;
class QStackedWidget;
class QWidget;
struct SavedWindowState;

// The character grid of a classic page: one grid cell is one character cell of the server's form,
// split into pages at the screen's page breaks. Each page is a "pageContents" widget in the page
// stack with a button "Screen n" to show it. Widgets are placed by absolute row; clearing an area
// deletes what lies wholly inside it, except widgets a pushed window still needs, which are set
// aside in that window's saved state and parked, hidden, under a holder that dies with the page.
class PageGrid : public QObject
{
    Q_OBJECT

public:
    static constexpr int AllRows = 999;
    static constexpr int AllColumns = 999;
    static constexpr int StretchRow = 50;
    static constexpr int SizedColumns = 80;

    using SavedStateSource = std::function<SavedWindowState *()>;

    // Pages live in pageStack, their buttons in buttonBox. savedState gives the top of the window
    // stack (or null); focusFallback takes the focus from a widget that is about to go. Widgets set
    // aside are parked, hidden, under a holder made in parkingParent, outside the page stack.
    PageGrid(QStackedWidget *pageStack, QWidget *buttonBox, SavedStateSource savedState,
             QWidget *focusFallback, QWidget *parkingParent, QObject *parent = nullptr);

    QList<int> pageStarts() const { return m_pageStarts; }
    int pageCount() const { return m_pages.size(); }
    QWidget *page(int index) const;
    QGridLayout *pageLayout(int index) const;
    int currentPage() const;
    // The page holding a widget placed on the grid (or inside one), -1 if none.
    int pageOf(const QWidget *widget) const;
    QButtonGroup *pageButtons() const { return m_buttons; }

    // Returns true when the form now has more than one page.
    bool setPageBreaks(QList<int> starts);
    void place(QWidget *widget, int row, int column, int rowSpan, int columnSpan);
    void clearArea(const QRect &area);
    // The widgets in the grid cells of every page; multi-element pieces are left out.
    QList<QWidget *> placedWidgets() const;
    void showPage(int index);

    // Minimum width of the first SizedColumns columns of every page, now and for pages made later.
    void setColumnWidth(int width);
    int columnWidth() const { return m_columnWidth; }
    int minimumWidth(int page) const;

private:
    QWidget *addPage();
    void syncButtons();

    QStackedWidget *m_pageStack;
    QWidget *m_buttonBox;
    QButtonGroup *m_buttons;
    SavedStateSource m_savedState;
    QPointer<QWidget> m_focusFallback;
    QWidget *m_parking;
    QList<QWidget *> m_pages;
    QList<int> m_pageStarts;
    int m_columnWidth = 0;
};
