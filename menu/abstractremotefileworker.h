#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace Menu {
class FileInfoData;
}

// Receives the replies to remote file requests made through MainConnection. Every reply carries
// the context the request was made with, and an error text that is empty on success.
class AbstractRemoteFileWorker
{
public:
    virtual ~AbstractRemoteFileWorker() = default;

    virtual void fileRespInfoData(QVariant context, const Menu::FileInfoData *data, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(data)
        Q_UNUSED(error)
    }
    virtual void fileRespFile(QVariant context, QByteArray data, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(data)
        Q_UNUSED(error)
    }
    virtual void fileRespRename(QVariant context, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(error)
    }
    virtual void fileRespCopy(QVariant context, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(error)
    }
    virtual void fileRespDelete(QVariant context, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(error)
    }
    virtual void fileRespPrint(QVariant context, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(error)
    }
    virtual void fileRespUpload(QVariant context, QString error)
    {
        Q_UNUSED(context)
        Q_UNUSED(error)
    }
};
