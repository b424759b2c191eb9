#include "expandkeymarkers.h"

#include "keymapper.h"

#include <cstdlib>

namespace {
constexpr char KeyMarker = '\xFE';
}

QString expandKeyMarkers(const std::string &text)
{
    QString result;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        const std::string::size_type marker = text.find(KeyMarker, pos);
        if (marker == std::string::npos)
            break;
        result += QString::fromLatin1(text.data() + pos, int(marker - pos));
        const std::string::size_type space = text.find(' ', marker + 1);
        if (space == std::string::npos)
            return result;
        const std::string number = text.substr(marker + 1, space - marker - 1);
        const QKeySequence sequence = KeyMapper::instance()->keySequenceFor(std::atoi(number.c_str()));
        result += sequence.isEmpty()
            ? QStringLiteral("[??]")
            : QStringLiteral("[%1]").arg(sequence.toString(QKeySequence::NativeText));
        pos = space;
    }
    if (pos < text.size())
        result += QString::fromLatin1(text.data() + pos, int(text.size() - pos));
    return result;
}
