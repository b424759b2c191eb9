#pragma once

#include <QString>

#include <string>

// Server texts name keys by code: the byte 0xFE, a decimal Pb::Key code and a space. Each such
// marker becomes "[<key>]" with the key's native text, or "[??]" for a code without a key; the
// space after it is kept. A marker whose number runs to the end of the text ends the result.
QString expandKeyMarkers(const std::string &text);
