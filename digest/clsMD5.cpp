#include "clsMD5.h"

#include "DigestError.h"
#include "modUTF8.h"

#include <bit>
#include <cstring>
#include <limits>

namespace mnemora {

namespace {

// Additions of 32-bit words wrap modulo 2^32 and never fail.
constexpr std::uint32_t LongAddWrap(std::uint32_t a, std::uint32_t b) noexcept
{
    return a + b;
}

constexpr std::uint32_t LongAddWrap4(
    std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) noexcept
{
    return a + b + c + d;
}

// The auxiliary functions of RFC 1321, section 3.4. H and I are the RFC's
// own expressions; F and G are rewritten with the same truth tables.

// F(X,Y,Z) = XY v not(X)Z: where X is set take Y, else Z. Selecting by
// Z xor (X and (Y xor Z)) needs one operation fewer.
constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return z ^ (x & (y ^ z));
}

// G(X,Y,Z) = XZ v Y not(Z). The two terms never have a bit set in the same
// place, so their OR equals their sum, and a sum lets the compiler fold it
// into the step's other additions.
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return (x & z) + (y & ~z);
}

constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return x ^ y ^ z;
}

constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return y ^ (x | ~z);
}

// One step of RFC 1321: a = b + ((a + f(b,c,d) + X[k] + T[i]) <<< s).
template <int s>
inline void StepF(std::uint32_t &a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t x,
    std::uint32_t ac) noexcept
{
    a = LongAddWrap(b, std::rotl(LongAddWrap4(a, F(b, c, d), x, ac), s));
}

template <int s>
inline void StepG(std::uint32_t &a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t x,
    std::uint32_t ac) noexcept
{
    a = LongAddWrap(b, std::rotl(LongAddWrap4(a, G(b, c, d), x, ac), s));
}

template <int s>
inline void StepH(std::uint32_t &a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t x,
    std::uint32_t ac) noexcept
{
    a = LongAddWrap(b, std::rotl(LongAddWrap4(a, H(b, c, d), x, ac), s));
}

template <int s>
inline void StepI(std::uint32_t &a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t x,
    std::uint32_t ac) noexcept
{
    a = LongAddWrap(b, std::rotl(LongAddWrap4(a, I(b, c, d), x, ac), s));
}

// Block position at which the 8-byte length field begins (RFC 1321, 3.2).
constexpr std::int32_t LengthFieldAt = 56;

// The most padding MD5Final feeds: 120 - 57 bytes, after a 57-byte message.
constexpr std::size_t MaxPadBytes = 63;

constexpr std::int32_t ToInt32(std::size_t n)
{
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        RaiseDigestError(ErrorKind::Overflow, "byte count exceeds 2,147,483,647");
    return static_cast<std::int32_t>(n);
}

// The UTF-8 bytes of an HMAC input. Short texts (every text a derivation
// passes but the password and key themselves, and most of those) are encoded
// into a buffer inside the object, sparing an allocation per input; longer
// ones go through StrToUTF8Bytes. Either way the bytes are wiped on release.
class Utf8Input {
public:
    explicit Utf8Input(std::u16string_view text)
    {
        if (text.size() <= SmallUnits) {
            m_size = EncodeUtf8(text, m_small.data());
            m_data = m_small.data();
        } else {
            m_large = StrToUTF8Bytes(text);
            m_size = m_large.size();
            m_data = m_large.data();
        }
    }
    ~Utf8Input() { SecureWipe(m_small.data(), m_small.size()); }
    Utf8Input(const Utf8Input &) = delete;
    Utf8Input &operator=(const Utf8Input &) = delete;

    std::span<const std::uint8_t> Bytes() const { return {m_data, m_size}; }
    std::size_t Size() const { return m_size; }

private:
    static constexpr std::size_t SmallUnits = 64;
    std::array<std::uint8_t, 3 * SmallUnits> m_small;
    ByteArray m_large;
    const std::uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
};

