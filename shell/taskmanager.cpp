#include "taskmanager.h"

#include "circlenumberwidget.h"
#include "modaltaskbuttonflyout.h"
#include "utils/taskpagewidget.h"

#include "style/stylemanager.h"
#include "utils/busymouse.h"
#include "utils/plaintext.h"
#include "utils/windowfit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDebug>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QMimeData>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <QtMath>

namespace {

const QString BusyReason = QStringLiteral("appRemoveDelay");
constexpr int BusyTimeoutMs = 8000;
constexpr QSize UtilityIconSize(32, 32);
constexpr int DetachTargetWidth = 1300;
constexpr int DetachTargetHeight = 900;

TaskPageWidget *pageOf(const QAbstractButton *button)
{
    return button ? qobject_cast<TaskPageWidget *>(button->property("page").value<QWidget *>()) : nullptr;
}

} // namespace

TaskManager::TaskManager(QWidget *parent)
    : QWidget(parent)
    , m_homeButton(new QPushButton(this))
    , m_pageStack(new QStackedWidget(this))
    , m_buttonGroup(new QButtonGroup(this))
    , m_outerLayout(new QHBoxLayout(this))
    , m_taskButtonLayout(new QVBoxLayout)
    , m_filesButton(new QPushButton(this))
    , m_schedButton(new QPushButton(this))
    , m_countBadge(new CircleNumberWidget(0, m_schedButton))
{
    m_buttonGroup->setExclusive(true);
    connect(m_buttonGroup, qOverload<QAbstractButton *>(&QButtonGroup::buttonClicked), this,
            &TaskManager::taskButtonClicked);
    m_pageStack->setFrameShape(QFrame::NoFrame);
    m_pageStack->setContentsMargins(0, 0, 0, 0);
    m_pageStack->setObjectName(QStringLiteral("pageStack"));

    m_homeButton->setIcon(QIcon(QStringLiteral(":/icons/halvorne_icon.svg")));
    m_homeButton->setObjectName(QStringLiteral("taskbarButton"));
    m_homeButton->setIconSize(UtilityIconSize);
    m_homeButton->setAutoFillBackground(true);
    m_homeButton->setCheckable(true);
    m_homeButton->setChecked(true);
    m_homeButton->setToolTip(QStringLiteral("Home"));
    m_homeButton->setAccessibleName(m_homeButton->toolTip());
    m_buttonGroup->addButton(m_homeButton);
    m_taskButtonLayout->setSpacing(8);
    m_taskButtonLayout->setContentsMargins(8, 8, 4, 8);
    m_taskButtonLayout->addWidget(m_homeButton);
    pushRecentButton(m_homeButton);

    auto *column = new QVBoxLayout;
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 8);
    column->addLayout(m_taskButtonLayout);
    column->addStretch(1);
    column->addWidget(m_filesButton, 0, Qt::AlignHCenter);
    column->addWidget(m_schedButton, 0, Qt::AlignHCenter);

    m_filesButton->setObjectName(QStringLiteral("utilityButton"));
    m_filesButton->setIconSize(UtilityIconSize);
    m_filesButton->setToolTip(QStringLiteral("Recent Files"));
    m_filesButton->setAccessibleName(m_filesButton->toolTip());
    connect(m_filesButton, &QPushButton::clicked, this, &TaskManager::filesActivated);
    m_schedButton->setObjectName(QStringLiteral("utilityButton"));
    m_schedButton->setIconSize(UtilityIconSize);
    m_schedButton->setToolTip(QStringLiteral("Scheduled Processes"));
    m_schedButton->setAccessibleName(m_schedButton->toolTip());
    connect(m_schedButton, &QPushButton::clicked, this, &TaskManager::schedProcActivated);
    // Reaching the style manager first registers the "theme:" icon folder.
    connect(StyleManager::instance(), &StyleManager::themeChanged, this, &TaskManager::themeChanged);
    themeChanged();

    auto *badgeLayout = new QGridLayout(m_schedButton);
    badgeLayout->setOriginCorner(Qt::TopRightCorner);
    badgeLayout->setContentsMargins(0, 0, 0, 0);
    m_countBadge->setObjectName(QStringLiteral("schedTaskCount"));
    m_countBadge->setMaximumSize(16, 16);
    badgeLayout->addWidget(m_countBadge, 0, 0);
    badgeLayout->addItem(new QSpacerItem(16, 16, QSizePolicy::Minimum, QSizePolicy::Minimum), 1, 1);

    m_outerLayout->setContentsMargins(0, 0, 0, 0);
    m_outerLayout->setSpacing(0);
    m_outerLayout->addLayout(column);
    m_outerLayout->addWidget(m_pageStack, 1);

    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &TaskManager::cycleTasks);

    m_removalTimer.setSingleShot(true);
    m_removalTimer.setInterval(RemovalDelayMs);
    connect(&m_removalTimer, &QTimer::timeout, this, &TaskManager::delayedAppDestruct);
}

