#pragma once

#include <QWidget>

// Holder of hidden form elements in a screen document; never shown.
class ZuGroupContainer : public QWidget
{
    Q_OBJECT

public:
    explicit ZuGroupContainer(QWidget *parent = nullptr);

    void setVisible(bool visible) override;
};
