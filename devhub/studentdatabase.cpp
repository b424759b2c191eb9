#include "studentdatabase.h"

#include "sampledata.h"

#include <QAtomicInt>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <iterator>

namespace {

constexpr char Driver[] = "QSQLITE";
constexpr char IsoDate[] = "yyyy-MM-dd";

QAtomicInt connectionCounter;

const char *const Schema[] = {
    "CREATE TABLE IF NOT EXISTS programmes (code TEXT PRIMARY KEY, title TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS courses (code TEXT PRIMARY KEY, title TEXT NOT NULL,"
    " credits INTEGER NOT NULL, programme TEXT)",
    "CREATE TABLE IF NOT EXISTS students (student_no INTEGER PRIMARY KEY, last_name TEXT NOT NULL,"
    " first_name TEXT NOT NULL, birth_date TEXT, enrolled TEXT, programme TEXT,"
    " credits INTEGER NOT NULL DEFAULT 0, fees_cents INTEGER NOT NULL DEFAULT 0,"
    " active INTEGER NOT NULL DEFAULT 1, notes TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS enrolments (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " student_no INTEGER NOT NULL, course_code TEXT NOT NULL, term TEXT NOT NULL,"
    " grade TEXT NOT NULL DEFAULT '', completed TEXT)",
    "CREATE INDEX IF NOT EXISTS enrolments_student ON enrolments (student_no)",
};

// Version 2: identity pictures and permitted persons.
const char *const IdentitySchema[] = {
    "CREATE TABLE IF NOT EXISTS pictures (student_no INTEGER PRIMARY KEY, png BLOB NOT NULL)",
    "CREATE TABLE IF NOT EXISTS permitted_persons (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " student_no INTEGER NOT NULL, name TEXT NOT NULL, relation TEXT)",
    "CREATE INDEX IF NOT EXISTS permitted_student ON permitted_persons (student_no)",
    // Permissions are one text, a line each.
    "CREATE TABLE IF NOT EXISTS permit_categories (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " person_id INTEGER NOT NULL, name TEXT NOT NULL, permissions TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX IF NOT EXISTS categories_person ON permit_categories (person_id)",
};

constexpr char StudentColumns[] = "student_no, last_name, first_name, birth_date, enrolled, programme,"
                                  " credits, fees_cents, active, notes";

struct GradePoint
{
    const char *grade;
    double points;
};
constexpr GradePoint GradePoints[] = {
    { "A", 4.0 }, { "A-", 3.7 }, { "B+", 3.3 }, { "B", 3.0 }, { "B-", 2.7 }, { "C+", 2.3 },
    { "C", 2.0 }, { "C-", 1.7 }, { "D+", 1.3 }, { "D", 1.0 }, { "F", 0.0 },
};

QVariant isoOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date.toString(QLatin1String(IsoDate))) : QVariant(QString());
}

// A null QString binds as NULL; the text columns want an empty text.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QDate fromIso(const QVariant &value)
{
    return QDate::fromString(value.toString(), QLatin1String(IsoDate));
}

Student studentFrom(const QSqlQuery &query)
{
    Student student;
    student.number = query.value(0).toInt();
    student.lastName = query.value(1).toString();
    student.firstName = query.value(2).toString();
    student.birthDate = fromIso(query.value(3));
    student.enrolled = fromIso(query.value(4));
    student.programme = query.value(5).toString();
    student.credits = query.value(6).toInt();
    student.feesCents = query.value(7).toLongLong();
    student.active = query.value(8).toInt() != 0;
    student.notes = query.value(9).toString();
    return student;
}

void bindStudent(QSqlQuery &query, const Student &student)
{
    query.addBindValue(text(student.lastName));
    query.addBindValue(text(student.firstName));
    query.addBindValue(isoOrNull(student.birthDate));
    query.addBindValue(isoOrNull(student.enrolled));
    query.addBindValue(text(student.programme));
    query.addBindValue(student.credits);
    query.addBindValue(student.feesCents);
    query.addBindValue(student.active ? 1 : 0);
    query.addBindValue(text(student.notes));
}