void TaskManager::themeChanged()
{
    m_filesButton->setIcon(QIcon(QStringLiteral("theme:file_taskbar.svg")));
    m_schedButton->setIcon(QIcon(QStringLiteral("theme:clock_taskbar.svg")));
}

void TaskManager::setHomePage(QWidget *page)
{
    if (auto *old = m_homeButton->property("page").value<QWidget *>()) {
        m_pageStack->removeWidget(old);
        old->deleteLater();
    }
    m_homeButton->setProperty("page", QVariant::fromValue(page));
    m_pageStack->addWidget(page);
    if (m_homeButton->isChecked())
        m_pageStack->setCurrentWidget(page);
}

QList<TaskPageWidget *> TaskManager::pages() const
{
    QList<TaskPageWidget *> pages;
    const QList<QAbstractButton *> buttons = taskButtons();
    for (const QAbstractButton *button : buttons)
        if (TaskPageWidget *page = pageOf(button))
            pages << page;
    return pages;
}

QAbstractButton *TaskManager::buttonFor(QWidget *page) const
{
    const QList<QAbstractButton *> buttons = m_buttonGroup->buttons();
    for (QAbstractButton *button : buttons)
        if (button->property("page").value<QWidget *>() == page)
            return button;
    return nullptr;
}

QList<QAbstractButton *> TaskManager::taskButtons() const
{
    QList<QAbstractButton *> buttons;
    for (int i = 0; i < m_taskButtonLayout->count(); ++i)
        if (auto *button = qobject_cast<QAbstractButton *>(m_taskButtonLayout->itemAt(i)->widget()))
            buttons << button;
    return buttons;
}

QPushButton *TaskManager::addPage(TaskPageWidget *page)
{
    if (m_removalTimer.isActive())
        delayedAppDestruct();
    if (auto *existing = qobject_cast<QPushButton *>(buttonFor(page)))
        return existing;

    connect(page, &TaskPageWidget::detachClicked, this, &TaskManager::detachClicked, Qt::UniqueConnection);
    connect(page, &TaskPageWidget::titleChanged, this, &TaskManager::applicationTitleChanged,
            Qt::UniqueConnection);
    connect(page, &TaskPageWidget::iconChanged, this, &TaskManager::applicationIconChanged,
            Qt::UniqueConnection);
    connect(page, &TaskPageWidget::focusReceived, this, &TaskManager::detachedGotFocus, Qt::UniqueConnection);
    connect(page, &TaskPageWidget::pageEnded, this, &TaskManager::pageEnded, Qt::UniqueConnection);
    connect(page, &TaskPageWidget::endedPageClosed, this, &TaskManager::endedPageClosed,
            Qt::UniqueConnection);

    if (page->isAttached()) {
        page->setParent(m_pageStack);
        m_pageStack->addWidget(page);
        m_pageStack->setCurrentWidget(page);
    }

    auto *button = new QPushButton(page->shortName(), this);
    button->setObjectName(QStringLiteral("taskbarButton"));
    button->installEventFilter(this);
    if (page->isSoloApp())
        button->setProperty("isSoloApp", true);
    button->setAutoFillBackground(true);
    button->setCheckable(true);
    button->setProperty("page", QVariant::fromValue<QWidget *>(page));
    button->setToolTip(PlainText::escaped(page->title()));
    // The button shows two letters; it is read out by the page's title.
    button->setAccessibleName(page->title());
    m_buttonGroup->addButton(button);
    m_taskButtonLayout->addWidget(button);
    updateModality();
    button->click();
    page->activateWindow();
    return button;
}

