#include "classicapplicationwidget.h"

#include "classicpageform.h"
#include "pagegrid.h"
#include "ringmenuwidget.h"
#include "serverturn.h"
#include "zufieldwidget.h"
#include "zuscreen.h"
#include "zuuiloader.h"

#include "utils/abbreviatename.h"
#include "utils/busymouse.h"
#include "utils/plaintext.h"
#include "latin1.h"
#include "style/stylemanager.h"
#include "screendocumentlimits.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString LoadingReason = QStringLiteral("classicAppLoading");
const QString SuspendedReason = QStringLiteral("appUpdatesSuspended");
constexpr auto SidProperty = "sid";
constexpr auto ScreenInfoName = "SCREEN_INFO";
constexpr int SpacerHeight = 18;
constexpr int HighlightScrollMargin = 100;
constexpr int ColumnWidthSlack = 60;
constexpr int NavPreviousKey = 'P';
constexpr int NavNextKey = 'N';
constexpr int NavResultSetKey = 'S';

// Theme icons exist once a theme has been applied; until then the buttons stay plain.
QIcon themeIcon(const QString &name)
{
    const QString path = QStringLiteral("theme:") + name;
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

ClassicApplicationWidget::ClassicApplicationWidget(uint windowId, const QString &menuTitle, bool solo,
                                                   QWidget *parent)
    : TaskPageWidget(parent)
    , m_windowId(windowId)
    , m_solo(solo)
    , m_formWidget(new QWidget)
    , m_form(std::make_unique<ClassicPageForm>(m_formWidget))
    , m_overlayStack(new QStackedLayout(this))
    , m_menuTitle(menuTitle)
{
    qRegisterMetaType<Pb::Key>();
    qRegisterMetaType<ZuFieldWidget *>();
    m_resumeTimer.setSingleShot(true);
    m_resumeTimer.setInterval(ResumeDelayMs);
    connect(&m_resumeTimer, &QTimer::timeout, this, &ClassicApplicationWidget::unsuspendUpdates);
    // A burst that paints within a moment shows no wait cursor.
    m_busyDelay.setSingleShot(true);
    m_busyDelay.setInterval(ServerTurn::BusyDelayMs);
    connect(&m_busyDelay, &QTimer::timeout, this,
            [] { BusyMouse::instance()->start(SuspendedReason, BusyTimeoutMs); });
    m_highlightTimer.setSingleShot(true);
    m_highlightTimer.setInterval(HighlightDelayMs);
    connect(&m_highlightTimer, &QTimer::timeout, this, &ClassicApplicationWidget::flipPageToHighlight);

    m_overlayStack->setStackingMode(QStackedLayout::StackAll);
    m_overlayStack->addWidget(m_formWidget);
    m_form->tablesCombo->clear();
    m_form->pageContainer->hide();
    BusyMouse::instance()->start(LoadingReason, BusyTimeoutMs);
    static_cast<QStackedLayout *>(m_form->statusStack->layout())->setStackingMode(QStackedLayout::StackAll);
    m_form->statusPanel->hide();
    m_form->formBar->hide();
    m_form->errorPanel->hide();
    m_form->helpButton->hide();
    auto *buttonBoxLayout = new QHBoxLayout(m_form->pageButtonBox);
    buttonBoxLayout->setContentsMargins(1, 1, 1, 1);
    buttonBoxLayout->setSpacing(8);
    m_grid = new PageGrid(
        m_form->pageStack, m_form->pageButtonBox, [this] { return topWindowState(); }, ringMenu(), this, this);

    connectFormBar();
    connect(StyleManager::instance(), &StyleManager::themeChanged, this,
            &ClassicApplicationWidget::themeChanged);
    // The ring menu rebuilds itself for a new theme; its slot is private to it.
    RingMenuWidget *ring = ringMenu();
    connect(StyleManager::instance(), &StyleManager::themeChanged, ring,
            [ring] { QMetaObject::invokeMethod(ring, "themeChanged", Qt::DirectConnection); });
    connect(ring, &RingMenuWidget::itemTriggered, this, &ClassicApplicationWidget::p_ringMenuTriggered);
    connect(ring, &RingMenuWidget::focusedTooltipChanged, this, &ClassicApplicationWidget::setRingMenuPrompt);
    connect(m_form->errorClose, &QPushButton::clicked, this, &ClassicApplicationWidget::errorClose);
    connect(m_form->helpButton, &QPushButton::clicked, this, &ClassicApplicationWidget::p_helpButtonClicked);
    if (m_solo)
        m_form->detachButton->hide();
    else
        connect(m_form->detachButton, &QPushButton::clicked, this, &TaskPageWidget::detachClicked);
    setDetachButton(m_form->detachButton);
    connect(this, &TaskPageWidget::attachedChanged, this, &ClassicApplicationWidget::updateIcons);

    m_turn = new ServerTurn(
        this, [this](const QEvent *key) { return ownsShortcut(static_cast<const QKeyEvent *>(key)); },
        [this](const QEvent *key) { return !m_solo && isDetachKey(static_cast<const QKeyEvent *>(key)); }, this);
    // What hands the decision to the server; a pause is answered through charModeKeyPressed,
    // which in character mode is only an echoed key, so the pause starts its turn itself.
    const auto begin = [this] { m_turn->begin(); };
    connect(this, &ClassicApplicationWidget::keyPressed, m_turn, begin);
    connect(this, &ClassicApplicationWidget::ringMenuKeyPressed, m_turn, begin);
    connect(this, &ClassicApplicationWidget::dialogButtonPressed, m_turn, begin);
    connect(this, &ClassicApplicationWidget::lookupSelected, m_turn, begin);
    connect(this, &ClassicApplicationWidget::blobEditComplete, m_turn, begin);
    connect(this, &ClassicApplicationWidget::gridLookupComplete, m_turn, begin);
    connect(this, &ClassicApplicationWidget::fieldDropdownClicked, m_turn, begin);
    connect(this, &ClassicApplicationWidget::buttonFieldClicked, m_turn, begin);
    connect(this, &ClassicApplicationWidget::idSecButtonClicked, m_turn, begin);

    setPageBreaks({});
    if (parent)
        setAttached(true);
    updateIcons();
}

ClassicApplicationWidget::~ClassicApplicationWidget()
{
    BusyMouse::instance()->stop(SuspendedReason);
}

RingMenuWidget *ClassicApplicationWidget::ringMenu() const
{
    return m_form->ringMenu;
}

QString ClassicApplicationWidget::shortName() const
{
    return abbreviateName(m_menuTitle);
}

void ClassicApplicationWidget::updateIcons()
{
    m_form->helpButton->setIcon(themeIcon(QStringLiteral("help-circle-outline_page.svg")));
    m_form->detachButton->setIcon(themeIcon(isAttached() ? QStringLiteral("fullscreen_page.svg")
                                                         : QStringLiteral("fullscreen-exit_page.svg")));
    m_form->resultSetButton->setIcon(themeIcon(QStringLiteral("formbar_resultset.svg")));
    m_form->prevButton->setIcon(themeIcon(QStringLiteral("formbar_previous.svg")));
    m_form->nextButton->setIcon(themeIcon(QStringLiteral("formbar_next.svg")));
}

void ClassicApplicationWidget::suspendUpdates()
{
    if (!m_resumeTimer.isActive()) {
        qDebug() << "RENDERING SUSPENDED";
        m_busyDelay.start();
    }
    m_form->scrollArea->setUpdatesEnabled(false);
    m_resumeTimer.start();
}

void ClassicApplicationWidget::unsuspendUpdates()
{
    qDebug() << "RENDERING RESUMED";
    m_resumeTimer.stop();
    m_busyDelay.stop();
    m_form->scrollArea->setUpdatesEnabled(true);
    BusyMouse::instance()->stop(SuspendedReason);
}

void ClassicApplicationWidget::noteServerCommand()
{
    m_turn->serverActivity();
}

void ClassicApplicationWidget::inputPlaced()
{
    m_turn->inputPlaced();
    if (m_inputPlacedQueued)
        return;
    m_inputPlacedQueued = true;
    // Queued: the rest of the batch the command came in is applied first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_inputPlacedQueued = false;
            if (m_resumeTimer.isActive())
                unsuspendUpdates();
            m_turn->releaseIfPlaced();
        },
        Qt::QueuedConnection);
}

