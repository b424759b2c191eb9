#pragma once

#include <QObject>

class QKeyEvent;
class QWidget;

// Ctrl+= (or Ctrl++), Ctrl+- and Ctrl+0 step the desktop's font scale through the settings dialog's
// steps and back to 100 %, in the desktop's window and in pages detached from it; other windows
// (a document viewer with a zoom of its own, say) keep those keys. Watches the whole application,
// so a focused field or terminal cannot swallow them first.
class ZoomKeys : public QObject
{
    Q_OBJECT

public:
    explicit ZoomKeys(QWidget *desktop);

    enum class Zoom { None, In, Out, Reset };
    static Zoom zoomFor(const QKeyEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongsToDesktop(const QObject *watched) const;

    QWidget *m_desktop;
};
