#pragma once

#include <QWidget>

class QTextBrowser;

// The user guide, read-only, in a window of its own: the Markdown file installed beside the client
// (doc/user-guide.md), or a sentence saying where it was looked for.
class UserGuideWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint64 MaxGuideBytes = 2 * 1024 * 1024;

    explicit UserGuideWindow(const QString &path = installedPath(), QWidget *parent = nullptr);

    static QString installedPath();
    QTextBrowser *view() const { return m_view; }

private:
    QTextBrowser *m_view;
};
