#pragma once

#include "devhuboptions.h"

#include <QString>
#include <QStringList>

// Turns the arguments into DevHubOptions, or into text to print (help, version, the built-in
// configuration) or an error.
class DevHubCommandLine
{
public:
    enum class Outcome { Run, Print, Error };

    struct Result
    {
        Outcome outcome = Outcome::Run;
        QString text; // what to print, or the error
    };

    static Result parse(const QStringList &arguments, DevHubOptions *options);
};
