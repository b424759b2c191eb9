#pragma once

#include <QWidget>

// Holder of hidden form elements in a screen document; never shown.
class ZuHiddenFieldContainer : public QWidget
{
    Q_OBJECT

public:
    explicit ZuHiddenFieldContainer(QWidget *parent = nullptr);

    void setVisible(bool visible) override;
};
