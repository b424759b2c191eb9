#include "pageselector.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPdfPageNavigation>
#include <QPushButton>

namespace {

QPushButton *stepButton(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(name);
    button->setFlat(true);
    button->setIconSize(QSize(24, 24));
    button->setCursor(Qt::PointingHandCursor);
    button->setEnabled(false);
    return button;
}

QString countText(int count)
{
    return QStringLiteral("of %1").arg(count);
}

} // namespace

PageSelector::PageSelector(QWidget *parent)
    : QWidget(parent)
    , m_pageNumber(new QLineEdit(this))
    , m_pageCount(new QLabel(QStringLiteral("0"), this))
    , m_previous(stepButton(QStringLiteral("prevButton"), this))
    , m_next(stepButton(QStringLiteral("nextButton"), this))
{
    m_pageNumber->setAlignment(Qt::AlignRight);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_previous);
    layout->addWidget(m_pageNumber);
    layout->addWidget(m_pageCount);
    layout->addWidget(m_next);
}

void PageSelector::setPageNavigation(QPdfPageNavigation *navigation)
{
    m_navigation = navigation;
    if (!navigation)
        return;
    connect(m_previous, &QPushButton::clicked, navigation, &QPdfPageNavigation::goToPreviousPage);
    connect(navigation, &QPdfPageNavigation::canGoToPreviousPageChanged, m_previous, &QPushButton::setEnabled);
    m_previous->setEnabled(navigation->canGoToPreviousPage());
    connect(navigation, &QPdfPageNavigation::currentPageChanged, this, &PageSelector::onCurrentPageChanged);
    connect(navigation, &QPdfPageNavigation::pageCountChanged, m_pageCount,
            [this](int count) { m_pageCount->setText(countText(count)); });
    connect(m_pageNumber, &QLineEdit::editingFinished, this, &PageSelector::pageNumberEdited);
    connect(m_next, &QPushButton::clicked, navigation, &QPdfPageNavigation::goToNextPage);
    connect(navigation, &QPdfPageNavigation::canGoToNextPageChanged, m_next, &QPushButton::setEnabled);
    m_next->setEnabled(navigation->canGoToNextPage());
    m_pageCount->setText(countText(navigation->pageCount()));
    onCurrentPageChanged(navigation->currentPage());
}

void PageSelector::onCurrentPageChanged(int page)
{
    const bool hasPages = m_navigation && m_navigation->pageCount() > 0;
    m_pageNumber->setText(hasPages ? QString::number(page + 1) : QStringLiteral("0"));
}

void PageSelector::pageNumberEdited()
{
    if (!m_navigation)
        return;
    bool ok = false;
    const int number = m_pageNumber->text().toInt(&ok);
    if (!ok || m_navigation->pageCount() <= 0) {
        onCurrentPageChanged(m_navigation->currentPage());
        return;
    }
    m_navigation->setCurrentPage(qBound(0, number - 1, m_navigation->pageCount() - 1));
    // Staying on the same page emits nothing, but 99 typed on the last page must still read 5.
    onCurrentPageChanged(m_navigation->currentPage());
}
