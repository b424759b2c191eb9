#pragma once

#include "menu/mainconnection.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QVBoxLayout;

// Lets the user pick one of the releases the server offers, and optionally remember it.
class ReleaseChooser : public QDialog
{
    Q_OBJECT

public:
    explicit ReleaseChooser(QWidget *parent = nullptr);

    void setReleases(const MainConnection::ReleaseList &releases);
    void setDefault(const QString &key);
    MainConnection::Release selectedRelease() const;
    bool makeDefault() const;

private:
    MainConnection::ReleaseList m_releases;
    QButtonGroup *m_group;
    QVBoxLayout *m_releaseLayout;
    QCheckBox *m_makeDefault;
};
