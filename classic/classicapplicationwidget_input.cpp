// The classic page's input side: keyboard modes, field events, help, the ring-menu hook and the
// overlay layer.
#include "classicapplicationwidget.h"

#include "keymapper.h"
#include "overlayblobedit.h"
#include "overlaydialog.h"
#include "overlaygridlookup.h"
#include "overlayidsec.h"
#include "overlaypause.h"
#include "overlayselectordialog.h"
#include "pagegrid.h"
#include "ringmenuwidget.h"
#include "serverturn.h"
#include "tablelookupdialog.h"
#include "zufieldwidget.h"

#include "classicpageform.h"

#include <QAbstractButton>
#include <QAction>
#include <QDebug>
#include <QKeyEvent>
#include <QShortcut>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStandardItemModel>

#include <memory>

namespace {

constexpr int FieldScrollMargin = 50;
constexpr int FirstPrintable = 0x20;
constexpr int LastPrintable = 0x7E;

} // namespace

void ClassicApplicationWidget::setKeyboardMode(int mode)
{
    // Even a redundant mode tells where input goes next.
    inputPlaced();
    if (mode == m_keyboardMode) {
        qDebug() << "Keyboard mode:" << mode << " (redundant)";
        return;
    }
    qDebug() << "Keyboard mode:" << mode;
    m_keyboardMode = mode;
}

bool ClassicApplicationWidget::isDetachKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_D
        && (event->modifiers() & ~Qt::KeypadModifier) == (Qt::ControlModifier | Qt::ShiftModifier);
}

// A key bound in the ring menu or in the open overlay waits for the server like any other; the
// desktop's shortcuts are not looked for here.
bool ClassicApplicationWidget::ownsShortcut(const QKeyEvent *key) const
{
    const QKeySequence sequence(key->key() | int(key->modifiers() & ~Qt::KeypadModifier));
    if (ringMenu()->boundTo(sequence))
        return true;
    if (!m_overlay)
        return false;
    for (const QShortcut *shortcut : m_overlay->findChildren<QShortcut *>()) {
        if (shortcut->key() == sequence)
            return true;
    }
    for (const QAbstractButton *button : m_overlay->findChildren<QAbstractButton *>()) {
        if (button->shortcut() == sequence)
            return true;
    }
    for (const QAction *action : m_overlay->findChildren<QAction *>()) {
        if (action->shortcuts().contains(sequence))
            return true;
    }
    return false;
}

bool ClassicApplicationWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Fields hand every event of their editors here first; only key presses matter.
    if (event->type() == QEvent::KeyPress)
        return processKeyPress(watched, static_cast<QKeyEvent *>(event));
    return TaskPageWidget::eventFilter(watched, event);
}

void ClassicApplicationWidget::keyPressEvent(QKeyEvent *event)
{
    qDebug() << "ClassicApplicationWidget::keyPressEvent() -" << event->key()
             << "mods:" << event->modifiers();
    if (!m_solo && isDetachKey(event)) {
        emit detachClicked();
        return;
    }
    if (processKeyPress(this, event)) {
        event->accept();
        return;
    }
    TaskPageWidget::keyPressEvent(event);
}

bool ClassicApplicationWidget::processKeyPress(QObject *object, QKeyEvent *event)
{
    qDebug() << "**** ClassicApplicationWidget::processKeyPress() - obj:"
             << (object ? object->objectName() : QString()) << " key:" << event->key();
    // An ended page's keys go to its read-only fields: selecting and copying still work.
    if (isEnded())
        return false;
    // The keypad flag would keep keypad Enter from matching the Enter of a menu item.
    const QKeySequence sequence(event->key() | int(event->modifiers() & ~Qt::KeypadModifier));
    switch (m_keyboardMode) {
    case MenuMode:
        return ringMenu()->triggerShortcut(sequence);
    case CharacterMode: {
        const int key = event->key();
        if (key >= FirstPrintable && key <= LastPrintable) {
            emit charModeKeyPressed(key);
            return true;
        }
        const int code = KeyMapper::instance()->pbKeyFor(event, true);
        if (code == 0)
            return false;
        emit charModeKeyPressed(code);
        return true;
    }
    case FieldMode: {
        if (!m_currentField && ringMenu()->triggerShortcut(sequence))
            return true;
        const int code = KeyMapper::instance()->pbKeyFor(event, false);
        if (code == 0)
            return false;
        if (ringMenu()->triggerShortcut(sequence))
            return true;
        emit keyPressed(m_currentField, Pb::Key(code));
        return true;
    }
    default:
        return false;
    }
}

