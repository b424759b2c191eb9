#pragma once

#include <QDialog>

class QListWidget;

// Asks the user whether to go on with a connection whose certificate could not be validated.
// Accepted means Ignore, rejected means Cancel.
class SslErrors : public QDialog
{
    Q_OBJECT

public:
    explicit SslErrors(QWidget *parent = nullptr);

    void addError(const QString &text);
    QStringList errors() const;

signals:
    void viewCertificateChainClicked();

private:
    QListWidget *m_errorList;
};
