#pragma once

#include "hublinktap.h"

#include "sessionrecordwriter.h"

// Records the hub link into a session recording (not owned).
class RecordingTap : public HubLinkTap
{
public:
    explicit RecordingTap(SessionRecordWriter *writer)
        : m_writer(writer)
    { }

    void linkOpening(const QString &hostPort) override
    {
        m_writer->recordNote(QLatin1String(SessionRecord::ConnectingNote) + hostPort);
    }
    void frameReceived(quint16 frameType, const QByteArray &payload) override
    {
        m_writer->recordFrame(SessionRecord::Direction::FromHub, frameType, payload);
    }
    void frameSent(quint16 frameType, const QByteArray &payload, const QByteArray &redactedPayload) override
    {
        m_writer->recordFrame(SessionRecord::Direction::FromClient, frameType, payload, redactedPayload);
    }

private:
    SessionRecordWriter *m_writer;
};
