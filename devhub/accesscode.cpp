#include "accesscode.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace AccessCode {

QString stored(const QString &code, const QString &salt)
{
    QString used = salt.left(SaltLength);
    static const QString Alphabet = QStringLiteral("abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    while (used.size() < SaltLength)
        used += Alphabet.at(int(QRandomGenerator::system()->bounded(quint32(Alphabet.size()))));
    const QByteArray digest
        = QCryptographicHash::hash(used.toUtf8() + code.toUtf8(), QCryptographicHash::Sha256).toHex();
    return used + QString::fromLatin1(digest);
}

bool isStoredForm(const QString &text)
{
    static const QRegularExpression Form(QStringLiteral("^.{8}[0-9a-f]{64}$"));
    return Form.match(text).hasMatch();
}

} // namespace AccessCode
