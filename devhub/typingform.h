#pragma once

#include "classicform.h"

// The "Typing Check" screen: four fields filled one after another, each Return answered as a form
// program answers it (every field closed, the next one opened and given the cursor). After the
// fourth, the texts that arrived are logged in one line and the form starts again empty: a check
// that what a fast typist types ahead of the server reaches it, each text with its own field.
class TypingForm : public ClassicForm
{
    Q_OBJECT

public:
    static constexpr int ScreenId = 3;
    static const QVector<ClassicField> &fieldList();

    explicit TypingForm(UiWriter *ui, QObject *parent = nullptr);

    void start();
    int rounds() const { return m_rounds; }

signals:
    // One line per round: the four texts, quoted, in field order.
    void roundCompleted(const QString &texts);
    void exitRequested();

protected:
    void key(int code, bool menuCommand) override;
    void dialogAnswered(int purpose, int key) override;

private:
    void openField(int index);

    int m_rounds = 0;
};
