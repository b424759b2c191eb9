#pragma once

#include "filedialogbase.h"

// Asks whether to delete one server file.
class FileDialogDelete : public FileDialogBase
{
    Q_OBJECT

public:
    FileDialogDelete(const QString &source, QWidget *parent);
};
