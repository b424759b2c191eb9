#pragma once

#include "applinks/apptranceiver.h"

#include <QByteArray>
#include <QList>

#include <google/protobuf/message.h>

// Plays the application's end of a transport for a page under test: what the page sends is
// recorded, what the test delivers goes through the transport's own classification first.
class RecordingTransport : public AppTranceiver
{
public:
    void rawMessageSend(QByteArray data, QByteArray redacted) override
    {
        sent.append(data);
        redactedForms.append(redacted);
    }

    void deliver(const QByteArray &bytes) { processIncomingMessage(bytes.constData(), bytes.size()); }
    void deliver(const google::protobuf::Message &envelope)
    {
        deliver(QByteArray::fromStdString(envelope.SerializeAsString()));
    }
    void hangUp() { emit disconnected(); }

    // Everything sent, read as envelopes of one schema.
    template<class Envelope>
    QList<Envelope> envelopes() const
    {
        QList<Envelope> result;
        for (const QByteArray &bytes : sent) {
            Envelope envelope;
            envelope.ParseFromArray(bytes.constData(), bytes.size());
            result.append(envelope);
        }
        return result;
    }

    QList<QByteArray> sent;
    QList<QByteArray> redactedForms; // null where the message held no secret
};
