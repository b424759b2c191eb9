#include "filedialogrename.h"

FileDialogRename::FileDialogRename(const QString &source, QWidget *parent)
    : FileDialogBase(QStringLiteral("File: Rename"), parent)
{
    addNameRow(QStringLiteral("File:"), source);
    addDestinationRow(QStringLiteral("Rename To:"));
    addButtons(QStringLiteral("Rename"));
}
