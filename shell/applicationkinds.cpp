#include "applicationkinds.h"

#include "applinks/pagehost.h"
#include "applinks/pagesession.h"
#include "classic/applicationconnection.h"
#include "dictedit/dictedittaskwidget.h"
#include "terminal/terminaltaskwidget.h"

namespace {

ApplicationSession *terminalSession(AppTranceiver *transport, PageHost *host)
{
    if (!host)
        return nullptr;
    auto *page = new TerminalTaskWidget(transport, host->pageParent());
    auto *session = new PageSession(page, transport, host);
    QObject::connect(page, &TerminalTaskWidget::backlogFull, session, &ApplicationSession::backlogFull);
    return session;
}

ApplicationSession *dictionarySession(AppTranceiver *transport, PageHost *host)
{
    if (!host)
        return nullptr;
    return new PageSession(new DictEditTaskWidget(transport, host->pageParent()), transport, host);
}

} // namespace

SessionFactories applicationKinds()
{
    return {
        {AppTranceiver::Classic, &ApplicationConnection::create},
        {AppTranceiver::Terminal, &terminalSession},
        {AppTranceiver::DictEdit, &dictionarySession},
    };
}
