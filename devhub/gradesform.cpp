#include "gradesform.h"

#include "classicscreens.h"
#include "fieldformat.h"

#include <QDebug>

namespace {

constexpr char StudentNo[] = "student_no";
constexpr char StudentName[] = "student_name";
constexpr char ProgrammeField[] = "programme";
constexpr char ProgrammeTitle[] = "programme_title";
constexpr char CourseCode[] = "course_code";
constexpr char CourseTitle[] = "course_title";
constexpr char Term[] = "term";
constexpr char CourseCredits[] = "course_credits";
constexpr char Grade[] = "grade";
constexpr char Completed[] = "completed";
constexpr char Passed[] = "passed";
constexpr char TotalCredits[] = "total_credits";
constexpr char Average[] = "gpa";

constexpr int YesKey = 'Y';
constexpr int NoKey = 'N';
constexpr char GradeList[] = "A, A-, B+, B, B-, C+, C, C-, D+, D or F";

const QStringList EditFields { Grade, Completed };

} // namespace

const QVector<ClassicField> &GradesForm::fieldList()
{
    static const QVector<ClassicField> fields {
        { StudentNo, Number, 6, RightAlign },
        { StudentName, Char, 41, LabelField },
        { ProgrammeField, Char, 6, 0 },
        { ProgrammeTitle, Char, 30, LabelField },
        { CourseCode, Char, 8, Upshift },
        { CourseTitle, Char, 30, LabelField },
        { Term, Char, 6, 0 },
        { CourseCredits, Number, 2, RightAlign },
        { Grade, Char, 2, Upshift },
        { Completed, Date, 10, 0 },
        { Passed, Logical, 1, 0 },
        { TotalCredits, Number, 4, RightAlign },
        { Average, Number, 4, RightAlign },
    };
    return fields;
}

GradesForm::GradesForm(UiWriter *ui, StudentDatabase *db, QObject *parent)
    : ClassicForm(ui, db, ScreenId, QLatin1String(ClassicScreens::Grades), fieldList(), parent)
{ }

bool GradesForm::enter(int studentNumber)
{
    const std::optional<Student> student = db().student(studentNumber);
    if (!student)
        return false;
    m_student = *student;
    m_courses = db().enrolments(studentNumber);
    m_position = m_courses.isEmpty() ? -1 : 0;
    loadScreen();
    ui().navBar(QStringLiteral("Courses"), 1, 'C');
    put(QLatin1String(StudentNo), QString::number(m_student.number));
    put(QLatin1String(StudentName), m_student.fullName());
    put(QLatin1String(ProgrammeField), m_student.programme);
    put(QLatin1String(ProgrammeTitle), db().programmeTitle(m_student.programme));
    setMode(Mode::Browse);
    return true;
}

