// StrToUTF8Bytes against glibc's iconv on arbitrary UTF-16 input. iconv
// refuses unpaired surrogates, so the reference converts each well-formed run
// with iconv and puts U+FFFD (EF BF BD) for every unpaired surrogate.

#include "modUTF8.h"

#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string IconvUtf8(const std::u16string &run)
{
    static iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    Check(cd != reinterpret_cast<iconv_t>(-1));
    std::string le;
    for (const char16_t u : run) {
        le += static_cast<char>(u & 0xFF);
        le += static_cast<char>(u >> 8);
    }
    std::string out(run.size() * 3 + 4, '\0');
    char *in = le.data();
    std::size_t inLeft = le.size();
    char *o = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    Check(iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1));
    out.resize(out.size() - outLeft);
    return out;
}

std::string Reference(const std::u16string &text)
{
    std::string out;
    std::u16string run;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        const bool low = u >= 0xDC00 && u <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            run += u;
            run += text[++i];
        } else if (high || low) {
            out += IconvUtf8(run);
            run.clear();
            out += "\xEF\xBF\xBD";
        } else {
            run += u;
        }
    }
    return out + IconvUtf8(run);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    const mnemora::ByteArray ours = mnemora::StrToUTF8Bytes(text);
    const std::string expected = Reference(text);
    Check(ours.size() == expected.size());
    Check(std::memcmp(ours.data(), expected.data(), ours.size()) == 0);
    Check(ours.size() <= 3 * text.size());
    return 0;
}
