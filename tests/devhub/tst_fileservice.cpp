#include "hubtestclient.h"
#include "devhubfixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <google/protobuf/descriptor.h>

namespace {

constexpr char Secret[] = "outside secret\n";

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray wire(const Menu::Envelope &envelope)
{
    return QByteArray::fromStdString(envelope.SerializeAsString());
}

Menu::Envelope getRequest(const char *name)
{
    Menu::Envelope envelope;
    envelope.mutable_filerequest()->set_filename(name);
    return envelope;
}

Menu::Envelope listRequest(const char *directory, bool hidden = false, const char *filter = "")
{
    Menu::Envelope envelope;
    envelope.mutable_fileinfodatarequest()->set_directory(directory);
    envelope.mutable_fileinfodatarequest()->set_include_hidden(hidden);
    envelope.mutable_fileinfodatarequest()->set_filter(filter);
    return envelope;
}

Menu::Envelope uploadRequest(const char *name, const QByteArray &data, bool overwrite = false,
                             bool hidden = false)
{
    Menu::Envelope envelope;
    auto *file = envelope.mutable_file();
    file->set_filename(name);
    file->set_file(data.toStdString());
    if (overwrite)
        file->set_allow_overwrite(true);
    if (hidden)
        file->set_allow_hidden(true);
    return envelope;
}

Menu::Envelope renameRequest(const char *from, const char *to)
{
    Menu::Envelope envelope;
    envelope.mutable_renamefile()->set_currentname(from);
    envelope.mutable_renamefile()->set_newname(to);
    return envelope;
}

Menu::Envelope copyRequest(const char *from, const char *to)
{
    Menu::Envelope envelope;
    envelope.mutable_copyfile()->set_sourcename(from);
    envelope.mutable_copyfile()->set_destname(to);
    return envelope;
}

Menu::Envelope deleteRequest(const char *name)
{
    Menu::Envelope envelope;
    envelope.mutable_deletefile()->set_filename(name);
    return envelope;
}

Menu::Envelope printRequest(const char *name, const char *printer, const char *form = "")
{
    Menu::Envelope envelope;
    envelope.mutable_printfile()->set_filename(name);
    envelope.mutable_printfile()->set_printer(printer);
    if (*form)
        envelope.mutable_printfile()->set_formtype(form);
    return envelope;
}

// Every file request carries its number in a field called request_id.
void setRequestId(Menu::Envelope *envelope, quint32 id)
{
    std::vector<const google::protobuf::FieldDescriptor *> fields;
    envelope->GetReflection()->ListFields(*envelope, &fields);
    google::protobuf::Message *request = envelope->GetReflection()->MutableMessage(envelope, fields.front());
    request->GetReflection()->SetUInt32(request, request->GetDescriptor()->FindFieldByName("request_id"), id);
}

QStringList names(const Menu::FileInfoData &data)
{
    QStringList result;
    for (const auto &info : data.fileinfo())
        result << QString::fromStdString(info.name());
    return result;
}

} // namespace

// The file operations of the menu server over a real TLS connection, with the home directory
// prepared on disk: every operation, the hidden and overwrite rules, and paths that try to leave
// the home through "..", absolute names or links.
class TestFileService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void refusals_data();
    void refusals();
    void listing();
    void downloadAndCompression();
    void uploadRules();
    void renameCopyDelete();
    void printIntoSpool();

private:
    // Sends the request with a fresh number and returns the reply that carries it.
    Menu::Envelope request(Menu::Envelope envelope);
    QString home(const QString &name = QString()) const
    {
        return m_hub->homeOf(QStringLiteral("demo")) + name;
    }

    std::unique_ptr<DevHubFixture> m_hub;
    std::unique_ptr<HubTestClient> m_client;
    QTemporaryDir m_outside;
    quint32 m_nextId = 1;
};

void TestFileService::initTestCase()
{
    m_hub = std::make_unique<DevHubFixture>();
    QVERIFY(m_hub->start());
    m_client = std::make_unique<HubTestClient>();
    QVERIFY(m_client->connectAndLogin(m_hub->port()));
    QVERIFY(QFile::exists(home("/README.txt")));

    QVERIFY(writeFile(m_outside.filePath(QStringLiteral("secret.txt")), Secret));
    QVERIFY(QFile::link(m_outside.filePath(QStringLiteral("secret.txt")), home("/outlink")));
    QVERIFY(QFile::link(m_outside.path(), home("/outdir")));
    QVERIFY(QFile::link(m_outside.filePath(QStringLiteral("planted.txt")), home("/dangling")));
    QVERIFY(QFile::link(home("/README.txt"), home("/inlink")));
    // A link whose text climbs out through "..": followed by the system, not by string cleaning.
    QVERIFY(QFile::link(QStringLiteral("letters/../../../planted2.txt"), home("/climber")));
    QVERIFY(writeFile(home("/.profile"), "hidden\n"));
    QVERIFY(QDir(home()).mkdir(QStringLiteral(".cache")));
}

