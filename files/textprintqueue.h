#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QPainter;
class QPrinter;
class QProgressDialog;
class QTextDocument;
class QWidget;

// Plain-text documents the server or a viewer sends to the workstation's printer. The first one
// asks for the printer; what arrives while the question is open, or while printing, is printed
// with it, in the same print job. Pages go out a few at a time between events, so the client
// keeps working; a run of more than a second shows its progress and can be stopped, and the end
// says where the pages went. A server sending documents faster than they are printed cannot grow
// the queue without end.
class TextPrintQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxQueued = 100;
    // The least page a document is laid out on, in characters of the fixed font.
    static constexpr int PageColumns = 80;
    static constexpr int PageLines = 66;
    static constexpr int ProgressDelayMs = 1000;

    // The printer question opens over `window`.
    explicit TextPrintQueue(QWidget *window);
    ~TextPrintQueue() override;

    int queuedCount() const { return m_queue.size(); }
    bool isPrinting() const { return m_painter != nullptr; }

public slots:
    void print(const QString &text);

signals:
    // The user declined the printer question; everything queued was dropped.
    void cancelled();
    void statusMessage(QString text);

private:
    enum class State { Idle, Asking, Printing };

    void startRun();
    // Lays out the queue's first document; false when it has no page to print.
    bool beginDocument();
    void printSome();
    void endRun(bool stopped);

    QWidget *m_window;
    State m_state = State::Idle;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<QTextDocument> m_document;
    QPointer<QProgressDialog> m_progress;
    QStringList m_queue;
    int m_page = 0; // the next page of the current document, from 1
    int m_lastPage = 0;
    int m_printed = 0; // pages of this run
    bool m_stopRequested = false;
};
