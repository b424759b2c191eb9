#include "homepagewidget.h"

#include "aboutdialog.h"
#include "elidedlabel.h"
#include "mainmenubutton.h"
#include "menufilter.h"
#include "menuitemmodel.h"
#include "passwordflyout.h"

#include "menu/menuitem.h"
#include "style/stylemanager.h"
#include "utils/formatdatetime.h"
#include "utils/plaintext.h"

#include <QApplication>
#include <QDebug>
#include <QDrag>
#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSizeGrip>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString SplitterKey = QStringLiteral("HomePage/splitterState");
constexpr int ColumnCount = 7;
constexpr int LockColumnWidth = 24;
constexpr int AnchorOffset = 12;

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *result = new QLabel(parent);
    result->setObjectName(name);
    // Menu titles and paths come from the server.
    result->setTextFormat(Qt::PlainText);
    result->setText(text);
    return result;
}

QFrame *boxFrame(const QString &name, QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::Box);
    frame->setAutoFillBackground(true);
    return frame;
}

QString ancestorPath(const QModelIndex &index)
{
    QStringList titles;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        titles.prepend(parent.data(Qt::DisplayRole).toString());
    return titles.join(QStringLiteral(" > "));
}

} // namespace

HomePageWidget::HomePageWidget(MenuItemModel *model, QWidget *parent)
    : QFrame(parent)
    , m_model(model)
    , m_filter(new MenuFilter(this))
{
    buildForm();
    m_splitter->restoreState(QSettings().value(SplitterKey).toByteArray());

    m_filter->setSourceModel(model);
    m_tree->setModel(m_filter);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_tree->header()->resizeSection(1, LockColumnWidth);

    connect(m_search, &QLineEdit::textChanged, this, &HomePageWidget::navSearchChanged);
    connect(m_tree, &QTreeView::clicked, this, &HomePageWidget::privMenuItemClicked);
    m_search->installEventFilter(this);
    m_tree->installEventFilter(this);
    connect(model, &QAbstractItemModel::modelReset, this, &HomePageWidget::menuModelReset);
    connect(StyleManager::instance(), &StyleManager::themeChanged, this, &HomePageWidget::buildRecentTable);
    connect(SettingsManager::instance(), &SettingsManager::recentsUpdated, this,
            &HomePageWidget::buildRecentTable);

    setFocusProxy(m_search);
    m_search->setFocus();
    // Only while the home page is in view: Ctrl+F and F1 mean other things in a program's page.
    auto *find = new QShortcut(QKeySequence::Find, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &HomePageWidget::focusSearch);
    auto *guide
        = new QShortcut(QKeySequence(Qt::Key_F1), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(guide, &QShortcut::activated, this, &HomePageWidget::userGuideActivated);
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(LaunchDebounceMs);
}

HomePageWidget::~HomePageWidget()
{
    QSettings().setValue(SplitterKey, m_splitter->saveState());
}

void HomePageWidget::buildForm()
{
    setObjectName(QStringLiteral("HomePageWidget"));
    setFrameShape(QFrame::NoFrame);
    setLineWidth(0);
    auto *outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout_4"));
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setHandleWidth(4);
    m_splitter->setOpaqueResize(false);
    m_splitter->setChildrenCollapsible(true);
    outer->addWidget(m_splitter);

    auto *navPanel = new QWidget(m_splitter);
    navPanel->setObjectName(QStringLiteral("navPanel"));
    navPanel->setMinimumWidth(325);
    auto *navLayout = new QVBoxLayout(navPanel);
    navLayout->setObjectName(QStringLiteral("verticalLayout"));
    navLayout->setSpacing(24);
    auto *navHeader = new QWidget(navPanel);
    navHeader->setObjectName(QStringLiteral("navHeader"));
    navHeader->setMinimumHeight(72);
    QFont headerFont = navHeader->font();
    headerFont.setPointSize(10);
    navHeader->setFont(headerFont);
    auto *headerLayout = new QVBoxLayout(navHeader);
    m_search = new QLineEdit(navHeader);
    m_search->setObjectName(QStringLiteral("navSearch"));
    m_search->setClearButtonEnabled(true);
    m_search->setPlaceholderText(QStringLiteral("Search Halvorne ZU"));
    headerLayout->addWidget(m_search);
    m_navLabel = label(QStringLiteral("navLabel"), QStringLiteral("LOADING..."), navHeader);
    headerLayout->addWidget(m_navLabel);
    navLayout->addWidget(navHeader);

    m_tree = new QTreeView(navPanel);
    m_tree->setObjectName(QStringLiteral("navTree"));
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setIconSize(QSize(24, 24));
    m_tree->setIndentation(24);
    m_tree->setRootIsDecorated(true);
    m_tree->setAnimated(true);
    m_tree->setWordWrap(true);
    m_tree->setHeaderHidden(true);
    m_tree->viewport()->setCursor(Qt::PointingHandCursor);
    m_tree->setFocusPolicy(Qt::StrongFocus);
    navLayout->addWidget(m_tree, 1);

    auto *contentPanel = new QWidget(m_splitter);
    contentPanel->setObjectName(QStringLiteral("contentPanel"));
    auto *contentLayout = new QVBoxLayout(contentPanel);
    contentLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    contentLayout->setSpacing(0);
    contentLayout->setContentsMargins(0, 0, 0, 0);

    auto *pageHeader = new QFrame(contentPanel);
    pageHeader->setObjectName(QStringLiteral("pageHeaderFrame"));
    pageHeader->setMinimumHeight(72);
    auto *pageHeaderLayout = new QHBoxLayout(pageHeader);
    pageHeaderLayout->setObjectName(QStringLiteral("horizontalLayout"));
    pageHeaderLayout->setSpacing(8);
    m_releaseLabel = new ElidedLabel(pageHeader);
    m_releaseLabel->setObjectName(QStringLiteral("releaseLabel"));
    pageHeaderLayout->addWidget(m_releaseLabel);
    pageHeaderLayout->addStretch(1);
    m_userMenuButton = new QPushButton(pageHeader);
    m_userMenuButton->setObjectName(QStringLiteral("userMenuButton"));
    m_userMenuButton->setFlat(true);
    m_userMenuButton->setIconSize(QSize(24, 24));
    m_userMenuButton->setIcon(QIcon(QStringLiteral("theme:account-circle_page.svg")));
    auto *userMenu = new QMenu(m_userMenuButton);
    userMenu->addAction(QStringLiteral("Settings..."), this, &HomePageWidget::userSettingsActivated);
    userMenu->addAction(QStringLiteral("Menu History..."), this, &HomePageWidget::menuHistoryActivated);
    userMenu->addAction(QStringLiteral("Change release\u2026"), this, &HomePageWidget::changeReleaseActivated)
        ->setObjectName(QStringLiteral("changeReleaseAction"));
    userMenu->addSeparator();
    // Named, not bound: F1 is the page's shortcut, which a menu action would make ambiguous.
    userMenu->addAction(QStringLiteral("User Guide\tF1"), this, &HomePageWidget::userGuideActivated);
    userMenu->addAction(QStringLiteral("About..."), this, &HomePageWidget::showAboutBox);
    userMenu->addSeparator();
    userMenu->addAction(QStringLiteral("Log out"), this, &HomePageWidget::logOutActivated)
        ->setObjectName(QStringLiteral("logOutAction"));
    m_userMenuButton->setMenu(userMenu);
    pageHeaderLayout->addWidget(m_userMenuButton);
    contentLayout->addWidget(pageHeader);

    m_scroll = new QScrollArea(contentPanel);
    m_scroll->setObjectName(QStringLiteral("contentScrollBar"));
    m_scroll->setWidgetResizable(true);
    auto *content = new QWidget(m_scroll);
    content->setObjectName(QStringLiteral("contentLayout"));
    auto *tables = new QVBoxLayout(content);
    tables->setObjectName(QStringLiteral("verticalLayout_3"));
    tables->setSpacing(16);
    m_pinnedLabel = label(QStringLiteral("pinnedTableLabel"), QStringLiteral("Favorite Programs"), content);
    m_pinnedFrame = boxFrame(QStringLiteral("pinnedFrame"), content);
    m_recentLabel = label(QStringLiteral("recentTableLabel"), QStringLiteral("Recent Programs"), content);
    m_recentFrame = boxFrame(QStringLiteral("recentFrame"), content);
    tables->addWidget(m_pinnedLabel);
    tables->addWidget(m_pinnedFrame);
    tables->addWidget(m_recentLabel);
    tables->addWidget(m_recentFrame);
    tables->addStretch(1);
    m_pinnedLabel->hide();
    m_pinnedFrame->hide();
    m_scroll->setWidget(content);
    contentLayout->addWidget(m_scroll, 1);

    m_grip = new QSizeGrip(contentPanel);
    contentLayout->addWidget(m_grip, 0, Qt::AlignRight);
    m_splitter->setStretchFactor(1, 1);
}

void HomePageWidget::setUserName(const QString &userName)
{
    m_userMenuButton->setText(userName + QStringLiteral("   "));
}

void HomePageWidget::setReaseName(const QString &releaseName)
{
    m_releaseLabel->setText(releaseName);
    QGuiApplication::setApplicationDisplayName(releaseName);
}

void HomePageWidget::showAboutBox()
{
    new aboutDialog(m_hubName, this);
}

void HomePageWidget::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

// Coming back to the home page, typing searches: the focus goes to the search field unless it is
// already somewhere on the page.
void HomePageWidget::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    QTimer::singleShot(0, this, [this] {
        QWidget *focus = QApplication::focusWidget();
        if (isVisible() && isEnabled() && (!focus || !isAncestorOf(focus)))
            m_search->setFocus(Qt::OtherFocusReason);
    });
}

