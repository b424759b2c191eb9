#pragma once

#include <QDialog>

// Offers a client update. When the update is required the alternative to downloading is quitting,
// otherwise it is postponing. Accepted means Download.
class UpdatePrompt : public QDialog
{
    Q_OBJECT

public:
    explicit UpdatePrompt(const QString &version, bool required, QWidget *parent = nullptr);
};
