// Not a test: the desktop as it looks after login, without a hub. A MainWindow, themed as the
// client themes it, with a debug listener on the port given as the first argument (default 7070)
// and a small menu tree, in a private settings folder. Start classic_session_demo against the same
// port to see a classic application in it. Run under a virtual display:
//   xvfb-run -a -s '-screen 0 1400x900x24' classic_desktop_demo 7070

#include "classic/toolbaricon.h"
#include "menu/mainconnection.h"
#include "menu/menuitem.h"
#include "shell/mainwindow.h"
#include "shell/settingsbinding.h"
#include "style/stylemanager.h"

#include "studentmenu.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QTcpServer>

namespace {


} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("fusion"));
    const TestEnvironment environment;
    const quint16 port = argc > 1 ? quint16(QString::fromLocal8Bit(argv[1]).toUInt()) : 7070;

    for (const char *font : { ":/fonts/OpenSans-Regular.ttf", ":/fonts/OpenSans-Semibold.ttf",
                              ":/fonts/OpenSans-Bold.ttf", ":/fonts/SourceCodePro-Regular.ttf" })
        QFontDatabase::addApplicationFont(QLatin1String(font));
    bindUserSettings();
    StyleManager::loadTheme();
    setToolbarThemeLookup(&StyleManager::themeVar);

    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, port))
        qFatal("cannot listen on port %u", port);
    qInfo() << "Listening on port" << listener.serverPort();

    MainConnection connection;
    MainWindow window(&connection, &listener);
    window.setRootMenuItem(studentMenu());
    window.resize(1300, 820);
    window.move(40, 30);
    window.show();
    return app.exec();
}
