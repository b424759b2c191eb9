#pragma once

// The cells a character takes, as terminals count them (wcwidth): 2 for East Asian wide and
// full-width characters, 0 for combining marks and format characters, which go onto the
// character before them, 1 for everything else. From the Unicode 14 tables, independent of the
// process's locale.
int terminalCharWidth(char32_t character);
