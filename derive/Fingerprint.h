#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mnemora {

// A typo check for the memorised password: 16 bits that the same password
// always gives and a mistyped one almost never does, shown as a small picture.
//
// Taken from an HMAC of the password alone under a constant key of its own, so
// it says nothing about any site code; and 16 bits narrow a guess of the
// password by at most a factor of 65,536.
//
// Empty when the password is empty or too long to derive from.
std::optional<std::uint16_t> PasswordFingerprint(std::u16string_view password) noexcept;

} // namespace mnemora
