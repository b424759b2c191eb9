#pragma once

#include <QDialog>

// The about box: logo, product name and version, and the details support asks for (versions of
// the client, Qt and the protocols, the hub connected to), with a button that copies them. Shows
// itself and goes away when clicked outside.
class aboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit aboutDialog(const QString &hubName, QWidget *parent = nullptr);

    // One line each, as copied.
    static QString details(const QString &hubName);
};