std::u16string AsciiToText(const std::string &ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace

constexpr std::uint32_t clsMD5::DoubleToLongBits(double value)
{
    if (!(value >= 0.0 && value < 4294967296.0))
        RaiseDigestError(ErrorKind::Overflow, "value outside 0 to 4,294,967,295");
    return static_cast<std::uint32_t>(value);
}

clsMD5::~clsMD5()
{
    Wipe();
}

void clsMD5::Wipe() noexcept
{
    SecureWipe(Registers.data(), sizeof Registers);
    SecureWipe(BlockBuffer.data(), sizeof BlockBuffer);
    TotalBytes = 0;
}

std::u16string clsMD5::RegisterA() const
{
    return AsciiToText(std::to_string(static_cast<std::int32_t>(Registers[0])));
}

std::u16string clsMD5::RegisterB() const
{
    return AsciiToText(std::to_string(static_cast<std::int32_t>(Registers[1])));
}

std::u16string clsMD5::RegisterC() const
{
    return AsciiToText(std::to_string(static_cast<std::int32_t>(Registers[2])));
}

std::u16string clsMD5::RegisterD() const
{
    return AsciiToText(std::to_string(static_cast<std::int32_t>(Registers[3])));
}

std::u16string clsMD5::Hmac_MD5(std::u16string_view in_password, std::u16string_view in_key)
{
    const Utf8Input message(in_password);
    if (message.Size() == 0)
        RaiseDigestError(ErrorKind::SubscriptOutOfRange, "HMAC message is empty");
    const Utf8Input keyText(in_key);
    if (keyText.Size() == 0)
        RaiseDigestError(ErrorKind::SubscriptOutOfRange, "HMAC key is empty");
    const std::int32_t n = ToInt32(message.Size());
    std::span<const std::uint8_t> key = keyText.Bytes();

    // RFC 2104: a key longer than the block is replaced by its digest. A key of
    // exactly 64 bytes is used as it stands.
    std::array<std::uint8_t, 16> keyDigest{};
    if (key.size() > std::size_t{BlockBytes}) {
        MD5Init();
        MD5Update(ToInt32(key.size()), key);
        MD5Final();
        keyDigest = DigestBytes();
        key = keyDigest;
    }

    // The key, zero-padded to the block, XOR the pad bytes.
    std::array<std::uint8_t, BlockBytes> innerPad;
    std::array<std::uint8_t, BlockBytes> outerPad;
    innerPad.fill(0x36);
    outerPad.fill(0x5C);
    for (std::size_t i = 0; i < key.size(); ++i) {
        innerPad[i] ^= key[i];
        outerPad[i] ^= key[i];
    }

    MD5Init();
    MD5Update(BlockBytes, innerPad);
    MD5Update(n, message.Bytes());
    MD5Final();
    std::array<std::uint8_t, 16> inner = DigestBytes();

    MD5Init();
    MD5Update(BlockBytes, outerPad);
    MD5Update(16, inner);
    MD5Final();

    SecureWipe(innerPad.data(), innerPad.size());
    SecureWipe(outerPad.data(), outerPad.size());
    SecureWipe(inner.data(), inner.size());
    SecureWipe(keyDigest.data(), keyDigest.size());
    return GetValues();
}

std::u16string clsMD5::DigestStrToHexStr(std::u16string_view SourceString)
{
    MD5Init();
    ByteArray bytes = StrToAnsiBytes(SourceString);
    // The spare byte at the end of the array is not part of the text.
    MD5Update(ToInt32(SourceString.size()), bytes);
    bytes = ByteArray();
    MD5Final();
    return GetValues();
}

std::u16string clsMD5::GetValues() const
{
    std::u16string text(32, u'0');
    for (std::size_t r = 0; r < 4; ++r)
        RegisterToHexStr(Registers[r], std::span<char16_t, 8>(text.data() + 8 * r, 8));
    return text;
}

std::array<std::uint8_t, 16> clsMD5::DigestBytes() const
{
    std::array<std::uint8_t, 16> out{};
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t b = 0; b < 4; ++b)
            out[4 * r + b] = static_cast<std::uint8_t>(Registers[r] >> (8 * b));
    return out;
}

