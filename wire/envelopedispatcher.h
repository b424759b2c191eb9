#pragma once

#include <QPointer>
#include <QtGlobal>

#include <functional>
#include <optional>


namespace google::protobuf {
class FieldDescriptor;
class Message;
} // namespace google::protobuf

// Hands each set field of a received envelope, in field-number order, to the receiver's slot named
// "mh_" + field name, called directly with the sub-message as a google::protobuf::Message (and, for
// sessions that address windows, a window id before it). A field without such a slot is logged with
// the owner's text and skipped; the other fields still run. A handler may delete the receiver (a
// session whose link drops under it): the fields after it are then dropped.
//
// Slots are matched by their signature text, so handlers must be declared exactly as
//     void mh_<field>(const google::protobuf::Message &msg);
//     void mh_<field>(quint32 windowId, const google::protobuf::Message &msg);
class EnvelopeDispatcher
{
public:
    // Decides per field whether to dispatch it; may log. Fields it rejects are skipped silently.
    using FieldFilter = std::function<bool(const google::protobuf::FieldDescriptor &field)>;

    EnvelopeDispatcher(QObject *receiver, QtMsgType missingHandlerLevel, const char *missingHandlerText);

    void setFieldFilter(FieldFilter filter) { m_filter = std::move(filter); }

    // Returns the number of fields that reached a handler.
    int dispatch(const google::protobuf::Message &envelope) const;
    int dispatch(const google::protobuf::Message &envelope, quint32 windowId) const;

private:
    int run(const google::protobuf::Message &envelope, std::optional<quint32> windowId) const;

    QPointer<QObject> m_receiver;
    QtMsgType m_missingLevel;
    const char *m_missingText;
    FieldFilter m_filter;
};
