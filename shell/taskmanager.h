#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class CircleNumberWidget;
class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class TaskPageWidget;

// The task bar down the left edge and the stack of attached pages beside it. Pages can be detached
// into free windows and attached again; buttons can be reordered by dragging. While the newest task
// is a solo application the whole shell is modal: every other button is disabled and clicking one
// explains why. A solo application's page can be removed with a short delay, so that it stays on
// screen while the next one comes up.
class TaskManager : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool isModalRequired READ isModalRequired NOTIFY isModalRequiredChanged)

public:
    static constexpr int RemovalDelayMs = 500;
    static constexpr int MaxRecentButtons = 5;
    static constexpr int MaxReattachMs = 500;
    static constexpr char DragFormat[] = "ZU_TASK_BUTTON";

    explicit TaskManager(QWidget *parent = nullptr);

    QPushButton *addPage(TaskPageWidget *page);
    void removePage(TaskPageWidget *page, bool delayed);
    void setHomePage(QWidget *page);

    QRect filesButtonRect() const;
    QRect schedButtonRect() const;
    bool isModalRequired() const { return m_isModalRequired; }

    QStackedWidget *pageStack() const { return m_pageStack; }
    QPushButton *homeButton() const { return m_homeButton; }
    QAbstractButton *buttonFor(QWidget *page) const;
    // Task buttons in bar order, the home button first.
    QList<QAbstractButton *> taskButtons() const;
    // The pages on the task bar, attached or detached.
    QList<TaskPageWidget *> pages() const;
    int scheduledTaskCount() const;
    // Size a page detached from `rect` gets: halfway to 1300 x 900 around the same centre.
    static QRect detachedGeometry(const QRect &rect);
    static int reattachDuration(const QRect &from, const QRect &to);
    // Where a task button dragged from `source` lands for the pointer at `pos` (this widget's
    // coordinates): only this bar's own buttons, anywhere over the button column, never above the
    // home button. -1: the drop is refused.
    int dropIndexFor(const QObject *source, const QPoint &pos) const;

public slots:
    void resetButtonToContents();
    void reattachForm(TaskPageWidget *aw);
    void setScheduledTaskCount(int count);
    void cycleTasks();

signals:
    void schedProcActivated();
    void filesActivated();
    void isModalRequiredChanged(bool isRequired);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void taskButtonClicked(QAbstractButton *button);
    void detachClicked();
    void formReattachAnimationFinished();
    void detachedGotFocus();
    void applicationTitleChanged(const QString &title);
    void applicationIconChanged(const QIcon &icon);
    void pageEnded();
    void endedPageClosed();
    void themeChanged();
    void showModalFlyout();
    void delayedAppDestruct();

private:
    void pushRecentButton(QAbstractButton *button);
    void updateModality();
    QAbstractButton *newestButton() const;
    void startDrag(QPushButton *button);
    int layoutIndexOf(QWidget *widget) const;
    void moveDraggedButton(int target);

    QPushButton *m_homeButton;
    QStackedWidget *m_pageStack;
    QButtonGroup *m_buttonGroup;
    QHBoxLayout *m_outerLayout;
    QVBoxLayout *m_taskButtonLayout;
    QPushButton *m_filesButton;
    QPushButton *m_schedButton;
    CircleNumberWidget *m_countBadge;
    bool m_isModalRequired = false;
    QTimer m_removalTimer;
    QList<QPointer<QAbstractButton>> m_recentButtons;
    QPoint m_pressPosition;
    int m_dragStartIndex = -1;
    int m_dragCurrentIndex = -1;
    QPointer<QPushButton> m_draggedButton;
};
