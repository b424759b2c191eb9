#include "runner.h"

#include "commandline.h"
#include "hub/hubconnection.h"
#include "logfile.h"

#include <QApplication>
#include <QDebug>
#include <QFontDatabase>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

Runner::Runner(const ClientIdentity *identity, QObject *parent)
    : QObject(parent)
    , m_identity(identity)
    , m_network(new QNetworkAccessManager(this))
{
    m_commandLineHost.port = DefaultHubPort;

    qDebug() << "SSL version use for build: " << QSslSocket::sslLibraryBuildVersionString();
    qInfo() << "SSL version use for run-time: " << QSslSocket::sslLibraryVersionString();
    qInfo() << "Library paths:" << QCoreApplication::libraryPaths();

    registerFonts();

    // The login dialog comes and goes before any main window exists.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, &Runner::run);

    m_hubConnection = new HubConnection(m_identity, this);
}

Runner::~Runner() = default;

void Runner::registerFonts()
{
    static const char *const fonts[] = {
        ":/fonts/MaterialIcons-Regular.ttf",    ":/fonts/OpenSans-Bold.ttf",
        ":/fonts/OpenSans-BoldItalic.ttf",      ":/fonts/OpenSans-ExtraBold.ttf",
        ":/fonts/OpenSans-ExtraBoldItalic.ttf", ":/fonts/OpenSans-Italic.ttf",
        ":/fonts/OpenSans-Light.ttf",           ":/fonts/OpenSans-LightItalic.ttf",
        ":/fonts/OpenSans-Regular.ttf",         ":/fonts/OpenSans-Semibold.ttf",
        ":/fonts/OpenSans-SemiboldItalic.ttf",  ":/fonts/SourceCodePro-Black.ttf",
        ":/fonts/SourceCodePro-Bold.ttf",       ":/fonts/SourceCodePro-ExtraLight.ttf",
        ":/fonts/SourceCodePro-Light.ttf",      ":/fonts/SourceCodePro-Medium.ttf",
        ":/fonts/SourceCodePro-Regular.ttf",    ":/fonts/SourceCodePro-Semibold.ttf",
    };
    for (const char *font : fonts)
        QFontDatabase::addApplicationFont(QString::fromLatin1(font));
}

void Runner::run()
{
    CommandLine commandLine;
    switch (commandLine.parse(QCoreApplication::arguments())) {
    case CommandLine::Outcome::ShowHelp:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        std::fflush(stdout);
        QCoreApplication::exit(0);
        return;
    case CommandLine::Outcome::Error:
        std::fprintf(stderr, "%s\n\n%s", qPrintable(commandLine.errorText()),
                     qPrintable(commandLine.helpText()));
        std::fflush(stderr);
        qWarning() << "Runner::run() - bad command line:" << commandLine.errorText();
        QCoreApplication::exit(1);
        return;
    case CommandLine::Outcome::Run:
        break;
    }

    if (const auto level = commandLine.logLevel())
        LogFile::applyLogLevel(*level);
    m_commandLineHost.host = commandLine.host();
    m_commandLineHost.port = commandLine.port();
    if (commandLine.debugPort() != 0)
        openDebugListener(commandLine.debugPort());

    showStartWindow();
}

void Runner::openDebugListener(quint16 port)
{
    m_debugServer = new QTcpServer(this);
    m_debugServer->listen(QHostAddress::Any, port);
    qDebug() << "Listening on port" << m_debugServer->serverPort();
}

// Stands in for the login flow until it exists: one window whose closing ends the process.
void Runner::showStartWindow()
{
    m_startWindow = std::make_unique<QWidget>();
    m_startWindow->setWindowTitle(QStringLiteral("ZU Desktop"));
    auto *layout = new QVBoxLayout(m_startWindow.get());
    layout->addWidget(new QLabel(QStringLiteral("ZU Desktop v1.9.0-143"), m_startWindow.get()));
    m_startWindow->resize(640, 400);
    QGuiApplication::setQuitOnLastWindowClosed(true);
    m_startWindow->show();
}
