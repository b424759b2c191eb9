#pragma once

#include <QString>

// Two-letter label for a display text: the first and last character of a lone word, or the first
// characters of the first and last words; punctuation is ignored and letter case kept.
QString abbreviateName(const QString &name);
