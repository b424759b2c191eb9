#include "fakemenufiles.h"

#include "menu/mainconnection.h"

#include <QTimer>

#include "menu.pb.h"

FakeMenuFiles::FakeMenuFiles(MainConnection *connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{
    connect(connection, &MainConnection::messageReady, this, &FakeMenuFiles::received);
}

void FakeMenuFiles::failNext(const QString &operation, const QString &failDescription)
{
    m_failures.insert(operation, failDescription);
}

bool FakeMenuFiles::takeFailure(const QString &operation, QString *description)
{
    if (!m_failures.contains(operation))
        return false;
    *description = m_failures.take(operation);
    return true;
}

void FakeMenuFiles::reply(const Menu::Envelope &envelope)
{
    const QByteArray bytes = QByteArray::fromStdString(envelope.SerializeAsString());
    ++m_pending;
    QTimer::singleShot(0, this, [this, bytes] {
        --m_pending;
        m_connection->processMessage(bytes.constData(), bytes.size());
    });
}

void FakeMenuFiles::received(const QByteArray &bytes)
{
    Menu::Envelope in;
    if (!in.ParseFromArray(bytes.constData(), bytes.size()))
        return;
    const QString operation = in.has_fileinfodatarequest() ? QStringLiteral("list")
        : in.has_filerequest()                             ? QStringLiteral("get")
        : in.has_file()                                    ? QStringLiteral("put")
        : in.has_deletefile()                              ? QStringLiteral("delete")
                                                           : QString();
    if (m_lost.remove(operation)) {
        log << "lost " + operation;
        return;
    }
    Menu::Envelope out;
    QString failure;
    const auto fail = [&out](quint32 id, const QString &text) {
        auto *response = out.mutable_fileoperationresponse();
        response->set_request_id(id);
        response->set_success(false);
        response->set_fail_desc(text.toStdString());
    };

    if (in.has_fileinfodatarequest()) {
        const auto &request = in.fileinfodatarequest();
        log << "list";
        if (takeFailure("list", &failure)) {
            fail(request.request_id(), failure);
        } else {
            auto *data = out.mutable_fileinfodata();
            data->set_request_id(request.request_id());
            data->set_pathname(request.directory());
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                auto *info = data->add_fileinfo();
                info->set_name(it.key().mid(1).toStdString());
                info->set_type(Menu::FileInfoData::FileInfo::FILE);
                info->set_size(it.value().size());
            }
        }
    } else if (in.has_filerequest()) {
        const auto &request = in.filerequest();
        const QString name = QString::fromStdString(request.filename());
        log << "get " + name;
        if (takeFailure("get", &failure) || !files.contains(name)) {
            fail(request.request_id(), failure.isEmpty() ? QStringLiteral("No such file") : failure);
        } else {
            out.mutable_file()->set_request_id(request.request_id());
            out.mutable_file()->set_filename(request.filename());
            out.mutable_file()->set_file(files.value(name).toStdString());
        }
    } else if (in.has_file()) {
        const auto &file = in.file();
        const QString name = QString::fromStdString(file.filename());
        log << "put " + name;
        if (!file.has_request_id()) {
            files.insert(name, QByteArray::fromStdString(file.file()));
            return; // nobody waits for this one
        }
        if (takeFailure("put", &failure))
            fail(file.request_id(), failure);
        else if (files.contains(name) && !file.allow_overwrite())
            fail(file.request_id(), QStringLiteral("File exists"));
        else {
            files.insert(name, QByteArray::fromStdString(file.file()));
            out.mutable_fileoperationresponse()->set_request_id(file.request_id());
            out.mutable_fileoperationresponse()->set_success(true);
        }
    } else if (in.has_deletefile()) {
        const auto &request = in.deletefile();
        const QString name = QString::fromStdString(request.filename());
        log << "delete " + name;
        if (takeFailure("delete", &failure)) {
            fail(request.request_id(), failure);
        } else {
            files.remove(name);
            out.mutable_fileoperationresponse()->set_request_id(request.request_id());
            out.mutable_fileoperationresponse()->set_success(true);
        }
    } else {
        return;
    }
    reply(out);
}
