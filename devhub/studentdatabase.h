#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

struct Student
{
    int number = 0; // 0 until stored
    QString lastName;
    QString firstName;
    QDate birthDate;
    QDate enrolled;
    QString programme;
    int credits = 0;
    qint64 feesCents = 0;
    bool active = true;
    QString notes;

    QString fullName() const { return firstName + QLatin1Char(' ') + lastName; }
};

// Someone a student lets act for them (a parent, a sponsor), and what they may do, by category.
struct PermitCategory
{
    QString name;
    QStringList permissions;
};

struct PermittedPerson
{
    QString name;
    QString relation; // null: none recorded
    QVector<PermitCategory> categories;
};

struct Programme
{
    QString code;
    QString title;
};

struct Enrolment
{
    int id = 0;
    QString courseCode;
    QString courseTitle;
    QString term;
    int credits = 0;
    QString grade; // empty while the course runs
    QDate completed;
};

// What the user typed on the query screen; empty parts match everything.
struct StudentQuery
{
    int number = 0;
    QString name; // part of the first or last name, or of both with a space between
    QString programme;
    std::optional<bool> active;
};

// The college records behind the classic demo: programmes, courses, students with their identity
// pictures and permitted persons, and their course enrolments with grades, in one SQLite file. A new file
// gets the sample data; several applications (and hubs) may have the same file open, every change is one
// statement or one transaction. Reads that fail are logged and give nothing; changes report their failure.
class StudentDatabase
{
public:
    enum class SortOrder { Number, LastName, Enrolled };

    struct Summary
    {
        int students = 0;
        int active = 0;
        qint64 feesCents = 0;
    };

    static constexpr int SchemaVersion = 2;
    static constexpr int MaxNotesLength = 2000;
    static constexpr int BusyTimeoutMs = 2000;

    StudentDatabase();
    ~StudentDatabase();
    Q_DISABLE_COPY(StudentDatabase)

    // Creates the file, its tables and the sample data when they are missing.
    bool open(const QString &path, QString *error);
    QString path() const { return m_path; }

    QVector<Student> find(const StudentQuery &query, SortOrder order) const;
    std::optional<Student> student(int number) const;
    // Gives the student the next free number and an identity picture.
    bool insert(Student *student, QString *error);
    bool update(const Student &student, QString *error);
    bool setNotes(int number, const QString &notes, QString *error);

    // The identity picture (PNG); empty when the student has none.
    QByteArray picture(int number) const;
    QVector<PermittedPerson> permittedPersons(int number) const;

    QVector<Programme> programmes() const;
    QString programmeTitle(const QString &code) const; // empty for an unknown code

    QVector<Enrolment> enrolments(int studentNumber) const;
    bool setGrade(int enrolmentId, const QString &grade, const QDate &completed, QString *error);

    Summary summary() const;
    // Throws away every change and writes the sample data again.
    bool resetSampleData(QString *error);

    static bool isGrade(const QString &grade);
    // Grade points of a final grade; none for an empty grade (course still running).
    static std::optional<double> gradePoints(const QString &grade);
    static bool isPass(const QString &grade) { return !grade.isEmpty() && grade != QLatin1String("F"); }

private:
    bool createSchema(QString *error);
    // Runs the statements that take a file of the given version to the current one.
    bool upgrade(int fromVersion, QString *error);

    QString m_connection;
    QString m_path;
};