SavedWindowState *ClassicApplicationWidget::topWindowState()
{
    return m_windowStack.isEmpty() ? nullptr : &m_windowStack.last();
}

QList<ZuFieldWidget *> ClassicApplicationWidget::allFields() const
{
    return m_form->pageStack->findChildren<ZuFieldWidget *>();
}

void ClassicApplicationWidget::setPageBreaks(const QList<int> &starts)
{
    // A form of several pages needs its page buttons, also when the breaks did not change.
    if (m_grid->setPageBreaks(starts))
        m_form->formBar->show();
}

void ClassicApplicationWidget::clearArea(const QRect &area)
{
    suspendUpdates();
    m_grid->clearArea(area);
}

void ClassicApplicationWidget::clearRows(int firstRow, int lastRow)
{
    const int rows = lastRow == -1 ? PageGrid::AllRows : lastRow - firstRow + 1;
    clearArea(QRect(0, firstRow, PageGrid::AllColumns, rows));
}

bool ClassicApplicationWidget::renderUi(const QByteArray &ui, int screenId, bool popup, int row, int column)
{
    if (m_overlayMode != NoOverlay) {
        qWarning() << "ClassicApplicationWidget::renderUi() - invalid mode:" << m_overlayMode;
        return false;
    }
    suspendUpdates();
    m_form->formBar->hide();

    QString error;
    std::unique_ptr<QWidget> root(ZuUiLoader::loadDocument(ui, &error));
    if (!root) {
        qWarning() << "ClassicApplicationWidget::renderUi - Failed to load UI:" << error;
        return false;
    }
    auto *screen = qobject_cast<ZuScreen *>(root.get());
    if (!screen) {
        qWarning() << "ClassicApplicationWidget::renderUi - Root widget" << root->objectName()
                   << "is not a ZuScreen. It is a:" << root->metaObject()->className();
        return false;
    }
    QRect rect = screen->extents();
    screen->setScreenId(screenId);
    prepareServerTexts(screen);
    using Limits = ScreenDocumentLimits;
    // Extents may start above or left of the grid (those cells go to row or column 0).
    if (qAbs(rect.x()) > Limits::MaxPosition || qAbs(rect.y()) > Limits::MaxPosition
        || !Limits::withinGrid(rect.width()) || !Limits::withinGrid(rect.height()) || row > Limits::MaxPosition
        || column > Limits::MaxPosition) {
        qWarning() << "ClassicApplicationWidget::renderUi - screen" << screenId << "placed outside the grid:"
                   << rect << "at" << row << column;
        return false;
    }

    QList<int> breaks;
    QString breakError;
    if (!Limits::parseBreaks(screen->breaks(), &breaks, &breakError))
        qWarning() << "ClassicApplicationWidget::renderUi - screen" << screenId << breakError << "; ignored";
    for (int &start : breaks)
        start += rect.top();
    setPageBreaks(breaks);

    qDebug() << "loading screen ID:" << screenId << "extents:" << rect << "position(x,y)" << column << ","
             << row;
    if (row != -1)
        rect.moveTop(row);

    if (!m_screenTitles.contains(screenId) && m_screenTitles.size() >= MaxScreenEntries)
        forgetScreensNotShown();
    if (!screen->propHelpUrl().isEmpty()) {
        m_helpUrl = screen->propHelpUrl();
        m_helpUrls.insert(screenId, m_helpUrl);
    }
    m_form->helpButton->setVisible(!m_helpUrl.isEmpty());
    m_screenTitle = screen->windowTitle();
    m_screenTitles.insert(screenId, m_screenTitle);

    if (!(popup ? renderPopup(screen, screenId, rect) : renderScreen(screen, screenId, rect)))
        return false;

    root.reset();
    if (m_form->pageContainer->isHidden()) {
        m_form->pageContainer->show();
        BusyMouse::instance()->stop(LoadingReason);
    }
    m_form->pageStack->updateGeometry();
    return true;
}

