#pragma once

#include <QString>

class QDateTime;

// A date and time as the user reads them everywhere in the client: the user's locale, short form.
QString formatDateTime(const QDateTime &when);
