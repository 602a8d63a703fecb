// HexStrToBytes accepts exactly the texts whose first 32 characters are hex
// digits, and then gives the bytes strtoul reads from each pair.

#include "DigestError.h"
#include "modUTF8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Mostly single-byte characters so that valid digests occur often; a
    // byte 0xFF takes the next two bytes as one UTF-16 unit.
    std::u16string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text += static_cast<char16_t>(data[i + 1] | data[i + 2] << 8);
            i += 2;
        } else {
            text += static_cast<char16_t>(data[i]);
        }
    }
    bool valid = text.size() >= 32;
    for (std::size_t i = 0; valid && i < 32; ++i)
        valid = IsHex(text[i]);

    try {
        const mnemora::ByteArray bytes = mnemora::HexStrToBytes(text);
        Check(valid);
        Check(bytes.size() == 16);
        for (std::size_t k = 0; k < 16; ++k) {
            const char pair[3] = {static_cast<char>(text[2 * k]), static_cast<char>(text[2 * k + 1]), 0};
            Check(bytes[k] == std::strtoul(pair, nullptr, 16));
        }
    } catch (const mnemora::DigestError &e) {
        Check(!valid);
        Check(e.kind() == mnemora::ErrorKind::TypeMismatch);
    }
    return 0;
}
