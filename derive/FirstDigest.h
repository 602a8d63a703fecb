#pragma once

#include "GenerateCodes.h"

#include <string>
#include <string_view>

// The derivation's two stages, for the fitted code, which draws from the first
// digest as the codes do. Private to derive/.
namespace mnemora {

// HMAC-MD5 of the password under the key, as 32 lower-case hex digits: the
// secret every code of the pair is drawn from. The caller wipes it.
std::u16string FirstDigest(std::u16string_view password, std::u16string_view key);

// The two codes drawn from the first digest.
Codes CodesFromFirstDigest(std::u16string_view one);

} // namespace mnemora
