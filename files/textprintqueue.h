#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QPrinter;
class QWidget;

// Plain-text documents the server or a viewer sends to the workstation's printer. The first one
// asks for the printer; what arrives while the question is open is printed with it. A server
// sending documents faster than they are printed cannot grow the queue without end.
class TextPrintQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxQueued = 100;
    // The least page a document is laid out on, in characters of the fixed font.
    static constexpr int PageColumns = 80;
    static constexpr int PageLines = 66;

    // The printer question opens over `window`.
    explicit TextPrintQueue(QWidget *window);
    ~TextPrintQueue() override;

    int queuedCount() const { return m_queue.size(); }

public slots:
    void print(const QString &text);

signals:
    // The user declined the printer question; everything queued was dropped.
    void cancelled();
    void statusMessage(QString text);

private:
    void printQueued();

    QWidget *m_window;
    std::unique_ptr<QPrinter> m_printer;
    QStringList m_queue;
};
