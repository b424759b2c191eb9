#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for the current password and a new one, typed twice, when the server says it has expired.
class PassChangeDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PassChangeDialog(QWidget *parent = nullptr);

    QString currentPassword() const;
    QString newPassword() const;

private slots:
    void fieldChanged();

private:
    QLineEdit *m_currentPassEdit;
    QLineEdit *m_newPassEdit;
    QLineEdit *m_confirmPassEdit;
    QPushButton *m_confirmButton;
    QPushButton *m_cancelButton;
};
