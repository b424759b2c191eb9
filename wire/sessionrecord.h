#pragma once

#include <QByteArray>
#include <QString>

// One message of a session recording, and the rules every recording shares: what is blanked before
// a message reaches the file and how a message reads as text. The file layout is in
// docs/session-recording.md; SessionRecordWriter writes it, SessionRecordReader reads it.
//
// Blanked: the passwords of the hub's PasswordChange, the menu's Authenticate and ChangePassword and
// the access codes of menu items (replaced by a fixed marker, so a locked item still shows locked).
// What a channel message holds is known only to its sender and to SessionRedactor, which applies
// these rules per link.
struct SessionRecord
{
    enum class Direction : quint8 {
        FromClient = 0,
        FromHub = 1,
        Note = 2, // a line the recorder wrote itself, e.g. why it stopped; the data is UTF-8 text
    };

    static constexpr char Magic[] = "ZUSESSN\n";
    static constexpr int MagicSize = 8;
    static constexpr quint16 Version = 1;
    static constexpr quint16 RedactedFlag = 0x0001;
    static constexpr quint32 MaxHeaderTextBytes = 64 * 1024;
    // Time, direction, frame type and channel before each record's data.
    static constexpr quint32 RecordHeadBytes = 12;
    static constexpr quint32 MaxDataBytes = 64 * 1024 * 1024;
    static constexpr char AccessCodeMarker[] = "(redacted)";
    // The client's note before each connection, followed by host:port: a replay shows the same
    // host, so what the client keys by host (settings, recent programs) comes out the same.
    static constexpr char ConnectingNote[] = "connecting to ";

    quint64 timeUs = 0; // since the recording started
    Direction direction = Direction::FromClient;
    quint16 frameType = 0; // FrameCodec::FrameType
    quint16 channel = 0; // channel frames only; their data is the application's bytes
    QByteArray data;

    bool operator==(const SessionRecord &other) const;

    // The form a message is kept in: secrets blanked. Messages that do not parse are kept as they
    // are when they come from the hub, and emptied when they come from the client (they could
    // hold anything the user typed).
    static QByteArray redacted(Direction direction, quint16 frameType, const QByteArray &data);
    // The message a frame carries: a channel frame's data without the channel id, which goes to
    // *channel (0 for other frames and for a channel frame too short to hold one).
    static QByteArray frameMessage(quint16 frameType, const QByteArray &payload, quint16 *channel);

    // "hub envelope", "menu" or "channel 3", and the message as protobuf text (hex for bytes that
    // parse as no known message), shortened to about maxChars. A message over DescribedBytes says
    // its size, and only the first DescribedBytes of any one field (or of unreadable bytes) are
    // shown, so that a 64 MiB message costs little more than itself.
    static QString kindText(quint16 frameType, quint16 channel);
    static QString describe(const SessionRecord &record, int maxChars = 2000);
    static constexpr int DescribedBytes = 4096;
};
