#pragma once

#include <QGroupBox>

class QLabel;
class QListWidget;
class QPushButton;

// The hub certificates the user chose to always trust, one per host and port, with the means to
// forget one: the next connection to that hub asks again. Below them the site's own certificate
// authority files, whose certificates the hub link and the update download then take as valid:
// files added or removed here count only once the dialog's changes are applied.
class TrustedCertificatesGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TrustedCertificatesGroup(QWidget *parent = nullptr);

    void reload();
    // The authority files as listed here become the ones used.
    void applyAuthorities();

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
    QStringList m_authorityFiles; // as listed, applied by applyAuthorities()
};
