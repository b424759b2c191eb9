#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>

class MainConnection;

namespace Menu {
class Envelope;
}

// Plays the menu server's file operations for a MainConnection: it reads the envelopes the
// connection sends, works on an in-memory home directory, and answers on the next turn of the event
// loop, as a real server would. Names are stored with their leading "/".
class FakeMenuFiles : public QObject
{
    Q_OBJECT

public:
    explicit FakeMenuFiles(MainConnection *connection, QObject *parent = nullptr);

    QMap<QString, QByteArray> files;
    // Operations seen, e.g. "list", "get /.a", "put /.a", "delete /.a".
    QStringList log;
    // The next operation of this kind ("list", "get", "put", "delete") fails with this text.
    void failNext(const QString &operation, const QString &failDescription);
    // The next operation of this kind is lost on the way: not carried out, never answered.
    void loseNext(const QString &operation) { m_lost.insert(operation); }
    int pendingReplies() const { return m_pending; }

private:
    void received(const QByteArray &bytes);
    void reply(const Menu::Envelope &envelope);
    bool takeFailure(const QString &operation, QString *description);

    MainConnection *m_connection;
    QMap<QString, QString> m_failures;
    QSet<QString> m_lost;
    int m_pending = 0;
};
