#include "sessionredactor.h"

#include "framecodec.h"

#include "uidlg.pb.h"
#include "zuterm.pb.h"

namespace {

// Handshakes are a version text and a few flags; a bigger message is application data.
constexpr int MaxHandshakeBytes = 1024;
// The terminal kind in every application protocol's handshake (zuterm.Handshake.TERMINAL).
constexpr int TerminalHandshakeType = 1;

} // namespace

QString SessionRedactor::headerText() const
{
    QString text = QStringLiteral("passwords,access codes,invisible fields");
    if (!m_keepTerminalKeys)
        text += QLatin1Char(',') + QLatin1String(TerminalKeysWord);
    return text;
}

QByteArray SessionRedactor::kept(SessionRecord::Direction direction, quint16 frameType, quint16 channel,
                                 const QByteArray &data, const QByteArray &senderForm)
{
    if (frameType != FrameCodec::ChannelFrame)
        return SessionRecord::redacted(direction, frameType, data);
    noteHandshake(channel, data);
    if (direction != SessionRecord::Direction::FromClient)
        return data;
    const QByteArray &message = senderForm.isNull() ? data : senderForm;
    if (m_keepTerminalKeys || !m_terminalChannels.contains(channel))
        return message;
    return keptTerminalMessage(message);
}

void SessionRedactor::noteHandshake(quint16 channel, const QByteArray &data)
{
    if (data.size() > MaxHandshakeBytes)
        return;
    Pb::UIEnvelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()) || !envelope.has_handshake())
        return;
    // A channel number is used again once its application has gone; its new handshake says what
    // runs on it now.
    if (envelope.handshake().type() == TerminalHandshakeType)
        m_terminalChannels.insert(channel);
    else
        m_terminalChannels.remove(channel);
}

QByteArray SessionRedactor::keptTerminalMessage(const QByteArray &data) const
{
    zuterm::Envelope envelope;
    // Bytes that do not read as the terminal's protocol could be anything typed.
    if (!envelope.ParseFromArray(data.constData(), data.size()))
        return QByteArray();
    if (!envelope.has_data_packet())
        return data;
    const QByteArray count = QString::fromLatin1(TypedBytesMarker).arg(envelope.data_packet().data().size()).toLatin1();
    envelope.mutable_data_packet()->set_data(count.constData(), size_t(count.size()));
    return QByteArray::fromStdString(envelope.SerializeAsString());
}