void HomePageWidget::hideEvent(QHideEvent *event)
{
    m_debounce.stop();
    QFrame::hideEvent(event);
}

void HomePageWidget::menuModelReset()
{
    m_navLabel->setText(m_model->root()->title);
    buildRecentTable();
}

void HomePageWidget::navSearchChanged(const QString &text)
{
    m_filter->setFilter(text.trimmed());
    if (!m_filter->pattern().isEmpty()) {
        m_tree->expandAll();
        m_expandedBySearch = true;
    } else if (m_expandedBySearch) {
        m_tree->collapseAll();
        m_expandedBySearch = false;
    }
}

void HomePageWidget::privMenuItemClicked(const QModelIndex &filterIndex)
{
    const QModelIndex source = m_filter->mapToSource(filterIndex);
    if (!source.isValid())
        return;
    if (source.column() == 0) {
        if (source.data(MenuItemModel::IsProgramRole).toBool()) {
            m_pendingIndex = source;
            const QString key = source.data(MenuItemModel::KeyRole).toString();
            runLaunchCheck();
            SettingsManager::instance()->addRecentLaunch(key);
        } else {
            m_tree->setExpanded(filterIndex, !m_tree->isExpanded(filterIndex));
        }
        return;
    }
    if (source.data(MenuItemModel::LockedRole).toBool()) {
        m_pendingIndex = QModelIndex();
        openPasswordFlyout(source);
    }
}

