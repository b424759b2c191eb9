#include "typingform.h"

#include "classicscreens.h"

#include <QDebug>

namespace {
constexpr int FieldLength = 30;
constexpr int ExitAction = 1;
} // namespace

const QVector<ClassicField> &TypingForm::fieldList()
{
    static const QVector<ClassicField> fields {
        { "number", Char, 10, 0 },
        { "name", Char, FieldLength, 0 },
        { "amount", Char, 10, 0 },
        { "remark", Char, FieldLength, 0 },
    };
    return fields;
}

TypingForm::TypingForm(UiWriter *ui, QObject *parent)
    : ClassicForm(ui, nullptr, ScreenId, QLatin1String(ClassicScreens::Typing), fieldList(), parent)
{ }

void TypingForm::start()
{
    loadScreen();
    ClassicMenu menu(QStringLiteral("Typing"));
    menu.add(ExitAction, QStringLiteral("Exit"), Pb::ZUGUI_ABORT, QStringLiteral("Leave the typing check"));
    showMenu(menu, FieldMode);
    showStatus(QStringLiteral("Type into each field and press Return; %1leaves.").arg(marker(Pb::ZUGUI_ABORT)));
    openField(0);
}

void TypingForm::openField(int index)
{
    if (index == 0) {
        for (const ClassicField &field : fieldList())
            putField(QLatin1String(field.name), QString());
    }
    const QString name = QLatin1String(fieldList().at(index).name);
    setEditable({ name });
    focus(name);
}

void TypingForm::key(int code, bool menuCommand)
{
    if (menu().actionFor(menuCommand, code) == ExitAction) {
        emit exitRequested();
        return;
    }
    if (code != Pb::ZUGUI_ENTER) {
        qDebug().noquote() << QStringLiteral("%1: key %2 means nothing here").arg(label()).arg(code);
        return;
    }
    int index = 0;
    while (index < fieldList().size() && currentField() != QLatin1String(fieldList().at(index).name))
        ++index;
    if (index >= fieldList().size())
        return openField(0);
    if (index + 1 < fieldList().size())
        return openField(index + 1);
    QStringList texts;
    for (const ClassicField &field : fieldList())
        texts << QLatin1Char('"') + value(QLatin1String(field.name)) + QLatin1Char('"');
    ++m_rounds;
    emit roundCompleted(texts.join(QLatin1Char(' ')));
    openField(0);
}

void TypingForm::dialogAnswered(int, int)
{ }
