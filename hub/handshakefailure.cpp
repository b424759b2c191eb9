#include "handshakefailure.h"

#include <QStringList>

namespace {

bool mentionsAny(const QString &text, const QStringList &phrases)
{
    for (const QString &phrase : phrases) {
        if (text.contains(phrase, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

HandshakeFailure::Cause HandshakeFailure::cause(QAbstractSocket::SocketError error, const QString &libraryText)
{
    if (error != QAbstractSocket::SslHandshakeFailedError && error != QAbstractSocket::SslInternalError
        && error != QAbstractSocket::RemoteHostClosedError)
        return Cause::NotHandshake;
    static const QStringList outdated { QStringLiteral("protocol version"), QStringLiteral("unsupported protocol"),
                                        QStringLiteral("no protocols available"),
                                        QStringLiteral("legacy sigalg"), QStringLiteral("version too low") };
    static const QStringList notTls { QStringLiteral("wrong version number"), QStringLiteral("packet length too long"),
                                      QStringLiteral("http request"), QStringLiteral("record layer failure"),
                                      QStringLiteral("unexpected eof"), QStringLiteral("unexpected message") };
    if (mentionsAny(libraryText, outdated))
        return Cause::OutdatedTls;
    // A peer that closes the connection in the middle of the handshake is no hub either.
    if (error == QAbstractSocket::RemoteHostClosedError || mentionsAny(libraryText, notTls))
        return Cause::NotTls;
    return Cause::OtherTls;
}

QString HandshakeFailure::describe(const QString &hostPort, QAbstractSocket::SocketError error,
                                   const QString &libraryText)
{
    QString sentence;
    switch (cause(error, libraryText)) {
    case Cause::OutdatedTls:
        sentence = tr("The server at %1 uses an outdated TLS version.").arg(hostPort);
        break;
    case Cause::NotTls:
        sentence = tr("The server at %1 did not answer as a ZU hub.").arg(hostPort);
        break;
    case Cause::OtherTls:
        sentence = tr("The secure connection to %1 could not be set up.").arg(hostPort);
        break;
    case Cause::NotHandshake:
        return libraryText;
    }
    return libraryText.isEmpty() ? sentence : tr("%1\nDetails: %2").arg(sentence, libraryText);
}

QString HandshakeFailure::noAnswer(const QString &hostPort, const QString &libraryText)
{
    const QString sentence = tr("No hub answers at %1.").arg(hostPort);
    return libraryText.isEmpty() ? sentence : tr("%1\nDetails: %2").arg(sentence, libraryText);
}
