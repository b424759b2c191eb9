#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPdfPageNavigation;
class QPushButton;

// Page number (counted from one), page count and previous/next buttons for a PDF view's
// navigation. A typed number outside the document goes to the nearest page; text that is not a
// number puts back the current page.
class PageSelector : public QWidget
{
    Q_OBJECT

public:
    explicit PageSelector(QWidget *parent = nullptr);

    void setPageNavigation(QPdfPageNavigation *navigation);

private slots:
    void onCurrentPageChanged(int page);
    void pageNumberEdited();

private:
    QPdfPageNavigation *m_navigation = nullptr;
    QLineEdit *m_pageNumber;
    QLabel *m_pageCount;
    QPushButton *m_previous;
    QPushButton *m_next;
};
