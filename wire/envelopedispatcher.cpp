#include "envelopedispatcher.h"

#include <QDebug>
#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/message.h>

#include <vector>

using google::protobuf::FieldDescriptor;
using google::protobuf::Message;

EnvelopeDispatcher::EnvelopeDispatcher(QObject *receiver, QtMsgType missingHandlerLevel,
                                       const char *missingHandlerText)
    : m_receiver(receiver)
    , m_missingLevel(missingHandlerLevel)
    , m_missingText(missingHandlerText)
{ }

int EnvelopeDispatcher::dispatch(const Message &envelope) const
{
    return run(envelope, std::nullopt);
}

int EnvelopeDispatcher::dispatch(const Message &envelope, quint32 windowId) const
{
    return run(envelope, windowId);
}

int EnvelopeDispatcher::run(const Message &envelope, std::optional<quint32> windowId) const
{
    const auto *reflection = envelope.GetReflection();
    std::vector<const FieldDescriptor *> fields;
    reflection->ListFields(envelope, &fields); // ascending field number

    int handled = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDescriptor *field = fields[i];
        if (!m_receiver) {
            qDebug().noquote() << QStringLiteral("EnvelopeDispatcher: receiver gone; %1 field(s) not handled")
                                      .arg(fields.size() - i);
            break;
        }
        // Envelopes carry only sub-messages; a scalar has no handler to take it.
        if (field->cpp_type() != FieldDescriptor::CPPTYPE_MESSAGE || field->is_repeated())
            continue;
        if (m_filter && !m_filter(*field))
            continue;

        // Look the slot up first: invokeMethod() would warn on its own for a missing one.
        const QByteArray signature = QByteArrayLiteral("mh_") + QByteArray::fromStdString(field->name())
            + (windowId ? QByteArrayLiteral("(quint32,google::protobuf::Message)")
                        : QByteArrayLiteral("(google::protobuf::Message)"));
        const QMetaObject *meta = m_receiver->metaObject();
        const int index = meta->indexOfMethod(signature.constData());
        if (index >= 0) {
            const Message &sub = reflection->GetMessage(envelope, field);
            const QMetaMethod method = meta->method(index);
            const bool invoked = windowId
                ? method.invoke(m_receiver, Qt::DirectConnection, Q_ARG(quint32, *windowId),
                                Q_ARG(const google::protobuf::Message &, sub))
                : method.invoke(m_receiver, Qt::DirectConnection,
                                Q_ARG(const google::protobuf::Message &, sub));
            if (invoked) {
                ++handled;
                continue;
            }
        }
        const QString fieldName = QString::fromStdString(field->name());
        switch (m_missingLevel) {
        case QtDebugMsg:
            qDebug() << m_missingText << fieldName;
            break;
        case QtInfoMsg:
            qInfo() << m_missingText << fieldName;
            break;
        default:
            qWarning() << m_missingText << fieldName;
            break;
        }
    }
    return handled;
}
