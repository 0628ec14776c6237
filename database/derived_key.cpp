#include "database/derived_key.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Up to `size` bytes from the start of a regular file (a link followed); nothing from anything else,
// which is never waited on: a FIFO in the file's place would hold every open.
QByteArray ReadStart(const QString& path, qint64 size)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info
    {
    };
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return file.read(size);
}

} // namespace

QByteArray FileSalt(const QString& databasePath)
{
    const QByteArray salt = ReadStart(databasePath, SaltBytes);
    return salt.size() == SaltBytes ? salt : QByteArray();
}

QByteArray RememberedRawKey(const QString& databasePath, const QByteArray& salt)
{
    if (salt.size() != SaltBytes)
        return {};
    const QByteArray memo = ReadStart(MemoPath(databasePath), 128).trimmed();
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