void TestFileService::cleanupTestCase()
{
    m_client.reset();
    m_hub.reset();
}

Menu::Envelope TestFileService::request(Menu::Envelope envelope)
{
    const quint32 id = m_nextId++;
    setRequestId(&envelope, id);
    m_client->sendMenu(envelope);
    Menu::Envelope reply;
    (void)QTest::qWaitFor(
        [&] {
            while (!m_client->menuQueue.isEmpty()) {
                const Menu::Envelope next = m_client->menuQueue.takeFirst();
                if ((next.has_file() && next.file().request_id() == id)
                    || (next.has_fileinfodata() && next.fileinfodata().request_id() == id)
                    || (next.has_fileoperationresponse()
                        && next.fileoperationresponse().request_id() == id)) {
                    reply = next;
                    return true;
                }
            }
            return false;
        },
        HubTestClient::WaitMs);
    return reply;
}

void TestFileService::refusals_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("failure");

    QTest::newRow("get absolute name stays in the home")
        << wire(getRequest("/etc/passwd")) << "No such directory: '/etc'";
    QTest::newRow("get with ..") << wire(getRequest("../outlink")) << "Access denied";
    QTest::newRow("get climbing after a folder") << wire(getRequest("/reports/../../x")) << "Access denied";
    QTest::newRow("get through a link out") << wire(getRequest("/outlink")) << "Access denied";
    QTest::newRow("get below a linked folder") << wire(getRequest("/outdir/secret.txt")) << "Access denied";
    QTest::newRow("get a folder") << wire(getRequest("/letters")) << "Not a file: '/letters'";
    QTest::newRow("get a missing file") << wire(getRequest("/nothing.txt")) << "No such file: '/nothing.txt'";
    QTest::newRow("list a linked folder") << wire(listRequest("/outdir")) << "Access denied";
    QTest::newRow("list a file") << wire(listRequest("/README.txt")) << "Not a directory: '/README.txt'";
    QTest::newRow("list with ..") << wire(listRequest("/..")) << "Access denied";
    QTest::newRow("upload onto an existing file")
        << wire(uploadRequest("/README.txt", "x")) << "File '/README.txt' already exists";
    QTest::newRow("upload onto a folder")
        << wire(uploadRequest("/letters", "x", true)) << "'/letters' is a folder";
    QTest::newRow("upload hidden without leave")
        << wire(uploadRequest("/.sneaky", "x")) << "Hidden file names are not allowed";
    QTest::newRow("upload into a hidden folder")
        << wire(uploadRequest("/.cache/x", "x")) << "Hidden file names are not allowed";
    QTest::newRow("upload through a dangling link out")
        << wire(uploadRequest("/dangling", "x", true)) << "Access denied";
    QTest::newRow("upload through a climbing link")
        << wire(uploadRequest("/climber", "x", true)) << "Access denied";
    QTest::newRow("upload with ..") << wire(uploadRequest("/../evil.txt", "x")) << "Access denied";
    QTest::newRow("upload into a missing folder")
        << wire(uploadRequest("/nodir/x.txt", "x")) << "No such directory: '/nodir'";
    QTest::newRow("upload without a name") << wire(uploadRequest("/", "x", true)) << "A file name is needed";
    QTest::newRow("rename a missing file")
        << wire(renameRequest("/missing", "/other")) << "No such file: '/missing'";
    QTest::newRow("rename onto an existing file")
        << wire(renameRequest("/letters/welcome.txt", "/README.txt")) << "already exists";
    QTest::newRow("rename out of the home")
        << wire(renameRequest("/README.txt", "/../README.txt")) << "Access denied";
    QTest::newRow("rename to a hidden name")
        << wire(renameRequest("/README.txt", "/.README")) << "Hidden file names are not allowed";
    QTest::newRow("rename the home") << wire(renameRequest("/", "/x")) << "Access denied";
    QTest::newRow("copy a folder") << wire(copyRequest("/letters", "/letters2"))
                                   << "Only files can be copied";
    QTest::newRow("copy through a link out")
        << wire(copyRequest("/outlink", "/stolen.txt")) << "Access denied";
    QTest::newRow("copy onto an existing file")
        << wire(copyRequest("/README.txt", "/letters/welcome.txt")) << "already exists";
    QTest::newRow("copy onto a link out") << wire(copyRequest("/README.txt", "/dangling")) << "Access denied";
    QTest::newRow("delete the home") << wire(deleteRequest("/")) << "Access denied";
    QTest::newRow("delete a missing file") << wire(deleteRequest("/missing")) << "No such file: '/missing'";
    QTest::newRow("delete a full folder")
        << wire(deleteRequest("/letters")) << "Folder '/letters' is not empty";
    QTest::newRow("delete with ..") << wire(deleteRequest("/../homes")) << "Access denied";
    QTest::newRow("print on an unknown printer")
        << wire(printRequest("/README.txt", "nowhere")) << "Unknown printer 'nowhere'";
    QTest::newRow("print through a link out") << wire(printRequest("/outlink", "office")) << "Access denied";
}

