#include "sessionrecord.h"

#include "framecodec.h"

#include "dictedit.pb.h"
#include "menu.pb.h"
#include "uidlg.pb.h"
#include "zuhub.pb.h"
#include "zuterm.pb.h"

#include <google/protobuf/text_format.h>


namespace {

QByteArray serialized(const google::protobuf::Message &message)
{
    return QByteArray::fromStdString(message.SerializeAsString());
}

void blankMenuAccessCodes(Menu::MenuData *node, int depth)
{
    // The server's tree is bounded by the frame size; the depth bound keeps a hostile one off the stack.
    if (depth > 64)
        return;
    if (!node->password().empty())
        node->set_password(SessionRecord::AccessCodeMarker);
    for (Menu::MenuData &child : *node->mutable_menudata())
        blankMenuAccessCodes(&child, depth + 1);
}

QByteArray redactedHubEnvelope(SessionRecord::Direction direction, const QByteArray &data)
{
    ZuHubProto::Envelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()))
        return direction == SessionRecord::Direction::FromHub ? data : QByteArray();
    if (!envelope.has_password_change())
        return data;
    envelope.mutable_password_change()->set_old_password(std::string());
    envelope.mutable_password_change()->set_new_password(std::string());
    return serialized(envelope);
}

QByteArray redactedMenuEnvelope(SessionRecord::Direction direction, const QByteArray &data)
{
    Menu::Envelope envelope;
    if (!envelope.ParseFromArray(data.constData(), data.size()))
        return direction == SessionRecord::Direction::FromHub ? data : QByteArray();
    bool changed = false;
    if (envelope.has_authenticate() && envelope.authenticate().has_password()) {
        envelope.mutable_authenticate()->set_password(std::string());
        changed = true;
    }
    if (envelope.has_changepassword() && envelope.changepassword().has_newpassword()) {
        envelope.mutable_changepassword()->set_newpassword(std::string());
        changed = true;
    }
    if (envelope.has_menudata()) {
        blankMenuAccessCodes(envelope.mutable_menudata(), 0);
        changed = true;
    }
    return changed ? serialized(envelope) : data;
}

QString printed(const google::protobuf::Message &message)
{
    std::string text;
    google::protobuf::TextFormat::Printer printer;
    printer.SetSingleLineMode(true);
    printer.SetTruncateStringFieldLongerThan(SessionRecord::DescribedBytes);
    printer.PrintToString(message, &text);
    return QString::fromStdString(text);
}

QString hexText(const QByteArray &data)
{
    const QString hex = QString::fromLatin1(data.left(SessionRecord::DescribedBytes).toHex(' '));
    return data.size() > SessionRecord::DescribedBytes ? hex + QStringLiteral(" …") : hex;
}

// A channel's bytes as the first of its protocols that reads them without unknown fields.
QString channelText(const QByteArray &data)
{
    Pb::UIEnvelope ui;
    zuterm::Envelope terminal;
    dictedit::Envelope dictionary;
    google::protobuf::Message *const candidates[] = { &ui, &terminal, &dictionary };
    for (google::protobuf::Message *message : candidates) {
        if (!message->ParseFromArray(data.constData(), data.size()))
            continue;
        if (!message->GetReflection()->GetUnknownFields(*message).empty())
            continue;
        return QString::fromStdString(message->GetTypeName()) + QStringLiteral(" { ") + printed(*message)
            + QLatin1Char('}');
    }
    return QStringLiteral("bytes %1").arg(hexText(data));
}

QString messageText(google::protobuf::Message *message, const QByteArray &data)
{
    if (!message->ParseFromArray(data.constData(), data.size()))
        return QStringLiteral("unreadable, bytes %1").arg(hexText(data));
    return QStringLiteral("{ ") + printed(*message) + QLatin1Char('}');
}

} // namespace

bool SessionRecord::operator==(const SessionRecord &other) const
{
    return timeUs == other.timeUs && direction == other.direction && frameType == other.frameType
        && channel == other.channel && data == other.data;
}

QByteArray SessionRecord::frameMessage(quint16 frameType, const QByteArray &payload, quint16 *channel)
{
    *channel = 0;
    FrameCodec::ChannelData split;
    if (frameType != FrameCodec::ChannelFrame || !FrameCodec::splitChannelPayload(payload, &split))
        return payload;
    *channel = split.channelId;
    return QByteArray(split.data, split.size);
}

QByteArray SessionRecord::redacted(Direction direction, quint16 frameType, const QByteArray &data)
{
    switch (frameType) {
    case FrameCodec::EnvelopeFrame:
        return redactedHubEnvelope(direction, data);
    case FrameCodec::MenuFrame:
        return redactedMenuEnvelope(direction, data);
    default:
        return data;
    }
}

QString SessionRecord::kindText(quint16 frameType, quint16 channel)
{
    switch (frameType) {
    case FrameCodec::EnvelopeFrame:
        return QStringLiteral("hub envelope");
    case FrameCodec::MenuFrame:
        return QStringLiteral("menu");
    case FrameCodec::ChannelFrame:
        return QStringLiteral("channel %1").arg(channel);
    default:
        return QStringLiteral("frame type %1").arg(frameType);
    }
}

QString SessionRecord::describe(const SessionRecord &record, int maxChars)
{
    QString text;
    if (record.direction == Direction::Note) {
        text = QString::fromUtf8(record.data.left(maxChars * 4));
    } else if (record.frameType == FrameCodec::EnvelopeFrame) {
        ZuHubProto::Envelope envelope;
        text = messageText(&envelope, record.data);
    } else if (record.frameType == FrameCodec::MenuFrame) {
        Menu::Envelope envelope;
        text = messageText(&envelope, record.data);
    } else {
        text = channelText(record.data);
    }
    if (text.size() > maxChars)
        text = text.left(maxChars) + QStringLiteral(" …");
    if (record.data.size() > DescribedBytes)
        text = QStringLiteral("(%1 bytes) %2").arg(record.data.size()).arg(text);
    return text;
}