void GradesForm::setMode(Mode mode)
{
    m_mode = mode;
    switch (mode) {
    case Mode::Browse: {
        setEditable({});
        showCourse();
        ClassicMenu menu(QStringLiteral("Grades"));
        menu.add(CoursesAction, QStringLiteral("Courses"), 'C', QStringLiteral("Pick a course from the list"))
            .add(NextAction, QStringLiteral("Next"), 'N',
                 QStringLiteral("Next course; %1also works").arg(marker(Pb::ZUGUI_PGDOWN)))
            .alias(Pb::ZUGUI_PGDOWN)
            .add(PreviousAction, QStringLiteral("Previous"), 'P',
                 QStringLiteral("Previous course; %1also works").arg(marker(Pb::ZUGUI_PGUP)))
            .alias(Pb::ZUGUI_PGUP)
            .add(EditAction, QStringLiteral("Record grade"), 'R',
                 QStringLiteral("Record or correct the grade of this course"))
            .add(TranscriptAction, QStringLiteral("Transcript"), 'T',
                 QStringLiteral("Credits and grade average"))
            .add(BackAction, QStringLiteral("Back"), 'B',
                 QStringLiteral("Back to the student; %1also goes back").arg(marker(Pb::ZUGUI_ABORT)))
            .alias(Pb::ZUGUI_ABORT);
        showMenu(menu, MenuMode);
        showStatusLine();
        break;
    }
    case Mode::Edit: {
        setEditable(EditFields);
        ClassicMenu menu(QStringLiteral("Record grade"));
        menu.add(SaveAction, QStringLiteral("Save"), Pb::ZUGUI_DONE,
                 QStringLiteral("Check the grade and save it"))
            .add(CancelAction, QStringLiteral("Cancel"), Pb::ZUGUI_ABORT,
                 QStringLiteral("Leave without saving"));
        showMenu(menu, FieldMode);
        ui().navBarStatus(false);
        showStatus(QStringLiteral("Grade %1, empty while the course runs. %2saves, %3cancels.")
                       .arg(QLatin1String(GradeList), marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
        focus(QLatin1String(Grade));
        break;
    }
    }
}

void GradesForm::put(const QString &field, const QString &data)
{
    putField(field, data, field == QLatin1String(Grade) && data == QLatin1String("F") ? Highlight : 0);
}

GradesForm::Totals GradesForm::totals() const
{
    Totals totals;
    double points = 0;
    int gradedCredits = 0;
    for (const Enrolment &course : m_courses) {
        ++totals.courses;
        const std::optional<double> value = StudentDatabase::gradePoints(course.grade);
        if (!value)
            continue;
        ++totals.graded;
        points += *value * course.credits;
        gradedCredits += course.credits;
        if (StudentDatabase::isPass(course.grade))
            totals.credits += course.credits;
        else
            ++totals.failed;
    }
    if (gradedCredits > 0)
        totals.average = QString::number(points / gradedCredits, 'f', 2);
    return totals;
}

void GradesForm::showCourse()
{
    const Totals sums = totals();
    put(QLatin1String(TotalCredits), QString::number(sums.credits));
    put(QLatin1String(Average), sums.average);
    if (m_position < 0 || m_position >= m_courses.size()) {
        for (const char *field : { CourseCode, CourseTitle, Term, CourseCredits, Grade, Completed, Passed })
            put(QLatin1String(field), QString());
        ui().rowCount(0, 0);
        ui().navBarStatus(false);
        return;
    }
    const Enrolment &course = m_courses.at(m_position);
    put(QLatin1String(CourseCode), course.courseCode);
    put(QLatin1String(CourseTitle), course.courseTitle);
    put(QLatin1String(Term), course.term);
    put(QLatin1String(CourseCredits), QString::number(course.credits));
    put(QLatin1String(Grade), course.grade);
    put(QLatin1String(Completed), FieldFormat::date(course.completed));
    put(QLatin1String(Passed),
        course.grade.isEmpty() ? QString() : FieldFormat::logical(StudentDatabase::isPass(course.grade)));
    ui().rowCount(m_position + 1, m_courses.size());
    ui().navBarStatus(true);
}

void GradesForm::showStatusLine()
{
    if (m_courses.isEmpty())
        return showStatus(QStringLiteral("%1 has taken no courses yet.").arg(m_student.fullName()));
    showStatus(QStringLiteral("Course %1 of %2. C lists the courses, R records a grade.")
                   .arg(m_position + 1)
                   .arg(m_courses.size()));
}

void GradesForm::key(int code, bool menuCommand)
{
    int action = menu().actionFor(menuCommand, code);
    if (action == ClassicMenu::NoAction && !menuCommand && m_mode == Mode::Edit) {
        if (code == Pb::ZUGUI_ENTER || code == Pb::ZUGUI_DOWN)
            return moveFocus(1);
        if (code == Pb::ZUGUI_UP)
            return moveFocus(-1);
    }
    if (action == ClassicMenu::NoAction) {
        qDebug().noquote() << QStringLiteral("%1: key %2 means nothing here").arg(label()).arg(code);
        return;
    }
    runAction(action);
}

void GradesForm::runAction(int action)
{
    switch (action) {
    case CoursesAction:
        return showCourseList();
    case NextAction:
        return step(1);
    case PreviousAction:
        return step(-1);
    case EditAction:
        if (m_position < 0)
            return showError(QStringLiteral("There is no course to record a grade for."));
        showError(QString());
        return setMode(Mode::Edit);
    case TranscriptAction: {
        const Totals sums = totals();
        return openPause(Transcript,
                         QStringLiteral("%1 (%2)\nCourses: %3, %4 graded, %5 failed\nCredits earned: %6\n"
                                        "Grade average: %7\n\nPress any key to continue.")
                             .arg(m_student.fullName())
                             .arg(m_student.number)
                             .arg(sums.courses)
                             .arg(sums.graded)
                             .arg(sums.failed)
                             .arg(sums.credits)
                             .arg(sums.average.isEmpty() ? QStringLiteral("none yet") : sums.average));
    }
    case BackAction:
        emit backRequested();
        return;
    case SaveAction:
        return save();
    case CancelAction:
        showError(QString());
        return setMode(Mode::Browse);
    }
}

void GradesForm::step(int delta)
{
    const int target = m_position + delta;
    if (m_courses.isEmpty() || target < 0 || target >= m_courses.size()) {
        return showError(delta > 0 ? QStringLiteral("This is the last course.")
                                   : QStringLiteral("This is the first course."));
    }
    showError(QString());
    m_position = target;
    showCourse();
    showStatusLine();
}

void GradesForm::save()
{
    const QString grade = value(QLatin1String(Grade)).trimmed().toUpper();
    if (!grade.isEmpty() && !StudentDatabase::isGrade(grade)) {
        showError(
            QStringLiteral("Grade is %1, or empty while the course runs.").arg(QLatin1String(GradeList)));
        return focus(QLatin1String(Grade));
    }
    QDate completed;
    if (!FieldFormat::parseDate(value(QLatin1String(Completed)), &completed)) {
        showError(QStringLiteral("Completed is a date like 12/15/2023."));
        return focus(QLatin1String(Completed));
    }
    if (grade.isEmpty() && completed.isValid()) {
        showError(QStringLiteral("A course without a grade has no completion date; clear Completed."));
        return focus(QLatin1String(Completed));
    }
    if (!grade.isEmpty() && !completed.isValid()) {
        showError(QStringLiteral("Completed is required with a grade."));
        return focus(QLatin1String(Completed));
    }
    if (completed.isValid() && completed > QDate::currentDate()) {
        showError(QStringLiteral("Completed cannot lie in the future."));
        return focus(QLatin1String(Completed));
    }
    showError(QString());
    m_newGrade = grade;
    m_newCompleted = completed;
    const Enrolment &course = m_courses.at(m_position);
    const QString prompt = grade.isEmpty()
        ? QStringLiteral("Mark %1 %2 (%3) as still running?")
              .arg(course.courseCode, course.courseTitle, course.term)
        : QStringLiteral("Record grade %1 for %2 %3 (%4)?")
              .arg(grade, course.courseCode, course.courseTitle, course.term);
    openDialog(ConfirmGrade, UiWriter::ButtonDialog, QStringLiteral("Record grade"), prompt, false,
               { { QStringLiteral("Yes"), YesKey }, { QStringLiteral("No"), NoKey } }, 0);
}

void GradesForm::dialogAnswered(int purpose, int key)
{
    if (purpose != ConfirmGrade)
        return;
    if (key != YesKey) {
        showStatus(QStringLiteral("Not saved. %1saves, %2cancels.")
                       .arg(marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
        return focus(currentOr(Grade));
    }
    QString error;
    const int id = m_courses.at(m_position).id;
    if (!db().setGrade(id, m_newGrade, m_newCompleted, &error)) {
        showError(QStringLiteral("Not saved: %1").arg(error));
        return focus(currentOr(Grade));
    }
    qInfo().noquote()
        << QStringLiteral("%1: grade of enrolment %2 set to \"%3\"").arg(label()).arg(id).arg(m_newGrade);
    m_courses = db().enrolments(m_student.number);
    for (int i = 0; i < m_courses.size(); ++i) {
        if (m_courses.at(i).id == id)
            m_position = i;
    }
    setMode(Mode::Browse);
    showStatus(QStringLiteral("Grade saved."));
}

void GradesForm::showCourseList()
{
    if (m_courses.isEmpty())
        return showError(QStringLiteral("%1 has taken no courses yet.").arg(m_student.fullName()));
    const QVector<UiWriter::GridColumn> columns {
        { QStringLiteral("Course"), Pb::CHARACTER },     { QStringLiteral("Title"), Pb::CHARACTER },
        { QStringLiteral("Term"), Pb::CHARACTER },       { QStringLiteral("Credits"), Pb::INTEGER },
        { QStringLiteral("Grade"), Pb::CHARACTER },      { QStringLiteral("Completed"), Pb::DATE },
        { QStringLiteral("Record"), Pb::INTEGER, true },
    };
    QVector<UiWriter::GridRow> rows;
    for (int i = 0; i < m_courses.size(); ++i) {
        const Enrolment &c = m_courses.at(i);
        rows.append({ i,
                      { c.courseCode, c.courseTitle, c.term, QString::number(c.credits), c.grade,
                        FieldFormat::date(c.completed), QString::number(c.id) } });
    }
    openGridLookup(CourseList, QStringLiteral("Courses of %1").arg(m_student.fullName()), columns, rows);
}

void GradesForm::gridLookupAnswered(int purpose, std::optional<int> row)
{
    if (purpose != CourseList || !row || m_mode != Mode::Browse)
        return;
    showError(QString());
    m_position = *row;
    showCourse();
    showStatusLine();
}

void GradesForm::pauseEnded(int)
{
    showStatusLine();
}
