#pragma once

#include <QFont>

// A font whose characters all have one width, for text laid out in columns (reports, print-outs,
// the terminal). The system's fixed font where it really is fixed-pitch; otherwise (Noto Sans Mono
// is reported as proportional, for one) the bundled Source Code Pro.
QFont fixedPitchFont();