// A screen document is server text: its labels and tool tips are shown as written, never as markup
// (labels stay rich text, escaped, because a required field's marker is appended in colour). Every
// field is named for assistive technology after its label, or its own name.
void ClassicApplicationWidget::prepareServerTexts(QWidget *screen)
{
    QHash<QString, QString> labelTexts;
    for (QLabel *label : screen->findChildren<QLabel *>()) {
        const QString text = ScreenDocumentLimits::shownText(
            label->text(), QStringLiteral("ClassicApplicationWidget::renderUi - label \"%1\"").arg(label->objectName()));
        labelTexts.insert(label->objectName(), text.trimmed());
        if (label->textFormat() != Qt::PlainText) {
            label->setTextFormat(Qt::RichText);
            label->setText(text.toHtmlEscaped());
        } else if (text.size() != label->text().size()) {
            label->setText(text);
        }
    }
    for (QWidget *widget : screen->findChildren<QWidget *>()) {
        if (!widget->toolTip().isEmpty())
            widget->setToolTip(PlainText::escaped(widget->toolTip()));
    }
    for (ZuFieldWidget *field : screen->findChildren<ZuFieldWidget *>()) {
        const QString label = field->labelName().isEmpty() ? QString() : labelTexts.value(field->labelName());
        field->setAccessibleTexts(label.isEmpty() ? field->objectName() : label, QString());
    }
}

