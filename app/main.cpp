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

int main(int argc, char *argv[])
{
    // Taken before the application names exist, so the log folder does not depend on them.
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    LogFile log;
    if (!log.start(dataDir))
        return -1;

    // No Qt::AA_ShareOpenGLContexts here: the web library's loader shares the contexts itself.
    auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QLatin1String(OrganizationName));
    QCoreApplication::setOrganizationDomain(QLatin1String(OrganizationDomain));
    QCoreApplication::setApplicationName(QLatin1String(ApplicationName));
    QCoreApplication::setAttribute(Qt::AA_DisableWindowContextHelpButton);

    auto identity = std::make_unique<ClientIdentity>();

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
