#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

namespace zp {

// SHA-256 by OpenSSL, which uses the processor's SHA instructions where it has them: a publish
// hashes every file it sends and every server file it compares, several times what Qt's own
// implementation takes.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    void Add(QByteArrayView bytes);
    // The digest in lowercase hex; the hash starts anew.
    QByteArray HexResult();

    static QByteArray Hex(QByteArrayView bytes);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

} // namespace zp
