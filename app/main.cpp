#include "utils/clientidentity.h"
#include "app/commandline.h"
#include "app/logfile.h"
#include "app/runner.h"
#include "utils/version.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QKeySequence>
#include <QStandardPaths>

#include <memory>

// Exported by QtGui but declared only for its documentation.
Q_GUI_EXPORT void qt_set_sequence_auto_mnemonic(bool enable);

namespace {

// Where Qt needs a display server to start its GUI: X11 or Wayland, unless a platform is named.
bool displayFound(const QStringList &arguments)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || arguments.contains(QLatin1String("-platform"));
#else
    Q_UNUSED(arguments)
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // Taken before the application names exist, so the log folder does not depend on them.
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    LogFile log;
    if (!log.start(dataDir))
        return -1;

    // Help and version need no display, so they are answered before a QApplication exists (it
    // cannot start without one); so is a wrong option where no display could be found.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine::Outcome early = CommandLine::outcomeWithoutWindows(arguments);
    const bool windowless = early == CommandLine::Outcome::ShowHelp
        || early == CommandLine::Outcome::ShowVersion
        || (early == CommandLine::Outcome::Error && !displayFound(arguments));

    // No Qt::AA_ShareOpenGLContexts here: the web library's loader shares the contexts itself.
    std::unique_ptr<QCoreApplication> app;
    if (windowless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(OrganizationName));
    QCoreApplication::setOrganizationDomain(QLatin1String(OrganizationDomain));
    QCoreApplication::setApplicationName(QLatin1String(ApplicationName));
    QCoreApplication::setApplicationVersion(QLatin1String(ClientVersion));
    QCoreApplication::setAttribute(Qt::AA_DisableWindowContextHelpButton);

    auto identity = std::make_unique<ClientIdentity>();
    if (windowless) {
        // As the Runner would: where the client runs from and takes its plugins.
        qInfo() << "Library paths:" << QCoreApplication::libraryPaths();
        CommandLine commandLine;
        const int status = commandLine.answer(commandLine.parse(QCoreApplication::arguments()));
        identity.reset();
        app.reset();
        log.finish();
        return status;
    }

    qt_set_sequence_auto_mnemonic(true);
    QApplication::setStyle(QStringLiteral("fusion"));
    // File names on the command line are the user's, relative to where the client was started.
    CommandLine::setStartDirectory(QDir::currentPath());
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    auto runner = std::make_unique<Runner>(identity.get());
    const int status = app->exec();

    qInfo() << "Client exiting event loop. destructing objects...";
    runner.reset();
    app.reset();
    identity.reset();
    log.finish();
    return status;
}
