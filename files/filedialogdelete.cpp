#include "filedialogdelete.h"

FileDialogDelete::FileDialogDelete(const QString &source, QWidget *parent)
    : FileDialogBase(QStringLiteral("File: Delete"), parent)
{
    addNameRow(QStringLiteral("File to Delete:"), source);
    addButtons(QStringLiteral("Delete"));
}
