#pragma once

#include "savedwindowstate.h"
#include "utils/taskpagewidget.h"

#include "uidlg.pb.h"

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <memory>

class ClassicPageForm;
class PageGrid;
class QBoxLayout;
class QKeyEvent;
class QStackedLayout;
class QStandardItemModel;
class RingMenuWidget;
class ServerTurn;
class ZuFieldWidget;

// The task page of one server window of a classic application. The session drives it: screens
// and popups are loaded into its character grid, fields are filled and focused, menus, dialogs and
// lookups are shown, and window states are pushed and popped. The page turns key presses, clicks
// and focus changes into signals that the session answers to the server. Overlays (dialogs,
// lookups, pauses, identity cards, text blocks) sit above the form in the overlay stack; while
// one is open, the overlay mode is not NoOverlay and screens and other overlays are refused.
//
// Whatever hands a decision to the server starts its turn (ServerTurn): input for the page waits
// until the server has said where it goes next (focus, keyboard mode, ring menu, an overlay), and
// a render burst is painted then, at the end of that batch of commands, rather than after the
// burst timer.
class ClassicApplicationWidget : public TaskPageWidget
{
    Q_OBJECT

public:
    enum KeyboardMode { MenuMode = 0, CharacterMode = 1, FieldMode = 2 };
    Q_ENUM(KeyboardMode)

    enum OverlayMode {
        NoOverlay = 0,
        TableLookupOverlay = 1,
        ImageOverlay = 2,
        DialogOverlay = 3,
        PauseOverlay = 4,
        BlobEditOverlay = 5,
        GridLookupOverlay = 6,
    };
    Q_ENUM(OverlayMode)

    static constexpr int ResumeDelayMs = 400;
    static constexpr int HighlightDelayMs = 200;
    static constexpr int BusyTimeoutMs = 8000;

    ClassicApplicationWidget(uint windowId, const QString &menuTitle, bool solo, QWidget *parent = nullptr);
    ~ClassicApplicationWidget() override;

    QString title() const override { return m_pageTitle; }
    QString shortName() const override;
    // An ended solo page holds nothing up: the desktop is free again.
    bool isSoloApp() const override { return m_solo && !isEnded(); }
    // On an ended page: the text typed into fields and never sent.
    QString unsavedWork() const override;
    void setLinkNotice(const QString &notice) override;

    uint windowId() const { return m_windowId; }
    QString menuTitle() const { return m_menuTitle; }
    int keyboardMode() const { return m_keyboardMode; }
    int overlayMode() const { return m_overlayMode; }
    ZuFieldWidget *currentField() const { return m_currentField; }
    QString statusText() const { return m_statusText; }
    QString helpUrl() const { return m_helpUrl; }
    QString screenTitle() const { return m_screenTitle; }
    int windowStackDepth() const { return m_windowStack.size(); }
    // Screens whose titles and help addresses are kept.
    int rememberedScreens() const { return m_screenTitles.size(); }
    RingMenuWidget *ringMenu() const;
    ServerTurn *serverTurn() const { return m_turn; }
    // A command of the server for this page has arrived.
    void noteServerCommand();
    PageGrid *grid() const { return m_grid; }
    const ClassicPageForm &form() const { return *m_form; }

    bool renderUi(const QByteArray &ui, int screenId, bool popup, int row, int column);
    ZuFieldWidget *getField(int screenId, const QString &name, bool quiet = false) const;
    void activateField(int screenId, const QString &name, const QString &comment, bool activate);
    void deactivateFields();
    void setFocusOnField(int screenId, const QString &name);
    void clearRows(int firstRow, int lastRow);
    void setTitle(int screenId, const QString &title);
    void setKeyboardMode(int mode);
    void pushWindow();
    void popWindow();

    void showDialog(const Pb::Dialog &dialog);
    void closeDialog();
    void showImage(const Pb::IdSec &idSec);
    void showPausePopup(const QString &message);
    void setTableLookup(const QStringList &items);
    // A lookup the server sent beyond the bounds: warned about and answered as a cancel would be.
    void refuseTableLookup(const QString &reason);
    void refuseGridLookup(const QString &reason);
    void editBlob(int screenId, const QString &name, bool readOnly, const QString &text);
    // Takes ownership of the model.
    void gridLookup(const QString &title, QStandardItemModel *model, const QList<int> &hiddenColumns);

    bool processKeyPress(QObject *object, QKeyEvent *event);
    bool eventFilter(QObject *watched, QEvent *event) override;

