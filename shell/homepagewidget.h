#pragma once

#include "settings/settingsmanager.h"

#include <QFrame>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>

class ElidedLabel;
class MenuFilter;
class MenuItemModel;
class MainMenuButton;
class QGridLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSizeGrip;
class QSplitter;
class QTreeView;

// The first page of the task manager: the searchable menu tree on the left, and on the right the
// release name, the user menu and the tables of pinned and recent programs. Programs under an
// access code ask for it before they launch; a table click launches at most once per 4 seconds.
class HomePageWidget : public QFrame
{
    Q_OBJECT

public:
    static constexpr int LaunchDebounceMs = 4000;
    static constexpr int MaxPinned = SettingsManager::MaxPinned;
    static constexpr int ButtonSize = 48;
    static constexpr char PinnedDragFormat[] = "ZU_PINNED_BUTTON";

    explicit HomePageWidget(MenuItemModel *model, QWidget *parent = nullptr);
    ~HomePageWidget() override;

    MenuFilter *filter() const { return m_filter; }
    QTreeView *tree() const { return m_tree; }
    QLineEdit *searchField() const { return m_search; }
    QWidget *pinnedFrame() const { return m_pinnedFrame; }
    QWidget *recentFrame() const { return m_recentFrame; }
    QModelIndex pendingIndex() const { return m_pendingIndex; }
    bool isDebouncing() const { return m_debounce.isActive(); }
    // The pinned row a pinned program dragged from `source` lands on for the pointer at `pos`
    // (this widget's coordinates); -1: refused (another source, or outside the pinned table).
    int pinnedDropRow(const QObject *source, const QPoint &pos) const;
    // Moves a pinned program by `delta` rows and keeps the new order, as a drag does.
    void movePinned(int row, int delta);
    // The hub named in the about box.
    void setHubName(const QString &hubName) { m_hubName = hubName; }

public slots:
    void setUserName(const QString &userName);
    void setReaseName(const QString &releaseName);
    void showAboutBox();

signals:
    void itemActivated(QModelIndex index);
    void userSettingsActivated();
    void menuHistoryActivated();
    void changeReleaseActivated();
    void logOutActivated();
    void userGuideActivated();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void navSearchChanged(const QString &text);
    void privMenuItemClicked(const QModelIndex &filterIndex);
    void privHistoryActivated();
    void menuModelReset();
    void passwordAccepted(const QModelIndex &filterIndex);
    void buildPinnedTable(const SettingsManager::LaunchList &pinnedLaunches);
    void buildRecentTable();

private:
    void buildForm();
    bool menuKeyPressed(QObject *watched, const QKeyEvent *event);
    QModelIndex firstProgram() const;
    void runLaunchCheck();
    void openPasswordFlyout(const QModelIndex &lockedSourceIndex);
    // Source indexes for the keys, in order; keys that no longer resolve go into `invalid`.
    QModelIndexList resolve(const SettingsManager::LaunchList &launches, QStringList *invalid) const;
    QGridLayout *newTableLayout(QWidget *frame);
    void addProgramRow(QGridLayout *grid, int row, const QModelIndex &index,
                       const SettingsManager::LaunchEntry &entry, bool recentTable, bool pinAllowed);
    void keepScrollPosition(int position);
    void moveDraggedRow(QGridLayout *grid, int target);
    void startPinnedDrag(QPushButton *button);
    void shadeRow(int row);
    void showPinnedMenu(MainMenuButton *button, const QPoint &pos);
    void focusSearch();

    MenuItemModel *m_model;
    MenuFilter *m_filter;
    bool m_expandedBySearch = false;
    QPersistentModelIndex m_pendingIndex;
    QTimer m_debounce;
    QPoint m_dragStartPosition;
    SettingsManager::LaunchList m_workingPinned;
    int m_dragRow = -1;
    int m_dragStartRow = -1;
    QPointer<QFrame> m_dragShade;
    int m_pinnedRows = 0;
    QString m_hubName;

    QSplitter *m_splitter = nullptr;
    QLineEdit *m_search = nullptr;
    QLabel *m_navLabel = nullptr;
    QTreeView *m_tree = nullptr;
    ElidedLabel *m_releaseLabel = nullptr;
    QPushButton *m_userMenuButton = nullptr;
    QScrollArea *m_scroll = nullptr;
    QLabel *m_pinnedLabel = nullptr;
    QFrame *m_pinnedFrame = nullptr;
    QLabel *m_recentLabel = nullptr;
    QFrame *m_recentFrame = nullptr;
    QSizeGrip *m_grip = nullptr;
};