bool ClassicApplicationWidget::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        focusCurrentOrMenu();
    // A ring item's key comes to processKeyPress, which clicks the item at once; taken as the
    // button's shortcut it would be clicked a tenth of a second later, after the keys typed next.
    if (event->type() == QEvent::ShortcutOverride && m_overlayMode == NoOverlay
        && (m_keyboardMode == MenuMode || m_keyboardMode == FieldMode)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (ringMenu()->boundTo(QKeySequence(key->key() | int(key->modifiers() & ~Qt::KeypadModifier)))) {
            event->accept();
            return true;
        }
    }
    return TaskPageWidget::event(event);
}

void ClassicApplicationWidget::focusInEvent(QFocusEvent *event)
{
    TaskPageWidget::focusInEvent(event);
    focusCurrentOrMenu();
}

void ClassicApplicationWidget::focusCurrentOrMenu()
{
    if (m_currentField)
        m_currentField->focusField();
    else
        ringMenu()->setFocus(Qt::OtherFocusReason);
}

void ClassicApplicationWidget::p_fieldFocusIn()
{
    auto *field = qobject_cast<ZuFieldWidget *>(sender());
    if (!field)
        return;
    // An ended page keeps what was typed as unsent, wherever the focus goes.
    if (field != m_currentField && !isEnded()) {
        field->commitData();
        emit fieldFocusChanged(m_currentField, field);
    }
    const int page = m_grid->pageOf(field);
    if (page >= 0)
        m_grid->showPage(page);
    m_form->scrollArea->ensureWidgetVisible(field, FieldScrollMargin, FieldScrollMargin);
    if (!field->propReadOnly())
        m_currentField = field;
    updateFormTitle();
}

void ClassicApplicationWidget::p_fieldDropdownClicked()
{
    auto *field = qobject_cast<ZuFieldWidget *>(sender());
    if (!field)
        return;
    emit fieldDropdownClicked(m_currentField, field);
    m_currentField = field;
    updateFormTitle();
}

void ClassicApplicationWidget::p_buttonFieldClicked()
{
    if (auto *field = qobject_cast<ZuFieldWidget *>(sender()))
        emit buttonFieldClicked(m_currentField, field);
}

void ClassicApplicationWidget::p_idSecClicked()
{
    if (auto *field = qobject_cast<ZuFieldWidget *>(sender()))
        emit idSecButtonClicked(field);
}

void ClassicApplicationWidget::p_helpButtonClicked()
{
    QString url;
    if (m_currentField) {
        url = m_currentField->propHelpUrl();
        if (url.isEmpty())
            url = m_helpUrls.value(m_currentField->property("sid").toInt());
    }
    if (url.isEmpty())
        url = m_helpUrl;
    emit helpRequested(url);
}

void ClassicApplicationWidget::p_setMenu(const Pb::ScreenMenu &msgMenu)
{
    m_screenMenu = msgMenu;
    renderMenu(msgMenu);
}

void ClassicApplicationWidget::renderMenu(const Pb::ScreenMenu &msgMenu)
{
    ringMenu()->buildMenu(msgMenu, false);
    bool editable = false;
    const QList<ZuFieldWidget *> fields = allFields();
    for (ZuFieldWidget *field : fields) {
        if (!field->propReadOnly()) {
            qDebug() << "ClassicApplicationWidget::renderMenu - found enabled field:" << field->objectName();
            editable = true;
        }
    }
    if (!editable) {
        ringMenu()->setFocus(Qt::OtherFocusReason);
        m_currentField = nullptr;
    }
    inputPlaced();
}

