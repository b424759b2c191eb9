#pragma once

#include <QKeySequence>
#include <QObject>

#include <functional>

class QKeyEvent;

// Translates between workstation keys and the logical keys of classic applications (Pb::Key), in
// both directions: key presses become codes for the server, codes named in server texts and menus
// become key sequences to show. Only the done key is configurable; it is read at every use, so a
// changed setting applies at once.
class KeyMapper : public QObject
{
    Q_OBJECT

public:
    using DoneKeySource = std::function<QKeySequence()>;

    static KeyMapper *instance();

    // The Pb::Key code for a key press, or 0 (ZUGUI_NONE). Without arrowsAllowed, Left and Right
    // give 0 so that a line editor moves its cursor.
    int pbKeyFor(const QKeyEvent *event, bool arrowsAllowed) const;
    // The key that produces a code; empty for codes without one.
    QKeySequence keySequenceFor(int code) const;

    QKeySequence doneKey() const;
    // The settings install their done key here; without a source the done key is F9.
    void setDoneKeySource(DoneKeySource source);

signals:
    // The source's done key changed: what is bound to the old key must be bound again.
    void doneKeyChanged();

private:
    explicit KeyMapper(QObject *parent = nullptr);

    DoneKeySource m_doneKeySource;
};
