#pragma once

#include "filedialogbase.h"

// Asks for the name to copy a server file to; the name is not checked here, the server does.
class FileDialogCopy : public FileDialogBase
{
    Q_OBJECT

public:
    FileDialogCopy(const QString &source, QWidget *parent);
};
