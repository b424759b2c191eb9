#pragma once

#include <QString>
#include <QStringList>

class AppLink;
class DemoApplication;
class QObject;
struct DemoAppContext;

// Creates demo applications by kind name, the name a menu item's "app" and --app use. A new kind
// is one more entry here; the hub and the debug-port runner only ever see DemoApplication.
class DemoAppFactory
{
public:
    static QStringList kinds();
    // Null with a reason for an unknown kind.
    static DemoApplication *create(const QString &kind, AppLink *link, const DemoAppContext &context,
                                   QObject *parent, QString *error);
};
