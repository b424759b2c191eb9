#pragma once

#include "filedialogbase.h"

// Asks for the name to rename a server file to; the name is not checked here, the server does.
class FileDialogRename : public FileDialogBase
{
    Q_OBJECT

public:
    FileDialogRename(const QString &source, QWidget *parent);
};
