#pragma once

#include <QGroupBox>

class QLabel;
class QListWidget;
class QPushButton;

// The hub certificates the user chose to always trust, one per host and port, with the means to
// forget one: the next connection to that hub asks again. Below them the site's own certificate
// authority files, whose certificates the hub link and the update download then take as valid.
class TrustedCertificatesGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TrustedCertificatesGroup(QWidget *parent = nullptr);

    void reload();

private:
    void forgetSelected();
    void reloadAuthorities();
    void chooseAuthorityFile();
    void addAuthorityFile(const QString &path);
    void removeSelectedAuthorities();

    QListWidget *m_list;
    QPushButton *m_forgetButton;
    QListWidget *m_authorityList;
    QPushButton *m_addAuthorityButton;
    QPushButton *m_removeAuthorityButton;
    QLabel *m_authorityProblem;
};
