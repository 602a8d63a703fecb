#pragma once

#include <string>
#include <string_view>

namespace mnemora {

struct Codes {
    std::u16string code16; // what the copy action puts on the clipboard
    std::u16string code32;
};

// Derives the two site passwords from the memorised password and the
// distinguishing key. A pure function of its two texts: the same pair gives
// the same codes on every machine, forever.
//
// Both texts must be non-empty. Throws DigestError (Overflow) when either is
// longer than 32,767 bytes in UTF-8, and SubscriptOutOfRange when one is empty.
Codes GenerateCodes(std::u16string_view password, std::u16string_view key);

} // namespace mnemora
