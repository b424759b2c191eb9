#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QTreeWidget;

// The one window in which the servers' notices are shown, newest first, instead of a box for each:
// a server sending thousands of notices makes one window of bounded size. The same notice again,
// while it is the newest, counts on its entry; at most MaxKept are kept, older ones only counted.
// Texts are shown as plain text.
class NoticeBoard : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { Information, Warning, Critical };

    static constexpr int MaxKept = 100;

    // The process's board, made with the first notice.
    static NoticeBoard *instance();
    static void post(Kind kind, const QString &title, const QString &text);

    int entryCount() const;
    int droppedCount() const { return m_dropped; }
    // The newest entry's text and how often it came in a row.
    QString newestText() const;
    int newestRepeats() const;

private:
    NoticeBoard();
    void add(Kind kind, const QString &title, const QString &text);

    QTreeWidget *m_list;
    QLabel *m_dropNote;
    int m_dropped = 0;
    static QPointer<NoticeBoard> s_board;
};