// Help addresses and titles are looked up by the screen id of a field on the page; a long session
// of ever new screen ids keeps only those of screens the page still shows.
void ClassicApplicationWidget::forgetScreensNotShown()
{
    QSet<int> shown;
    for (const ZuFieldWidget *field : allFields())
        shown.insert(field->property(SidProperty).toInt());
    for (QHash<int, QString> *map : { &m_helpUrls, &m_screenTitles }) {
        for (auto it = map->begin(); it != map->end();)
            it = shown.contains(it.key()) ? std::next(it) : map->erase(it);
    }
}

void ClassicApplicationWidget::adoptField(ZuFieldWidget *field, int screenId, bool watchHighlight)
{
    // Fields inside a placed container need the screen id too, or they could not be addressed.
    field->setProperty(SidProperty, screenId);
    field->setPropReadOnly(true);
    field->setEventDelegate(this);
    connect(field, &ZuFieldWidget::focusIn, this, &ClassicApplicationWidget::p_fieldFocusIn);
    connect(field, &ZuFieldWidget::dropdownClicked, this, &ClassicApplicationWidget::p_fieldDropdownClicked);
    connect(field, &ZuFieldWidget::idSecClicked, this, &ClassicApplicationWidget::p_idSecClicked);
    connect(field, &ZuFieldWidget::buttonClicked, this, &ClassicApplicationWidget::p_buttonFieldClicked);
    if (watchHighlight)
        connect(field, &ZuProperties::propHighlightChanged, this,
                &ClassicApplicationWidget::fieldHighlightChanged);
}

bool ClassicApplicationWidget::renderScreen(QWidget *screen, int screenId, const QRect &rect)
{
    clearArea(rect);
    auto *layout = qobject_cast<QGridLayout *>(visibleWidgets(screen)->layout());
    if (!layout) {
        qWarning()
            << "ClassicApplicationWidget::renderUi - Loaded screen's visible widget does not have grid "
               "layout";
        return false;
    }
    while (layout->count() > 0) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        layout->getItemPosition(0, &row, &column, &rowSpan, &columnSpan);
        int targetRow = row + rect.top();
        int targetColumn = column + rect.left();
        if (targetRow < 0 || targetColumn < 0) {
            qWarning() << "ClassicApplicationWidget::renderUi - widget out of bounds:" << targetRow
                       << targetColumn;
            targetRow = qMax(0, targetRow);
            targetColumn = qMax(0, targetColumn);
        }
        std::unique_ptr<QLayoutItem> item(layout->takeAt(0));
        QWidget *widget = item->widget();
        if (!widget) {
            if (item->spacerItem()) {
                auto *spacer = new QWidget;
                spacer->setObjectName(QStringLiteral("spacer_vert"));
                spacer->setMinimumHeight(SpacerHeight);
                spacer->setProperty(SidProperty, screenId);
                m_grid->place(spacer, targetRow, 0, 1, 1);
            }
            continue;
        }
        if (widget->objectName() == QLatin1String(ScreenInfoName)) {
            delete widget;
            continue;
        }
        widget->setProperty(SidProperty, screenId);
        m_grid->place(widget, targetRow, targetColumn, rowSpan, columnSpan);
        widget->raise();
        qDebug() << "adding widget" << widget->objectName() << "@" << targetColumn << targetRow;
        if (auto *field = qobject_cast<ZuFieldWidget *>(widget))
            adoptField(field, screenId, true);
        const QList<ZuFieldWidget *> inner = widget->findChildren<ZuFieldWidget *>();
        for (ZuFieldWidget *field : inner)
            adoptField(field, screenId, true);
    }
    return true;
}

