#pragma once

#include "demoapplication.h"

#include "envelopedispatcher.h"

#include <QTimer>

#include <memory>

class ClassicForm;
class GradesForm;
class StudentDatabase;
class StudentForm;
class TypingForm;
class UiWriter;

// "Student Records", a classic form application: the UI dialogue protocol against a real SQLite
// database of students, programmes, courses and grades (StudentDatabase). It drives one client
// window (WindowId) that shows either the student screen (StudentForm) or a student's course
// grades (GradesForm).
//
// Idle -> AwaitingHandshake (start: our handshake sent) -> Running (the client answered with its
// own: the session and the first screen are sent) -> Finished (the user chose Exit, the client
// went away, or it did not answer within HandshakeTimeoutMs). Whatever else the client sends is
// checked first: unreadable envelopes, other windows and replies before the handshake are
// logged and dropped.
//
// Options: "database" (file path, relative to the hub's data directory; default
// classic/students.sqlite there, shared by every user of the hub).
//
// The same application can run the "Typing Check" instead (kind "typing", TypingForm): no
// database, one screen of four fields, a line in the log for every four texts received.
class ClassicApp : public DemoApplication
{
    Q_OBJECT

public:
    static constexpr char Kind[] = "classic";
    static constexpr char AppName[] = "Student Records";
    static constexpr char TypingKind[] = "typing";
    static constexpr char TypingAppName[] = "Typing Check";
    static constexpr char DefaultDatabase[] = "classic/students.sqlite";
    static constexpr quint32 WindowId = 1;
    static constexpr int HandshakeTimeoutMs = 10000;

    enum class State { Idle, AwaitingHandshake, Running, Finished };
    enum class Program { StudentRecords, TypingCheck };

    ClassicApp(AppLink *link, const DemoAppContext &context, QObject *parent = nullptr,
               Program program = Program::StudentRecords);
    ~ClassicApp() override;

    QString kind() const override;
    bool start(QString *error) override;
    void stop() override;

    State state() const { return m_state; }
    // Before start(); tests shorten the wait.
    void setHandshakeTimeout(int ms) { m_handshakeTimer.setInterval(ms); }
    QString clientVersion() const { return m_clientVersion; }
    // Where the application keeps its database for this context; empty when it cannot tell.
    static QString databasePath(const DemoAppContext &context);

private slots:
    void mh_handshake(const google::protobuf::Message &msg);
    void mh_generic_response(const google::protobuf::Message &msg);
    void mh_dialog_response(const google::protobuf::Message &msg);
    void mh_table_lookup_response(const google::protobuf::Message &msg);
    void mh_grid_lookup_response(const google::protobuf::Message &msg);
    void mh_edit_blob_response(const google::protobuf::Message &msg);

private:
    void processMessage(const QByteArray &message) override;
    void setState(State state);
    void showGrades(int studentNumber);
    void showStudents();
    QString where() const;

    bool startStudentRecords(QString *error);
    void startTypingCheck();

    Program m_program;
    State m_state = State::Idle;
    EnvelopeDispatcher m_dispatcher;
    std::unique_ptr<StudentDatabase> m_db;
    std::unique_ptr<UiWriter> m_ui;
    StudentForm *m_students = nullptr;
    GradesForm *m_grades = nullptr;
    TypingForm *m_typing = nullptr;
    ClassicForm *m_active = nullptr;
    QTimer m_handshakeTimer;
    QString m_clientVersion;
    quint32 m_windowOfMessage = 0;
};
