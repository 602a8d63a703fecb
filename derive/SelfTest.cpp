#include "SelfTest.h"

#include "GenerateCodes.h"
#include "clsMD5.h"

#include <array>
#include <exception>
#include <string_view>

namespace mnemora {

namespace {

struct DigestCheck {
    std::u16string_view message;
    std::u16string_view expected;
};

// RFC 1321, appendix A.5, plus one message of 56 bytes where this engine's
// finishing rule departs from the RFC (its value was computed independently).
constexpr std::array<DigestCheck, 3> DigestChecks{{
    {u"", u"D41D8CD98F00B204E9800998ECF8427E"},
    {u"abc", u"900150983CD24FB0D6963F7D28E17F72"},
    {u"12345678901234567890123456789012345678901234567890123456", u"29DC63DA78D43A804E8A4D4DCA707CC2"},
}};

struct CodeCheck {
    std::u16string_view password;
    std::u16string_view key;
    std::u16string_view code16;
    std::u16string_view code32;
};

// Derivations that users' existing site passwords depend on.
constexpr std::array<CodeCheck, 3> CodeChecks{{
    {u"test", u"taobao", u"a20caCf8Eb1b8B6d", u"a20caCf8Eb1b8B6d5b8a66996910E124"},
    {u"taobao", u"test", u"KA55784DDe9C7632", u"5A55784DDe9C7632Fcb5685EB6F6F1DE"},
    {u"\u5BC6\u7801", u"\u6DD8\u5B9D", u"B992378745248eCD", u"B992378745248eCD44c7062dA515FdBc"},
}};

std::string Narrow(std::u16string_view text)
{
    std::string out;
    for (const char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

std::string RunSelfTest() noexcept
{
    return RunSelfTest(GenerateCodes);
}

std::string RunSelfTest(CodeGenerator generate) noexcept
{
    try {
        clsMD5 md5;
        for (const DigestCheck &check : DigestChecks)
            if (md5.DigestStrToHexStr(check.message) != check.expected)
                return "digest of \"" + Narrow(check.message) + "\" is wrong";
        for (const CodeCheck &check : CodeChecks) {
            const Codes codes = generate(check.password, check.key);
            if (codes.code16 != check.code16 || codes.code32 != check.code32)
                return "codes for key \"" + Narrow(check.key) + "\" are wrong";
        }
        return {};
    } catch (const std::exception &e) {
        return std::string("self-test failed: ") + e.what();
    } catch (...) {
        return "self-test failed";
    }
}

} // namespace mnemora
