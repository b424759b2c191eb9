#pragma once

#include <QByteArray>
#include <QTcpServer>

// An HTTP server on 127.0.0.1 that answers every request with a head announcing a large body,
// sends the first bytes of it and hangs up: a download cut short.
class CutShortServer : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr int AnnouncedBytes = 100000;

    explicit CutShortServer(const QByteArray &fileName, QObject *parent = nullptr);

    QString url() const;

private:
    void answer();

    QByteArray m_fileName;
};
