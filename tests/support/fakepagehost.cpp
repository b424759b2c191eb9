#include "fakepagehost.h"

#include "utils/taskpagewidget.h"

FakePageHost::FakePageHost(QObject *parent)
    : QObject(parent)
    , m_desk(std::make_unique<QWidget>())
{
    m_desk->resize(900, 700);
    m_desk->show();
}

FakePageHost::~FakePageHost() = default;

void FakePageHost::addTaskPage(TaskPageWidget *page)
{
    if (!m_known.contains(page)) {
        m_known.append(page);
        connect(page, &TaskPageWidget::detachClicked, this, [this, page] { detach(page); });
    }
    if (!isOnTaskBar(page))
        m_taskBar.append(page);
    if (page->isAttached())
        page->show();
}

void FakePageHost::removeTaskPage(TaskPageWidget *page, bool delayed)
{
    m_taskBar.removeAll(page);
    page->hide();
    if (delayed)
        page->deleteLater();
}

void FakePageHost::reattachTaskPage(TaskPageWidget *page)
{
    reattached.append(page);
    page->setParent(m_desk.get());
    page->setAttached(true);
}

bool FakePageHost::isOnTaskBar(const TaskPageWidget *page) const
{
    for (const QPointer<TaskPageWidget> &entry : m_taskBar)
        if (entry == page)
            return true;
    return false;
}

void FakePageHost::detach(TaskPageWidget *page)
{
    const QRect where(m_desk->geometry().topLeft() + QPoint(40, 40), QSize(700, 500));
    page->setParent(nullptr, Qt::Window);
    page->setAttached(false);
    page->setGeometry(where);
    page->show();
}