void clsMD5::CopyStateFrom(const clsMD5 &other) noexcept
{
    Registers = other.Registers;
    TotalBytes = other.TotalBytes;
    BlockBuffer = other.BlockBuffer;
}

void clsMD5::MD5Init()
{
    // RFC 1321, section 3.3: word A = 01 23 45 67, low-order byte first, and
    // so on; the same words as the whole numbers the registers read as.
    static constexpr std::array<std::uint32_t, 4> InitialRegisters{
        0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    static_assert(InitialRegisters[0] == DoubleToLongBits(1732584193.0)
        && InitialRegisters[1] == DoubleToLongBits(4023233417.0)
        && InitialRegisters[2] == DoubleToLongBits(2562383102.0)
        && InitialRegisters[3] == DoubleToLongBits(271733878.0));
    Registers = InitialRegisters;
    TotalBytes = 0;
}

void clsMD5::MD5Update(std::int32_t InputLen, std::span<const std::uint8_t> InputBuffer)
{
    if (InputLen > MaxUpdateLength)
        RaiseDigestError(ErrorKind::Overflow, "one update feeds at most 32,767 bytes");
    if (InputLen > 0 && InputBuffer.size() < static_cast<std::size_t>(InputLen))
        RaiseDigestError(ErrorKind::SubscriptOutOfRange, "input holds fewer bytes than its count");
    if (InputLen > 0 && TotalBytes < 0)
        RaiseDigestError(ErrorKind::SubscriptOutOfRange, "block position is negative");

    const std::int64_t total = std::int64_t{TotalBytes} + InputLen;
    if (total > std::numeric_limits<std::int32_t>::max() || total < std::numeric_limits<std::int32_t>::min())
        RaiseDigestError(ErrorKind::Overflow, "byte count exceeds 2,147,483,647");

    if (InputLen < 0) {
        // A negative count feeds nothing and only moves the byte count back;
        // the finishing rule relies on this for remainders 57 to 63.
        TotalBytes = static_cast<std::int32_t>(total);
        if (InputLen < -MaxUpdateLength)
            RaiseDigestError(ErrorKind::Overflow, "count below -32,767");
        return;
    }
    Feed(InputBuffer.data(), static_cast<std::size_t>(InputLen));
}

void clsMD5::Feed(const std::uint8_t *data, std::size_t length)
{
    if (length == 0)
        return;
    constexpr std::size_t block = BlockBytes;
    std::size_t position = static_cast<std::size_t>(TotalBytes) % block;
    TotalBytes += static_cast<std::int32_t>(length);

    std::size_t offset = 0;
    const std::size_t room = block - position;
    if (length >= room) {
        std::memcpy(BlockBuffer.data() + position, data, room);
        MD5ProcessBlock(BlockBuffer.data());
        offset = room;
        // Whole blocks are compressed straight from the input; the last one is
        // then left in BlockBuffer exactly as if it had been copied there. A
        // negative MD5Update count moves the position back into that block,
        // and the bytes found there must be the same however the input was
        // split into calls.
        const std::uint8_t *lastBlock = nullptr;
        for (; offset + block <= length; offset += block) {
            lastBlock = data + offset;
            MD5ProcessBlock(lastBlock);
        }
        if (lastBlock != nullptr)
            std::memcpy(BlockBuffer.data(), lastBlock, block);
        position = 0;
    }
    std::memcpy(BlockBuffer.data() + position, data + offset, length - offset);
}

void clsMD5::MD5Final()
{
    if (TotalBytes > MaxFinalBytes)
        RaiseDigestError(ErrorKind::Overflow, "bit count exceeds 2,147,483,647");
    if (TotalBytes < 0)
        RaiseDigestError(ErrorKind::SubscriptOutOfRange, "block position is negative");

    const std::int32_t bits = TotalBytes * 8;
    const std::int32_t position = TotalBytes % BlockBytes;

    // Padding: RFC 1321 appends 0x80 and zeros up to 56 mod 64. This engine's
    // rule differs in two places that every derived code depends on:
    //  - at position 56 exactly it appends nothing (no 0x80, no extra block);
    //  - at 57 to 63 it counts from the whole length, 120 - TotalBytes. Below
    //    64 bytes that is RFC 1321's padding; from 64 bytes on the count is
    //    negative, which rewinds TotalBytes to 120 so that the length field
    //    overwrites the tail of the pending block.
    const std::int32_t pad
        = position <= LengthFieldAt ? LengthFieldAt - position : BlockBytes + LengthFieldAt - TotalBytes;
    static constexpr std::array<std::uint8_t, MaxPadBytes> padding{0x80};
    MD5Update(pad, padding);

    // Length field: the bit count taken before padding, little-endian, with a
    // high word that is always zero.
    const auto unsignedBits = static_cast<std::uint32_t>(bits);
    const std::array<std::uint8_t, 8> lengthField{static_cast<std::uint8_t>(unsignedBits),
        static_cast<std::uint8_t>(unsignedBits >> 8), static_cast<std::uint8_t>(unsignedBits >> 16),
        static_cast<std::uint8_t>(unsignedBits >> 24), 0, 0, 0, 0};
    MD5Update(8, lengthField);
}

std::uint32_t clsMD5::LongLeftRotate(std::uint32_t &value, std::int32_t &Bits)
{
    Bits %= 32;   // C++'s remainder takes the sign of the dividend
    if (Bits > 0) // 1 to 31: both shifts are defined
        value = value << Bits | value >> (32 - Bits);
    return value;
}

ByteArray clsMD5::StrToAnsiBytes(std::u16string_view text)
{
    if (text.size() > static_cast<std::size_t>(MaxUpdateLength))
        RaiseDigestError(ErrorKind::Overflow, "text longer than 32,767 characters");
    ByteArray bytes(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size(); ++i)
        bytes[i] = UnicodeToWindows1252(text[i]);
    return bytes;
}

void clsMD5::RegisterToHexStr(std::uint32_t word, std::span<char16_t, 8> text) noexcept
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    for (std::size_t b = 0; b < 4; ++b) {
        const auto byte = static_cast<std::uint8_t>(word >> (8 * b));
        text[2 * b] = digits[byte >> 4];
        text[2 * b + 1] = digits[byte & 0x0F];
    }
}

