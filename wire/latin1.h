#pragma once

#include <QString>

#include <string>

// Every protocol string field travels as Latin-1; these are the only conversions to use.
namespace Latin1 {

inline QString toQString(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), int(bytes.size()));
}

inline std::string fromQString(const QString &text)
{
    return text.toLatin1().toStdString();
}

} // namespace Latin1
