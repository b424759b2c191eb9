#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

class QSizeGrip;

// Base of every page the task manager shows: classic, terminal, dictionary and browser pages. A
// page is either attached (in the task manager's stack) or a free window of its own.
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

public slots:
    virtual void setAttached(bool attached);

signals:
    void attachedChanged(bool attached);
    void detachClicked();
    void titleChanged(QString title);
    void iconChanged(QIcon icon);
    void focusReceived();

protected:
    // The title bar's detach button, whose style rules follow the attached state.
    void setDetachButton(QWidget *button) { m_detachButton = button; }
    // A detached page's window gaining focus checks its task button.
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeGrip();

    bool m_attached = false;
    QPointer<QWidget> m_detachButton;
    QSizeGrip *m_grip = nullptr;
};
