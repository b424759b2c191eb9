#pragma once

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QPushButton>

class QHBoxLayout;
class QLabel;

// One button of the ring menu. Its own QPushButton text stays empty: child labels show the item
// label (with the key character underlined), the shortcut and, for a button with a drop-down
// menu, a chevron; their look follows the focus.
class RingMenuButton : public QPushButton
{
    Q_OBJECT

    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit RingMenuButton(const QString &text, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    int keyChar() const { return m_keyChar; }
    void setKeyChar(int keyChar);
    void setShortcut(const QKeySequence &sequence);
    void setMenu(QMenu *menu);
    QMenu *dropDown() const { return m_dropDown; }
    QIcon icon() const { return m_icon; }

    // The item's comment, announced while the button has the focus.
    QString toolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString &text) { m_toolTipText = text; }

    QSize sizeHint() const override;

    // text with "&" before the first occurrence (any case) of keyChar, for menu actions; "&"
    // already in the text is escaped.
    static QString withMnemonic(const QString &text, int keyChar);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void renderText();
    void renderLook(bool focused);

    QString m_toolTipText;
    QString m_text;
    QIcon m_icon;
    QIcon m_chevronIcon;
    int m_keyChar = 0;
    QHBoxLayout *m_layout;
    QLabel *m_iconLabel;
    QLabel *m_textLabel;
    QLabel *m_shortcutLabel = nullptr;
    QLabel *m_chevronLabel = nullptr;
    QPointer<QMenu> m_dropDown;
};
