#include "remotefiles.h"

#include "utils/busymouse.h"
#include "utils/platform.h"
#include "latin1.h"

#include "menu.pb.h"

#include <QDebug>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const QString BusyKey = QStringLiteral("fileRequested");

// Shared by every kind of request and every session of the process; 0 is never issued.
quint32 s_nextRequestId = 1;

} // namespace

RemoteFiles::RemoteFiles(Sender send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
{
}

RemoteFiles::~RemoteFiles()
{
    m_requests.clear();
    releaseCursor();
}

bool RemoteFiles::isText(const QByteArray &data)
{
    return std::all_of(data.cbegin(), data.cend(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte != 0 && byte < 128;
    });
}

void RemoteFiles::setAvailable(bool available)
{
    m_available = available;
    // No reply can come for what was asked before the link went.
    if (!available)
        fail(std::exchange(m_requests, {}), QStringLiteral("The connection to the ZU server was lost"));
    releaseCursor();
}

quint32 RemoteFiles::open(QObject *context, Kind kind, Answer answer, Cursor cursor)
{
    Request request { context, kind, std::move(answer), cursor == Cursor::Busy };
    if (!m_available) {
        // It could never be sent, so no reply would ever come.
        qWarning() << "RemoteFiles - not connected; request failed";
        fail({ { 0, request } }, QStringLiteral("Not connected to the ZU server"));
        return 0;
    }
    if (m_requests.size() >= MaxPendingRequests) {
        // Replies for requesters that are gone would only be dropped.
        for (auto it = m_requests.begin(); it != m_requests.end();)
            it = it->context ? std::next(it) : m_requests.erase(it);
        if (m_requests.size() >= MaxPendingRequests) {
            qWarning() << "RemoteFiles - too many requests unanswered; request failed";
            fail({ { 0, request } }, QStringLiteral("Too many requests are waiting for the ZU server"));
            return 0;
        }
    }
    const quint32 id = s_nextRequestId++;
    if (s_nextRequestId == 0)
        s_nextRequestId = 1;
    if (request.busy)
        BusyMouse::instance()->start(BusyKey, BusyTimeoutMs);
    m_requests.insert(id, std::move(request));
    return id;
}

bool RemoteFiles::take(quint32 id, Kind kind, Request *request)
{
    const auto it = m_requests.find(id);
    if (it == m_requests.end()) {
        qWarning() << "RemoteFiles - reply to unknown request" << id << "dropped";
        return false;
    }
    *request = std::move(it.value());
    m_requests.erase(it);
    releaseCursor();
    if (!request->context) {
        qWarning() << "RemoteFiles - reply to request" << id << "dropped: its requester is gone";
        return false;
    }
    // A failure is told the same way whatever was asked.
    if (kind != Kind::Operation && request->kind != kind) {
        qWarning() << "RemoteFiles - request" << id << "answered with a reply of another kind";
        request->answer(nullptr, QByteArray(), QStringLiteral("The ZU server sent a reply of the wrong kind"));
        return false;
    }
    return true;
}

void RemoteFiles::releaseCursor()
{
    if (std::none_of(m_requests.cbegin(), m_requests.cend(), [](const Request &request) { return request.busy; }))
        BusyMouse::instance()->stop(BusyKey);
}

void RemoteFiles::fail(QHash<quint32, Request> requests, const QString &error)
{
    if (requests.isEmpty())
        return;
    // On the next turn: a requester may open a dialog, and this may run inside a state change.
    QTimer::singleShot(0, this, [requests = std::move(requests), error] {
        for (const Request &request : requests)
            if (request.context)
                request.answer(nullptr, QByteArray(), error);
    });
}

void RemoteFiles::requestFileInfo(QObject *context, const QString &directory, bool includeHidden,
                                  const QString &filter, ListingReply reply, Cursor cursor)
{
    const quint32 id = open(context, Kind::Listing,
                            [reply = std::move(reply)](const Menu::FileInfoData *listing, const QByteArray &,
                                                       const QString &error) { reply(listing, error); },
                            cursor);
    if (!id)
        return;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_fileinfodatarequest();
    request->set_directory(Latin1::fromQString(directory));
    request->set_include_hidden(includeHidden);
    request->set_request_id(id);
    request->set_filter(Latin1::fromQString(filter));
    m_send(envelope);
}

void RemoteFiles::requestFile(QObject *context, const QString &filename, FileReply reply, Cursor cursor)
{
    const quint32 id = open(context, Kind::File,
                            [reply = std::move(reply)](const Menu::FileInfoData *, const QByteArray &data,
                                                       const QString &error) { reply(data, error); },
                            cursor);
    if (!id)
        return;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_filerequest();
    request->set_filename(Latin1::fromQString(filename));
    request->set_request_id(id);
    m_send(envelope);
}

namespace {

// The answer of an operation that returns nothing but its outcome.
auto operationAnswer(RemoteFiles::DoneReply reply)
{
    return [reply = std::move(reply)](const Menu::FileInfoData *, const QByteArray &, const QString &error) {
        reply(error);
    };
}

} // namespace

void RemoteFiles::renameFile(QObject *context, const QString &currentName, const QString &newName, DoneReply reply)
{
    const quint32 id = open(context, Kind::Operation, operationAnswer(std::move(reply)), Cursor::Busy);
    if (!id)
        return;
    qDebug() << "RENAME:" << currentName << newName;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_renamefile();
    request->set_currentname(Latin1::fromQString(currentName));
    request->set_newname(Latin1::fromQString(newName));
    request->set_request_id(id);
    m_send(envelope);
}

void RemoteFiles::copyFile(QObject *context, const QString &sourceName, const QString &destName, DoneReply reply)
{
    const quint32 id = open(context, Kind::Operation, operationAnswer(std::move(reply)), Cursor::Busy);
    if (!id)
        return;
    qDebug() << "COPY:" << sourceName << destName;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_copyfile();
    request->set_sourcename(Latin1::fromQString(sourceName));
    request->set_destname(Latin1::fromQString(destName));
    request->set_request_id(id);
    m_send(envelope);
}

void RemoteFiles::deleteFile(QObject *context, const QString &filename, DoneReply reply, Cursor cursor)
{
    const quint32 id = open(context, Kind::Operation, operationAnswer(std::move(reply)), cursor);
    if (!id)
        return;
    qDebug() << "DELETE:" << filename;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_deletefile();
    request->set_filename(Latin1::fromQString(filename));
    request->set_request_id(id);
    m_send(envelope);
}

void RemoteFiles::printFile(QObject *context, const QString &filename, const QString &printer,
                            const QString &formType, DoneReply reply)
{
    const quint32 id = open(context, Kind::Operation, operationAnswer(std::move(reply)), Cursor::Busy);
    if (!id)
        return;
    qDebug() << "PRINT:" << filename << printer << formType;
    Menu::Envelope envelope;
    auto *request = envelope.mutable_printfile();
    request->set_filename(Latin1::fromQString(filename));
    request->set_printer(Latin1::fromQString(printer));
    if (!formType.isEmpty())
        request->set_formtype(Latin1::fromQString(formType));
    request->set_request_id(id);
    m_send(envelope);
}

void RemoteFiles::uploadFile(QObject *context, const QString &filename, const QByteArray &data,
                             bool allowOverwrite, bool allowHidden, DoneReply reply, Cursor cursor)
{
    const quint32 id = open(context, Kind::Operation, operationAnswer(std::move(reply)), cursor);
    if (!id)
        return;
    qDebug() << "UPLOAD:" << filename;
    QByteArray bytes = data;
    if (Platform::textUsesCrLf() && isText(bytes))
        bytes.replace("\r\n", "\n");
    Menu::Envelope envelope;
    auto *file = envelope.mutable_file();
    file->set_filename(Latin1::fromQString(filename));
    file->set_file(bytes.toStdString());
    file->set_request_id(id);
    if (allowHidden)
        file->set_allow_hidden(true);
    if (allowOverwrite)
        file->set_allow_overwrite(true);
    m_send(envelope);
}

void RemoteFiles::fileReceived(const Menu::File &file)
{
    Request request;
    if (!take(file.request_id(), Kind::File, &request))
        return;
    QByteArray data = QByteArray::fromStdString(file.file());
    qDebug() << "-=> -=> -=> download completed. size:" << data.size();
    if (Platform::textUsesCrLf() && isText(data))
        data.replace("\n", "\r\n");
    request.answer(nullptr, data, QString());
}

void RemoteFiles::listingReceived(const Menu::FileInfoData &listing)
{
    Request request;
    if (take(listing.request_id(), Kind::Listing, &request))
        request.answer(&listing, QByteArray(), QString());
}

void RemoteFiles::operationAnswered(const Menu::FileOperationResponse &response)
{
    Request request;
    if (take(response.request_id(), Kind::Operation, &request))
        request.answer(nullptr, QByteArray(), Latin1::toQString(response.fail_desc()));
}
