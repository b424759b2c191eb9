#pragma once

#include "sessionrecord.h"

#include <QByteArray>
#include <QSet>

// What a recording or a replay keeps of each message of one hub link: SessionRecord::redacted for
// the hub's and the menu's messages, the sender's own blanked form for an application message that
// holds a secret (only the sender knows which fields a screen hides), and, for the keys typed into a
// terminal, only how many bytes they were unless keeping them was asked for (a no-echo password
// prompt looks like any other to the client). Which channels carry terminals it learns from the
// applications' handshakes as they pass, in either direction.
class SessionRedactor
{
public:
    // The text a terminal's typed bytes are recorded as.
    static constexpr char TypedBytesMarker[] = "(%1 bytes typed)";
    // What the header's "redacted" line names when typed terminal bytes are counted only.
    static constexpr char TerminalKeysWord[] = "terminal keys";

    void setKeepTerminalKeys(bool keep) { m_keepTerminalKeys = keep; }
    bool keepsTerminalKeys() const { return m_keepTerminalKeys; }
    // The header's "redacted" value for what this redactor blanks.
    QString headerText() const;

    // data: one message as its frame carried it (a channel's data without the id). senderForm: the
    // blanked form its sender handed along with it, or null when the message holds no secret.
    QByteArray kept(SessionRecord::Direction direction, quint16 frameType, quint16 channel, const QByteArray &data,
                    const QByteArray &senderForm = QByteArray());

private:
    void noteHandshake(quint16 channel, const QByteArray &data);
    QByteArray keptTerminalMessage(const QByteArray &data) const;

    QSet<quint16> m_terminalChannels;
    bool m_keepTerminalKeys = false;
};
