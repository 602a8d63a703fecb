#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mnemora {

// The longest password or key the derivation accepts, in UTF-8 bytes: the
// most one update of the digest engine takes (clsMD5::MaxUpdateLength).
inline constexpr std::size_t MaxTextBytes = 32767;

// The two site passwords. They are secrets: every Codes object wipes its own
// copies when it is destroyed. (It declares no move, so a move is a copy and
// leaves the source to wipe itself.)
struct Codes {
    std::u16string code16; // what the copy action puts on the clipboard
    std::u16string code32;

    ~Codes() { Wipe(); }
    void Wipe() noexcept;
};

// Derives the two site passwords from the memorised password and the
// distinguishing key. A pure function of its two texts: the same pair gives
// the same codes on every machine, forever.
//
// Both texts must be non-empty. Throws DigestError (Overflow) when either is
// longer than MaxTextBytes bytes in UTF-8, and SubscriptOutOfRange when one is empty.
Codes GenerateCodes(std::u16string_view password, std::u16string_view key);

enum class DeriveStatus {
    Ok,
    Empty,   // the password or the key is empty
    TooLong, // the password or the key is longer than MaxTextBytes bytes in UTF-8
    BadRule, // no code could be drawn for the password rule (fitted codes only)
};

// Whether a text can enter a derivation, decided without touching the engine.
DeriveStatus CheckDerivationText(std::u16string_view text) noexcept;

// Whether both texts can enter a derivation: an empty text wins over a too
// long one.
DeriveStatus CheckDerivationTexts(std::u16string_view password, std::u16string_view key) noexcept;

// The derivation every front end calls: the inputs are checked first, so no
// input reaches a failure of the core, and the codes come back only with Ok
// (out is left empty otherwise). An empty text wins over a too long one.
DeriveStatus TryGenerateCodes(std::u16string_view password, std::u16string_view key, Codes &out) noexcept;

} // namespace mnemora
