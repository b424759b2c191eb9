#include "opensslserver.h"

#include <QTcpServer>
#include <QTest>

OpenSslServer::~OpenSslServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool OpenSslServer::start(const QString &certificatePath, const QString &keyPath, const QStringList &arguments)
{
    {
        // A port that was free a moment ago; s_server cannot be asked for one of its own choice.
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            m_errorText = probe.errorString();
            return false;
        }
        m_port = probe.serverPort();
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("openssl"),
                    QStringList { QStringLiteral("s_server"), QStringLiteral("-accept"),
                                  QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-cert"),
                                  certificatePath, QStringLiteral("-key"), keyPath }
                        + arguments);
    QByteArray output;
    const bool up = QTest::qWaitFor(
        [&] {
            output += m_process.readAll();
            return output.contains("ACCEPT") || m_process.state() == QProcess::NotRunning;
        },
        10000);
    if (!up || !output.contains("ACCEPT")) {
        m_errorText = QStringLiteral("openssl s_server did not start: %1 %2")
                          .arg(m_process.errorString(), QString::fromLocal8Bit(output));
        return false;
    }
    return true;
}
