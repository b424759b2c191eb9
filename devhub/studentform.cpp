#include "studentform.h"

#include "classicscreens.h"
#include "fieldformat.h"

#include <QDebug>

#include <algorithm>

namespace {

constexpr char StudentNo[] = "student_no";
constexpr char LastName[] = "last_name";
constexpr char FirstName[] = "first_name";
constexpr char BirthDate[] = "birth_date";
constexpr char Enrolled[] = "enrolled";
constexpr char ProgrammeField[] = "programme";
constexpr char ProgrammeTitle[] = "programme_title";
constexpr char Credits[] = "credits";
constexpr char Fees[] = "fees";
constexpr char Active[] = "active";
constexpr char Notes[] = "notes";

constexpr int NameLength = 20;
constexpr int NotesLength = 40;
constexpr int MaxCredits = 999;
constexpr int MaxStudentNumber = 999999;
constexpr int YesKey = 'Y';
constexpr int NoKey = 'N';

const QStringList QueryFields { StudentNo, LastName, ProgrammeField, Active };
// The notes are a text block with an editor of its own, not typed into.
const QStringList EditFields {
    LastName, FirstName, BirthDate, Enrolled, ProgrammeField, Credits, Fees, Active
};
const QStringList RequiredFields { LastName, FirstName, BirthDate, Enrolled, ProgrammeField, Active };

struct SortChoice
{
    StudentDatabase::SortOrder order;
    const char *text;
    int key;
};
constexpr SortChoice SortChoices[] = {
    { StudentDatabase::SortOrder::Number, "Student number", 'N' },
    { StudentDatabase::SortOrder::LastName, "Last name", 'L' },
    { StudentDatabase::SortOrder::Enrolled, "Enrolment date", 'E' },
};

bool sortsBefore(StudentDatabase::SortOrder order, const Student &a, const Student &b)
{
    switch (order) {
    case StudentDatabase::SortOrder::LastName: {
        const int byName = QString::compare(a.lastName + QLatin1Char(' ') + a.firstName,
                                            b.lastName + QLatin1Char(' ') + b.firstName, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.number < b.number;
    }
    case StudentDatabase::SortOrder::Enrolled:
        return a.enrolled != b.enrolled ? a.enrolled < b.enrolled : a.number < b.number;
    case StudentDatabase::SortOrder::Number:
        break;
    }
    return a.number < b.number;
}

// What the one-line field shows of the notes: the first line, and that there is more.
QString notesSummary(const QString &notes)
{
    const QString trimmed = notes.trimmed();
    const int lineEnd = trimmed.indexOf(QLatin1Char('\n'));
    return lineEnd < 0 ? trimmed : trimmed.left(lineEnd).trimmed() + QStringLiteral(" ...");
}

} // namespace

const QVector<ClassicField> &StudentForm::fieldList()
{
    static const QVector<ClassicField> fields {
        { StudentNo, Number, 6, RightAlign | IdField },
        { Active, Logical, 1, Upshift },
        { LastName, Char, NameLength, 0 },
        { FirstName, Char, NameLength, 0 },
        { BirthDate, Date, 10, 0 },
        { Enrolled, Date, 10, 0 },
        { ProgrammeField, Char, 6, Upshift | Dropdown },
        { ProgrammeTitle, Char, 30, LabelField },
        { Credits, Number, 4, RightAlign },
        { Fees, Money, 10, RightAlign },
        { Notes, Blob, NotesLength, 0 },
    };
    return fields;
}

StudentForm::StudentForm(UiWriter *ui, StudentDatabase *db, QObject *parent)
    : ClassicForm(ui, db, ScreenId, QLatin1String(ClassicScreens::Student), fieldList(), parent)
{ }

int StudentForm::currentStudent() const
{
    return m_position >= 0 && m_position < m_results.size() ? m_results.at(m_position).number : 0;
}

void StudentForm::start()
{
    loadScreen();
    ui().navBar(QStringLiteral("Students"), 1, ResultSetKey);
    setMode(Mode::Query);
}

void StudentForm::reenter()
{
    loadScreen();
    ui().navBar(QStringLiteral("Students"), 1, ResultSetKey);
    // Someone may have changed the student meanwhile.
    if (const int number = currentStudent()) {
        if (const std::optional<Student> fresh = db().student(number))
            m_results[m_position] = *fresh;
    }
    setMode(Mode::Browse);
}

void StudentForm::setMode(Mode mode)
{
    m_mode = mode;
    switch (mode) {
    case Mode::Query:
        for (const ClassicField &field : fieldList())
            put(QLatin1String(field.name), QString());
        setEditable(QueryFields);
        showMenu(queryMenu(), FieldMode);
        ui().navBarStatus(false);
        showStatus(
            QStringLiteral("Enter a number, part of a name, a programme or Y/N for active, then press %1"
                           "to search.")
                .arg(marker(Pb::ZUGUI_DONE)));
        focus(QLatin1String(StudentNo));
        break;
    case Mode::Browse:
        setEditable({});
        showCurrent();
        showMenu(browseMenu(), MenuMode);
        break;
    case Mode::Add: {
        Student fresh;
        fresh.enrolled = QDate::currentDate();
        m_notesDraft.clear();
        showStudent(fresh, true);
        setEditable(EditFields);
        rememberShown();
        showMenu(editMenu(QStringLiteral("Add")), FieldMode);
        ui().navBarStatus(false);
        showStatus(QStringLiteral("New student: fill in the fields, %1saves, %2cancels.")
                       .arg(marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
        focus(QLatin1String(LastName));
        break;
    }
    case Mode::Update:
        setEditable(EditFields);
        showCurrent();
        rememberShown();
        m_notesDraft = m_results.at(m_position).notes;
        showMenu(editMenu(QStringLiteral("Update")), FieldMode);
        ui().navBarStatus(false);
        showStatus(QStringLiteral("Change the fields, %1saves, %2cancels.")
                       .arg(marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
        focus(QLatin1String(LastName));
        break;
    }
}

ClassicMenu StudentForm::browseMenu() const
{
    ClassicMenu menu(QStringLiteral("Students"));
    menu.add(QueryAction, QStringLiteral("Query"), 'Q',
             QStringLiteral("Find students by number, name, programme or status"))
        .add(NextAction, QStringLiteral("Next"), 'N',
             QStringLiteral("Next student found; %1also works").arg(marker(Pb::ZUGUI_PGDOWN)))
        .alias(Pb::ZUGUI_PGDOWN)
        .add(PreviousAction, QStringLiteral("Previous"), 'P',
             QStringLiteral("Previous student found; %1also works").arg(marker(Pb::ZUGUI_PGUP)))
        .alias(Pb::ZUGUI_PGUP)
        .add(AddAction, QStringLiteral("Add"), 'A', QStringLiteral("Enter a new student"))
        .add(UpdateAction, QStringLiteral("Update"), 'U', QStringLiteral("Change this student's record"))
        .add(GradesAction, QStringLiteral("Grades"), 'G',
             QStringLiteral("Courses and grades of this student"))
        .add(ClassicMenu::NoAction, QStringLiteral("Options"), 'O',
             QStringLiteral("Result list, sort order, fee summary, sample data, identity card, notes"))
        .addChild(ResultListAction, QStringLiteral("Result list"), 'L')
        .addChild(SortAction, QStringLiteral("Sort order"), 'S')
        .addChild(FeeSummaryAction, QStringLiteral("Fee summary"), 'F')
        .addChild(ResetAction, QStringLiteral("Reset sample data"), 'R')
        .addChild(IdCardAction, QStringLiteral("Identity card"), 'I')
        .addChild(NotesAction, QStringLiteral("Notes"), 'T')
        .add(ExitAction, QStringLiteral("Exit"), 'E',
             QStringLiteral("Leave Student Records; %1also leaves").arg(marker(Pb::ZUGUI_ABORT)))
        .alias(Pb::ZUGUI_ABORT);
    return menu;
}

ClassicMenu StudentForm::queryMenu() const
{
    ClassicMenu menu(QStringLiteral("Query"));
    menu.add(SearchAction, QStringLiteral("Search"), Pb::ZUGUI_DONE,
             QStringLiteral("Find the students that match"))
        .add(ProgrammesAction, QStringLiteral("Programmes"), Pb::ZUGUI_TABLE,
             QStringLiteral("Choose a programme from the list"))
        .add(CancelAction, QStringLiteral("Cancel"), Pb::ZUGUI_ABORT,
             QStringLiteral("Back to the students found before"));
    return menu;
}

ClassicMenu StudentForm::editMenu(const QString &info) const
{
    ClassicMenu menu(info);
    menu.add(SaveAction, QStringLiteral("Save"), Pb::ZUGUI_DONE, QStringLiteral("Check the fields and save"))
        .add(ProgrammesAction, QStringLiteral("Programmes"), Pb::ZUGUI_TABLE,
             QStringLiteral("Choose a programme from the list"))
        .add(CancelAction, QStringLiteral("Cancel"), Pb::ZUGUI_ABORT, QStringLiteral("Leave without saving"));
    return menu;
}

void StudentForm::rememberShown()
{
    m_shown.clear();
    for (const QString &field : EditFields)
        m_shown.insert(field, value(field));
}

void StudentForm::put(const QString &field, const QString &data)
{
    int extra = 0;
    const bool editing = m_mode == Mode::Add || m_mode == Mode::Update;
    if (editing && RequiredFields.contains(field))
        extra |= Required;
    if (m_mode == Mode::Browse && field == QLatin1String(Active) && data == FieldFormat::logical(false))
        extra |= Highlight;
    putField(field, data, extra);
}

void StudentForm::showStudent(const Student &student, bool isNew)
{
    put(QLatin1String(StudentNo), isNew ? QString() : QString::number(student.number));
    put(QLatin1String(LastName), student.lastName);
    put(QLatin1String(FirstName), student.firstName);
    put(QLatin1String(BirthDate), FieldFormat::date(student.birthDate));
    put(QLatin1String(Enrolled), FieldFormat::date(student.enrolled));
    put(QLatin1String(ProgrammeField), student.programme);
    put(QLatin1String(ProgrammeTitle), db().programmeTitle(student.programme));
    put(QLatin1String(Credits), QString::number(student.credits));
    put(QLatin1String(Fees), FieldFormat::money(student.feesCents));
    put(QLatin1String(Active), FieldFormat::logical(student.active));
    put(QLatin1String(Notes), notesSummary(student.notes));
}

void StudentForm::showCurrent()
{
    if (m_position < 0 || m_position >= m_results.size()) {
        for (const ClassicField &field : fieldList())
            put(QLatin1String(field.name), QString());
        ui().rowCount(0, 0);
        ui().navBarStatus(false);
        showStatus(QStringLiteral("No students. Press A to add one."));
        return;
    }
    showStudent(m_results.at(m_position), false);
    ui().rowCount(m_position + 1, m_results.size());
    ui().navBarStatus(true);
    if (m_mode == Mode::Browse)
        showStatus(QStringLiteral("Student %1 of %2 found.").arg(m_position + 1).arg(m_results.size()));
}

void StudentForm::key(int code, bool menuCommand)
{
    int action = menu().actionFor(menuCommand, code);
    if (action == ClassicMenu::NoAction && !menuCommand) {
        const bool editing = m_mode != Mode::Browse;
        // Return and Tab walk the fields in every mode, the query's too: the done key searches.
        if (m_mode == Mode::Browse && code == ResultSetKey)
            action = ResultListAction;
        else if (editing && (code == Pb::ZUGUI_ENTER || code == Pb::ZUGUI_DOWN))
            return moveFocus(1);
        else if (editing && code == Pb::ZUGUI_UP)
            return moveFocus(-1);
    }
    if (action == ClassicMenu::NoAction) {
        qDebug().noquote() << QStringLiteral("%1: key %2 means nothing here").arg(label()).arg(code);
        return;
    }
    runAction(action);
}

void StudentForm::runAction(int action)
{
    switch (action) {
    case QueryAction:
        showError(QString());
        return setMode(Mode::Query);
    case NextAction:
        return step(1);
    case PreviousAction:
        return step(-1);
    case AddAction:
        showError(QString());
        return setMode(Mode::Add);
    case UpdateAction:
        if (currentStudent() == 0)
            return showError(QStringLiteral("There is no student to change."));
        showError(QString());
        return setMode(Mode::Update);
    case GradesAction:
        if (currentStudent() == 0)
            return showError(QStringLiteral("There is no student to show grades for."));
        // Another user may have reset the sample data meanwhile.
        if (!db().student(currentStudent()))
            return showError(QStringLiteral("Student %1 no longer exists.").arg(currentStudent()));
        showError(QString());
        emit gradesRequested(currentStudent());
        return;
    case ResultListAction:
        return showResultList();
    case SortAction:
        return chooseSort();
    case FeeSummaryAction: {
        const StudentDatabase::Summary summary = db().summary();
        return openPause(
            FeeSummary,
            QStringLiteral("%1 students, %2 of them active.\nFees due: %3\n\nPress any key to continue.")
                .arg(summary.students)
                .arg(summary.active)
                .arg(FieldFormat::money(summary.feesCents)));
    }
    case ResetAction:
        return openDialog(ConfirmReset, UiWriter::ButtonDialog, QStringLiteral("Reset sample data"),
                          QStringLiteral("Throw away every change and restore the sample students?"), false,
                          { { QStringLiteral("Yes"), YesKey }, { QStringLiteral("No"), NoKey } }, 1);
    case IdCardAction:
        return showIdCard(currentStudent());
    case NotesAction:
        return editNotes();
    case ExitAction:
        emit exitRequested();
        return;
    case SearchAction:
        return search();
    case SaveAction:
        return save();
    case ProgrammesAction:
        return showProgrammes();
    case CancelAction:
        if (hasUnsavedChanges())
            return openDialog(ConfirmLeave, UiWriter::ButtonDialog, QStringLiteral("Unsaved changes"),
                              QStringLiteral("Leave without saving the changes?"), false,
                              { { QStringLiteral("Yes"), YesKey }, { QStringLiteral("No"), NoKey } }, 1);
        return cancelEdit();
    }
}

bool StudentForm::hasUnsavedChanges() const
{
    if (m_mode != Mode::Add && m_mode != Mode::Update)
        return false;
    for (const QString &field : EditFields) {
        if (value(field) != m_shown.value(field))
            return true;
    }
    const QString notes = m_mode == Mode::Add ? QString() : m_results.at(m_position).notes;
    return m_notesDraft != notes;
}

void StudentForm::step(int delta)
{
    const int target = m_position + delta;
    if (m_results.isEmpty() || target < 0 || target >= m_results.size()) {
        return showError(delta > 0 ? QStringLiteral("This is the last student found.")
                                   : QStringLiteral("This is the first student found."));
    }
    showError(QString());
    m_position = target;
    showCurrent();
}

void StudentForm::search()
{
    StudentQuery query;
    const QString number = value(QLatin1String(StudentNo)).trimmed();
    if (!number.isEmpty() && !FieldFormat::parseNumber(number, 1, MaxStudentNumber, &query.number)) {
        showError(QStringLiteral("Student No is a number, for example 100012."));
        return focus(QLatin1String(StudentNo));
    }
    query.name = value(QLatin1String(LastName)).trimmed();
    query.programme = value(QLatin1String(ProgrammeField)).trimmed().toUpper();
    if (!query.programme.isEmpty() && db().programmeTitle(query.programme).isEmpty()) {
        showError(QStringLiteral("There is no programme \"%1\". %2lists them.")
                      .arg(query.programme, marker(Pb::ZUGUI_TABLE)));
        return focus(QLatin1String(ProgrammeField));
    }
    const QString active = value(QLatin1String(Active)).trimmed();
    if (!active.isEmpty()) {
        bool flag = false;
        if (!FieldFormat::parseLogical(active, &flag)) {
            showError(QStringLiteral("Active is Y or N, or empty for both."));
            return focus(QLatin1String(Active));
        }
        query.active = flag;
    }
    const QVector<Student> found = db().find(query, m_order);
    if (found.isEmpty()) {
        showError(QStringLiteral("No student matches. Change the search and press %1again, or %2to go back.")
                      .arg(marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
        return focus(currentOr(StudentNo));
    }
    qInfo().noquote() << QStringLiteral("%1: query found %2 students").arg(label()).arg(found.size());
    showError(QString());
    m_results = found;
    m_position = 0;
    setMode(Mode::Browse);
}

void StudentForm::browseAll(int studentNumber)
{
    m_results = db().find(StudentQuery(), m_order);
    m_position = m_results.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_results.size(); ++i) {
        if (m_results.at(i).number == studentNumber)
            m_position = i;
    }
    setMode(Mode::Browse);
}

void StudentForm::cancelEdit()
{
    showError(QString());
    if (m_mode == Mode::Query && m_results.isEmpty())
        return browseAll(0);
    setMode(Mode::Browse);
}

bool StudentForm::collect(Student *student, QString *field, QString *error) const
{
    const auto fail = [&](const char *name, const QString &message) {
        *field = QLatin1String(name);
        *error = message;
        return false;
    };
    student->lastName = value(QLatin1String(LastName)).trimmed();
    if (student->lastName.isEmpty())
        return fail(LastName, QStringLiteral("Last Name is required."));
    if (student->lastName.size() > NameLength)
        return fail(LastName, QStringLiteral("Last Name has at most %1 characters.").arg(NameLength));
    student->firstName = value(QLatin1String(FirstName)).trimmed();
    if (student->firstName.isEmpty())
        return fail(FirstName, QStringLiteral("First Name is required."));
    if (student->firstName.size() > NameLength)
        return fail(FirstName, QStringLiteral("First Name has at most %1 characters.").arg(NameLength));

    const QDate today = QDate::currentDate();
    if (!FieldFormat::parseDate(value(QLatin1String(BirthDate)), &student->birthDate))
        return fail(BirthDate, QStringLiteral("Birth Date is a date like 07/31/2004."));
    if (student->birthDate.isNull())
        return fail(BirthDate, QStringLiteral("Birth Date is required."));
    if (student->birthDate >= today || student->birthDate.year() < 1900)
        return fail(BirthDate, QStringLiteral("Birth Date must lie between 1900 and today."));
    if (!FieldFormat::parseDate(value(QLatin1String(Enrolled)), &student->enrolled))
        return fail(Enrolled, QStringLiteral("Enrolled is a date like 08/26/2024."));
    if (student->enrolled.isNull())
        return fail(Enrolled, QStringLiteral("Enrolled is required."));
    if (student->enrolled <= student->birthDate || student->enrolled > today.addYears(1))
        return fail(Enrolled,
                    QStringLiteral("Enrolled must lie after the birth date and within a year from now."));

    student->programme = value(QLatin1String(ProgrammeField)).trimmed().toUpper();
    if (student->programme.isEmpty())
        return fail(ProgrammeField,
                    QStringLiteral("Programme is required; %1lists them.").arg(marker(Pb::ZUGUI_TABLE)));
    if (db().programmeTitle(student->programme).isEmpty()) {
        return fail(ProgrammeField,
                    QStringLiteral("There is no programme \"%1\"; %2lists them.")
                        .arg(student->programme, marker(Pb::ZUGUI_TABLE)));
    }
    const QString credits = value(QLatin1String(Credits)).trimmed();
    student->credits = 0;
    if (!credits.isEmpty() && !FieldFormat::parseNumber(credits, 0, MaxCredits, &student->credits))
        return fail(Credits, QStringLiteral("Credits is a whole number from 0 to %1.").arg(MaxCredits));
    const QString fees = value(QLatin1String(Fees)).trimmed();
    student->feesCents = 0;
    if (!fees.isEmpty() && !FieldFormat::parseMoney(fees, &student->feesCents)) {
        return fail(Fees,
                    QStringLiteral("Fees Due is an amount like 1250.00, at most %1.")
                        .arg(FieldFormat::money(FieldFormat::MaxMoneyCents)));
    }
    if (!FieldFormat::parseLogical(value(QLatin1String(Active)), &student->active))
        return fail(Active, QStringLiteral("Active is Y or N."));
    student->notes = m_notesDraft;
    return true;
}

void StudentForm::save()
{
    Student student;
    QString field;
    QString error;
    if (!collect(&student, &field, &error)) {
        showError(QStringLiteral("%1 Correct it and press %2again.").arg(error, marker(Pb::ZUGUI_DONE)));
        return focus(field);
    }
    showError(QString());
    const bool adding = m_mode == Mode::Add;
    student.number = adding ? 0 : currentStudent();
    m_toSave = student;
    const QString prompt = adding
        ? QStringLiteral("Save %1 as a new student?").arg(student.fullName())
        : QStringLiteral("Save the changes to student %1, %2?").arg(student.number).arg(student.fullName());
    openDialog(ConfirmSave, UiWriter::ButtonDialog,
               adding ? QStringLiteral("Add student") : QStringLiteral("Update student"), prompt, false,
               { { QStringLiteral("Yes"), YesKey }, { QStringLiteral("No"), NoKey } }, 0);
}

void StudentForm::dialogAnswered(int purpose, int key)
{
    switch (purpose) {
    case ConfirmSave: {
        if (key != YesKey) {
            showStatus(QStringLiteral("Not saved. %1saves, %2cancels.")
                           .arg(marker(Pb::ZUGUI_DONE), marker(Pb::ZUGUI_ABORT)));
            return focus(currentOr(LastName));
        }
        QString error;
        const bool adding = m_mode == Mode::Add;
        const bool saved = adding ? db().insert(&m_toSave, &error) : db().update(m_toSave, &error);
        if (!saved) {
            showError(QStringLiteral("Not saved: %1").arg(error));
            return focus(currentOr(LastName));
        }
        qInfo().noquote() << QStringLiteral("%1: student %2 %3")
                                 .arg(label())
                                 .arg(m_toSave.number)
                                 .arg(adding ? QStringLiteral("added") : QStringLiteral("updated"));
        if (adding) {
            browseAll(m_toSave.number);
        } else {
            m_results[m_position] = db().student(m_toSave.number).value_or(m_toSave);
            setMode(Mode::Browse);
        }
        showStatus(QStringLiteral("Student %1, %2 %3.")
                       .arg(m_toSave.number)
                       .arg(m_toSave.fullName(), adding ? QStringLiteral("added") : QStringLiteral("saved")));
        return;
    }
    case ConfirmLeave:
        if (key == YesKey)
            return cancelEdit();
        return focus(currentOr(LastName));
    case ChooseSort:
        for (const SortChoice &choice : SortChoices) {
            if (choice.key == key)
                resort(choice.order);
        }
        return;
    case ConfirmReset: {
        if (key != YesKey)
            return;
        QString error;
        if (!db().resetSampleData(&error))
            return showError(QStringLiteral("The sample data could not be restored: %1").arg(error));
        browseAll(0);
        showStatus(QStringLiteral("The sample students are back."));
        return;
    }
    default:
        return;
    }
}

void StudentForm::showProgrammes()
{
    if (!isEditable(QLatin1String(ProgrammeField)))
        return;
    // The client attaches the list to the field with the cursor.
    focus(QLatin1String(ProgrammeField));
    QStringList items;
    for (const Programme &programme : db().programmes())
        items << programme.code + QLatin1Char('\t') + programme.title;
    openTableLookup(ProgrammeList, items);
}

void StudentForm::tableLookupAnswered(int purpose, const QString &value)
{
    if (purpose != ProgrammeList || !isEditable(QLatin1String(ProgrammeField)))
        return;
    const QString code = value.trimmed().toUpper();
    put(QLatin1String(ProgrammeField), code);
    put(QLatin1String(ProgrammeTitle), db().programmeTitle(code));
    moveFocus(1);
}

void StudentForm::showResultList()
{
    if (m_results.isEmpty())
        return showError(QStringLiteral("No students were found."));
    const QVector<UiWriter::GridColumn> columns {
        { QStringLiteral("Number"), Pb::INTEGER },       { QStringLiteral("Last name"), Pb::CHARACTER },
        { QStringLiteral("First name"), Pb::CHARACTER }, { QStringLiteral("Programme"), Pb::CHARACTER },
        { QStringLiteral("Enrolled"), Pb::DATE },        { QStringLiteral("Fees due"), Pb::FLOAT },
        { QStringLiteral("Active"), Pb::CHARACTER },
    };
    QVector<UiWriter::GridRow> rows;
    for (int i = 0; i < m_results.size(); ++i) {
        const Student &s = m_results.at(i);
        rows.append({ i,
                      { QString::number(s.number), s.lastName, s.firstName, s.programme,
                        FieldFormat::date(s.enrolled), FieldFormat::money(s.feesCents),
                        FieldFormat::logical(s.active) } });
    }
    openGridLookup(ResultList, QStringLiteral("Students found"), columns, rows);
}

void StudentForm::gridLookupAnswered(int purpose, std::optional<int> row)
{
    if (purpose != ResultList || !row || m_mode != Mode::Browse)
        return;
    showError(QString());
    m_position = *row;
    showCurrent();
}

void StudentForm::chooseSort()
{
    QVector<UiWriter::DialogOption> options;
    int current = SortChoices[0].key;
    for (const SortChoice &choice : SortChoices) {
        options.append({ QLatin1String(choice.text), choice.key });
        if (choice.order == m_order)
            current = choice.key;
    }
    openDialog(ChooseSort, UiWriter::SelectorDialog, QStringLiteral("Sort order"),
               QStringLiteral("Show the students found in which order?"), true, options, current);
}

void StudentForm::resort(StudentDatabase::SortOrder order)
{
    m_order = order;
    const int number = currentStudent();
    std::stable_sort(m_results.begin(), m_results.end(),
                     [order](const Student &a, const Student &b) { return sortsBefore(order, a, b); });
    for (int i = 0; i < m_results.size(); ++i) {
        if (m_results.at(i).number == number)
            m_position = i;
    }
    showCurrent();
}

void StudentForm::pauseEnded(int)
{
    if (m_mode == Mode::Browse && currentStudent() != 0)
        showStatus(QStringLiteral("Student %1 of %2 found.").arg(m_position + 1).arg(m_results.size()));
}

void StudentForm::buttonPressed(const QString &field)
{
    if (field == QLatin1String(Notes))
        return editNotes();
    ClassicForm::buttonPressed(field);
}

void StudentForm::editNotes()
{
    const int number = currentStudent();
    switch (m_mode) {
    case Mode::Query:
        return showError(QStringLiteral("Notes are not searched; %1shows the students found.")
                             .arg(marker(Pb::ZUGUI_ABORT)));
    case Mode::Browse: {
        if (number == 0)
            return showError(QStringLiteral("There is no student to show notes for."));
        const Student &student = m_results.at(m_position);
        showError(QString());
        return openBlobEdit(EditNotes, QLatin1String(Notes), student.notes, !student.active);
    }
    case Mode::Update:
        return openBlobEdit(EditNotes, QLatin1String(Notes), m_notesDraft, !m_results.at(m_position).active);
    case Mode::Add:
        return openBlobEdit(EditNotes, QLatin1String(Notes), m_notesDraft, false);
    }
}

void StudentForm::blobEditAnswered(int purpose, std::optional<QString> text)
{
    if (purpose != EditNotes || !text)
        return;
    if (text->size() > StudentDatabase::MaxNotesLength) {
        return showError(QStringLiteral("Notes have at most %1 characters; these have %2 and were not kept.")
                             .arg(StudentDatabase::MaxNotesLength)
                             .arg(text->size()));
    }
    if (m_mode != Mode::Browse) {
        m_notesDraft = *text;
        put(QLatin1String(Notes), notesSummary(*text));
        return showStatus(
            QStringLiteral("Notes changed; %1saves them with the student.").arg(marker(Pb::ZUGUI_DONE)));
    }
    const int number = currentStudent();
    QString error;
    if (!db().setNotes(number, *text, &error))
        return showError(QStringLiteral("Notes not saved: %1").arg(error));
    qInfo().noquote() << QStringLiteral("%1: notes of student %2 saved").arg(label()).arg(number);
    m_results[m_position].notes = *text;
    put(QLatin1String(Notes), notesSummary(*text));
    showStatus(QStringLiteral("Notes of student %1 saved.").arg(number));
}

void StudentForm::idSecRequested(const QString &field, const QString &data)
{
    if (field != QLatin1String(StudentNo))
        return ClassicForm::idSecRequested(field, data);
    // The number typed on the query screen, or else the student shown.
    int number = 0;
    if (!FieldFormat::parseNumber(data.trimmed(), 1, MaxStudentNumber, &number))
        number = currentStudent();
    showIdCard(number);
}

void StudentForm::showIdCard(int number)
{
    if (number == 0)
        return showError(QStringLiteral("Enter a student number first."));
    const std::optional<Student> student = db().student(number);
    if (!student)
        return showError(QStringLiteral("There is no student %1.").arg(number));
    showError(QString());
    ui().idSec(QStringLiteral("%1 (%2)").arg(student->fullName()).arg(number), db().picture(number),
               db().permittedPersons(number));
}
