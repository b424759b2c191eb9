#include "sampledata.h"

#include "idpicture.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

namespace {

struct ProgrammeRow
{
    const char *code;
    const char *title;
};
constexpr ProgrammeRow Programmes[] = {
    { "ARTS", "Fine Arts" },  { "BUS", "Business Studies" }, { "COMP", "Computing" },
    { "ENG", "Engineering" }, { "HLTH", "Health Sciences" }, { "NURS", "Nursing" },
};

struct CourseRow
{
    const char *code;
    const char *title;
    int credits;
    const char *programme; // empty: every programme takes it
};
constexpr CourseRow Courses[] = {
    { "ARTS101", "Drawing Studio", 3, "ARTS" }, { "ARTS140", "Art History", 3, "ARTS" },
    { "ARTS220", "Photography", 3, "ARTS" },    { "BUS101", "Introduction to Business", 3, "BUS" },
    { "BUS210", "Accounting I", 4, "BUS" },     { "BUS220", "Marketing", 3, "BUS" },
    { "COMP101", "Programming I", 4, "COMP" },  { "COMP102", "Programming II", 4, "COMP" },
    { "COMP230", "Databases", 3, "COMP" },      { "ENG101", "Engineering Drawing", 3, "ENG" },
    { "ENG150", "Statics", 4, "ENG" },          { "ENG220", "Materials", 3, "ENG" },
    { "HLTH101", "Human Biology", 4, "HLTH" },  { "HLTH120", "Nutrition", 3, "HLTH" },
    { "HLTH210", "Public Health", 3, "HLTH" },  { "NURS101", "Foundations of Nursing", 4, "NURS" },
    { "NURS130", "Pharmacology", 3, "NURS" },   { "NURS220", "Clinical Practice", 4, "NURS" },
    { "COMM110", "Public Speaking", 2, "" },    { "MATH101", "College Algebra", 3, "" },
    { "MATH150", "Statistics", 3, "" },         { "WRIT101", "Academic Writing", 3, "" },
};

// Latin-1 names on purpose: the client shows them as they are.
const char *const FirstNames[] = {
    "Amelia", "Noah",  "Olivia", "Liam",   "Zoë",   "José",  "Renée", "Björn",  "Chloé",  "Ethan",
    "Grace",  "Henry", "Isla",   "Jack",   "Karen", "Lucas", "Maya",  "Nathan", "Priya",  "Quentin",
    "Rosa",   "Samir", "Tara",   "Victor", "Wendy", "Yusuf", "Anaïs", "Søren",  "Fatima", "Diego",
};
const char *const LastNames[] = {
    "Adams",   "Baker",  "Carter",   "Dubois", "Evans",     "Fischer",  "García",  "Hughes",
    "Ivanova", "Jensen", "Kowalski", "Larsen", "Müller",    "Nakamura", "O'Neill", "Patel",
    "Quinn",   "Rossi",  "Schmidt",  "Turner", "Urquhart",  "Vargas",   "Walsh",   "Young",
    "Zimmer",  "Okafor", "Novak",    "Moreau", "Lindqvist", "Kelly",
};

constexpr const char *Grades[] = { "A", "A-", "B+", "B", "B+", "B", "B-", "C+", "C", "C", "C-", "D", "F" };
constexpr const char *Notes[] = { "",
                                  "",
                                  "",
                                  "Scholarship holder",
                                  "Part-time",
                                  "Transfer student",
                                  "Needs accessible rooms",
                                  "Student council" };

// Permitted persons: a relation (none for some), and the categories they may be given.
const char *const Relations[] = { "Mother", "Father", "Guardian", "Spouse", "Grandparent", nullptr };
const char *const GuardianFirstNames[]
    = { "Helen", "Marco", "Aiko", "Peter", "Inès", "Ruth", "Kwame", "Olga" };
// An ampersand on purpose: the client must show it as written, not as markup.
const char *const Sponsors[] = { "Baker & Sons Ltd.", "Harbour & Vale Foundation", "Northfield Rotary Club" };

struct CategoryRow
{
    const char *name;
    const char *permissions; // a line each
};
constexpr CategoryRow Categories[] = {
    { "Academic records", "View grades\nView timetable\nDiscuss progress with tutors" },
    { "Finance", "View fees due\nPay fees" },
    { "Emergency contact", "Be called in an emergency" },
    { "Collection", "Collect certificates" },
};
constexpr int SponsorFinance = 1;

// Terms are counted as year * 2 + (0 for the spring term, ending in May; 1 for the autumn term,
// starting in August and ending in December).
int termOf(const QDate &date)
{
    return date.year() * 2 + (date.month() <= 6 ? 0 : 1);
}

QDate termEnd(int term)
{
    return term % 2 == 0 ? QDate(term / 2, 5, 10) : QDate(term / 2, 12, 15);
}

QString termName(int term)
{
    return QStringLiteral("%1-%2").arg(term / 2).arg(term % 2 + 1);
}

bool exec(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    *error = QStringLiteral("sample data: %1").arg(query.lastError().text());
    return false;
}

} // namespace

