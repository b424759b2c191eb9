#include "demoapplication.h"

#include "applink.h"

#include <google/protobuf/message.h>

DemoApplication::DemoApplication(AppLink *link, const DemoAppContext &context, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_context(context)
{
    connect(link, &AppLink::messageReceived, this, [this](const QByteArray &message) {
        if (!m_finished)
            processMessage(message);
    });
}

void DemoApplication::send(const google::protobuf::Message &envelope)
{
    if (!m_link || m_finished)
        return;
    QByteArray bytes(int(envelope.ByteSizeLong()), Qt::Uninitialized);
    envelope.SerializeToArray(bytes.data(), bytes.size());
    m_link->sendMessage(bytes);
}

void DemoApplication::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    emit finished();
}