    // The column width a page of this width starts from, before the font limit.
    static int startingColumnWidth(int pageWidth);
    // The page's own desktop key: it detaches the page, whatever the server is doing.
    static bool isDetachKey(const QKeyEvent *event);

public slots:
    virtual void renderMenu(const Pb::ScreenMenu &msgMenu);
    // Stores the server's menu for the window stack and shows it.
    void p_setMenu(const Pb::ScreenMenu &msgMenu);
    void setStatusText(const QString &status);
    void setRingMenuPrompt(const QString &prompt);
    void setErrorText(const QString &error);
    void errorClose();
    void formbarSetRowCount(int current, int maximum);
    void formbarSetTableList(const Pb::NavBarItemList &msg);
    void formbarSetCurrentTable(int index);
    void formbarSetNavEnabled(bool enabled);

signals:
    void closeRequested();
    void helpRequested(QString url);
    void dialogButtonPressed(int key);
    void dialogCanceled();
    void fieldDropdownClicked(ZuFieldWidget *previous, ZuFieldWidget *current);
    void lookupSelected(QString value);
    void fieldFocusChanged(ZuFieldWidget *previous, ZuFieldWidget *current);
    void ringMenuKeyPressed(bool isChild, int key, ZuFieldWidget *currentField);
    void idSecButtonClicked(ZuFieldWidget *idField);
    void keyPressed(ZuFieldWidget *field, Pb::Key key);
    void buttonFieldClicked(ZuFieldWidget *previous, ZuFieldWidget *field);
    void charModeKeyPressed(int key);
    void blobEditComplete(QString result);
    void gridLookupComplete(QVariant rowId);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void enterEnded() override;
    QBoxLayout *bannerLayout() const override;

private slots:
    void unsuspendUpdates();
    void fieldHighlightChanged(bool val);
    void flipPageToHighlight();
    void themeChanged();
    void p_ringMenuTriggered(bool isChild, int key);
    void p_tableLookupSelected(const QString &value);
    void p_dialogButtonClicked(int key);
    void p_fieldFocusIn();
    void p_fieldDropdownClicked();
    void p_idSecClicked();
    void p_buttonFieldClicked();
    void p_helpButtonClicked();

private:
    void connectFormBar();
    void suspendUpdates();
    void clearArea(const QRect &area);
    void setPageBreaks(const QList<int> &starts);
    void adoptField(ZuFieldWidget *field, int screenId, bool watchHighlight);
    bool renderPopup(QWidget *screen, int screenId, QRect rect);
    bool renderScreen(QWidget *screen, int screenId, const QRect &rect);
    void updateFormTitle();
    void updateStatusLine();
    void updateNavButtons(bool enabled);
    void updateIcons();
    // Sets the grid's column width for the page's width and font.
    void fitColumns();
    void focusCurrentOrMenu();
    // The server has said where input goes: at the end of its batch of commands the page is
    // painted and what was typed ahead is replayed.
    void inputPlaced();
    bool ownsShortcut(const QKeyEvent *key) const;
    QList<ZuFieldWidget *> allFields() const;
    SavedWindowState *topWindowState();
    void showQueuedAncestors(QWidget *widget);
    void forgetScreensNotShown();
    void prepareServerTexts(QWidget *screen);
    bool refuseOverlay(const char *function);
    // The overlay layer: every overlay of the page opens and closes through these two.
    void openOverlay(QWidget *overlay, OverlayMode mode);
    bool closeOverlay(OverlayMode mode, const char *wrongModeWarning, bool menuFallback);

    QTimer m_resumeTimer;
    QTimer m_busyDelay;
    QTimer m_highlightTimer;
    QString m_pageTitle;
    uint m_windowId;
    int m_keyboardMode = MenuMode;
    QString m_statusText;
    QString m_ringMenuPrompt;
    QString m_linkNotice;
    bool m_solo;
    QWidget *m_formWidget;
    std::unique_ptr<ClassicPageForm> m_form;
    QStackedLayout *m_overlayStack;
    int m_overlayMode = NoOverlay;
    QString m_menuTitle;
    Pb::ScreenMenu m_screenMenu;
    QPointer<ZuFieldWidget> m_currentField;
    QString m_helpUrl;
    static constexpr int MaxScreenEntries = 128;
    QHash<int, QString> m_helpUrls;
    QString m_screenTitle;
    QHash<int, QString> m_screenTitles;
    QVector<SavedWindowState> m_windowStack;
    PageGrid *m_grid;
    int m_currentRow = 0;
    int m_rowCount = 0;
    QString m_errorText;
    QPointer<QWidget> m_overlay;
    QPointer<QWidget> m_tableLookup;
    ServerTurn *m_turn;
    bool m_inputPlacedQueued = false;
};

Q_DECLARE_METATYPE(Pb::Key)
