#pragma once

#include "filedialogbase.h"

class MainConnection;
class QComboBox;
class QLineEdit;

// Asks for the server printer (the session's default preselected) and the output form type.
class FileDialogPrint : public FileDialogBase
{
    Q_OBJECT

public:
    FileDialogPrint(MainConnection *connection, QWidget *parent);

    QString printer() const;
    QString formType() const;

private:
    QComboBox *m_printers;
    QLineEdit *m_formType;
};
