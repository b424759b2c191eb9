// Classic sessions on hub channels of a logged-in client, one page each: the application loads a
// screen, puts fields, opens a grid lookup and a dialog that the user answers, and the channel
// closes. After the warm-up every session must leave the client as it found it: no page, overlay,
// model or transport outlives its session, the live objects return to the same count and memory
// stays flat.
#include "classic/applicationconnection.h"
#include "applinks/sessionrouter.h"
#include "applinks/apptranceiver.h"
#include "classic/classicapplicationwidget.h"
#include "classic/overlaydialog.h"
#include "classic/overlaygridlookup.h"
#include "classic/tableviewnosearch.h"
#include "classic/zufieldwidget.h"
#include "shell/mainwindow.h"

#include "classicmenu.h"
#include "classicscreens.h"
#include "uiwriter.h"

#include "cyclewatch.h"
#include "soakdesktop.h"
#include "soakrun.h"
#include "testhub.h"
#include "routedsessions.h"

#include "uidlg.pb.h"
#include "zuhub.pb.h"

#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>

namespace {

constexpr int ScreenId = 7;
constexpr int GridRows = 60;
// Every tenth session runs as a solo menu option, whose page the task bar removes after a delay.
constexpr int SoloEvery = 10;

// What one session made; all of it must be gone once the session is.
struct SessionObjects
{
    QPointer<ApplicationConnection> session;
    QPointer<AppTranceiver> transport;
    QPointer<ClassicApplicationWidget> page;
    QPointer<OverlayGridLookup> grid;
    QPointer<QStandardItemModel> gridModel;
    QPointer<QAbstractItemModel> sortModel;
    QPointer<OverlayDialog> dialog;

    QStringList survivors() const
    {
        QStringList alive;
        if (session)
            alive << QStringLiteral("session");
        if (transport)
            alive << QStringLiteral("transport");
        if (page)
            alive << QStringLiteral("page");
        if (grid)
            alive << QStringLiteral("grid lookup");
        if (gridModel || sortModel)
            alive << QStringLiteral("grid model");
        if (dialog)
            alive << QStringLiteral("dialog");
        return alive;
    }
};

} // namespace

class tst_ClassicSessions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(LiveObjects::install(), "QtCore offers no object hooks");
        m_screen = ClassicScreens::document(QString::fromLatin1(ClassicScreens::Student));
        QVERIFY(!m_screen.isEmpty());
        QVERIFY2(m_desktop.start(), qPrintable(m_desktop.failure()));
        QVERIFY2(m_desktop.logIn(0), qPrintable(m_desktop.failure()));
    }

    void openAndClosePages()
    {
        const int cycles = SoakRun::count(30, 500);
        CycleWatch watch(SoakRun::count(5, 20));
        for (int cycle = 0; cycle < cycles; ++cycle) {
            SessionObjects made;
            runSession(cycle, &made);
            if (QTest::currentTestFailed())
                return;
            m_desktop.forgetTraffic();
            m_readFrames = 0;
            const QString leftOver = watch.endCycle(cycle);
            const QStringList survivors = made.survivors();
            QVERIFY2(survivors.isEmpty(),
                     qPrintable(QStringLiteral("cycle %1 left: %2").arg(cycle).arg(survivors.join(", "))));
            QVERIFY2(leftOver.isEmpty(), qPrintable(leftOver));
        }
        SoakRun run(QStringLiteral("classic sessions"));
        const bool held = watch.finish(cycles, &run);
        run.print();
        QVERIFY2(held, qPrintable(run.line()));
    }

