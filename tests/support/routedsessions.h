#pragma once

#include "applinks/applicationsession.h"
#include "applinks/sessionrouter.h"

#include <QList>

// The router's running sessions of one kind.
template<class Session>
QList<Session *> routedSessions(const SessionRouter *router)
{
    QList<Session *> found;
    for (ApplicationSession *session : router->sessions())
        if (auto *typed = qobject_cast<Session *>(session))
            found << typed;
    return found;
}