void TestFileService::refusals()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, failure);
    Menu::Envelope envelope;
    QVERIFY(envelope.ParseFromArray(request.constData(), request.size()));
    const Menu::Envelope reply = this->request(envelope);
    QVERIFY(reply.has_fileoperationresponse());
    QVERIFY(!reply.fileoperationresponse().success());
    const QString description = QString::fromStdString(reply.fileoperationresponse().fail_desc());
    QVERIFY2(description.contains(failure), qPrintable(description));

    // Nothing outside the home was touched.
    QCOMPARE(readFile(m_outside.filePath(QStringLiteral("secret.txt"))), QByteArray(Secret));
    QCOMPARE(QDir(m_outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList { "secret.txt" });
    QVERIFY(!QFile::exists(QFileInfo(home()).dir().filePath(QStringLiteral("planted2.txt"))));
}

void TestFileService::listing()
{
    Menu::Envelope reply = request(listRequest(""));
    QVERIFY(reply.has_fileinfodata());
    QCOMPARE(reply.fileinfodata().pathname(), std::string("/"));
    const QStringList visible = names(reply.fileinfodata());
    QVERIFY2(visible.contains(QStringLiteral("README.txt")) && visible.contains(QStringLiteral("reports"))
                 && visible.contains(QStringLiteral("outlink")),
             qPrintable(visible.join(',')));
    QVERIFY(!visible.contains(QStringLiteral(".profile")));

    const QRegularExpression date(QStringLiteral("^\\d\\d/\\d\\d/\\d{4}$"));
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    for (const auto &info : reply.fileinfodata().fileinfo()) {
        const QString name = QString::fromStdString(info.name());
        QVERIFY2(date.match(QString::fromStdString(info.date())).hasMatch(), qPrintable(name));
        QVERIFY2(time.match(QString::fromStdString(info.time())).hasMatch(), qPrintable(name));
        QVERIFY(!info.owner().empty() && !info.group().empty());
        if (name == QLatin1String("README.txt")) {
            QCOMPARE(info.type(), Menu::FileInfoData::FileInfo::FILE);
            QCOMPARE(info.size(), int(QFileInfo(home("/README.txt")).size()));
            QVERIFY(info.is_readable() && info.is_writable() && !info.is_executable());
        } else if (name == QLatin1String("reports")) {
            QCOMPARE(info.type(), Menu::FileInfoData::FileInfo::DIR);
        } else if (name == QLatin1String("outlink")) {
            // A link is listed as one, but nothing is told about where it leads.
            QCOMPARE(info.type(), Menu::FileInfoData::FileInfo::LINK);
            QVERIFY(!info.is_readable());
        }
    }

    reply = request(listRequest("/", true, ".pro*"));
    QCOMPARE(names(reply.fileinfodata()), QStringList { ".profile" });
    reply = request(listRequest("/reports/"));
    QCOMPARE(reply.fileinfodata().pathname(), std::string("/reports"));
    QCOMPARE(names(reply.fileinfodata()), (QStringList { "enrolment.csv", "enrolment.pdf" }));
}

void TestFileService::downloadAndCompression()
{
    Menu::Envelope reply = request(getRequest("/README.txt"));
    QVERIFY(reply.has_file());
    QCOMPARE(reply.file().filename(), std::string("/README.txt"));
    QCOMPARE(QByteArray::fromStdString(reply.file().file()), readFile(home("/README.txt")));
    QVERIFY(!m_client->frames.last().compressed); // below the threshold

    reply = request(getRequest("inlink"));
    QCOMPARE(QByteArray::fromStdString(reply.file().file()), readFile(home("/README.txt")));

    // A large reply to a client that announced compression travels compressed and arrives whole.
    const QByteArray big = QByteArray("All work and no play. ").repeated(1000);
    QVERIFY(writeFile(home("/big.txt"), big));
    reply = request(getRequest("/big.txt"));
    QCOMPARE(QByteArray::fromStdString(reply.file().file()), big);
    QVERIFY(m_client->frames.last().compressed);

    HubTestClient plain;
    QVERIFY(plain.connectTo(m_hub->port()));
    QVERIFY(plain.hello(false).accepted());
    QVERIFY(plain.openMenu());
    QCOMPARE(plain.login(QStringLiteral("demo"), QStringLiteral("demo")).status(), Menu::AuthStatus::SUCCESS);
    Menu::Envelope envelope = getRequest("/big.txt");
    setRequestId(&envelope, 1);
    plain.sendMenu(envelope);
    QCOMPARE(QByteArray::fromStdString(plain.waitMenu(&Menu::Envelope::has_file).file().file()), big);
    QVERIFY(!plain.frames.last().compressed);
}