void TaskManager::removePage(TaskPageWidget *page, bool delayed)
{
    if (m_removalTimer.isActive())
        delayedAppDestruct();
    if (delayed) {
        m_removalTimer.setProperty("aw", QVariant::fromValue<QWidget *>(page));
        m_removalTimer.start();
        BusyMouse::instance()->start(BusyReason, BusyTimeoutMs);
        return;
    }

    m_pageStack->removeWidget(page);
    page->hide();
    QAbstractButton *button = buttonFor(page);
    if (button) {
        m_recentButtons.removeAll(button);
        m_buttonGroup->removeButton(button);
        delete button;
    }
    updateModality();
    if (!button)
        return;
    m_recentButtons.removeAll(nullptr);
    QAbstractButton *next = m_recentButtons.isEmpty() ? m_homeButton : m_recentButtons.last().data();
    next->click();
}

void TaskManager::delayedAppDestruct()
{
    m_removalTimer.stop();
    BusyMouse::instance()->stop(BusyReason);
    auto *page = qobject_cast<TaskPageWidget *>(m_removalTimer.property("aw").value<QWidget *>());
    m_removalTimer.setProperty("aw", QVariant());
    if (!page)
        return;
    removePage(page, false);
    page->deleteLater();
}

void TaskManager::pushRecentButton(QAbstractButton *button)
{
    m_recentButtons.removeAll(button);
    m_recentButtons.append(button);
    while (m_recentButtons.size() > MaxRecentButtons)
        m_recentButtons.removeFirst();
}

void TaskManager::taskButtonClicked(QAbstractButton *button)
{
    pushRecentButton(button);
    QWidget *page = button->property("page").value<QWidget *>();
    if (!page)
        return;
    if (m_pageStack->indexOf(page) >= 0) {
        m_pageStack->setCurrentWidget(page);
    } else {
        page->showNormal();
        page->raise();
        page->activateWindow();
    }
    page->setFocus(Qt::OtherFocusReason);
}

void TaskManager::resetButtonToContents()
{
    if (QAbstractButton *button = buttonFor(m_pageStack->currentWidget())) {
        button->setChecked(true);
        pushRecentButton(button);
    }
}

void TaskManager::detachedGotFocus()
{
    auto *page = qobject_cast<TaskPageWidget *>(sender());
    if (!page || page->isAttached())
        return;
    if (QAbstractButton *button = buttonFor(page)) {
        button->setChecked(true);
        pushRecentButton(button);
    }
}

void TaskManager::applicationTitleChanged(const QString &title)
{
    if (QAbstractButton *button = buttonFor(qobject_cast<QWidget *>(sender()))) {
        button->setToolTip(PlainText::escaped(title));
        button->setAccessibleName(title);
    }
}

void TaskManager::applicationIconChanged(const QIcon &)
{ }

// An ended page's button says so; an ended solo page no longer holds the desktop.
void TaskManager::pageEnded()
{
    auto *page = qobject_cast<TaskPageWidget *>(sender());
    if (QAbstractButton *button = buttonFor(page)) {
        const QString label = tr("%1 (ended)").arg(page->title());
        button->setProperty("ended", true);
        button->setToolTip(PlainText::escaped(label));
        button->setAccessibleName(label);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
    updateModality();
}

void TaskManager::endedPageClosed()
{
    auto *page = qobject_cast<TaskPageWidget *>(sender());
    if (!page || !buttonFor(page))
        return;
    removePage(page, false);
    page->deleteLater();
}

QAbstractButton *TaskManager::newestButton() const
{
    const QList<QAbstractButton *> buttons = m_buttonGroup->buttons();
    return buttons.isEmpty() ? nullptr : buttons.last();
}

void TaskManager::updateModality()
{
    const TaskPageWidget *page = pageOf(newestButton());
    const bool modal = page && page->isSoloApp();
    if (modal == m_isModalRequired)
        return;
    m_isModalRequired = modal;
    emit isModalRequiredChanged(modal);
    const QList<QAbstractButton *> buttons = m_buttonGroup->buttons();
    for (QAbstractButton *button : buttons)
        button->setEnabled(!modal);
    for (QPushButton *utility : { m_filesButton, m_schedButton }) {
        utility->setEnabled(!modal);
        if (modal)
            utility->installEventFilter(this);
        else
            utility->removeEventFilter(this);
    }
}

void TaskManager::showModalFlyout()
{
    QAbstractButton *button = newestButton();
    const TaskPageWidget *page = pageOf(button);
    if (!page || !page->isSoloApp())
        return;
    ModalTaskButtonFlyout::showFlyout(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
}

bool TaskManager::eventFilter(QObject *watched, QEvent *event)
{
    if (m_isModalRequired) {
        if (event->type() == QEvent::MouseButtonRelease)
            showModalFlyout();
        return false;
    }
    auto *button = qobject_cast<QPushButton *>(watched);
    if (!button)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            m_pressPosition = mouse->pos();
    } else if (event->type() == QEvent::MouseMove) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if ((mouse->buttons() & Qt::LeftButton)
            && (mouse->pos() - m_pressPosition).manhattanLength() > QApplication::startDragDistance()) {
            startDrag(button);
            return true;
        }
    }
    return false;
}

