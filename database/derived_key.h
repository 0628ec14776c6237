#pragma once

#include <QByteArray>
#include <QString>

namespace zp {

// SQLCipher derives the page key from the passphrase and the file's salt (its first 16 bytes) with
// 64,000 rounds of PBKDF2-HMAC-SHA1: some 30 ms on every open, the largest fixed cost of a short
// command. The derived key depends on nothing else, so it is remembered beside the database in
// "<database>-key" and given to SQLCipher raw ("x'<key><salt>'") while the file keeps its salt.
// The passphrase gives nothing away that the remembered key does not: both open the same file.

// The file's salt: its first 16 bytes, or empty when it has fewer.
QByteArray FileSalt(const QString& databasePath);

// The raw key remembered for the database, when it is well formed and made for this salt.
QByteArray RememberedRawKey(const QString& databasePath, const QByteArray& salt);

// Derives the raw key from the passphrase and the salt, as SQLCipher does.
QByteArray DeriveRawKey(const QByteArray& passphrase, const QByteArray& salt);

// Remembers the raw key for the database (owner-only, replaced whole); a folder that cannot be
// written to only means the next open derives the key again.
void RememberRawKey(const QString& databasePath, const QByteArray& rawKey);

} // namespace zp
