#pragma once

#include "classicform.h"
#include "studentdatabase.h"

// The "Student" screen: search for students, page through the ones found, add and change them.
//
// Query (fields for number, name, programme and status; Return and Tab move between them, F9
// searches) -> Browse (ring menu: next,
// previous, add, update, grades, a drop-down with the result list, sort order, fee summary,
// sample-data reset, identity card and notes) -> Add or Update (fields editable, F9 checks them and
// asks before saving, Esc goes back to Browse, asking first when something was changed). Esc in
// Query returns to the students found before,
// or to all. The student number's identity button shows the student's card (picture and the
// people permitted to act for them); the notes are a text block: in Browse its editor saves them at
// once, in Add and Update they are saved with the record. An inactive student's notes are read only.
class StudentForm : public ClassicForm
{
    Q_OBJECT

public:
    enum class Mode { Query, Browse, Add, Update };

    static constexpr int ScreenId = 1;
    static constexpr int ResultSetKey = 'S'; // the form bar's result-set button
    static const QVector<ClassicField> &fieldList();

    StudentForm(UiWriter *ui, StudentDatabase *db, QObject *parent = nullptr);

    // Loads the screen and starts with a query.
    void start();
    // Loads the screen again and shows the student that was current.
    void reenter();

    Mode mode() const { return m_mode; }
    // The student shown in Browse, 0 when there is none.
    int currentStudent() const;

signals:
    void gradesRequested(int studentNumber);
    void exitRequested();

protected:
    void key(int code, bool menuCommand) override;
    void dialogAnswered(int purpose, int key) override;
    void tableLookupAnswered(int purpose, const QString &value) override;
    void gridLookupAnswered(int purpose, std::optional<int> row) override;
    void pauseEnded(int purpose) override;
    void blobEditAnswered(int purpose, std::optional<QString> text) override;
    void buttonPressed(const QString &field) override;
    void idSecRequested(const QString &field, const QString &data) override;

private:
    enum Action {
        QueryAction,
        NextAction,
        PreviousAction,
        AddAction,
        UpdateAction,
        GradesAction,
        ResultListAction,
        SortAction,
        FeeSummaryAction,
        ResetAction,
        IdCardAction,
        NotesAction,
        ExitAction,
        SearchAction,
        SaveAction,
        ProgrammesAction,
        CancelAction,
    };
    enum Purpose {
        ConfirmSave = 1,
        ChooseSort,
        ConfirmReset,
        ProgrammeList,
        ResultList,
        FeeSummary,
        EditNotes,
        ConfirmLeave
    };

    void setMode(Mode mode);
    void runAction(int action);
    void showCurrent();
    void showStudent(const Student &student, bool isNew);
    void put(const QString &field, const QString &data);
    void step(int delta);
    void search();
    void browseAll(int studentNumber);
    void cancelEdit();
    // What Add or Update showed when it began, and whether the fields or notes differ from it now.
    void rememberShown();
    bool hasUnsavedChanges() const;
    void save();
    // Reads and checks the edited fields; on a fault names the field and says what is wrong.
    bool collect(Student *student, QString *field, QString *error) const;
    void showProgrammes();
    void showResultList();
    void chooseSort();
    void resort(StudentDatabase::SortOrder order);
    void showIdCard(int number);
    void editNotes();

    ClassicMenu browseMenu() const;
    ClassicMenu queryMenu() const;
    ClassicMenu editMenu(const QString &info) const;

    Mode m_mode = Mode::Query;
    QVector<Student> m_results;
    int m_position = -1;
    StudentDatabase::SortOrder m_order = StudentDatabase::SortOrder::Number;
    Student m_toSave;
    QString m_notesDraft; // the notes being added or updated with the record
    QHash<QString, QString> m_shown;
};
