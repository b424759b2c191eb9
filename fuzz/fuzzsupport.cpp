#include "fuzzsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <google/protobuf/stubs/logging.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char Separator[] = "\n#ZUFUZZ#\n";

void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // Warnings about refused input are what the code is supposed to say; only a fatal message
    // matters, and it aborts here like any other finding.
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    }
}

// A modal dialog the code opens (a message box about an invalid address, say) waits for a person;
// here it is dismissed as soon as it shows, as if the person pressed Escape.
class ModalDismisser : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *dialog = qobject_cast<QDialog *>(watched);
            if (dialog && dialog->isModal())
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
        return false;
    }
};

int writeSeeds(const QString &folder)
{
    QDir().mkpath(folder);
    const QList<QByteArray> seeds = fuzzSeeds();
    for (int i = 0; i < seeds.size(); ++i) {
        QFile file(QStringLiteral("%1/seed-%2").arg(folder).arg(i, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(seeds.at(i)) != seeds.at(i).size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    std::printf("%d seeds in %s\n", int(seeds.size()), qPrintable(folder));
    return 0;
}

} // namespace

QList<QByteArray> splitMessages(const QByteArray &input)
{
    QList<QByteArray> messages;
    int start = 0;
    for (int at = input.indexOf(Separator); at >= 0; at = input.indexOf(Separator, start)) {
        messages.append(input.mid(start, at - start));
        start = at + int(sizeof(Separator) - 1);
    }
    messages.append(input.mid(start));
    return messages;
}

QByteArray joinMessages(const QList<QByteArray> &messages)
{
    QByteArray joined;
    for (int i = 0; i < messages.size(); ++i) {
        if (i > 0)
            joined += Separator;
        joined += messages.at(i);
    }
    return joined;
}

void fuzzCheckFailed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

QList<QByteArray> exchangeSeeds(const QList<QByteArray> &messages)
{
    return QList<QByteArray> { joinMessages(messages) } + messages;
}

QList<QByteArray> screenSeeds()
{
    QList<QByteArray> seeds;
    for (const char *folder : { "devhub/screens", "tests/classic/data" }) {
        const QDir dir(QStringLiteral(ZU_SOURCE_DIR "/") + QLatin1String(folder));
        for (const QString &name : dir.entryList({ QStringLiteral("*.ui") }, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                seeds.append(file.readAll());
        }
    }
    return seeds;
}

void settleEvents()
{
    QCoreApplication::sendPostedEvents(nullptr, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Settings, caches and data go to a private folder, never to the person's own.
    static QTemporaryDir home;
    for (const char *name : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME" })
        qputenv(name, home.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    // ZU_FUZZ_VERBOSE=1 keeps Qt's and protobuf's messages, for looking into one input.
    if (qEnvironmentVariableIsEmpty("ZU_FUZZ_VERBOSE")) {
        qInstallMessageHandler(quietHandler);
        google::protobuf::SetLogHandler(nullptr);
    }

    // Never deleted: the offscreen platform leaks its screen when the application goes, and the
    // leak check at exit would take that for a finding.
    static QApplication *app = new QApplication(*argc, *argv);
    auto *dismisser = new ModalDismisser;
    dismisser->setParent(app);
    app->installEventFilter(dismisser);
    QCoreApplication::setOrganizationName(QStringLiteral("ZU"));
    QCoreApplication::setApplicationName(QStringLiteral("zu-fuzz"));

    const QByteArray seedFolder = qgetenv("ZU_FUZZ_SEEDS");
    if (!seedFolder.isEmpty()) {
        // Quick exit: the application stays up for the fuzzing run, so its objects are not leaks.
        const int status = writeSeeds(QString::fromLocal8Bit(seedFolder));
        std::fflush(stdout);
        std::_Exit(status);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    settleEvents();
    return 0;
}