void ClassicApplicationWidget::p_ringMenuTriggered(bool isChild, int key)
{
    if (m_solo && key == Pb::ZUGUI_HELP && !m_helpUrl.isEmpty())
        p_helpButtonClicked();
    else
        emit ringMenuKeyPressed(isChild, key, m_currentField);
    if (m_currentField)
        m_currentField->focusField();
}

void ClassicApplicationWidget::openOverlay(QWidget *overlay, OverlayMode mode)
{
    m_formWidget->setEnabled(false);
    m_overlayStack->addWidget(overlay);
    m_overlayStack->setCurrentWidget(overlay);
    overlay->setFocus(Qt::OtherFocusReason);
    m_overlay = overlay;
    m_overlayMode = mode;
    inputPlaced();
}

bool ClassicApplicationWidget::closeOverlay(OverlayMode mode, const char *wrongModeWarning, bool menuFallback)
{
    if (m_overlayMode != mode) {
        qWarning() << wrongModeWarning;
        return false;
    }
    if (m_overlay) {
        m_overlayStack->removeWidget(m_overlay);
        m_overlay->deleteLater();
    }
    QWidget *top = m_overlayStack->widget(m_overlayStack->count() - 1);
    m_overlayStack->setCurrentWidget(top);
    top->setEnabled(true);
    m_overlayMode = NoOverlay;
    if (m_currentField)
        m_currentField->focusField();
    else if (menuFallback)
        ringMenu()->setFocus(Qt::OtherFocusReason);
    return true;
}

bool ClassicApplicationWidget::refuseOverlay(const char *function)
{
    if (m_overlayMode == NoOverlay)
        return false;
    qWarning() << qPrintable(
        QStringLiteral("ClassicApplicationWidget::%1 - invalid mode:").arg(QLatin1String(function)))
               << m_overlayMode;
    return true;
}

void ClassicApplicationWidget::showDialog(const Pb::Dialog &dialog)
{
    if (refuseOverlay("showDialog()"))
        return;
    qDebug() << "ClassicApplicationWidget::showDialog() - type:" << dialog.type()
             << " allowCancel:" << dialog.allow_cancel();
    if (dialog.type() != 1 && dialog.type() != 2) {
        qCritical() << "ClassicApplicationWidget::showDialog() - Invalid dialog type";
        return;
    }
    if (dialog.type() == 1) {
        auto *overlay = new OverlayDialog(dialog, this);
        connect(overlay, &OverlayDialog::buttonPressed, this, &ClassicApplicationWidget::p_dialogButtonClicked);
        openOverlay(overlay, DialogOverlay);
    } else {
        auto *overlay = new OverlaySelectorDialog(dialog, this);
        connect(overlay, &OverlaySelectorDialog::selectionClicked, this,
                &ClassicApplicationWidget::p_dialogButtonClicked);
        openOverlay(overlay, DialogOverlay);
    }
}

void ClassicApplicationWidget::closeDialog()
{
    if (closeOverlay(DialogOverlay, "ClassicApplicationWidget::closeDialog() - Dialog not shown.", true))
        inputPlaced();
}

void ClassicApplicationWidget::p_dialogButtonClicked(int key)
{
    qDebug() << "Dialog button pressed. Key:" << key;
    emit dialogButtonPressed(key);
}

void ClassicApplicationWidget::showImage(const Pb::IdSec &idSec)
{
    if (refuseOverlay("showImage()"))
        return;
    auto *overlay = new OverlayIdSec(idSec, this);
    connect(overlay, &OverlayIdSec::okayButtonPressed, this, [this] {
        closeOverlay(ImageOverlay, "ClassicApplicationWidget::p_closeImage() - image not shown.", true);
    });
    openOverlay(overlay, ImageOverlay);
}

