#pragma once

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QString>

// Turns a failed connection to the hub into words for a person. The TLS library's own text
// ("wrong version number", "tlsv1 alert protocol version") names the symptom, not the cause; it is
// kept as the detail line and in the log.
class HandshakeFailure
{
    Q_DECLARE_TR_FUNCTIONS(HandshakeFailure)

public:
    enum class Cause {
        OutdatedTls, // the server speaks only TLS 1.0/1.1 or signs the old way
        NotTls, // whatever answered does not speak TLS: not a hub
        OtherTls,
        NotHandshake, // refused, unreachable, ...: the library's text says it well enough
    };

    static Cause cause(QAbstractSocket::SocketError error, const QString &libraryText);
    // "<sentence>\nDetails: <library text>", or the library's text alone where it is plain already.
    static QString describe(const QString &hostPort, QAbstractSocket::SocketError error,
                            const QString &libraryText);
    // Nothing took the connection (refused, no such host, no route, time-out).
    static QString noAnswer(const QString &hostPort, const QString &libraryText);
};
