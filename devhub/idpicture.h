#pragma once

#include <QByteArray>
#include <QtGlobal>

// Makes the identity pictures of the sample students: a head-and-shoulders portrait drawn with
// shapes (skin, hair, clothes and background chosen by the seed), encoded as PNG. The same seed
// gives the same picture. Drawn without text, so no font (and no GUI application object) is needed.
class IdPicture
{
public:
    static constexpr int Width = 150;
    static constexpr int Height = 190;

    static QByteArray portrait(quint32 seed);
};