int TaskManager::layoutIndexOf(QWidget *widget) const
{
    return m_taskButtonLayout->indexOf(widget);
}

void TaskManager::startDrag(QPushButton *button)
{
    // Guarded: an application that ends during the drag takes its button with it.
    const QPointer<QAbstractButton> checked = m_buttonGroup->checkedButton();
    const QPointer<QPushButton> dragged = button;
    m_draggedButton = button;
    m_dragStartIndex = m_dragCurrentIndex = layoutIndexOf(button);

    // Not the button's child: the drag must outlive a button deleted while it runs.
    auto *drag = new QDrag(this);
    drag->setPixmap(button->grab());
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(DragFormat), QByteArray());
    drag->setMimeData(mime);
    auto *effect = new QGraphicsOpacityEffect(button);
    effect->setOpacity(0.4);
    button->setGraphicsEffect(effect);

    setAcceptDrops(true);
    const Qt::DropAction action = drag->exec(Qt::MoveAction);
    setAcceptDrops(false);
    m_draggedButton = nullptr;
    qDebug() << "TaskManager: drop action" << action;
    if (!dragged) {
        qInfo() << "TaskManager: the dragged page was closed during the drag";
        return;
    }

    if (action != Qt::MoveAction && m_dragCurrentIndex != m_dragStartIndex) {
        m_taskButtonLayout->removeWidget(dragged);
        m_taskButtonLayout->insertWidget(qBound(0, m_dragStartIndex, m_taskButtonLayout->count()), dragged);
    }
    dragged->setGraphicsEffect(nullptr);
    dragged->setChecked(false);
    if (checked)
        checked->setChecked(true);
}

void TaskManager::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(DragFormat)))
        event->acceptProposedAction();
}

void TaskManager::dragMoveEvent(QDragMoveEvent *event)
{
    if (!event->mimeData()->hasFormat(QLatin1String(DragFormat)) || !m_draggedButton)
        return;
    const int target = dropIndexFor(event->source(), event->pos());
    if (target < 0) {
        event->ignore();
        return;
    }
    moveDraggedButton(target);
    event->accept();
}

// The drag's source is this bar (the drag object's parent), not the button.
void TaskManager::dropEvent(QDropEvent *event)
{
    const int target = dropIndexFor(event->source(), event->pos());
    if (target < 0 || !m_draggedButton || event->proposedAction() != Qt::MoveAction) {
        event->ignore();
        return;
    }
    moveDraggedButton(target);
    event->acceptProposedAction();
}

int TaskManager::dropIndexFor(const QObject *source, const QPoint &pos) const
{
    const int count = m_taskButtonLayout->count();
    const QRect column = m_taskButtonLayout->geometry();
    if (source != this || count < 2 || pos.x() < column.left() || pos.x() > column.right())
        return -1;
    // Above the home button, or over it, is the first place after it.
    int target = 1;
    while (target < count - 1 && pos.y() >= m_taskButtonLayout->itemAt(target + 1)->geometry().top())
        ++target;
    return target;
}

