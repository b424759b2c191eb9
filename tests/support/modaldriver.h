#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

// Answers modal dialogs that code under test opens with exec(). Each expectation handles the next
// modal widget of its type, once, in the order given; a modal widget nobody expects is recorded and
// rejected so that a test never hangs on it. Polling is chained through fresh single-shot timers, so
// it goes on inside the nested event loop of a dialog that a handler opened.
class ModalDriver : public QObject
{
    Q_OBJECT

public:
    explicit ModalDriver(QObject *parent = nullptr);

    template<class T>
    void expect(std::function<void(T *)> handler)
    {
        m_handlers.append([handler](QWidget *widget) {
            T *typed = qobject_cast<T *>(widget);
            if (!typed)
                return false;
            handler(typed);
            return true;
        });
    }

    // Answers the next file dialog with a path typed in: its view fills in the background, so a
    // file selected in it may not be there yet.
    void expectFileChoice(const QString &path);

    bool allHandled() const { return m_handlers.isEmpty(); }
    int handledCount() const { return m_handled; }
    // Class names and titles of modal widgets nobody expected.
    QStringList unexpected() const { return m_unexpected; }

private:
    void poll();

    QList<std::function<bool(QWidget *)>> m_handlers;
    QList<QPointer<QWidget>> m_seen;
    QStringList m_unexpected;
    int m_handled = 0;
};