bool ClassicApplicationWidget::renderPopup(QWidget *screen, int screenId, QRect rect)
{
    // Room for the frame around the popup's own cells.
    rect.translate(-1, -3);
    rect.setWidth(rect.width() + 2);
    rect.setHeight(rect.height() + 2);
    if (rect.left() < 0) {
        qDebug() << "ClassicApplicationWidget::renderUi - Adjusting negative popup location x:"
                 << rect.left();
        rect.moveLeft(0);
    }
    if (rect.top() < 0) {
        qDebug() << "ClassicApplicationWidget::renderUi - Adjusting negative popup location Y:" << rect.top();
        rect.moveTop(0);
    }

    QWidget *visible = visibleWidgets(screen);
    bool titleBar = false;
    // Guarded: deleting SCREEN_INFO deletes any field inside it, which is later in the list.
    QList<QPointer<ZuFieldWidget>> fields;
    for (ZuFieldWidget *field : visible->findChildren<ZuFieldWidget *>())
        fields.append(field);
    for (const QPointer<ZuFieldWidget> &field : std::as_const(fields)) {
        if (!field)
            continue;
        if (field->objectName() == QLatin1String(ScreenInfoName)) {
            titleBar = true;
            delete field.data();
            continue;
        }
        if (getField(screenId, field->objectName(), true))
            qWarning() << "ClassicApplicationWidget::renderUi() - New overlay contains a duplicate field."
                       << field->objectName();
        adoptField(field, screenId, false);
    }

    auto *frame = new QFrame;
    frame->setObjectName(QStringLiteral("popupFrame"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    frame->setAutoFillBackground(true);
    auto *frameLayout = new QVBoxLayout(frame);
    if (titleBar) {
        auto *bar = new QFrame(frame);
        bar->setObjectName(QStringLiteral("popupTitleBar"));
        bar->setFrameShape(QFrame::Box);
        bar->setFrameShadow(QFrame::Plain);
        auto *label = new QLabel(bar);
        label->setObjectName(QStringLiteral("popupTitleLabel"));
        label->setTextFormat(Qt::PlainText);
        label->setProperty(SidProperty, screenId);
        auto *barLayout = new QVBoxLayout(bar);
        barLayout->setContentsMargins(0, 0, 0, 0);
        barLayout->addWidget(label);
        frameLayout->addWidget(bar);
    }
    frameLayout->addStretch(1);
    auto *inner = new QVBoxLayout;
    inner->addStretch(1);
    inner->addWidget(visible);
    inner->addStretch(1);
    frameLayout->addLayout(inner);
    frameLayout->addStretch(2);

    qDebug() << "Placing frame @" << rect;
    m_grid->place(frame, rect.top(), rect.left(), rect.height(), rect.width());
    frame->raise();
    return true;
}

ZuFieldWidget *ClassicApplicationWidget::getField(int screenId, const QString &name, bool quiet) const
{
    const QList<ZuFieldWidget *> fields = m_form->pageStack->findChildren<ZuFieldWidget *>(name);
    for (ZuFieldWidget *field : fields) {
        const QVariant sid = field->property(SidProperty);
        if (sid.isValid() && sid.toInt() == screenId)
            return field;
    }
    if (!quiet)
        qDebug() << "ClassicApplicationWidget::getField() - Field" << name << "not found";
    return nullptr;
}

void ClassicApplicationWidget::activateField(int screenId, const QString &name, const QString &comment,
                                             bool activate)
{
    ZuFieldWidget *field = getField(screenId, name);
    if (!field) {
        qWarning() << "ClassicApplicationWidget::activateField() - Field" << name << "not found";
        return;
    }
    field->setAccessibleTexts(field->accessibleName(), comment);
    field->setPropReadOnly(!activate);
    if (!activate && field == m_currentField)
        m_currentField = nullptr;
}

void ClassicApplicationWidget::deactivateFields()
{
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields)
        field->setPropReadOnly(true);
    m_currentField = nullptr;
}

// Widgets added to a shown layout are shown by a queued call, and only a visible field takes the
// focus. Showing them now spares protocol handlers a nested event loop, which could deliver a
// request whose dialog outlives the handler.
void ClassicApplicationWidget::showQueuedAncestors(QWidget *widget)
{
    if (!isVisible())
        return;
    // The focus goes to the deepest focus proxy: its editor may be new as well.
    while (widget->focusProxy())
        widget = widget->focusProxy();
    QList<QWidget *> chain;
    for (QWidget *w = widget; w && w != this; w = w->parentWidget())
        chain.prepend(w);
    for (QWidget *w : std::as_const(chain)) {
        // Explicitly hidden ones, such as the stack's other pages, stay hidden.
        if (!w->isVisible() && !(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide)))
            w->setVisible(true);
    }
}

