#include "Fingerprint.h"

#include "GenerateCodes.h"
#include "SecureWipe.h"
#include "clsMD5.h"

#include <memory>

namespace mnemora {

namespace {

// Changing it changes every fingerprint (never a code).
constexpr std::u16string_view FingerprintKey = u"mnemora typo fingerprint";

int HexValue(char16_t c) noexcept
{
    return c <= u'9' ? c - u'0' : c - u'A' + 10;
}

} // namespace

std::optional<std::uint16_t> PasswordFingerprint(std::u16string_view password) noexcept
{
    if (CheckDerivationText(password) != DeriveStatus::Ok)
        return std::nullopt;
    const auto cMD5 = std::make_unique<clsMD5>();
    std::u16string digest = cMD5->Hmac_MD5(password, FingerprintKey);
    // The first two digest bytes, first byte high.
    unsigned bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits = bits << 4 | static_cast<unsigned>(HexValue(digest[i]));
    SecureWipe(digest);
    return static_cast<std::uint16_t>(bits);
}

} // namespace mnemora
