#pragma once

#include "uidlg.pb.h"

#include <QString>
#include <QWidget>

class RingMenuWidget;
class ZuFieldWidget;

// Base of everything a classic page lays over its screen: a widget that fills the page and carries
// the texts, menu and keyboard mode of what it shows. The page disables the screen underneath while
// an overlay is up and forwards the overlay's result signal to the session.
class AbstractOverlay : public QWidget
{
    Q_OBJECT

    Q_PROPERTY(QString titleText READ titleText WRITE setTitleText NOTIFY titleTextChanged)
    Q_PROPERTY(QString statusText READ statusText WRITE setStatusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString errorText READ errorText WRITE setErrorText NOTIFY errorTextChanged)
    Q_PROPERTY(int keyboardMode READ keyboardMode WRITE setKeyboardMode NOTIFY keyboardModeChanged)

public:
    explicit AbstractOverlay(QWidget *parent = nullptr);

    virtual QString titleText() const { return m_titleText; }
    virtual QString statusText() const { return m_statusText; }
    virtual QString errorText() const { return m_errorText; }
    // The overlay's own ring menu; null for overlays without one.
    virtual RingMenuWidget *ringMenu() const = 0;
    virtual Pb::ScreenMenu menu() const { return m_menu; }
    // Holds the page's keyboard mode values (menu, character, field).
    virtual int keyboardMode() const { return m_keyboardMode; }

public slots:
    virtual void setTitleText(const QString &text);
    virtual void setStatusText(const QString &text);
    virtual void setErrorText(const QString &text);
    virtual void setMenu(const Pb::ScreenMenu &menu);
    virtual void setKeyboardMode(int mode);
    virtual void renderMenu(const Pb::ScreenMenu &msgMenu);
    virtual void indicateIsAttached(bool attached);

signals:
    void titleTextChanged(const QString &text);
    void statusTextChanged(const QString &text);
    void errorTextChanged(const QString &text);
    void keyboardModeChanged(int mode);
    void menuChanged(const Pb::ScreenMenu &menu);
    void ringMenuKeyPressed(bool isChild, int key, ZuFieldWidget *currentField);
    void popoutTriggered();

protected:
    // The drop shadow of an overlay's box. Every box needs one: the page's own container is drawn
    // through a shadow effect, which would otherwise paint over the box's partial repaints.
    static void addShadow(QWidget *box);

private:
    QString m_titleText;
    QString m_statusText;
    QString m_errorText;
    Pb::ScreenMenu m_menu;
    int m_keyboardMode = 0;
};
