#pragma once

// OpenSSL as an independent oracle for the standard paths of the engine. It is
// linked into tests and benchmarks only, never into the programs.

#include "TestData.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <string>
#include <vector>

namespace mnemora::test {

inline std::string OpenSslMd5(const std::uint8_t *data, std::size_t n)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data, n, out, &len, EVP_md5(), nullptr);
    return ToUpperHex(out, len);
}

inline std::string OpenSslMd5(const std::vector<std::uint8_t> &data)
{
    return OpenSslMd5(data.data(), data.size());
}

inline std::string OpenSslHmacMd5(
    const std::vector<std::uint8_t> &key, const std::vector<std::uint8_t> &message)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), out, &len);
    return ToUpperHex(out, len);
}

} // namespace mnemora::test
