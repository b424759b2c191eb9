#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

class EndedBanner;
class QBoxLayout;
class QSizeGrip;

// Base of every page the task manager shows: classic, terminal, dictionary and browser pages. A
// page is either attached (in the task manager's stack) or a free window of its own.
//
// A page whose program ended with the link that carried it is an ended page: read-only, with a
// banner that says so, kept until the user closes it (asked first when it would lose something).
class TaskPageWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool attached READ isAttached WRITE setAttached NOTIFY attachedChanged)

public:
    static constexpr int GripSize = 16;

    explicit TaskPageWidget(QWidget *parent = nullptr);
    ~TaskPageWidget() override;

    virtual QString title() const;
    virtual bool isAttached() const;
    virtual QString shortName() const;
    virtual bool isSoloApp() const;
    // What quitting the desktop would lose on this page, named for the question asked first;
    // empty when nothing would be lost.
    virtual QString unsavedWork() const;

    bool isEnded() const { return m_ended; }
    QString endedNotice() const;
    // The program behind the page is gone: the page becomes an ended page showing the notice.
    void endPage(const QString &notice);
    // While the hub does not answer what this page's program was sent: a line for the page's
    // status line (empty: the notice goes).
    virtual void setLinkNotice(const QString &notice);

public slots:
    virtual void setAttached(bool attached);
    // The user closes an ended page; with something to lose the page asks first.
    void closeEnded();

signals:
    void attachedChanged(bool attached);
    void detachClicked();
    void titleChanged(QString title);
    void iconChanged(QIcon icon);
    void focusReceived();
    // The page has become an ended page.
    void pageEnded();
    // The user closed the ended page: it comes off the task bar and goes.
    void endedPageClosed();

protected:
    // The title bar's detach button, whose style rules follow the attached state.
    void setDetachButton(QWidget *button) { m_detachButton = button; }
    // A detached page's window gaining focus checks its task button.
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Makes the page read-only once it has ended; its text stays selectable.
    virtual void enterEnded() { }
    // The page's column whose first item is its title bar; the banner goes below that.
    virtual QBoxLayout *bannerLayout() const;

private:
    void placeGrip();

    bool m_attached = false;
    bool m_ended = false;
    EndedBanner *m_banner = nullptr;
    QPointer<QWidget> m_detachButton;
    QSizeGrip *m_grip = nullptr;
};
