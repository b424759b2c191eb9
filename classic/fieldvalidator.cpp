#include "fieldvalidator.h"

namespace {
constexpr ushort LastLatin1 = 0xFF;
}

FieldValidator::FieldValidator(QObject *parent)
    : QValidator(parent)
{ }

void FieldValidator::setUpshift(bool upshift)
{
    if (m_upshift == upshift)
        return;
    m_upshift = upshift;
    emit changed();
}

QValidator::State FieldValidator::validate(QString &input, int &) const
{
    QString result = input;
    for (QChar &c : result) {
        if (c.unicode() > LastLatin1) {
            c = QLatin1Char('?');
        } else if (m_upshift) {
            // Character by character, and only where the upper case is Latin-1 too (not for
            // y-diaeresis or the micro sign), so the text keeps its length and stays sendable.
            const QChar upper = c.toUpper();
            if (upper.unicode() <= LastLatin1)
                c = upper;
        }
    }
    if (result != input)
        input = result;
    return Acceptable;
}