void TestFileService::uploadRules()
{
    Menu::Envelope reply = request(uploadRequest("/notes.txt", "first"));
    QVERIFY(reply.fileoperationresponse().success());
    QCOMPARE(readFile(home("/notes.txt")), QByteArray("first"));
    reply = request(uploadRequest("/notes.txt", "second", true));
    QVERIFY(reply.fileoperationresponse().fail_desc().empty());
    QCOMPARE(readFile(home("/notes.txt")), QByteArray("second"));

    // Large uploads from a compressing client arrive compressed and are stored whole.
    const QByteArray big = QByteArray("Attendance,Present\n").repeated(2000);
    QVERIFY(
        FrameCodec::encode(FrameCodec::MenuFrame, wire(uploadRequest("/big-up.csv", big)), true).compressed);
    reply = request(uploadRequest("/big-up.csv", big));
    QVERIFY(reply.fileoperationresponse().success());
    QCOMPARE(readFile(home("/big-up.csv")), big);

    // The client's settings files: hidden allowed, never overwritten.
    reply = request(uploadRequest("/.zudesktop_0001", "{}", false, true));
    QVERIFY(reply.fileoperationresponse().success());
    reply = request(uploadRequest("/.zudesktop_0001", "{\"x\":1}", false, true));
    QCOMPARE(reply.fileoperationresponse().fail_desc(),
             std::string("File '/.zudesktop_0001' already exists"));
    QCOMPARE(readFile(home("/.zudesktop_0001")), QByteArray("{}"));

    // The port file comes without a request number: written, and not answered.
    m_client->sendMenu(uploadRequest("/.clientport", "33333", true, true));
    reply = request(uploadRequest("/after.txt", "x"));
    QVERIFY(reply.fileoperationresponse().success());
    QCOMPARE(readFile(home("/.clientport")), QByteArray("33333"));
    QVERIFY(m_client->menuQueue.isEmpty());
}

void TestFileService::renameCopyDelete()
{
    QVERIFY(writeFile(home("/letters/draft.txt"), "draft"));
    Menu::Envelope reply = request(renameRequest("/letters/draft.txt", "/letters/final.txt"));
    QVERIFY(reply.fileoperationresponse().success());
    QVERIFY(!QFile::exists(home("/letters/draft.txt")));
    QCOMPARE(readFile(home("/letters/final.txt")), QByteArray("draft"));

    reply = request(copyRequest("/letters/final.txt", "reports/copy.txt"));
    QVERIFY(reply.fileoperationresponse().success());
    QCOMPARE(readFile(home("/reports/copy.txt")), QByteArray("draft"));
    QCOMPARE(readFile(home("/letters/final.txt")), QByteArray("draft"));

    reply = request(deleteRequest("/reports/copy.txt"));
    QVERIFY(reply.fileoperationresponse().success());
    QVERIFY(!QFile::exists(home("/reports/copy.txt")));

    // Deleting a link that leads out removes the link, never its target.
    QVERIFY(QFile::link(m_outside.filePath(QStringLiteral("secret.txt")), home("/outlink2")));
    reply = request(deleteRequest("/outlink2"));
    QVERIFY(reply.fileoperationresponse().success());
    QVERIFY(!QFileInfo(home("/outlink2")).isSymLink());
    QCOMPARE(readFile(m_outside.filePath(QStringLiteral("secret.txt"))), QByteArray(Secret));
}

void TestFileService::printIntoSpool()
{
    Menu::Envelope reply = request(printRequest("/letters/welcome.txt", "reception", "A4 plain"));
    QVERIFY(reply.fileoperationresponse().success());
    const QDir queue(m_hub->dataDir() + QStringLiteral("/spool/reception"));
    const QStringList jobs = queue.entryList(QDir::Files);
    QCOMPARE(jobs.size(), 1);
    QVERIFY2(jobs.first().endsWith(QStringLiteral("-demo-A4_plain-welcome.txt")), qPrintable(jobs.first()));
    QCOMPARE(readFile(queue.filePath(jobs.first())), readFile(home("/letters/welcome.txt")));
}

QTEST_GUILESS_MAIN(TestFileService)
#include "tst_fileservice.moc"