// LIKE treats % and _ as wildcards; a name typed by the user must not.
QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

bool run(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    if (error)
        *error = query.lastError().text();
    qWarning().noquote()
        << QStringLiteral("student database: %1 (%2)").arg(query.lastError().text(), query.lastQuery());
    return false;
}

} // namespace

StudentDatabase::StudentDatabase()
    : m_connection(QStringLiteral("classic-students-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{ }

StudentDatabase::~StudentDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool StudentDatabase::open(const QString &path, QString *error)
{
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(Driver))) {
        *error = QStringLiteral("the SQLite driver of Qt is missing (Debian package libqt5sql5-sqlite)");
        return false;
    }
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    m_path = info.absoluteFilePath();
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(Driver), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) {
        *error = QStringLiteral("cannot open the database %1: %2").arg(m_path, db.lastError().text());
        return false;
    }
    return createSchema(error);
}

bool StudentDatabase::createSchema(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery version(QStringLiteral("PRAGMA user_version"), db);
    const int found = version.next() ? version.value(0).toInt() : -1;
    if (found == SchemaVersion)
        return true;
    if (found < 0) {
        *error = QStringLiteral("%1 is not a database: %2").arg(m_path, version.lastError().text());
        return false;
    }
    if (found > SchemaVersion) {
        *error = QStringLiteral("%1 has schema version %2; this hub knows version %3")
                     .arg(m_path)
                     .arg(found)
                     .arg(SchemaVersion);
        return false;
    }
    // Two hubs may create the file at once: the second waits for the first and finds it done.
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *error = QStringLiteral("cannot write to %1: %2").arg(m_path, begin.lastError().text());
        return false;
    }
    QSqlQuery again(QStringLiteral("PRAGMA user_version"), db);
    const int current = again.next() ? again.value(0).toInt() : found;
    if (current == SchemaVersion) {
        db.commit();
        return true;
    }
    if (!upgrade(current, error)) {
        db.rollback();
        return false;
    }
    QSqlQuery stamp(db);
    stamp.prepare(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion));
    if (!run(stamp, error) || !db.commit()) {
        db.rollback();
        return false;
    }
    qInfo().noquote()
        << (current == 0 ? QStringLiteral("student database: created %1 with the sample data").arg(m_path)
                         : QStringLiteral("student database: %1 brought from version %2 to %3")
                               .arg(m_path)
                               .arg(current)
                               .arg(SchemaVersion));
    return true;
}

bool StudentDatabase::upgrade(int fromVersion, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QVector<const char *> statements;
    if (fromVersion < 1)
        statements.append(QVector<const char *>(std::begin(Schema), std::end(Schema)));
    statements.append(QVector<const char *>(std::begin(IdentitySchema), std::end(IdentitySchema)));
    for (const char *statement : qAsConst(statements)) {
        QSqlQuery query(db);
        query.prepare(QLatin1String(statement));
        if (!run(query, error))
            return false;
    }
    // A new file gets everything; students of a version-1 file get their pictures and persons.
    return fromVersion < 1 ? SampleData::populate(db, error) : SampleData::addIdentities(db, error);
}

