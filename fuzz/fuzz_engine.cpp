// The engine against OpenSSL on arbitrary messages fed at arbitrary split
// points: equal where the finishing rule is standard; where it is not, the
// bytes the length field overwrites must not matter and the rest must.

#include "clsMD5.h"

#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::array<std::uint8_t, 16> Engine(
    const std::uint8_t *data, std::size_t size, std::size_t split1, std::size_t split2)
{
    mnemora::clsMD5 md5;
    md5.MD5Init();
    const std::size_t cuts[] = {0, split1, split2, size};
    for (int i = 0; i < 3; ++i) {
        const std::size_t n = cuts[i + 1] - cuts[i];
        md5.MD5Update(static_cast<std::int32_t>(n), std::span(data + cuts[i], n));
    }
    md5.MD5Final();
    return md5.DigestBytes();
}

bool Standard(std::size_t length)
{
    return length % 64 <= 55 || (length >= 57 && length <= 63);
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2 || size > 2 + 32767)
        return 0;
    // The first two bytes choose the split points; the rest is the message.
    const std::size_t messageSize = size - 2;
    const std::uint8_t *message = data + 2;
    std::size_t split1 = messageSize == 0 ? 0 : data[0] * 257u % (messageSize + 1);
    std::size_t split2 = messageSize == 0 ? 0 : data[1] * 263u % (messageSize + 1);
    if (split1 > split2)
        std::swap(split1, split2);

    const auto ours = Engine(message, messageSize, split1, split2);
    Check(ours == Engine(message, messageSize, 0, 0)); // splitting never matters

    if (Standard(messageSize)) {
        unsigned char theirs[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        EVP_Digest(message, messageSize, theirs, &len, EVP_md5(), nullptr);
        Check(std::memcmp(ours.data(), theirs, 16) == 0);
    } else if (messageSize % 64 > 56) {
        // Remainders 57-63 from 64 bytes on: the last (remainder - 56) bytes
        // are overwritten by the length field, the byte before them is not.
        const std::size_t ignored = messageSize % 64 - 56;
        std::vector<std::uint8_t> changed(message, message + messageSize);
        for (std::size_t i = messageSize - ignored; i < messageSize; ++i)
            changed[i] ^= 0xA5;
        Check(Engine(changed.data(), messageSize, split1, split2) == ours);
        changed[messageSize - ignored - 1] ^= 0x01;
        Check(Engine(changed.data(), messageSize, split1, split2) != ours);
    }
    return 0;
}
