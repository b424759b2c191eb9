#pragma once

#include <QGroupBox>

class QListWidget;
class QPushButton;

// The hub certificates the user chose to always trust, one per host and port, with the means to
// forget one: the next connection to that hub asks again.
class TrustedCertificatesGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TrustedCertificatesGroup(QWidget *parent = nullptr);

    void reload();

private:
    void forgetSelected();

    QListWidget *m_list;
    QPushButton *m_forgetButton;
};