QVector<Student> StudentDatabase::find(const StudentQuery &criteria, SortOrder order) const
{
    QStringList conditions;
    QVariantList values;
    if (criteria.number > 0) {
        conditions << QStringLiteral("student_no = ?");
        values << criteria.number;
    }
    if (!criteria.name.trimmed().isEmpty()) {
        conditions << QStringLiteral("(last_name LIKE ? ESCAPE '\\' OR first_name LIKE ? ESCAPE '\\'"
                                     " OR first_name || ' ' || last_name LIKE ? ESCAPE '\\')");
        const QString pattern = likePattern(criteria.name.trimmed());
        values << pattern << pattern << pattern;
    }
    if (!criteria.programme.isEmpty()) {
        conditions << QStringLiteral("programme = ?");
        values << criteria.programme;
    }
    if (criteria.active) {
        conditions << QStringLiteral("active = ?");
        values << (*criteria.active ? 1 : 0);
    }
    QString sql = QStringLiteral("SELECT %1 FROM students").arg(QLatin1String(StudentColumns));
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    switch (order) {
    case SortOrder::Number:
        sql += QStringLiteral(" ORDER BY student_no");
        break;
    case SortOrder::LastName:
        sql += QStringLiteral(" ORDER BY last_name COLLATE NOCASE, first_name COLLATE NOCASE, student_no");
        break;
    case SortOrder::Enrolled:
        sql += QStringLiteral(" ORDER BY enrolled, student_no");
        break;
    }
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(sql);
    for (const QVariant &value : qAsConst(values))
        query.addBindValue(value);
    QVector<Student> result;
    if (!run(query, nullptr))
        return result;
    while (query.next())
        result.append(studentFrom(query));
    return result;
}

std::optional<Student> StudentDatabase::student(int number) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(
        QStringLiteral("SELECT %1 FROM students WHERE student_no = ?").arg(QLatin1String(StudentColumns)));
    query.addBindValue(number);
    if (!run(query, nullptr) || !query.next())
        return std::nullopt;
    return studentFrom(query);
}

bool StudentDatabase::insert(Student *student, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    // The number is taken in the same statement, so two writers cannot pick the same one.
    query.prepare(QStringLiteral("INSERT INTO students (%1) VALUES ((SELECT COALESCE(MAX(student_no), %2) + 1"
                                 " FROM students), ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(QLatin1String(StudentColumns))
                      .arg(SampleData::FirstStudentNumber - 1));
    bindStudent(query, *student);
    if (!run(query, error))
        return false;
    student->number = query.lastInsertId().toInt();
    QSqlQuery picture(QSqlDatabase::database(m_connection));
    picture.prepare(QStringLiteral("INSERT OR REPLACE INTO pictures (student_no, png) VALUES (?, ?)"));
    picture.addBindValue(student->number);
    picture.addBindValue(SampleData::picture(student->number));
    // The student is stored; a missing picture only leaves the identity card without one.
    run(picture, nullptr);
    return true;
}

bool StudentDatabase::setNotes(int number, const QString &notes, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("UPDATE students SET notes = ? WHERE student_no = ?"));
    query.addBindValue(text(notes));
    query.addBindValue(number);
    if (!run(query, error))
        return false;
    if (query.numRowsAffected() != 1) {
        *error = QStringLiteral("student %1 no longer exists").arg(number);
        return false;
    }
    return true;
}

QByteArray StudentDatabase::picture(int number) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT png FROM pictures WHERE student_no = ?"));
    query.addBindValue(number);
    if (!run(query, nullptr) || !query.next())
        return QByteArray();
    return query.value(0).toByteArray();
}

QVector<PermittedPerson> StudentDatabase::permittedPersons(int number) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(
        QStringLiteral("SELECT p.id, p.name, p.relation, c.name, c.permissions"
                       " FROM permitted_persons p LEFT JOIN permit_categories c ON c.person_id = p.id"
                       " WHERE p.student_no = ? ORDER BY p.id, c.id"));
    query.addBindValue(number);
    QVector<PermittedPerson> persons;
    if (!run(query, nullptr))
        return persons;
    int lastId = -1;
    while (query.next()) {
        if (query.value(0).toInt() != lastId) {
            lastId = query.value(0).toInt();
            PermittedPerson person;
            person.name = query.value(1).toString();
            if (!query.value(2).isNull())
                person.relation = query.value(2).toString();
            persons.append(person);
        }
        if (query.value(3).isNull())
            continue; // a person without categories
        const QString permissions = query.value(4).toString();
        persons.last().categories.append(
            { query.value(3).toString(),
              permissions.isEmpty() ? QStringList() : permissions.split(QLatin1Char('\n')) });
    }
    return persons;
}