bool SampleData::populate(QSqlDatabase &db, QString *error)
{
    QRandomGenerator random(Seed);
    QSqlQuery query(db);

    query.prepare(QStringLiteral("INSERT INTO programmes (code, title) VALUES (?, ?)"));
    for (const ProgrammeRow &programme : Programmes) {
        query.addBindValue(QLatin1String(programme.code));
        query.addBindValue(QLatin1String(programme.title));
        if (!exec(query, error))
            return false;
    }
    query.prepare(
        QStringLiteral("INSERT INTO courses (code, title, credits, programme) VALUES (?, ?, ?, ?)"));
    for (const CourseRow &course : Courses) {
        query.addBindValue(QLatin1String(course.code));
        query.addBindValue(QLatin1String(course.title));
        query.addBindValue(course.credits);
        query.addBindValue(QLatin1String(course.programme));
        if (!exec(query, error))
            return false;
    }

    const QDate today = QDate::currentDate();
    QSqlQuery student(db);
    student.prepare(QStringLiteral("INSERT INTO students (student_no, last_name, first_name, birth_date,"
                                   " enrolled, programme, credits, fees_cents, active, notes)"
                                   " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QSqlQuery enrolment(db);
    enrolment.prepare(QStringLiteral(
        "INSERT INTO enrolments (student_no, course_code, term, grade, completed) VALUES (?, ?, ?, ?, ?)"));
    constexpr int firstCount = int(std::size(FirstNames));
    constexpr int lastCount = int(std::size(LastNames));
    for (int i = 0; i < StudentCount; ++i) {
        const int number = FirstStudentNumber + i;
        const ProgrammeRow &programme = Programmes[random.bounded(int(std::size(Programmes)))];
        // No full name repeats: the pairs step through the two lists at different strides.
        const QString first = QString::fromUtf8(FirstNames[(i * 7) % firstCount]);
        const QString last = QString::fromUtf8(LastNames[(i * 11 + i / lastCount) % lastCount]);
        const bool active = random.bounded(8) != 0;

        // Own programme's courses and two general ones, two a term; an active student's last term
        // is this one, a former student left a year or more ago.
        QVector<const CourseRow *> taken;
        for (const CourseRow &course : Courses) {
            if (QLatin1String(course.programme) == QLatin1String(programme.code))
                taken.append(&course);
        }
        taken.append(&Courses[std::size(Courses) - 1 - random.bounded(4)]);
        taken.append(&Courses[std::size(Courses) - 1 - random.bounded(4)]);
        if (taken.at(taken.size() - 1) == taken.at(taken.size() - 2))
            taken.removeLast();
        const int lastTerm = termOf(today) - (active ? 0 : 2 + random.bounded(3));
        const int firstTerm = lastTerm - (int(taken.size()) + 1) / 2 + 1;
        const QDate enrolled = firstTerm % 2 == 0 ? QDate(firstTerm / 2, 1, 8 + random.bounded(7))
                                                  : QDate(firstTerm / 2, 8, 20 + random.bounded(10));
        const QDate birth
            = QDate(enrolled.year() - 18 - random.bounded(8), 1, 1).addDays(random.bounded(365));
        int credits = 0;
        for (int c = 0; c < taken.size(); ++c) {
            const CourseRow *course = taken.at(c);
            const int term = firstTerm + c / 2;
            const QDate end = termEnd(term);
            const bool running = end > today || (active && term == lastTerm);
            const QString grade = running ? QStringLiteral("")
                                          : QLatin1String(Grades[random.bounded(int(std::size(Grades)))]);
            if (!running && grade != QLatin1String("F"))
                credits += course->credits;
            enrolment.addBindValue(number);
            enrolment.addBindValue(QLatin1String(course->code));
            enrolment.addBindValue(termName(term));
            enrolment.addBindValue(grade);
            enrolment.addBindValue(running ? QVariant(QString()) : QVariant(end.toString(Qt::ISODate)));
            if (!exec(enrolment, error))
                return false;
        }

        student.addBindValue(number);
        student.addBindValue(last);
        student.addBindValue(first);
        student.addBindValue(birth.toString(Qt::ISODate));
        student.addBindValue(enrolled.toString(Qt::ISODate));
        student.addBindValue(QLatin1String(programme.code));
        student.addBindValue(credits);
        student.addBindValue(active ? qint64(random.bounded(80)) * 5000 : 0);
        student.addBindValue(active ? 1 : 0);
        student.addBindValue(QLatin1String(Notes[random.bounded(int(std::size(Notes)))]));
        if (!exec(student, error))
            return false;
    }
    return addIdentities(db, error);
}

QByteArray SampleData::picture(int studentNumber)
{
    return IdPicture::portrait(Seed ^ quint32(studentNumber) * 2654435761u);
}

bool SampleData::addIdentities(QSqlDatabase &db, QString *error)
{
    QSqlQuery students(db);
    students.prepare(QStringLiteral("SELECT student_no, last_name FROM students ORDER BY student_no"));
    if (!exec(students, error))
        return false;
    QSqlQuery picture(db);
    picture.prepare(QStringLiteral("INSERT OR REPLACE INTO pictures (student_no, png) VALUES (?, ?)"));
    QSqlQuery person(db);
    person.prepare(
        QStringLiteral("INSERT INTO permitted_persons (student_no, name, relation) VALUES (?, ?, ?)"));
    QSqlQuery category(db);
    category.prepare(
        QStringLiteral("INSERT INTO permit_categories (person_id, name, permissions) VALUES (?, ?, ?)"));
    const auto addCategory = [&](const QVariant &personId, const CategoryRow &row) {
        category.addBindValue(personId);
        category.addBindValue(QLatin1String(row.name));
        category.addBindValue(QLatin1String(row.permissions));
        return exec(category, error);
    };

    while (students.next()) {
        const int number = students.value(0).toInt();
        const QString lastName = students.value(1).toString();
        picture.addBindValue(number);
        picture.addBindValue(SampleData::picture(number));
        if (!exec(picture, error))
            return false;

        QRandomGenerator random(Seed + quint32(number));
        // Some have nobody; a few a sponsor who sees the fees.
        const int relatives = random.bounded(4);
        // Consecutive names of the list: no one appears twice for the same student.
        const int firstName = random.bounded(int(std::size(GuardianFirstNames)));
        for (int i = 0; i < relatives; ++i) {
            const char *relation = Relations[random.bounded(int(std::size(Relations)))];
            person.addBindValue(number);
            person.addBindValue(QStringLiteral("%1 %2").arg(
                QString::fromUtf8(GuardianFirstNames[(firstName + i) % int(std::size(GuardianFirstNames))]),
                lastName));
            person.addBindValue(relation ? QVariant(QLatin1String(relation)) : QVariant(QVariant::String));
            if (!exec(person, error))
                return false;
            const QVariant personId = person.lastInsertId();
            // Zero to two categories, in the table's order.
            const int first = random.bounded(int(std::size(Categories)));
            const int count = random.bounded(3);
            for (int c = 0; c < count && first + c < int(std::size(Categories)); ++c) {
                if (!addCategory(personId, Categories[first + c]))
                    return false;
            }
        }
        if (random.bounded(6) == 0) {
            person.addBindValue(number);
            person.addBindValue(QLatin1String(Sponsors[random.bounded(int(std::size(Sponsors)))]));
            person.addBindValue(QLatin1String("Sponsor"));
            if (!exec(person, error) || !addCategory(person.lastInsertId(), Categories[SponsorFinance]))
                return false;
        }
    }
    return true;
}
