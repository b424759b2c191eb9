#pragma once

#include "zuproperties.h"

// A field of the server's form that is never shown; its attributes are only carried.
class ZuHiddenField : public ZuProperties
{
    Q_OBJECT

public:
    explicit ZuHiddenField(QWidget *parent = nullptr);

    void setVisible(bool visible) override;
};