bool StudentDatabase::update(const Student &student, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("UPDATE students SET last_name = ?, first_name = ?, birth_date = ?,"
                                 " enrolled = ?, programme = ?, credits = ?, fees_cents = ?, active = ?,"
                                 " notes = ? WHERE student_no = ?"));
    bindStudent(query, student);
    query.addBindValue(student.number);
    if (!run(query, error))
        return false;
    if (query.numRowsAffected() != 1) {
        *error = QStringLiteral("student %1 no longer exists").arg(student.number);
        return false;
    }
    return true;
}

QVector<Programme> StudentDatabase::programmes() const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT code, title FROM programmes ORDER BY code"));
    QVector<Programme> result;
    if (!run(query, nullptr))
        return result;
    while (query.next())
        result.append({ query.value(0).toString(), query.value(1).toString() });
    return result;
}

QString StudentDatabase::programmeTitle(const QString &code) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT title FROM programmes WHERE code = ?"));
    query.addBindValue(code);
    if (!run(query, nullptr) || !query.next())
        return QString();
    return query.value(0).toString();
}

QVector<Enrolment> StudentDatabase::enrolments(int studentNumber) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(
        QStringLiteral("SELECT e.id, e.course_code, c.title, e.term, c.credits, e.grade, e.completed"
                       " FROM enrolments e JOIN courses c ON c.code = e.course_code"
                       " WHERE e.student_no = ? ORDER BY e.term, e.course_code"));
    query.addBindValue(studentNumber);
    QVector<Enrolment> result;
    if (!run(query, nullptr))
        return result;
    while (query.next()) {
        Enrolment enrolment;
        enrolment.id = query.value(0).toInt();
        enrolment.courseCode = query.value(1).toString();
        enrolment.courseTitle = query.value(2).toString();
        enrolment.term = query.value(3).toString();
        enrolment.credits = query.value(4).toInt();
        enrolment.grade = query.value(5).toString();
        enrolment.completed = fromIso(query.value(6));
        result.append(enrolment);
    }
    return result;
}

bool StudentDatabase::setGrade(int enrolmentId, const QString &grade, const QDate &completed, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("UPDATE enrolments SET grade = ?, completed = ? WHERE id = ?"));
    query.addBindValue(text(grade));
    query.addBindValue(isoOrNull(completed));
    query.addBindValue(enrolmentId);
    if (!run(query, error))
        return false;
    if (query.numRowsAffected() != 1) {
        *error = QStringLiteral("the course enrolment no longer exists");
        return false;
    }
    return true;
}

StudentDatabase::Summary StudentDatabase::summary() const
{
    QSqlQuery query(QSqlDatabase::database(m_connection));
    query.prepare(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(active), 0), COALESCE(SUM(fees_cents), 0)"
                                 " FROM students"));
    Summary summary;
    if (run(query, nullptr) && query.next()) {
        summary.students = query.value(0).toInt();
        summary.active = query.value(1).toInt();
        summary.feesCents = query.value(2).toLongLong();
    }
    return summary;
}

bool StudentDatabase::resetSampleData(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    for (const char *table : { "permit_categories", "permitted_persons", "pictures", "enrolments", "students",
                               "courses", "programmes" }) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
        if (!run(query, error)) {
            db.rollback();
            return false;
        }
    }
    if (!SampleData::populate(db, error) || !db.commit()) {
        if (error->isEmpty())
            *error = db.lastError().text();
        db.rollback();
        return false;
    }
    qInfo().noquote() << QStringLiteral("student database: sample data restored in %1").arg(m_path);
    return true;
}

bool StudentDatabase::isGrade(const QString &grade)
{
    return gradePoints(grade).has_value();
}

std::optional<double> StudentDatabase::gradePoints(const QString &grade)
{
    for (const GradePoint &entry : GradePoints) {
        if (grade == QLatin1String(entry.grade))
            return entry.points;
    }
    return std::nullopt;
}
