#pragma once

#include "abstractdraggableoverlay.h"

#include <string>

class AspectRatioPixmapLabel;
class QFrame;
class QLabel;
class QPushButton;
class QTableWidget;

// A person's identity picture beside the people permitted to act for them (IdSec): one row per
// permission category, the person's name (bold) and relation (italics) spanning their rows. Read
// only; the close button or Escape ends it through okayButtonPressed(). Server texts inside the
// rich-text cells are escaped, so they always show as typed.
class OverlayIdSec : public AbstractDraggableOverlay
{
    Q_OBJECT

public:
    // Bounds on what a message may make the table hold; the rest is logged and left out.
    static constexpr int MaxTableRows = 500;
    static constexpr int MaxPermissionLines = 100;
    static constexpr int MaxPictureSide = 8192;

    explicit OverlayIdSec(const Pb::IdSec &idSec, QWidget *parent = nullptr);

    RingMenuWidget *ringMenu() const override { return nullptr; }
    QTableWidget *tableWidget() const { return m_table; }

signals:
    void okayButtonPressed();

private:
    void buildForm();
    void showPicture(const std::string &data);
    void fillPermissions(const Pb::IdSec &idSec);
    void fitToContents();

    QFrame *m_box = nullptr;
    QLabel *m_formTitle = nullptr;
    QPushButton *m_closeButton = nullptr;
    QWidget *m_imageContainer = nullptr;
    AspectRatioPixmapLabel *m_image = nullptr;
    QTableWidget *m_table = nullptr;
};