void clsMD5::MD5ProcessBlock(const std::uint8_t *block)
{
    std::uint32_t X[16];
    BlockToWords(BlockBytes, X, block);
    std::uint32_t a = Registers[0], b = Registers[1], c = Registers[2], d = Registers[3];

    // RFC 1321, section 3.4, round 1.
    StepF<7>(a, b, c, d, X[0], 0xd76aa478);
    StepF<12>(d, a, b, c, X[1], 0xe8c7b756);
    StepF<17>(c, d, a, b, X[2], 0x242070db);
    StepF<22>(b, c, d, a, X[3], 0xc1bdceee);
    StepF<7>(a, b, c, d, X[4], 0xf57c0faf);
    StepF<12>(d, a, b, c, X[5], 0x4787c62a);
    StepF<17>(c, d, a, b, X[6], 0xa8304613);
    StepF<22>(b, c, d, a, X[7], 0xfd469501);
    StepF<7>(a, b, c, d, X[8], 0x698098d8);
    StepF<12>(d, a, b, c, X[9], 0x8b44f7af);
    StepF<17>(c, d, a, b, X[10], 0xffff5bb1);
    StepF<22>(b, c, d, a, X[11], 0x895cd7be);
    StepF<7>(a, b, c, d, X[12], 0x6b901122);
    StepF<12>(d, a, b, c, X[13], 0xfd987193);
    StepF<17>(c, d, a, b, X[14], 0xa679438e);
    StepF<22>(b, c, d, a, X[15], 0x49b40821);

    // Round 2.
    StepG<5>(a, b, c, d, X[1], 0xf61e2562);
    StepG<9>(d, a, b, c, X[6], 0xc040b340);
    StepG<14>(c, d, a, b, X[11], 0x265e5a51);
    StepG<20>(b, c, d, a, X[0], 0xe9b6c7aa);
    StepG<5>(a, b, c, d, X[5], 0xd62f105d);
    StepG<9>(d, a, b, c, X[10], 0x02441453);
    StepG<14>(c, d, a, b, X[15], 0xd8a1e681);
    StepG<20>(b, c, d, a, X[4], 0xe7d3fbc8);
    StepG<5>(a, b, c, d, X[9], 0x21e1cde6);
    StepG<9>(d, a, b, c, X[14], 0xc33707d6);
    StepG<14>(c, d, a, b, X[3], 0xf4d50d87);
    StepG<20>(b, c, d, a, X[8], 0x455a14ed);
    StepG<5>(a, b, c, d, X[13], 0xa9e3e905);
    StepG<9>(d, a, b, c, X[2], 0xfcefa3f8);
    StepG<14>(c, d, a, b, X[7], 0x676f02d9);
    StepG<20>(b, c, d, a, X[12], 0x8d2a4c8a);

    // Round 3.
    StepH<4>(a, b, c, d, X[5], 0xfffa3942);
    StepH<11>(d, a, b, c, X[8], 0x8771f681);
    StepH<16>(c, d, a, b, X[11], 0x6d9d6122);
    StepH<23>(b, c, d, a, X[14], 0xfde5380c);
    StepH<4>(a, b, c, d, X[1], 0xa4beea44);
    StepH<11>(d, a, b, c, X[4], 0x4bdecfa9);
    StepH<16>(c, d, a, b, X[7], 0xf6bb4b60);
    StepH<23>(b, c, d, a, X[10], 0xbebfbc70);
    StepH<4>(a, b, c, d, X[13], 0x289b7ec6);
    StepH<11>(d, a, b, c, X[0], 0xeaa127fa);
    StepH<16>(c, d, a, b, X[3], 0xd4ef3085);
    StepH<23>(b, c, d, a, X[6], 0x04881d05);
    StepH<4>(a, b, c, d, X[9], 0xd9d4d039);
    StepH<11>(d, a, b, c, X[12], 0xe6db99e5);
    StepH<16>(c, d, a, b, X[15], 0x1fa27cf8);
    StepH<23>(b, c, d, a, X[2], 0xc4ac5665);

    // Round 4.
    StepI<6>(a, b, c, d, X[0], 0xf4292244);
    StepI<10>(d, a, b, c, X[7], 0x432aff97);
    StepI<15>(c, d, a, b, X[14], 0xab9423a7);
    StepI<21>(b, c, d, a, X[5], 0xfc93a039);
    StepI<6>(a, b, c, d, X[12], 0x655b59c3);
    StepI<10>(d, a, b, c, X[3], 0x8f0ccc92);
    StepI<15>(c, d, a, b, X[10], 0xffeff47d);
    StepI<21>(b, c, d, a, X[1], 0x85845dd1);
    StepI<6>(a, b, c, d, X[8], 0x6fa87e4f);
    StepI<10>(d, a, b, c, X[15], 0xfe2ce6e0);
    StepI<15>(c, d, a, b, X[6], 0xa3014314);
    StepI<21>(b, c, d, a, X[13], 0x4e0811a1);
    StepI<6>(a, b, c, d, X[4], 0xf7537e82);
    StepI<10>(d, a, b, c, X[11], 0xbd3af235);
    StepI<15>(c, d, a, b, X[2], 0x2ad7d2bb);
    StepI<21>(b, c, d, a, X[9], 0xeb86d391);

    Registers[0] = LongAddWrap(Registers[0], a);
    Registers[1] = LongAddWrap(Registers[1], b);
    Registers[2] = LongAddWrap(Registers[2], c);
    Registers[3] = LongAddWrap(Registers[3], d);
}

void clsMD5::BlockToWords(int n, std::uint32_t *X, const std::uint8_t *bytes)
{
    // RFC 1321 decodes message words little-endian whatever the host order;
    // on a little-endian host that is a plain copy.
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(X, bytes, static_cast<std::size_t>(n));
        return;
    }
    for (std::size_t k = 0; k < static_cast<std::size_t>(n / 4); ++k) {
        const std::uint8_t *p = bytes + 4 * k;
        X[k] = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16
            | std::uint32_t{p[3]} << 24;
    }
}

} // namespace mnemora
