#pragma once

#include "demoapplication.h"

#include "dictionarystore.h"
#include "envelopedispatcher.h"
#include "querytester.h"

#include <QMap>
#include <QSet>

// "Data Dictionary", the server side of the dictionary editor: one dictionary from the
// DictionaryStore goes to the client with begin_edit; query tests run through QueryTester against
// the hub's SQLite databases; the application ends when the client saves (the edit is written to
// the file) or cancels (the file is left alone). A save the store refuses is answered with a
// failed test result that says why, and the editor stays open, so the user's edits are not lost.
//
// Idle -> Editing (start: handshake and begin_edit sent) -> Finished (saved, cancelled, or the
// client went away).
//
// Options: "file" (the dictionaries, relative to the hub's data directory; default
// dictedit/dictionaries.json), "dictionary" (the one to edit; default "Student Records"),
// "studentDatabase" (default classic/students.sqlite, the classic application's), "libraryDatabase"
// (default dictedit/library.sqlite), "maxRows" and "timeLimitMs" (of a query test).
class DictEditApp : public DemoApplication
{
    Q_OBJECT

public:
    static constexpr char Kind[] = "dictedit";
    static constexpr char DefaultFile[] = "dictedit/dictionaries.json";
    static constexpr char DefaultDictionary[] = "Student Records";
    static constexpr char StudentDatabaseName[] = "students";
    static constexpr char LibraryDatabaseName[] = "library";

    enum class State { Idle, Editing, Finished };

    DictEditApp(AppLink *link, const DemoAppContext &context, QObject *parent = nullptr);

    QString kind() const override;
    bool start(QString *error) override;
    void stop() override;

    State state() const { return m_state; }

private slots:
    void mh_handshake(const google::protobuf::Message &msg);
    void mh_edit_complete(const google::protobuf::Message &msg);
    void mh_test_query(const google::protobuf::Message &msg);

private:
    void processMessage(const QByteArray &message) override;
    void setState(State state);
    void answerTest(bool success, const QString &text);
    bool prepareDatabases(QString *error);
    QString dataPath(const char *option, const QString &fallback) const;
    QString where() const;

    State m_state = State::Idle;
    EnvelopeDispatcher m_dispatcher;
    DictionaryStore m_store;
    QueryTester m_tester;
    QString m_dictionary;
    QMap<QString, QString> m_databases; // name -> file
    QSet<QString> m_commands; // definitions of the command sources, which are never run
};
