#include "filedialogcopy.h"

FileDialogCopy::FileDialogCopy(const QString &source, QWidget *parent)
    : FileDialogBase(QStringLiteral("File: Copy"), parent)
{
    addNameRow(QStringLiteral("File:"), source);
    addDestinationRow(QStringLiteral("Copy To:"));
    addButtons(QStringLiteral("Copy"));
}
