#include "publish/sha256.h"

#include <openssl/evp.h>
#include <stdexcept>

namespace zp {

struct Sha256::Context
{
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256()
    : context_(std::make_unique<Context>())
{
    if (!context_->md || EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::Add(QByteArrayView bytes)
{
    EVP_DigestUpdate(context_->md, bytes.data(), size_t(bytes.size()));
}

QByteArray Sha256::HexResult()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->md, digest, &length);
    EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr);
    return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
}

QByteArray Sha256::Hex(QByteArrayView bytes)
{
    Sha256 hash;
    hash.Add(bytes);
    return hash.HexResult();
}

} // namespace zp
