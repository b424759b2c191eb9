#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QTemporaryDir;
class QWidget;

// The windows in which documents from the server are shown. The viewer is chosen by the bytes, not
// by the name a server gave them: PDF, a picture Qt can read, else text (in the built-in viewer, or
// the external one the user set, which gets a private temporary copy). A server sending documents
// unasked cannot open windows without end.
class DocumentViewers : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxViewers = 16;
    // A picture that would take more memory than this to show is refused (4 bytes a pixel).
    static constexpr qint64 MaxPicturePixels = 64 * 1024 * 1024;

    // Questions and notices open over `window`.
    explicit DocumentViewers(QWidget *window);
    ~DocumentViewers() override;

    // The file name a document is shown under: the title with unsafe characters replaced.
    static QString fileNameForTitle(const QString &title);

public slots:
    void view(const QString &title, const QByteArray &data);

signals:
    // The user printed a text document from its viewer.
    void printRequested(QString text);
    void statusMessage(QString text);

private:
    void open(QWidget *viewer, const QString &title);
    void openText(const QString &name, const QByteArray &data);
    void openExternal(const QString &name, const QByteArray &data);

    QWidget *m_window;
    QList<QPointer<QWidget>> m_viewers;
    // Documents handed to the external viewer; removed with this object.
    std::unique_ptr<QTemporaryDir> m_externalFiles;
};
