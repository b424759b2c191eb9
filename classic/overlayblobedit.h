#pragma once

#include "abstractoverlay.h"

#include <QPoint>

class QCheckBox;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpacerItem;
class QWidget;

// Edits a long text field (a blob) as plain text in a box that starts at the field's height: wide
// across the page, or narrower at the right when the wide box is unchecked. Editable: Save sends
// the whole text once something changed (undoing every change counts as no change), Cancel and
// Escape leave it. Read only: a close button alone, and Return, Enter or Escape close it. No key
// reaches the page underneath.
class OverlayBlobEdit : public AbstractOverlay
{
    Q_OBJECT

public:
    // position: the top-left corner of the blob field, in global coordinates.
    OverlayBlobEdit(const QString &text, bool readOnly, QPoint position, QWidget *parent = nullptr);
    ~OverlayBlobEdit() override;

    RingMenuWidget *ringMenu() const override { return nullptr; }
    bool isModified() const { return m_modified; }
    bool isReadOnly() const { return m_readOnly; }
    QPlainTextEdit *textEdit() const { return m_textEdit; }

signals:
    void accepted(QString editedText);
    void rejected();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildForm();
    void placeAtField();
    void setWide(bool wide);
    void save();

    QGridLayout *m_lightBoxLayout = nullptr;
    QSpacerItem *m_topSpacer = nullptr;
    QLabel *m_formTitle = nullptr;
    QCheckBox *m_wideCheckbox = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPlainTextEdit *m_textEdit = nullptr;
    QWidget *m_formMenu = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPoint m_fieldPosition;
    bool m_modified = false;
    const bool m_readOnly;
};
