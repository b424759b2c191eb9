#pragma once

#include <QDialog>

// The about box: logo, product name and version. Shows itself and goes away when clicked outside.
class aboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit aboutDialog(QWidget *parent = nullptr);
};
