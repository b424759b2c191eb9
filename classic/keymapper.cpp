#include "keymapper.h"

#include "uidlg.pb.h"

#include <QKeyEvent>

namespace {
const QKeySequence DefaultDoneKey(Qt::Key_F9);
}

KeyMapper *KeyMapper::instance()
{
    static KeyMapper *mapper = new KeyMapper;
    return mapper;
}

KeyMapper::KeyMapper(QObject *parent)
    : QObject(parent)
{ }

QKeySequence KeyMapper::doneKey() const
{
    return m_doneKeySource ? m_doneKeySource() : DefaultDoneKey;
}

void KeyMapper::setDoneKeySource(DoneKeySource source)
{
    m_doneKeySource = std::move(source);
}

int KeyMapper::pbKeyFor(const QKeyEvent *event, bool arrowsAllowed) const
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (QKeySequence(key | int(modifiers)) == doneKey())
        return Pb::ZUGUI_DONE;

    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_B:
        return ctrl ? Pb::ZUGUI_PGUP : Pb::ZUGUI_NONE;
    case Qt::Key_E:
        return ctrl ? Pb::ZUGUI_DEL_LINE : Pb::ZUGUI_NONE;
    case Qt::Key_F:
        return ctrl ? Pb::ZUGUI_PGDOWN : Pb::ZUGUI_NONE;
    case Qt::Key_G:
        return ctrl ? Pb::ZUGUI_KEYG : Pb::ZUGUI_NONE;
    case Qt::Key_N:
        return ctrl ? Pb::ZUGUI_KEYN : Pb::ZUGUI_NONE;
    case Qt::Key_O:
        return ctrl ? Pb::ZUGUI_ADD_LINE : Pb::ZUGUI_NONE;
    case Qt::Key_P:
        return ctrl ? Pb::ZUGUI_PREVIOUS : Pb::ZUGUI_NONE;
    case Qt::Key_T:
        return ctrl ? Pb::ZUGUI_TABLE : Pb::ZUGUI_NONE;
    case Qt::Key_U:
        return ctrl ? Pb::ZUGUI_KEYU : Pb::ZUGUI_NONE;
    case Qt::Key_V:
        return ctrl ? Pb::ZUGUI_KEYV : Pb::ZUGUI_NONE;
    case Qt::Key_W:
        return ctrl ? Pb::ZUGUI_HELP : Pb::ZUGUI_NONE;
    case Qt::Key_Y:
        return ctrl ? Pb::ZUGUI_KEYY : Pb::ZUGUI_NONE;
    case Qt::Key_Escape:
        return Pb::ZUGUI_ABORT;
    case Qt::Key_Tab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Pb::ZUGUI_ENTER;
    case Qt::Key_Backtab:
        return Pb::ZUGUI_LEFT;
    case Qt::Key_Delete:
        return (modifiers & Qt::ShiftModifier) ? Pb::ZUGUI_CLEARS : Pb::ZUGUI_NONE;
    case Qt::Key_Left:
        return arrowsAllowed ? Pb::ZUGUI_LEFT : Pb::ZUGUI_NONE;
    case Qt::Key_Right:
        return arrowsAllowed ? Pb::ZUGUI_RIGHT : Pb::ZUGUI_NONE;
    case Qt::Key_Up:
        return Pb::ZUGUI_UP;
    case Qt::Key_Down:
        return Pb::ZUGUI_DOWN;
    case Qt::Key_PageUp:
        return Pb::ZUGUI_PGUP;
    case Qt::Key_PageDown:
        return Pb::ZUGUI_PGDOWN;
    case Qt::Key_F3:
        return Pb::ZUGUI_FORWARD;
    case Qt::Key_F5:
        return Pb::ZUGUI_FIELD_HELP;
    case Qt::Key_F6:
        return Pb::ZUGUI_TABLE;
    default:
        return Pb::ZUGUI_NONE;
    }
}

QKeySequence KeyMapper::keySequenceFor(int code) const
{
    switch (code) {
    case Pb::ZUGUI_ABORT:
        return QKeySequence(Qt::Key_Escape);
    case Pb::ZUGUI_DONE:
        return doneKey();
    case Pb::ZUGUI_TABLE:
        return QKeySequence(Qt::Key_F6);
    case Pb::ZUGUI_ENTER:
        return QKeySequence(Qt::Key_Enter);
    case Pb::ZUGUI_UP:
        return QKeySequence(Qt::Key_Up);
    case Pb::ZUGUI_DOWN:
        return QKeySequence(Qt::Key_Down);
    case Pb::ZUGUI_LEFT:
        return QKeySequence(Qt::Key_Left);
    case Pb::ZUGUI_RIGHT:
        return QKeySequence(Qt::Key_Right);
    case Pb::ZUGUI_PGUP:
        return QKeySequence(Qt::Key_PageUp);
    case Pb::ZUGUI_PGDOWN:
        return QKeySequence(Qt::Key_PageDown);
    case Pb::ZUGUI_FORWARD:
        return QKeySequence(Qt::Key_F3);
    case Pb::ZUGUI_PREVIOUS:
        return QKeySequence(Qt::CTRL | Qt::Key_P);
    case Pb::ZUGUI_ADD_LINE:
        return QKeySequence(Qt::CTRL | Qt::Key_O);
    case Pb::ZUGUI_DEL_LINE:
        return QKeySequence(Qt::CTRL | Qt::Key_E);
    case Pb::ZUGUI_KEYG:
        return QKeySequence(Qt::CTRL | Qt::Key_G);
    case Pb::ZUGUI_KEYN:
        return QKeySequence(Qt::CTRL | Qt::Key_N);
    case Pb::ZUGUI_KEYU:
        return QKeySequence(Qt::CTRL | Qt::Key_U);
    case Pb::ZUGUI_KEYV:
        return QKeySequence(Qt::CTRL | Qt::Key_V);
    case Pb::ZUGUI_KEYY:
        return QKeySequence(Qt::CTRL | Qt::Key_Y);
    case Pb::ZUGUI_HELP:
        return QKeySequence(Qt::CTRL | Qt::Key_W);
    case Pb::ZUGUI_CLEARS:
        return QKeySequence(Qt::SHIFT | Qt::Key_Delete);
    case Pb::ZUGUI_FIELD_HELP:
        return QKeySequence(Qt::Key_F5);
    case Pb::ZUGUI_EDIT_BLOB:
        return QKeySequence(Qt::Key_Space);
    default: // ZUGUI_DONEX and anything that is not a logical key
        return QKeySequence();
    }
}
