#include "devhubresources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE may not be used inside a namespace.
static void initDevHubResources()
{
    Q_INIT_RESOURCE(devhub);
}

void registerDevHubResources()
{
    static const bool registered = (initDevHubResources(), true);
    Q_UNUSED(registered)
}
