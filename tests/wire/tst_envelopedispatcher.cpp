#include "envelopedispatcher.h"

#include "zuhub.pb.h"

#include <QTest>

#include <google/protobuf/descriptor.h>

// Handles some hub envelope fields and records the order they arrive in.
class Receiver : public QObject
{
    Q_OBJECT

public:
    QStringList calls;

private slots:
    void mh_ping(const google::protobuf::Message &msg)
    {
        const auto &ping = static_cast<const ZuHubProto::Ping &>(msg);
        calls << QStringLiteral("ping %1").arg(ping.timestamp());
    }
    void mh_hello_ack(const google::protobuf::Message &msg)
    {
        const auto &ack = static_cast<const ZuHubProto::HelloAck &>(msg);
        calls << QStringLiteral("hello_ack %1").arg(ack.accepted());
    }
    void mh_notify(const google::protobuf::Message &msg)
    {
        calls << QStringLiteral("notify ")
                + QString::fromStdString(static_cast<const ZuHubProto::Notify &>(msg).message());
    }
};

// The window-addressed form, as a classic session declares its handlers.
class WindowReceiver : public QObject
{
    Q_OBJECT

public:
    QStringList calls;

private slots:
    void mh_notify(quint32 windowId, const google::protobuf::Message &msg)
    {
        calls << QStringLiteral("%1 notify ").arg(windowId)
                + QString::fromStdString(static_cast<const ZuHubProto::Notify &>(msg).message());
    }
    void mh_ping(quint32 windowId, const google::protobuf::Message &)
    {
        calls << QStringLiteral("%1 ping").arg(windowId);
    }
};

// A receiver whose first handler ends it, as a session does when its link drops under a handler.
class SelfDeletingReceiver : public QObject
{
    Q_OBJECT

public:
    int *pings = nullptr;

private slots:
    void mh_ping(const google::protobuf::Message &)
    {
        ++*pings;
        delete this;
    }
    void mh_notify(const google::protobuf::Message &) { qFatal("handler of a deleted receiver called"); }
};

class tst_EnvelopeDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void fieldsInNumberOrder()
    {
        ZuHubProto::Envelope envelope;
        // Set out of order on purpose.
        envelope.mutable_notify()->set_message("hi");
        envelope.mutable_hello_ack()->set_accepted(true);
        envelope.mutable_ping()->set_timestamp(42);

        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtDebugMsg, "Test: No message handler found for");
        QCOMPARE(dispatcher.dispatch(envelope), 3);
        QCOMPARE(receiver.calls, (QStringList { "ping 42", "hello_ack 1", "notify hi" }));
    }

    void receiverDeletedByAHandlerGetsNoMoreFields()
    {
        ZuHubProto::Envelope envelope;
        envelope.mutable_ping();
        envelope.mutable_notify()->set_message("late");
        int pings = 0;
        auto *receiver = new SelfDeletingReceiver;
        receiver->pings = &pings;
        EnvelopeDispatcher dispatcher(receiver, QtDebugMsg, "Test: No message handler found for");
        QTest::ignoreMessage(QtDebugMsg, "EnvelopeDispatcher: receiver gone; 1 field(s) not handled");
        QCOMPARE(dispatcher.dispatch(envelope), 1);
        QCOMPARE(pings, 1);
    }

    void missingHandlerLoggedAndSkipped()
    {
        ZuHubProto::Envelope envelope;
        envelope.mutable_ping()->set_timestamp(7);
        envelope.mutable_hello()->set_version("1.9.0-143");
        envelope.mutable_force_disconnect();
        envelope.mutable_notify()->set_message("after");

        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtWarningMsg, "MC: No message handler found for");
        QTest::ignoreMessage(QtWarningMsg, "MC: No message handler found for \"hello\"");
        QTest::ignoreMessage(QtWarningMsg, "MC: No message handler found for \"force_disconnect\"");
        QCOMPARE(dispatcher.dispatch(envelope), 2);
        QCOMPARE(receiver.calls, (QStringList { "ping 7", "notify after" }));
    }

    void missingHandlerLevel()
    {
        ZuHubProto::Envelope envelope;
        envelope.mutable_hello();
        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtDebugMsg, "HubConnection: No message handler found for");
        QTest::ignoreMessage(QtDebugMsg, "HubConnection: No message handler found for \"hello\"");
        QCOMPARE(dispatcher.dispatch(envelope), 0);
    }

    void emptyEnvelopeDoesNothing()
    {
        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtWarningMsg, "No message handler found for");
        QCOMPARE(dispatcher.dispatch(ZuHubProto::Envelope()), 0);
        QVERIFY(receiver.calls.isEmpty());
    }

    void windowIdPassedFirst()
    {
        ZuHubProto::Envelope envelope;
        envelope.mutable_ping();
        envelope.mutable_notify()->set_message("x");
        envelope.mutable_hello_ack();

        WindowReceiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtWarningMsg, "No message handler found for");
        QTest::ignoreMessage(QtWarningMsg, "No message handler found for \"hello_ack\"");
        QCOMPARE(dispatcher.dispatch(envelope, 17u), 2);
        QCOMPARE(receiver.calls, (QStringList { "17 ping", "17 notify x" }));
    }

    void filterSkipsFields()
    {
        ZuHubProto::Envelope envelope;
        envelope.mutable_ping()->set_timestamp(1);
        envelope.mutable_notify()->set_message("kept");

        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtWarningMsg, "No message handler found for");
        QStringList seen;
        dispatcher.setFieldFilter([&seen](const google::protobuf::FieldDescriptor &field) {
            seen << QString::fromStdString(field.name());
            return field.number() > 999;
        });
        QCOMPARE(dispatcher.dispatch(envelope), 1);
        QCOMPARE(receiver.calls, QStringList { "notify kept" });
        QCOMPARE(seen, (QStringList { "ping", "notify" }));
    }

    void unknownFieldsIgnored()
    {
        // A newer hub may send fields this client does not know; they never reach a handler.
        ZuHubProto::Envelope envelope;
        envelope.mutable_notify()->set_message("known");
        std::string bytes = envelope.SerializeAsString();
        bytes += std::string("\xa2\x06\x02\x08\x01", 5); // field 100, length-delimited
        ZuHubProto::Envelope parsed;
        QVERIFY(parsed.ParseFromString(bytes));

        Receiver receiver;
        EnvelopeDispatcher dispatcher(&receiver, QtWarningMsg, "No message handler found for");
        QCOMPARE(dispatcher.dispatch(parsed), 1);
        QCOMPARE(receiver.calls, QStringList { "notify known" });
    }
};

QTEST_GUILESS_MAIN(tst_EnvelopeDispatcher)
#include "tst_envelopedispatcher.moc"