void ClassicApplicationWidget::setFocusOnField(int screenId, const QString &name)
{
    ZuFieldWidget *field = getField(screenId, name);
    if (!field) {
        qDebug() << "ClassicApplicationWidget::setFocusOnField() - focus field not found";
        return;
    }
    showQueuedAncestors(field);
    field->focusField();
    m_currentField = field;
    updateFormTitle();
    inputPlaced();
}

void ClassicApplicationWidget::setTitle(int screenId, const QString &title)
{
    suspendUpdates();
    if (screenId != 0) {
        const QList<QLabel *> labels
            = m_form->pageStack->findChildren<QLabel *>(QStringLiteral("popupTitleLabel"));
        for (QLabel *label : labels) {
            if (label->property(SidProperty).toInt() == screenId) {
                label->setText(title);
                return;
            }
        }
    }
    m_pageTitle = title;
    updateFormTitle();
    emit titleChanged(title);
}

void ClassicApplicationWidget::updateFormTitle()
{
    QString subtitle;
    if (m_currentField)
        subtitle = m_screenTitles.value(m_currentField->property(SidProperty).toInt());
    if (subtitle.isEmpty())
        subtitle = m_screenTitle;
    const QString text = subtitle.isEmpty() ? m_pageTitle : m_pageTitle + QStringLiteral(" - ") + subtitle;
    m_form->formTitle->setText(text);
    setWindowTitle(text);
}

void ClassicApplicationWidget::setStatusText(const QString &status)
{
    m_statusText = status;
    updateStatusLine();
}

void ClassicApplicationWidget::setRingMenuPrompt(const QString &prompt)
{
    m_ringMenuPrompt = prompt;
    updateStatusLine();
}

void ClassicApplicationWidget::updateStatusLine()
{
    QString text = m_ringMenuPrompt.isEmpty() ? m_statusText : m_ringMenuPrompt;
    if (!m_linkNotice.isEmpty())
        text = m_linkNotice;
    // The server's hints (which key saves, say) no longer hold on an ended page.
    if (isEnded())
        text.clear();
    m_form->statusLabel->setText(text);
    m_form->statusPanel->setVisible(!text.isEmpty());
}

void ClassicApplicationWidget::setLinkNotice(const QString &notice)
{
    m_linkNotice = notice;
    updateStatusLine();
}

QString ClassicApplicationWidget::unsavedWork() const
{
    // While the program runs, quitting is a forced quit and asked about as such.
    if (!isEnded())
        return QString();
    const QList<ZuFieldWidget *> fields = allFields();
    for (const ZuFieldWidget *field : fields) {
        if (field->isDataChanged())
            return QStringLiteral("the text typed into \"%1\" and never sent")
                .arg(m_menuTitle.isEmpty() ? title() : m_menuTitle);
    }
    return QString();
}

// What was typed ahead goes where the input is now; nothing hands a decision to the server any
// more, and the fields keep their text, read-only but selectable.
void ClassicApplicationWidget::enterEnded()
{
    disconnect(this, nullptr, m_turn, nullptr);
    m_turn->release();
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields)
        field->setPropReadOnly(true);
    ringMenu()->setEnabled(false);
    m_form->formBar->setEnabled(false);
    updateStatusLine();
    if (m_resumeTimer.isActive())
        unsuspendUpdates();
    BusyMouse::instance()->stop(LoadingReason);
}

QBoxLayout *ClassicApplicationWidget::bannerLayout() const
{
    return qobject_cast<QBoxLayout *>(m_formWidget->layout());
}

void ClassicApplicationWidget::setErrorText(const QString &error)
{
    m_errorText = error;
    m_form->errorLabel->setText(error);
    m_form->errorPanel->setVisible(!error.isEmpty());
}

void ClassicApplicationWidget::errorClose()
{
    m_errorText.clear();
    m_form->errorLabel->clear();
    m_form->errorPanel->hide();
    if (m_currentField)
        m_currentField->focusField();
}

