#pragma once

#include "classicform.h"
#include "studentdatabase.h"

// The "Course Grades" screen of one student: the courses taken, one at a time, with the credits
// earned and the grade average. Browse (ring menu: course list, next, previous, record a grade,
// transcript summary, back) -> Edit (grade and completion date editable; F9 checks them and asks
// before saving, Esc goes back to Browse).
class GradesForm : public ClassicForm
{
    Q_OBJECT

public:
    enum class Mode { Browse, Edit };

    static constexpr int ScreenId = 2;
    static const QVector<ClassicField> &fieldList();

    GradesForm(UiWriter *ui, StudentDatabase *db, QObject *parent = nullptr);

    // Loads the screen for the student; false (nothing sent) when the student does not exist.
    bool enter(int studentNumber);

    Mode mode() const { return m_mode; }

signals:
    void backRequested();

protected:
    void key(int code, bool menuCommand) override;
    void dialogAnswered(int purpose, int key) override;
    void gridLookupAnswered(int purpose, std::optional<int> row) override;
    void pauseEnded(int purpose) override;

private:
    enum Action {
        CoursesAction,
        NextAction,
        PreviousAction,
        EditAction,
        TranscriptAction,
        BackAction,
        SaveAction,
        CancelAction,
    };
    enum Purpose { CourseList = 1, ConfirmGrade, Transcript };

    struct Totals
    {
        int courses = 0;
        int graded = 0;
        int failed = 0;
        int credits = 0;
        QString average; // empty without a graded course
    };

    void setMode(Mode mode);
    void runAction(int action);
    void showCourse();
    void showStatusLine();
    void put(const QString &field, const QString &data);
    void step(int delta);
    void save();
    void showCourseList();
    Totals totals() const;

    Mode m_mode = Mode::Browse;
    Student m_student;
    QVector<Enrolment> m_courses;
    int m_position = -1;
    QString m_newGrade;
    QDate m_newCompleted;
};