void HomePageWidget::runLaunchCheck()
{
    if (!m_pendingIndex.isValid())
        return;
    QModelIndex outermostLocked;
    for (QModelIndex index = m_pendingIndex.sibling(m_pendingIndex.row(), 0); index.isValid();
         index = index.parent())
        if (index.data(MenuItemModel::LockedRole).toBool())
            outermostLocked = index;
    if (outermostLocked.isValid()) {
        openPasswordFlyout(outermostLocked);
        return;
    }
    const QModelIndex launch = m_pendingIndex;
    m_pendingIndex = QModelIndex();
    emit itemActivated(launch);
}

void HomePageWidget::openPasswordFlyout(const QModelIndex &lockedSourceIndex)
{
    m_debounce.stop();
    const QModelIndex lockIndex = lockedSourceIndex.sibling(lockedSourceIndex.row(), 1);
    QModelIndex filterIndex = m_filter->mapFromSource(lockIndex);
    if (!filterIndex.isValid()) {
        m_search->clear();
        filterIndex = m_filter->mapFromSource(lockIndex);
    }
    m_tree->scrollTo(filterIndex);
    QRect rect = m_tree->visualRect(filterIndex);
    if (rect.top() > m_tree->viewport()->height()) {
        qDebug() << "scroll again.";
        m_tree->scrollTo(filterIndex);
        rect = m_tree->visualRect(filterIndex);
    }
    const QRect anchor(m_tree->viewport()->mapToGlobal(rect.topLeft()) + QPoint(AnchorOffset, 0),
                       rect.size());
    const MenuItem *item = m_model->itemAt(lockedSourceIndex);
    PasswordFlyout *flyout = PasswordFlyout::showFlyout(filterIndex, item->password, anchor);
    connect(flyout, &PasswordFlyout::passwordGood, this, &HomePageWidget::passwordAccepted);
}

