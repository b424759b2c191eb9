#pragma once

#include <QByteArray>
#include <QString>

// The Designer documents of the classic demo's screens, kept in the hub's resources
// (devhub/screens/*.ui) and sent to the client as they are.
class ClassicScreens
{
public:
    static constexpr char Student[] = "student";
    static constexpr char Grades[] = "grades";
    static constexpr char Typing[] = "typing";

    // Empty for an unknown name.
    static QByteArray document(const QString &name);
    // Where the document lives on the "server", for LoadScreen's screen_path.
    static QString path(const QString &name);
};
