#pragma once

#include <QString>

// A menu item's access code as the configuration stores it and the client checks it: an
// 8-character salt, then the lower-case hexadecimal SHA-256 digest of the salt followed by the code.
namespace AccessCode {

constexpr int SaltLength = 8;

// The stored form of a code; a random salt unless one is given.
QString stored(const QString &code, const QString &salt = QString());
bool isStoredForm(const QString &text);

} // namespace AccessCode