void ClassicApplicationWidget::connectFormBar()
{
    const auto navigate = [this](int key) {
        emit ringMenuKeyPressed(false, key, m_currentField);
        ringMenu()->focusShortcut(QKeySequence(key));
    };
    connect(m_form->prevButton, &QPushButton::clicked, this, [navigate] { navigate(NavPreviousKey); });
    connect(m_form->nextButton, &QPushButton::clicked, this, [navigate] { navigate(NavNextKey); });
    connect(m_form->resultSetButton, &QPushButton::clicked, this, [navigate] { navigate(NavResultSetKey); });
    connect(m_form->tablesCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index >= 0)
            emit ringMenuKeyPressed(false, m_form->tablesCombo->itemData(index, Qt::UserRole + 1).toInt(),
                                    m_currentField);
    });
}

void ClassicApplicationWidget::formbarSetTableList(const Pb::NavBarItemList &msg)
{
    QComboBox *combo = m_form->tablesCombo;
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const Pb::NavBarItemList::BarItem &item : msg.bar_item()) {
        combo->addItem(Latin1::toQString(item.label()));
        combo->setItemData(combo->count() - 1, item.index(), Qt::UserRole);
        combo->setItemData(combo->count() - 1, item.shortcut_key(), Qt::UserRole + 1);
    }
    if (msg.bar_item_size() > 0)
        m_form->formBar->show();
}

void ClassicApplicationWidget::formbarSetCurrentTable(int index)
{
    QComboBox *combo = m_form->tablesCombo;
    const QSignalBlocker blocker(combo);
    const int entry = combo->findData(index, Qt::UserRole);
    if (entry >= 0)
        combo->setCurrentIndex(entry);
}

void ClassicApplicationWidget::formbarSetRowCount(int current, int maximum)
{
    m_currentRow = current;
    m_rowCount = maximum;
    m_form->rowStatusLabel->setText(QStringLiteral("%1 of %2").arg(current).arg(maximum));
    formbarSetNavEnabled(m_form->tablesCombo->isEnabled());
}

void ClassicApplicationWidget::formbarSetNavEnabled(bool enabled)
{
    m_form->resultSetButton->setEnabled(enabled);
    m_form->tablesCombo->setEnabled(enabled);
    updateNavButtons(enabled);
}

void ClassicApplicationWidget::updateNavButtons(bool enabled)
{
    m_form->prevButton->setEnabled(enabled && m_currentRow > 1);
    m_form->nextButton->setEnabled(enabled && m_currentRow != m_rowCount);
}

void ClassicApplicationWidget::fieldHighlightChanged(bool val)
{
    Q_UNUSED(val)
    m_highlightTimer.start();
}

void ClassicApplicationWidget::flipPageToHighlight()
{
    if (m_grid->pageCount() < 2 || m_form->tablesCombo->count() < 2)
        return;
    QVector<int> counts(m_grid->pageCount(), 0);
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields) {
        const int page = m_grid->pageOf(field);
        if (field->propHighlight() && page >= 0)
            ++counts[page];
    }
    int best = 0;
    for (int i = 1; i < counts.size(); ++i) {
        if (counts.at(i) > counts.at(best))
            best = i;
    }
    // Nothing highlighted anywhere: leave the user where they are.
    if (counts.at(best) == 0)
        return;
    m_grid->showPage(best);
    QRect united;
    for (ZuFieldWidget *field : fields) {
        if (field->propHighlight() && m_grid->pageOf(field) == best)
            united |= QRect(field->mapTo(m_form->scrollLayout, QPoint(0, 0)), field->size());
    }
    m_form->scrollArea->ensureVisible(united.right(), united.bottom(), HighlightScrollMargin,
                                      HighlightScrollMargin);
    m_form->scrollArea->ensureVisible(united.left(), united.top(), HighlightScrollMargin,
                                      HighlightScrollMargin);
}

void ClassicApplicationWidget::pushWindow()
{
    SavedWindowState state;
    state.pageTitle = m_pageTitle;
    state.errorText = m_errorText;
    state.statusText = m_statusText;
    state.menu = m_screenMenu;
    state.helpUrl = m_helpUrl;
    state.screenTitle = m_screenTitle;
    const QList<QWidget *> placed = m_grid->placedWidgets();
    for (QWidget *widget : placed)
        state.widgets.insert(widget);
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields)
        state.fields.append(field->snapshot());
    state.pageStarts = m_grid->pageStarts();
    QComboBox *combo = m_form->tablesCombo;
    state.tableListEnabled = combo->isEnabled();
    for (int i = 0; i < combo->count(); ++i) {
        Pb::NavBarItemList::BarItem *item = state.tableList.add_bar_item();
        item->set_label(Latin1::fromQString(combo->itemText(i)));
        item->set_index(combo->itemData(i, Qt::UserRole).toInt());
        item->set_shortcut_key(combo->itemData(i, Qt::UserRole + 1).toInt());
    }
    state.tableIndex = combo->currentIndex();
    m_windowStack.append(state);
}

