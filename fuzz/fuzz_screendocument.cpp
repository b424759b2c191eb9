#include "fuzzsupport.h"

#include "classic/screendocument.h"

QList<QByteArray> fuzzSeeds()
{
    return screenSeeds();
}

void fuzzOne(const QByteArray &input)
{
    const ScreenDocument document(input);
    if (document.isValid())
        FUZZ_CHECK(document.fieldColumns().size() <= input.size());
}
