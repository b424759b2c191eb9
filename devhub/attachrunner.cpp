#include "attachrunner.h"

#include "demoappfactory.h"
#include "demoapplication.h"
#include "devhubconfig.h"
#include "devhuboptions.h"
#include "socketapplink.h"
#include "userhome.h"

#include <QDebug>
#include <QTimer>

namespace {
constexpr char FallbackUser[] = "demo";
}

AttachRunner::AttachRunner(const DevHubConfig &config, const DevHubOptions &options, const QString &dataDir,
                           QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_host(options.attachHost)
    , m_port(options.attachPort)
    , m_app(options.app)
    , m_user(options.user)
    , m_dataDir(dataDir)
    , m_latencyMs(options.latencyMs)
{
    if (m_user.isEmpty())
        m_user = config.users().isEmpty() ? QLatin1String(FallbackUser) : config.users().first().name;
    m_home = dataDir + QStringLiteral("/homes/") + m_user;
}

void AttachRunner::start()
{
    QString error;
    if (!UserHome::prepare(m_home, m_user, &error)) {
        qCritical().noquote() << error;
        finish(1);
        return;
    }
    m_link = new SocketAppLink(this);
    m_link->setLatency(m_latencyMs);
    connect(m_link, &SocketAppLink::connectFailed, this, [this](const QString &reason) {
        qCritical().noquote()
            << QStringLiteral("cannot reach the debug port %1:%2: %3").arg(m_host).arg(m_port).arg(reason);
        finish(1);
    });
    connect(m_link, &SocketAppLink::connected, this, &AttachRunner::linkUp);
    connect(m_link, &AppLink::closed, this, [this] {
        m_linkClosed = true;
        if (m_application && !m_application->isFinished()) {
            qInfo().noquote() << QStringLiteral("the client closed the connection");
            m_application->stop();
        } else {
            finish(0);
        }
    });
    qInfo().noquote() << QStringLiteral("attaching \"%1\" to %2:%3").arg(m_app, m_host).arg(m_port);
    m_link->connectToClient(m_host, m_port);
}

void AttachRunner::linkUp()
{
    DemoAppContext context;
    context.userName = m_user;
    context.homePath = UserHome(m_home).root();
    context.dataDir = m_dataDir;
    context.options = m_config.applicationOptions(m_app);
    QString error;
    m_application = DemoAppFactory::create(m_app, m_link, context, this, &error);
    if (!m_application) {
        qCritical().noquote() << error;
        m_link->close();
        finish(1);
        return;
    }
    connect(m_application, &DemoApplication::finished, this, [this] {
        qInfo().noquote() << QStringLiteral("the application has ended");
        if (m_linkClosed) {
            finish(0);
            return;
        }
        m_link->close();
        // The link reports closed() once the client has hung up; do not wait for it forever.
        QTimer::singleShot(CloseTimeoutMs, this, [this] { finish(0); });
    });
    if (!m_application->start(&error)) {
        qCritical().noquote() << QStringLiteral("cannot start \"%1\": %2").arg(m_app, error);
        m_link->close();
        finish(1);
    }
}

void AttachRunner::finish(int exitCode)
{
    if (m_done)
        return;
    m_done = true;
    emit done(exitCode);
}
