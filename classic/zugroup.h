#pragma once

#include "zuproperties.h"

// A named group of fields of the server's form; carried only and never shown.
class ZuGroup : public ZuProperties
{
    Q_OBJECT

    Q_PROPERTY(QStringList members READ members WRITE setMembers)

public:
    explicit ZuGroup(QWidget *parent = nullptr);

    QStringList members() const { return m_members; }
    void setMembers(const QStringList &members) { m_members = members; }

    void setVisible(bool visible) override;

private:
    QStringList m_members;
};
