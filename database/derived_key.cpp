#include "database/derived_key.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>
#include <openssl/evp.h>

namespace zp {

namespace {

constexpr int SaltBytes = 16;
constexpr int KeyBytes = 32;
constexpr int DerivationRounds = 64000;

QString MemoPath(const QString& databasePath)
{
    return databasePath + QStringLiteral("-key");
}

QByteArray RawKey(const QByteArray& key, const QByteArray& salt)
{
    return "x'" + key.toHex() + salt.toHex() + "'";
}

} // namespace

QByteArray FileSalt(const QString& databasePath)
{
    QFile file(databasePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = file.read(SaltBytes);
    return salt.size() == SaltBytes ? salt : QByteArray();
}

QByteArray RememberedRawKey(const QString& databasePath, const QByteArray& salt)
{
    QFile file(MemoPath(databasePath));
    if (salt.size() != SaltBytes || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray memo = file.read(128).trimmed();
    const qsizetype hexDigits = 2 * (KeyBytes + SaltBytes);
    if (memo.size() != hexDigits + 3 || !memo.startsWith("x'") || !memo.endsWith('\''))
        return {};
    const QByteArray hex = memo.mid(2, hexDigits);
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    if (QByteArray::fromHex(hex.right(2 * SaltBytes)) != salt)
        return {};
    return memo;
}

QByteArray DeriveRawKey(const QByteArray& passphrase, const QByteArray& salt)
{
    QByteArray key(KeyBytes, '\0');
    if (PKCS5_PBKDF2_HMAC_SHA1(passphrase.constData(),
                               int(passphrase.size()),
                               reinterpret_cast<const unsigned char*>(salt.constData()),
                               int(salt.size()),
                               DerivationRounds,
                               KeyBytes,
                               reinterpret_cast<unsigned char*>(key.data()))
        != 1)
        return {};
    return RawKey(key, salt);
}

void RememberRawKey(const QString& databasePath, const QByteArray& rawKey)
{
    // A link in its place is left alone: the key is written nowhere but beside the database.
    if (QFileInfo(MemoPath(databasePath)).isSymLink())
        return;
    QSaveFile file(MemoPath(databasePath));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(rawKey + '\n');
    file.commit();
}

} // namespace zp
