#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace Menu {
class Envelope;
class File;
class FileInfoData;
class FileOperationResponse;
} // namespace Menu

// The menu session's requests on the user's files in the server home directory. Each request gets
// a number, unique in the process, and waits in a table for its reply, which goes to the function
// the request was made with unless the context object that asked is gone. While the session is not
// connected nothing can be asked; what was asked before the link went fails with the reason. Text
// files travel with LF line ends; where the workstation's text has CR LF they are converted both ways.
class RemoteFiles : public QObject
{
    Q_OBJECT

public:
    using ListingReply = std::function<void(const Menu::FileInfoData *listing, const QString &error)>;
    using FileReply = std::function<void(const QByteArray &data, const QString &error)>;
    // An empty error is success.
    using DoneReply = std::function<void(const QString &error)>;
    using Sender = std::function<void(const Menu::Envelope &envelope)>;

    // Requests made for the user show the wait cursor until answered; background ones do not.
    enum class Cursor { Busy, Quiet };

    static constexpr int BusyTimeoutMs = 8000;
    static constexpr int MaxPendingRequests = 1000;

    explicit RemoteFiles(Sender send, QObject *parent = nullptr);
    ~RemoteFiles() override;

    // Follows the session: requests go out only while it is connected.
    void setAvailable(bool available);
    int pendingCount() const { return m_requests.size(); }

    void requestFileInfo(QObject *context, const QString &directory, bool includeHidden, const QString &filter,
                         ListingReply reply, Cursor cursor = Cursor::Busy);
    void requestFile(QObject *context, const QString &filename, FileReply reply, Cursor cursor = Cursor::Busy);
    void renameFile(QObject *context, const QString &currentName, const QString &newName, DoneReply reply);
    void copyFile(QObject *context, const QString &sourceName, const QString &destName, DoneReply reply);
    void deleteFile(QObject *context, const QString &filename, DoneReply reply, Cursor cursor = Cursor::Busy);
    void printFile(QObject *context, const QString &filename, const QString &printer, const QString &formType,
                   DoneReply reply);
    // A hidden name (a leading dot) is refused by the server unless allowed.
    void uploadFile(QObject *context, const QString &filename, const QByteArray &data, bool allowOverwrite,
                    bool allowHidden, DoneReply reply, Cursor cursor = Cursor::Busy);

    // The session's handlers hand the replies in.
    void fileReceived(const Menu::File &file);
    void listingReceived(const Menu::FileInfoData &listing);
    void operationAnswered(const Menu::FileOperationResponse &response);

    // Text is data whose every byte lies in 1..127.
    static bool isText(const QByteArray &data);

private:
    // What a request waits for; an operation reply (its outcome, or why a listing or file failed)
    // answers any request.
    enum class Kind { Listing, File, Operation };
    // One function for every kind: a listing, the file's bytes, or neither, and the error.
    using Answer = std::function<void(const Menu::FileInfoData *listing, const QByteArray &data, const QString &error)>;

    struct Request
    {
        QPointer<QObject> context;
        Kind kind = Kind::Operation;
        Answer answer;
        bool busy = true;
    };

    // The new request number, or 0 when it could not be made (the answer then fails later).
    quint32 open(QObject *context, Kind kind, Answer answer, Cursor cursor);
    bool take(quint32 id, Kind kind, Request *request);
    void fail(QHash<quint32, Request> requests, const QString &error);
    // The wait cursor goes once no request made for the user is unanswered.
    void releaseCursor();

    Sender m_send;
    bool m_available = false;
    QHash<quint32, Request> m_requests;
};