void ClassicApplicationWidget::showPausePopup(const QString &message)
{
    if (refuseOverlay("showPausePopup()"))
        return;
    auto *overlay = new OverlayPause(message, this);
    connect(overlay, &OverlayPause::keyPressed, this, [this](int key) {
        if (closeOverlay(PauseOverlay,
                         "ClassicApplicationWidget::showPausePopup() - closing - pause overlay not shown.", true)) {
            m_turn->begin();
            emit charModeKeyPressed(key);
        }
    });
    openOverlay(overlay, PauseOverlay);
}

void ClassicApplicationWidget::setTableLookup(const QStringList &items)
{
    if (refuseOverlay("setTableLookup()"))
        return;
    if (!m_currentField) {
        qWarning() << "ClassicApplicationWidget::setTableLookup() - No current field to attach table to.";
        return;
    }
    // A window of its own beside the field, not a layer of the page.
    auto *lookup = new TableLookupDialog(m_currentField, items, m_currentField->data(), this);
    connect(lookup, &TableLookupDialog::itemSelected, this, &ClassicApplicationWidget::p_tableLookupSelected);
    m_tableLookup = lookup;
    m_overlayMode = TableLookupOverlay;
    lookup->show();
    inputPlaced();
}

void ClassicApplicationWidget::refuseTableLookup(const QString &reason)
{
    qWarning() << "ClassicApplicationWidget::setTableLookup() - lookup refused:" << reason;
    // A cancelled table lookup answers with the field's text as it was.
    emit lookupSelected(m_currentField ? m_currentField->data() : QString());
}

void ClassicApplicationWidget::refuseGridLookup(const QString &reason)
{
    qWarning() << "ClassicApplicationWidget::gridLookup() - lookup refused:" << reason;
    emit gridLookupComplete(QVariant());
}

void ClassicApplicationWidget::p_tableLookupSelected(const QString &value)
{
    emit lookupSelected(value);
    if (m_tableLookup)
        m_tableLookup->deleteLater();
    m_overlayMode = NoOverlay;
}

void ClassicApplicationWidget::editBlob(int screenId, const QString &name, bool readOnly, const QString &text)
{
    if (refuseOverlay("editBlob()"))
        return;
    ZuFieldWidget *field = getField(screenId, name, true);
    if (!field) {
        qDebug() << "ClassicApplicationWidget::editBlob() - field not found:" << screenId << name;
        return;
    }
    auto *overlay = new OverlayBlobEdit(text, readOnly, field->mapToGlobal(QPoint(0, 0)), this);
    // Opened from a read-only screen there is no field to return to: the ring menu takes the keys.
    connect(overlay, &OverlayBlobEdit::accepted, this, [this](const QString &editedText) {
        if (closeOverlay(BlobEditOverlay,
                         "ClassicApplicationWidget::editBlob()::accepted - Editor not shown.", true))
            emit blobEditComplete(editedText);
    });
    connect(overlay, &OverlayBlobEdit::rejected, this, [this] {
        if (closeOverlay(BlobEditOverlay,
                         "ClassicApplicationWidget::editBlob()::rejected - Editor not shown.", true))
            emit blobEditComplete(QString());
    });
    openOverlay(overlay, BlobEditOverlay);
}

void ClassicApplicationWidget::gridLookup(const QString &title, QStandardItemModel *model,
                                          const QList<int> &hiddenColumns)
{
    std::unique_ptr<QStandardItemModel> owned(model);
    if (refuseOverlay("gridLookup()"))
        return;
    auto *overlay = new OverlayGridLookup(title, owned.release(), hiddenColumns, this);
    connect(overlay, &OverlayGridLookup::accepted, this, [this](int key) {
        if (closeOverlay(GridLookupOverlay, "ClassicApplicationWidget::gridLookup()::accepted - Grid not shown.", true))
            emit gridLookupComplete(key);
    });
    connect(overlay, &OverlayGridLookup::rejected, this, [this] {
        if (closeOverlay(GridLookupOverlay, "ClassicApplicationWidget::gridLookup()::rejected - Grid not shown.", true))
            emit gridLookupComplete(QVariant());
    });
    openOverlay(overlay, GridLookupOverlay);
}