void HomePageWidget::passwordAccepted(const QModelIndex &filterIndex)
{
    const QModelIndex source = m_filter->mapToSource(filterIndex);
    m_model->unlock(source.sibling(source.row(), 0));
    runLaunchCheck();
}

void HomePageWidget::privHistoryActivated()
{
    auto *button = qobject_cast<MainMenuButton *>(sender());
    if (!button)
        return;
    if (m_debounce.isActive()) {
        qDebug() << "Recent list launch debounced";
        return;
    }
    m_debounce.start();
    m_pendingIndex = button->index();
    const QString key = button->index().data(MenuItemModel::KeyRole).toString();
    runLaunchCheck();
    SettingsManager::instance()->addRecentLaunch(key);
}

QModelIndexList HomePageWidget::resolve(const SettingsManager::LaunchList &launches,
                                        QStringList *invalid) const
{
    QModelIndexList indexes;
    for (const auto &entry : launches) {
        const QModelIndexList hits = m_model->match(QModelIndex(), MenuItemModel::KeyRole, entry.path, 1,
                                                    Qt::MatchExactly | Qt::MatchRecursive);
        if (hits.isEmpty())
            *invalid << entry.path;
        else
            indexes << hits.first();
    }
    return indexes;
}

void HomePageWidget::buildRecentTable()
{
    if (m_model->root()->children.isEmpty()) {
        qDebug() << "Menu not available yet. Deferring recents table rendering.";
        return;
    }
    const int position = m_scroll->verticalScrollBar()->value();
    SettingsManager *settings = SettingsManager::instance();
    const SettingsManager::LaunchList pinned = settings->pinnedLaunches();
    const SettingsManager::LaunchList recents = settings->recentLaunches();
    QStringList invalid;
    resolve(pinned, &invalid);
    const QModelIndexList recentIndexes = resolve(recents, &invalid);
    if (!invalid.isEmpty()) {
        qInfo() << "Removing invalid paths" << invalid;
        // Emits recentsUpdated, which brings us back here with valid lists.
        settings->removeLaunches(invalid);
        return;
    }
    buildPinnedTable(pinned);

    QGridLayout *grid = newTableLayout(m_recentFrame);
    if (recents.isEmpty() && pinned.isEmpty()) {
        m_recentLabel->show();
        m_recentFrame->show();
        auto *blank = new QPushButton(m_recentFrame);
        blank->setObjectName(QStringLiteral("blankButton"));
        blank->setIcon(QIcon(QStringLiteral(":/images/halvorne_icon.png")));
        blank->setIconSize(QSize(ButtonSize, ButtonSize));
        connect(blank, &QPushButton::clicked, m_search, qOverload<>(&QWidget::setFocus));
        grid->addWidget(blank, 0, 0);
        grid->addWidget(
            label(QStringLiteral("welcomeLabel"), QStringLiteral("Welcome to ZU 10."), m_recentFrame), 0, 1);
        auto *instruction
            = new ElidedLabel(QStringLiteral("Use the Menu to launch your first program."), m_recentFrame);
        instruction->setObjectName(QStringLiteral("welcomeInstruction"));
        grid->addWidget(instruction, 0, 2);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(2, 1);
        grid->setColumnStretch(3, 0); // only the welcome texts share the width
    } else if (recents.isEmpty()) {
        m_recentLabel->hide();
        m_recentFrame->hide();
    } else {
        m_recentLabel->show();
        m_recentFrame->show();
        for (int i = 0; i < recents.size(); ++i)
            addProgramRow(grid, i, recentIndexes.at(i), recents.at(i), true, pinned.size() < MaxPinned);
    }
    keepScrollPosition(position);
}

