#include "demoappfactory.h"

#include "classicapp.h"
#include "dicteditapp.h"
#include "terminalapp.h"

QStringList DemoAppFactory::kinds()
{
    return { QLatin1String(TerminalApp::Kind), QLatin1String(ClassicApp::Kind),
             QLatin1String(DictEditApp::Kind), QLatin1String(ClassicApp::TypingKind) };
}

DemoApplication *DemoAppFactory::create(const QString &kind, AppLink *link, const DemoAppContext &context,
                                        QObject *parent, QString *error)
{
    if (kind == QLatin1String(TerminalApp::Kind))
        return new TerminalApp(link, context, parent);
    if (kind == QLatin1String(ClassicApp::Kind))
        return new ClassicApp(link, context, parent);
    if (kind == QLatin1String(ClassicApp::TypingKind))
        return new ClassicApp(link, context, parent, ClassicApp::Program::TypingCheck);
    if (kind == QLatin1String(DictEditApp::Kind))
        return new DictEditApp(link, context, parent);
    *error = QStringLiteral("no demo application of kind \"%1\"").arg(kind);
    return nullptr;
}