void ClassicApplicationWidget::popWindow()
{
    suspendUpdates();
    m_form->formBar->hide();
    // The state stays on the stack until the end, so that pages deleted meanwhile set its
    // widgets aside instead of deleting them.
    if (m_windowStack.isEmpty())
        m_windowStack.append(SavedWindowState());
    SavedWindowState &saved = m_windowStack.last();

    QList<QPointer<QWidget>> placed;
    const QList<QWidget *> widgets = m_grid->placedWidgets();
    for (QWidget *widget : widgets)
        placed.append(widget);
    for (const QPointer<QWidget> &widget : std::as_const(placed)) {
        if (!widget || saved.widgets.contains(widget))
            continue;
        QWidget *focused = QApplication::focusWidget();
        if (focused && (focused == widget || widget->isAncestorOf(focused)))
            ringMenu()->setFocus(Qt::OtherFocusReason);
        delete widget.data();
    }

    m_form->resultSetButton->setEnabled(saved.tableListEnabled);
    m_form->tablesCombo->setEnabled(saved.tableListEnabled);
    updateNavButtons(saved.tableListEnabled);
    setPageBreaks(saved.pageStarts);
    formbarSetTableList(saved.tableList);
    {
        const QSignalBlocker blocker(m_form->tablesCombo);
        m_form->tablesCombo->setCurrentIndex(saved.tableIndex);
    }

    const QVector<SavedWindowState::Displaced> displaced = std::exchange(saved.displaced, {});
    for (const SavedWindowState::Displaced &entry : displaced) {
        QWidget *widget = entry.widget;
        if (!widget)
            continue;
        m_grid->place(widget, entry.row, entry.column, entry.rowSpan, entry.columnSpan);
        if (auto *field = qobject_cast<ZuFieldWidget *>(widget))
            field->calculateMinimumWidth();
        const QList<ZuFieldWidget *> inner = widget->findChildren<ZuFieldWidget *>();
        for (ZuFieldWidget *field : inner)
            field->calculateMinimumWidth();
        widget->show();
    }
    for (const ZuFieldWidget::State &state : std::as_const(saved.fields)) {
        if (state.field)
            state.field->restore(state);
    }

    const SavedWindowState restored = m_windowStack.takeLast();
    const bool retitled = m_pageTitle != restored.pageTitle;
    m_pageTitle = restored.pageTitle;
    setErrorText(restored.errorText);
    m_statusText = restored.statusText;
    updateStatusLine();
    m_helpUrl = restored.helpUrl;
    m_form->helpButton->setVisible(!m_helpUrl.isEmpty());
    m_screenTitle = restored.screenTitle;
    updateFormTitle();
    if (retitled)
        emit titleChanged(m_pageTitle);
    p_setMenu(restored.menu);
}

int ClassicApplicationWidget::startingColumnWidth(int pageWidth)
{
    const int c = (pageWidth - 200) / 80;
    return c > 7 ? c - 5 : 2;
}

void ClassicApplicationWidget::resizeEvent(QResizeEvent *event)
{
    TaskPageWidget::resizeEvent(event);
    fitColumns();
}

void ClassicApplicationWidget::fitColumns()
{
    const int available = width();
    const int fontLimit = fontMetrics().horizontalAdvance(QLatin1Char('M')) * StyleManager::fontScale() / 100;
    int n = qMin(startingColumnWidth(available), fontLimit);
    const int page = qMax(0, m_grid->currentPage());
    while (n > 1) {
        m_grid->setColumnWidth(n);
        if (m_grid->minimumWidth(page) + ColumnWidthSlack < available)
            break;
        --n;
    }
    if (QGridLayout *grid = m_grid->pageLayout(page))
        qDebug() << "Set minimum column width to" << grid->columnMinimumWidth(0);
}

void ClassicApplicationWidget::themeChanged()
{
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields)
        field->calculateMinimumWidth();
    // A new font scale changes the character cell; the columns follow without a resize.
    fitColumns();
    updateIcons();
}

void ClassicApplicationWidget::closeEvent(QCloseEvent *event)
{
    // A page goes only when its application does.
    event->ignore();
}