void HomePageWidget::buildPinnedTable(const SettingsManager::LaunchList &pinnedLaunches)
{
    QStringList invalid;
    const QModelIndexList indexes = resolve(pinnedLaunches, &invalid);
    if (!invalid.isEmpty()) {
        qInfo() << "Removing invalid paths" << invalid;
        SettingsManager::instance()->removeLaunches(invalid);
        return;
    }
    const int position = m_scroll->verticalScrollBar()->value();
    m_pinnedLabel->setVisible(!pinnedLaunches.isEmpty());
    m_pinnedFrame->setVisible(!pinnedLaunches.isEmpty());
    QGridLayout *grid = newTableLayout(m_pinnedFrame);
    m_pinnedRows = pinnedLaunches.size();
    for (int i = 0; i < pinnedLaunches.size(); ++i)
        addProgramRow(grid, i, indexes.at(i), pinnedLaunches.at(i), false, false);
    keepScrollPosition(position);
}

QGridLayout *HomePageWidget::newTableLayout(QWidget *frame)
{
    // The old rows go later: this may run inside a click on one of their buttons.
    const QList<QWidget *> old = frame->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *widget : old) {
        widget->hide();
        widget->deleteLater();
    }
    delete frame->layout();
    frame->setContentsMargins(0, 4, 0, 4);
    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(0);
    grid->setColumnMinimumWidth(0, 4);
    grid->setColumnMinimumWidth(6, 4);
    grid->setColumnStretch(3, 1);
    return grid;
}

void HomePageWidget::addProgramRow(QGridLayout *grid, int row, const QModelIndex &index,
                                   const SettingsManager::LaunchEntry &entry, bool recentTable,
                                   bool pinAllowed)
{
    QWidget *frame = grid->parentWidget();
    if (row > 0) {
        auto *line = new QFrame(frame);
        line->setObjectName(QStringLiteral("dividerLineH"));
        line->setFrameShape(QFrame::HLine);
        grid->addWidget(line, 2 * row - 1, 0, 1, ColumnCount);
    }
    auto *button = new MainMenuButton(ButtonSize, index, frame);
    connect(button, &QPushButton::clicked, this, &HomePageWidget::privHistoryActivated);
    grid->addWidget(button, 2 * row, 1);
    grid->addWidget(label(QStringLiteral("recentTitle"), index.data(Qt::DisplayRole).toString(), frame),
                    2 * row, 2);
    auto *path = new ElidedLabel(ancestorPath(index), frame);
    path->setObjectName(QStringLiteral("recentPath"));
    path->setToolTip(PlainText::escaped(path->text()));
    path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(path, 2 * row, 3);

    const QString key = entry.path;
    const QDateTime time = entry.time;
    if (recentTable) {
        grid->addWidget(label(QStringLiteral("recentDate"), formatDateTime(time), frame), 2 * row, 4);
        if (pinAllowed) {
            auto *pin = new QPushButton(frame);
            pin->setObjectName(QStringLiteral("recentUnpinnedButton"));
            pin->setIcon(QIcon(QStringLiteral("theme:pin-outline.svg")));
            pin->installEventFilter(this);
            connect(pin, &QPushButton::clicked, this,
                    [key, time] { SettingsManager::instance()->pin(key, time); });
            grid->addWidget(pin, 2 * row, 5);
        }
    } else {
        button->installEventFilter(this);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button](const QPoint &pos) { showPinnedMenu(button, pos); });
        auto *unpin = new QPushButton(frame);
        unpin->setObjectName(QStringLiteral("recentPinnedButton"));
        unpin->setIcon(QIcon(QStringLiteral("theme:pin.svg")));
        unpin->installEventFilter(this);
        connect(unpin, &QPushButton::clicked, this,
                [key, time] { SettingsManager::instance()->unpin(key, time); });
        grid->addWidget(unpin, 2 * row, 4);
    }
}

void HomePageWidget::keepScrollPosition(int position)
{
    // The new rows are laid out on the next turn of the event loop; put the view back after that.
    QTimer::singleShot(0, this, [this, position] { m_scroll->verticalScrollBar()->setValue(position); });
}

