#pragma once

#include "fieldvalidator.h"
#include "zuproperties.h"

#include <QList>
#include <QPointer>

class QFrame;
class QLineEdit;
class QPushButton;
class ZuDateEdit;

// One field of a classic screen. The document only places and names it; the server decides its
// editor, editability, value and look at run time (setAttributes, setPropReadOnly, setData). The
// field keeps the last value the server put (the reference value) so that the client can tell
// what the user changed, and reports focus and button events to the page.
class ZuFieldWidget : public ZuProperties
{
    Q_OBJECT

    Q_PROPERTY(QString toolTip READ toolTip WRITE setToolTip)
    Q_PROPERTY(bool propReadOnly READ propReadOnly WRITE setPropReadOnly)
    Q_PROPERTY(QString labelName READ labelName WRITE setLabelName)

public:
    // The data_type values of the server's field commands.
    enum ZuFieldColumnType {
        ZUGUI_CHAR = 512,
        ZUGUI_NUMBER = 513,
        ZUGUI_MONEY = 514,
        ZUGUI_DATE = 515,
        ZUGUI_LOGICAL = 516,
        ZUGUI_TEXT = 517,
        ZUGUI_BLOB = 518,
    };
    Q_ENUM(ZuFieldColumnType)

    enum class DisplayMode {
        None = 0,
        Text = 1,
        Dropdown = 2,
        Button = 3,
        Id = 4,
        DateEntry = 5,
        DateText = 6,
        Blob = 7,
        MultiElement = 8,
    };
    Q_ENUM(DisplayMode)

    // Bits of the attribute mask.
    static constexpr int RightAlignBit = 0x2;
    static constexpr int UpshiftBit = 0x4;
    static constexpr int ReverseBit = 0x8;
    static constexpr int DropdownBit = 0x10;
    static constexpr int ButtonBit = 0x20;
    static constexpr int IdBit = 0x40;
    static constexpr int AutonextBit = 0x100;
    static constexpr int LabelFieldBit = 0x10000;
    static constexpr int MultiElementBit = 0x20000;
    static constexpr int HighlightBit = 0x40000;
    static constexpr int RequiredBit = 0x80000;

    static constexpr auto DateFormat = "M/d/yyyy";
    // The paste key the edit menu names: Ctrl+V is a program key.
    static constexpr int PasteKey = Qt::SHIFT | Qt::Key_Insert;
    static constexpr auto RequiredMarker = " <span style='color:#D61D1D'>*</span>";

    // What the page's window stack keeps of a field.
    struct State
    {
        QPointer<ZuFieldWidget> field;
        int mask = 0;
        int type = ZUGUI_CHAR;
        QString color;
        QString data;
        bool readOnly = false;
    };

    explicit ZuFieldWidget(QWidget *parent = nullptr);
    ~ZuFieldWidget() override;

    void setAttributes(int mask, int type);
    int attributeMask() const { return m_mask; }
    int columnType() const { return m_type; }
    DisplayMode displayMode() const { return m_mode; }
    bool isAutonext() const { return m_autonext; }

    void setColor(const QString &color) { m_color = color; }
    QString color() const { return m_color; }

    void setData(const QString &value);
    QString data() const;
    bool isDataChanged() const;
    void commitData();

    bool propReadOnly() const { return m_readOnly; }
    void setPropReadOnly(bool readOnly);
    QString labelName() const { return m_labelName; }
    void setLabelName(const QString &name) { m_labelName = name; }
    // What assistive technology says of the field: its label (or name), and the server's comment.
    // Kept on the field and on whatever editor its mode makes.
    void setAccessibleTexts(const QString &name, const QString &description);

    void focusField();
    State snapshot() const;
    void restore(const State &state);
    void setEventDelegate(QObject *delegate) { m_eventDelegate = delegate; }

    // The widgets of the current mode; null where the mode has none.
    QLineEdit *lineEdit() const { return m_editor; }
    QPushButton *button() const { return m_button; }
    ZuDateEdit *dateEdit() const { return m_dateEdit; }
    QList<QWidget *> elementWidgets() const;

    QSize sizeHint() const override;
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void focusIn();
    void lostFocus();
    void dropdownClicked();
    void idSecClicked();
    void buttonClicked();

public slots:
    void calculateMinimumWidth();
    void adjustFieldLength(int length);
    void textEdited(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setDisplayMode(DisplayMode mode);
    void applyAccessibleTexts();
    void clearModeWidgets();
    QLineEdit *makeLineEdit(const QString &objectName, const QString &text);
    QPushButton *makeButton(const QString &objectName);
    QString shownText() const;
    void updateRequiredMarker(bool required);
    void setButtonState(const char *name, bool value);
    void showEditMenu(QLineEdit *edit, const QPoint &globalPos);
    void restyle();
    void removeElements();
    void buildElements(const QString &value);

    FieldValidator m_validator;
    DisplayMode m_mode = DisplayMode::None;
    QLineEdit *m_editor = nullptr;
    QPushButton *m_button = nullptr;
    ZuDateEdit *m_dateEdit = nullptr;
    QList<QPointer<QWidget>> m_elements;
    int m_mask = 0;
    int m_type = ZUGUI_CHAR;
    QString m_color;
    QString m_refValue;
    bool m_autonext = false;
    bool m_readOnly = false;
    QPointer<QObject> m_eventDelegate;
    QString m_labelName;
    QString m_accessibleName;
    QString m_accessibleDescription;
    bool m_asteriskShown = false;
    bool m_elementsHidden = false;
};
