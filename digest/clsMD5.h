#pragma once

#include "SecureWipe.h"

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace mnemora {

// The digest object: an incremental MD5 over byte arrays with the system's own
// finishing rule, HMAC-MD5 over UTF-16 texts on top of it, and hex rendering.
//
// The engine follows RFC 1321 everywhere except in MD5Final for messages whose
// length leaves a remainder of 56 to 63 modulo 64 (see MD5Final). Every code
// users have ever derived depends on that rule; it must never be "corrected".
//
// One object holds one digest at a time and is not meant to be shared between
// threads. Failures are thrown as DigestError.
class clsMD5 {
public:
    // Largest count one MD5Update call accepts; callers split longer data.
    static constexpr std::int32_t MaxUpdateLength = 32767;

    clsMD5() = default;
    ~clsMD5();
    clsMD5(const clsMD5 &) = delete;
    clsMD5 &operator=(const clsMD5 &) = delete;

    // Decimal text of each register read as a signed 32-bit integer.
    std::u16string RegisterA() const;
    std::u16string RegisterB() const;
    std::u16string RegisterC() const;
    std::u16string RegisterD() const;

    // HMAC (RFC 2104, 64-byte blocks) of the UTF-8 bytes of in_password under
    // the key made of the UTF-8 bytes of in_key, as 32 upper-case hex digits.
    // Throws SubscriptOutOfRange for an empty text and Overflow when either
    // text exceeds MaxUpdateLength bytes in UTF-8.
    std::u16string Hmac_MD5(std::u16string_view in_password, std::u16string_view in_key);

    // Digest of the text's Windows-1252 codes (one byte per UTF-16 unit).
    // Throws Overflow for more than 32,767 units.
    std::u16string DigestStrToHexStr(std::u16string_view SourceString);

    // Digest of a file's bytes; the empty text on any failure whatsoever.
    std::u16string DigestFileToHexStr(std::u16string_view InFile);

    // The registers as 32 upper-case hex digits in MD5 output order.
    std::u16string GetValues() const;

    void MD5Init();
    void MD5Final();
    void MD5Update(std::int32_t InputLen, std::span<const std::uint8_t> InputBuffer);

    // Rotates value left by Bits mod 32 (remainder with the sign of Bits; a
    // remainder of 0 or less leaves value alone). Both arguments are in-out:
    // value receives the result, Bits the remainder used.
    static std::uint32_t LongLeftRotate(std::uint32_t &value, std::int32_t &Bits);

    // The 16 digest bytes in output order, without the detour through hex.
    std::array<std::uint8_t, 16> DigestBytes() const;

    // Takes over other's whole state, buffered bytes included, so that many
    // messages with a common beginning (HMAC's pad blocks under one key) are
    // digested from it without compressing the beginning again.
    void CopyStateFrom(const clsMD5 &other) noexcept;

private:
    // One MD5 block (RFC 1321), which is also HMAC's block size.
    static constexpr std::int32_t BlockBytes = 64;
    // TotalBytes × 8 must fit the signed 32-bit bit count.
    static constexpr std::int32_t MaxFinalBytes = std::numeric_limits<std::int32_t>::max() / 8;

    static ByteArray StrToAnsiBytes(std::u16string_view text);
    // Eight upper-case hex digits of a word, least significant byte first,
    // each byte high nibble first.
    static void RegisterToHexStr(std::uint32_t word, std::span<char16_t, 8> text) noexcept;

    void MD5ProcessBlock(const std::uint8_t *block);
    static void BlockToWords(int n, std::uint32_t *X, const std::uint8_t *bytes);
    static constexpr std::uint32_t DoubleToLongBits(double value);

    // Buffers and compresses without the per-call limit; MD5Update adds the
    // limit checks, the file digest uses it for large reads.
    void Feed(const std::uint8_t *data, std::size_t length);
    void Wipe() noexcept;

    std::array<std::uint32_t, 4> Registers{};
    std::int32_t TotalBytes = 0;
    std::array<std::uint8_t, BlockBytes> BlockBuffer{};
};

} // namespace mnemora