bool HomePageWidget::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_search || watched == m_tree) && event->type() == QEvent::KeyPress)
        return menuKeyPressed(watched, static_cast<QKeyEvent *>(event));
    const QString name = watched->objectName();
    // A button being destroyed still sends events, as a plain QWidget by then.
    auto *pinButton = qobject_cast<QPushButton *>(watched);
    if (pinButton && (name == QLatin1String("recentPinnedButton") || name == QLatin1String("recentUnpinnedButton"))) {
        const bool pinned = name == QLatin1String("recentPinnedButton");
        if (event->type() == QEvent::Enter)
            pinButton->setIcon(
                QIcon(pinned ? QStringLiteral("theme:pin-off.svg") : QStringLiteral("theme:pin.svg")));
        else if (event->type() == QEvent::Leave)
            pinButton->setIcon(
                QIcon(pinned ? QStringLiteral("theme:pin.svg") : QStringLiteral("theme:pin-outline.svg")));
        return false;
    }
    auto *button = qobject_cast<MainMenuButton *>(watched);
    if (!button)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_dragStartPosition = mouse->pos();
            qDebug() << "m_dragStartPosition =" << m_dragStartPosition;
        }
    } else if (event->type() == QEvent::MouseMove) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if ((mouse->buttons() & Qt::LeftButton)
            && (mouse->pos() - m_dragStartPosition).manhattanLength() > QApplication::startDragDistance()) {
            startPinnedDrag(button);
            return true;
        }
    }
    return false;
}

// The menu works without the mouse: Down or Return in the search field moves to the first program
// found, Return on a program starts it (a submenu opens or closes, as with a click).
bool HomePageWidget::menuKeyPressed(QObject *watched, const QKeyEvent *event)
{
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == m_search) {
        if (!enter && key != Qt::Key_Down)
            return false;
        const QModelIndex first = firstProgram();
        if (!first.isValid())
            return false;
        m_tree->setCurrentIndex(first);
        m_tree->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (!enter || event->modifiers() & ~Qt::KeypadModifier)
        return false;
    const QModelIndex current = m_tree->currentIndex();
    if (!current.isValid())
        return false;
    privMenuItemClicked(current.sibling(current.row(), 0));
    return true;
}

QModelIndex HomePageWidget::firstProgram() const
{
    // Depth first, without recursion: the menu may be deep.
    QVector<QModelIndex> pending;
    for (int row = m_filter->rowCount() - 1; row >= 0; --row)
        pending << m_filter->index(row, 0);
    while (!pending.isEmpty()) {
        const QModelIndex index = pending.takeLast();
        if (index.data(MenuItemModel::IsProgramRole).toBool())
            return index;
        for (int row = m_filter->rowCount(index) - 1; row >= 0; --row)
            pending << m_filter->index(row, 0, index);
    }
    return QModelIndex();
}

void HomePageWidget::shadeRow(int row)
{
    delete m_dragShade;
    auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout());
    if (!grid)
        return;
    m_dragShade = new QFrame(m_pinnedFrame);
    m_dragShade->setObjectName(QStringLiteral("recentDragShade"));
    m_dragShade->setAutoFillBackground(true);
    auto *effect = new QGraphicsOpacityEffect(m_dragShade);
    effect->setOpacity(0.5);
    m_dragShade->setGraphicsEffect(effect);
    grid->addWidget(m_dragShade, 2 * row, 0, 1, 6);
    m_dragShade->show();
}

void HomePageWidget::startPinnedDrag(QPushButton *button)
{
    auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout());
    if (!grid)
        return;
    m_workingPinned = SettingsManager::instance()->pinnedLaunches();
    int gridRow = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(grid->indexOf(button), &gridRow, &column, &rowSpan, &columnSpan);
    m_dragRow = m_dragStartRow = gridRow / 2;
    shadeRow(m_dragRow);

    // Not the button's child: settings from the server rebuild the table, buttons and all.
    auto *drag = new QDrag(this);
    drag->setPixmap(button->grab());
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(PinnedDragFormat), QByteArray());
    drag->setMimeData(mime);
    setAcceptDrops(true);
    const Qt::DropAction action = drag->exec(Qt::MoveAction);
    setAcceptDrops(false);
    qDebug() << "HomePageWidget: drop action" << action;
    delete m_dragShade;
    if (action == Qt::MoveAction)
        SettingsManager::instance()->setPinnedLaunches(m_workingPinned);
    else
        buildPinnedTable(SettingsManager::instance()->pinnedLaunches());
}

void HomePageWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(PinnedDragFormat)))
        event->acceptProposedAction();
}