void TaskManager::moveDraggedButton(int target)
{
    if (!m_draggedButton || target == m_dragCurrentIndex)
        return;
    m_taskButtonLayout->removeWidget(m_draggedButton);
    m_taskButtonLayout->insertWidget(target, m_draggedButton);
    m_dragCurrentIndex = target;
}

QRect TaskManager::detachedGeometry(const QRect &rect)
{
    const int dw = DetachTargetWidth - rect.width();
    const int dh = DetachTargetHeight - rect.height();
    QRect result = rect;
    result.setLeft(rect.left() - dw / 4);
    result.setRight(rect.right() + dw / 4);
    result.setTop(rect.top() - dh / 4);
    result.setBottom(rect.bottom() + dh / 4);
    return result;
}

int TaskManager::reattachDuration(const QRect &from, const QRect &to)
{
    const QPoint move = from.topLeft() - to.topLeft();
    const QPoint resize(from.width() - to.width(), from.height() - to.height());
    const int d1 = int(std::hypot(move.x(), move.y()));
    const int d2 = int(std::hypot(resize.x(), resize.y()));
    return qMin(qMax(d1, d2), MaxReattachMs);
}

void TaskManager::detachClicked()
{
    auto *page = qobject_cast<TaskPageWidget *>(sender());
    if (!page)
        return;
    if (page->isAttached()) {
        const QRect rect = detachedGeometry(QRect(page->mapToGlobal(QPoint(0, 0)), page->size()));
        m_pageStack->removeWidget(page);
        page->setParent(nullptr,
                        Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint
                            | Qt::WindowMaximizeButtonHint | Qt::CustomizeWindowHint);
        page->setAttached(false);
        page->setGeometry(rect);
        page->show();
        fitWindowOntoDesktop(page);
        page->activateWindow();
        page->setFocus(Qt::OtherFocusReason);
        m_pageStack->setCurrentIndex(0);
        return;
    }
    const QRect target(m_pageStack->mapToGlobal(QPoint(0, 0)), m_pageStack->size());
    auto *animation = new QPropertyAnimation(page, "geometry", page);
    animation->setEndValue(target);
    animation->setEasingCurve(QEasingCurve::OutQuart);
    animation->setDuration(reattachDuration(page->geometry(), target));
    connect(animation, &QPropertyAnimation::finished, this, &TaskManager::formReattachAnimationFinished);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void TaskManager::formReattachAnimationFinished()
{
    auto *animation = qobject_cast<QPropertyAnimation *>(sender());
    if (auto *page = animation ? qobject_cast<TaskPageWidget *>(animation->targetObject()) : nullptr)
        reattachForm(page);
}

void TaskManager::reattachForm(TaskPageWidget *aw)
{
    aw->setParent(m_pageStack);
    aw->setAttached(true);
    m_pageStack->addWidget(aw);
    TaskPageWidget *newest = pageOf(newestButton());
    if (newest && newest->isSoloApp() && newest != aw && m_pageStack->indexOf(newest) >= 0)
        m_pageStack->setCurrentWidget(newest);
    else
        m_pageStack->setCurrentWidget(aw);
    window()->activateWindow();
    // Keys typed after re-attaching must reach the page, not whatever had the focus before.
    if (QWidget *current = m_pageStack->currentWidget())
        current->setFocus(Qt::OtherFocusReason);
}

void TaskManager::cycleTasks()
{
    const QList<QAbstractButton *> buttons = taskButtons();
    const int checked = buttons.indexOf(m_buttonGroup->checkedButton());
    QAbstractButton *chosen = buttons.value(0);
    for (int i = checked + 1; i < buttons.size(); ++i) {
        const TaskPageWidget *page = pageOf(buttons.at(i));
        if (page && page->isAttached()) {
            chosen = buttons.at(i);
            break;
        }
    }
    if (chosen)
        chosen->click();
}

void TaskManager::setScheduledTaskCount(int count)
{
    m_countBadge->setNumber(count);
}

int TaskManager::scheduledTaskCount() const
{
    return m_countBadge->number();
}

QRect TaskManager::filesButtonRect() const
{
    return QRect(m_filesButton->mapToGlobal(QPoint(0, 0)), m_filesButton->size());
}

QRect TaskManager::schedButtonRect() const
{
    return QRect(m_schedButton->mapToGlobal(QPoint(0, 0)), m_schedButton->size());
}