private:
    void runSession(int cycle, SessionObjects *made)
    {
        const auto channel = quint16(1 + cycle % 4000);
        const quint32 pid = 5000 + quint32(cycle);
        MainWindow *window = m_desktop.mainWindow();
        setChannel(channel, true);
        UiWriter app([this, channel](const Pb::UIEnvelope &message) { send(channel, message); }, pid, 1);

        Pb::UIEnvelope hello;
        hello.set_pid(pid);
        hello.mutable_handshake()->set_ui_version("soak");
        hello.mutable_handshake()->set_is_menuopt(cycle % SoloEvery == SoloEvery - 1);
        send(channel, hello);
        QVERIFY(nextReply(channel).has_handshake());
        for (ApplicationConnection *session : routedSessions<ApplicationConnection>(window->sessionRouter()))
            if (session->transport() && session->transport()->channelId() == channel)
                made->session = session;
        QVERIFY(made->session);
        made->transport = made->session->transport();

        app.createSession(QStringLiteral("records"), QStringLiteral("/stu/enrol.opt"));
        app.loadScreen(m_screen, ScreenId, ClassicScreens::path(QString::fromLatin1(ClassicScreens::Student)));
        app.screenMenu(ClassicMenu(QStringLiteral("STUDENT:"))
                           .add(1, QStringLiteral("Query"), 'Q')
                           .add(2, QStringLiteral("Save"), 'S')
                           .add(ClassicMenu::NoAction, QStringLiteral("Exit"), Pb::ZUGUI_ABORT));
        const QString number = QString::number(100000 + cycle);
        app.putField(ScreenId, QStringLiteral("student_no"), ZuFieldWidget::RightAlignBit, ZuFieldWidget::ZUGUI_NUMBER, number);
        app.putField(ScreenId, QStringLiteral("last_name"), 0, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("Lovelace"));
        app.putField(ScreenId, QStringLiteral("first_name"), 0, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("Ada %1").arg(cycle));
        app.putField(ScreenId, QStringLiteral("programme"), ZuFieldWidget::UpshiftBit, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("MATH"));
        app.putField(ScreenId, QStringLiteral("notes"), 0, ZuFieldWidget::ZUGUI_CHAR, QStringLiteral("Soak session %1").arg(cycle));
        app.activateField(ScreenId, QStringLiteral("last_name"), true);
        app.activateField(ScreenId, QStringLiteral("first_name"), true);
        app.setFocus(ScreenId, QStringLiteral("last_name"));
        app.setStatus(QStringLiteral("Student %1").arg(number));
        QVERIFY(QTest::qWaitFor([made] { return made->session && made->session->page(1)
                                                && made->session->page(1)->isVisible()
                                                && made->session->page(1)->currentField(); },
                                SoakDesktop::WaitMs));
        made->page = made->session->page(1);

        QVector<UiWriter::GridRow> rows;
        for (int row = 0; row < GridRows; ++row)
            rows.append({ 40 + row, { QStringLiteral("C%1").arg(row), QStringLiteral("Course %1").arg(row), QString::number(row % 7) } });
        app.gridLookup(QStringLiteral("Courses"),
                       { { QStringLiteral("Code"), Pb::CHARACTER },
                         { QStringLiteral("Title"), Pb::CHARACTER },
                         { QStringLiteral("Credits"), Pb::INTEGER } },
                       rows);
        QVERIFY(QTest::qWaitFor([made] { return made->page && made->page->findChild<OverlayGridLookup *>(); },
                                SoakDesktop::WaitMs));
        made->grid = made->page->findChild<OverlayGridLookup *>();
        made->gridModel = made->grid->model();
        made->sortModel = made->grid->tableView()->model();
        QTest::keyClick(made->grid->tableView(), Qt::Key_Down);
        QTest::keyClick(made->grid->tableView(), Qt::Key_Return);
        QVERIFY(nextReply(channel).has_grid_lookup_response());

        app.dialog(UiWriter::ButtonDialog, QStringLiteral("Save"), QStringLiteral("Save the changes?"), false,
                   { { QStringLiteral("Yes"), 'Y' }, { QStringLiteral("No"), 'N' } }, 0);
        QVERIFY(QTest::qWaitFor([made] { return made->page && made->page->findChild<OverlayDialog *>(); },
                                SoakDesktop::WaitMs));
        made->dialog = made->page->findChild<OverlayDialog *>();
        QVERIFY(!made->dialog->buttons().isEmpty());
        made->dialog->buttons().constFirst()->click();
        QCOMPARE(nextReply(channel).dialog_response().response(), int('Y'));
        app.endDialog();
        QVERIFY(QTest::qWaitFor([made] { return !made->dialog; }, SoakDesktop::WaitMs));

        setChannel(channel, false);
        QVERIFY(QTest::qWaitFor([made] { return made->survivors().isEmpty(); }, SoakDesktop::WaitMs));
    }

    void setChannel(quint16 channel, bool open)
    {
        ZuHubProto::Envelope status;
        status.mutable_classic_connection_status()->set_channel_id(channel);
        status.mutable_classic_connection_status()->set_is_connected(open);
        m_desktop.hub()->sendEnvelope(status);
    }

    void send(quint16 channel, const Pb::UIEnvelope &message)
    {
        m_desktop.hub()->sendFrame(FrameCodec::ChannelFrame,
                                   FrameCodec::channelPayload(channel, QByteArray::fromStdString(message.SerializeAsString())));
    }

    // The client's next message on the channel; an empty envelope after the time-out.
    Pb::UIEnvelope nextReply(quint16 channel)
    {
        Pb::UIEnvelope reply;
        const bool arrived = QTest::qWaitFor(
            [&] {
                const QList<FrameCodec::Frame> &frames = m_desktop.hub()->frames();
                for (; m_readFrames < frames.size(); ++m_readFrames) {
                    const FrameCodec::Frame &frame = frames.at(m_readFrames);
                    FrameCodec::ChannelData data;
                    if (frame.type != FrameCodec::ChannelFrame || !FrameCodec::splitChannelPayload(frame.payload, &data)
                        || data.channelId != channel)
                        continue;
                    ++m_readFrames;
                    return reply.ParseFromArray(data.data, data.size);
                }
                return false;
            },
            SoakDesktop::WaitMs);
        if (!arrived)
            qWarning() << "no reply on channel" << channel;
        return reply;
    }

    SoakDesktop m_desktop;
    QByteArray m_screen;
    int m_readFrames = 0;
};

QTEST_MAIN(tst_ClassicSessions)
#include "tst_classicsessions.moc"