void HomePageWidget::dragMoveEvent(QDragMoveEvent *event)
{
    auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout());
    if (!event->mimeData()->hasFormat(QLatin1String(PinnedDragFormat)) || !grid || m_workingPinned.isEmpty())
        return;
    const int row = pinnedDropRow(event->source(), event->pos());
    if (row < 0) {
        // Outside the frame the previous order comes back.
        moveDraggedRow(grid, m_dragStartRow);
        event->ignore();
        return;
    }
    moveDraggedRow(grid, row);
    event->accept();
}

int HomePageWidget::pinnedDropRow(const QObject *source, const QPoint &pos) const
{
    const QPoint inFrame = m_pinnedFrame->mapFrom(this, pos);
    if (source != this || m_pinnedRows < 1 || !m_pinnedFrame->isVisible()
        || !m_pinnedFrame->rect().contains(inFrame))
        return -1;
    return qMin(inFrame.y() / qMax(1, m_pinnedFrame->height() / m_pinnedRows), m_pinnedRows - 1);
}

void HomePageWidget::showPinnedMenu(MainMenuButton *button, const QPoint &pos)
{
    auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout());
    const int index = grid ? grid->indexOf(button) : -1;
    if (index < 0)
        return;
    int gridRow = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &gridRow, &column, &rowSpan, &columnSpan);
    const int row = gridRow / 2;
    // The page's child, not the button's: moving rebuilds the table, buttons and all.
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pinnedMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Move Up"), this, [this, row] { movePinned(row, -1); })
        ->setEnabled(row > 0);
    menu->addAction(QStringLiteral("Move Down"), this, [this, row] { movePinned(row, 1); })
        ->setEnabled(row < m_pinnedRows - 1);
    menu->popup(button->mapToGlobal(pos));
}

void HomePageWidget::movePinned(int row, int delta)
{
    SettingsManager::LaunchList pinned = SettingsManager::instance()->pinnedLaunches();
    const int target = row + delta;
    if (row < 0 || row >= pinned.size() || target < 0 || target >= pinned.size())
        return;
    pinned.move(row, target);
    SettingsManager::instance()->setPinnedLaunches(pinned);
    // The table was rebuilt: the keyboard stays with the program that moved.
    if (auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout()))
        if (QLayoutItem *item = grid->itemAtPosition(2 * target, 1))
            if (QWidget *moved = item->widget())
                // Once shown: the new rows appear on the next turn of the event loop.
                QTimer::singleShot(0, moved, [moved] { moved->setFocus(Qt::OtherFocusReason); });
}

// Moves the row's cells instead of rebuilding the table: the dragged button must live until the
// drag ends.
void HomePageWidget::moveDraggedRow(QGridLayout *grid, int target)
{
    if (target == m_dragRow)
        return;
    m_workingPinned.move(m_dragRow, target);
    delete m_dragShade;
    QList<QWidget *> moving;
    for (int column = 1; column <= 4; ++column)
        if (QLayoutItem *item = grid->itemAtPosition(2 * m_dragRow, column))
            moving << item->widget();
    const int step = target > m_dragRow ? 1 : -1;
    for (int row = m_dragRow; row != target; row += step) {
        for (int column = 1; column <= 4; ++column) {
            if (QLayoutItem *item = grid->itemAtPosition(2 * (row + step), column)) {
                QWidget *widget = item->widget();
                grid->removeWidget(widget);
                grid->addWidget(widget, 2 * row, column);
            }
        }
    }
    for (int column = 1; column <= moving.size(); ++column) {
        grid->removeWidget(moving.at(column - 1));
        grid->addWidget(moving.at(column - 1), 2 * target, column);
    }
    m_dragRow = target;
    shadeRow(target);
}

// The drag's source is this page (the drag object's parent), not the button.
void HomePageWidget::dropEvent(QDropEvent *event)
{
    auto *grid = qobject_cast<QGridLayout *>(m_pinnedFrame->layout());
    const int row = pinnedDropRow(event->source(), event->pos());
    if (!grid || row < 0 || m_workingPinned.isEmpty() || event->proposedAction() != Qt::MoveAction) {
        event->ignore();
        return;
    }
    moveDraggedRow(grid, row);
    event->acceptProposedAction();
}
