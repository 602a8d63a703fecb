// The C interface of the WebAssembly module, the web front end's only way
// into the core. web/core.js is its one caller.
//
// The caller writes UTF-16 texts into the two input buffers, calls a function
// with their lengths in units, reads the result and calls mnemora_wipe. A text
// longer than a buffer is passed cut to the buffer's length, which is one unit
// more than any text the core derives from, so the core still refuses it.

#include "Fingerprint.h"
#include "GenerateCodes.h"
#include "SecureWipe.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

using mnemora::MaxTextBytes;

constexpr std::size_t BufferUnits = MaxTextBytes + 1;
std::array<char16_t, BufferUnits> PasswordBuffer;
std::array<char16_t, BufferUnits> KeyBuffer;
// code16, then code32, ASCII.
std::array<char, 48> CodesBuffer;

using Buffer = std::array<char16_t, BufferUnits>;

// The text the caller wrote into a buffer; it wipes it when done. Only those
// units are wiped: wiping whole buffers would cost more than the derivation.
class Input {
public:
    Input(Buffer &buffer, std::uint32_t units)
        : m_buffer(buffer)
        , m_units(units < BufferUnits ? units : BufferUnits)
    { }
    ~Input() { mnemora::SecureWipe(m_buffer.data(), m_units * sizeof(char16_t)); }
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    std::u16string_view Text() const { return {m_buffer.data(), m_units}; }

private:
    Buffer &m_buffer;
    std::size_t m_units;
};

} // namespace

#define MNEMORA_EXPORT(name) extern "C" __attribute__((export_name(name)))

MNEMORA_EXPORT("mnemora_password_buffer") char16_t *MnemoraPasswordBuffer()
{
    return PasswordBuffer.data();
}

MNEMORA_EXPORT("mnemora_key_buffer") char16_t *MnemoraKeyBuffer()
{
    return KeyBuffer.data();
}

MNEMORA_EXPORT("mnemora_buffer_units") std::uint32_t MnemoraBufferUnits()
{
    return BufferUnits;
}

MNEMORA_EXPORT("mnemora_codes") const char *MnemoraCodes()
{
    return CodesBuffer.data();
}

// Derives from the texts in the two buffers; returns the DeriveStatus
// (0 Ok, 1 Empty, 2 TooLong). The codes are in mnemora_codes only after Ok.
// The input buffers are wiped before it returns.
MNEMORA_EXPORT("mnemora_derive")
std::int32_t MnemoraDerive(std::uint32_t passwordUnits, std::uint32_t keyUnits)
{
    const Input password(PasswordBuffer, passwordUnits);
    const Input key(KeyBuffer, keyUnits);
    mnemora::Codes codes;
    const mnemora::DeriveStatus status = mnemora::TryGenerateCodes(password.Text(), key.Text(), codes);
    mnemora::SecureWipe(CodesBuffer.data(), sizeof CodesBuffer);
    if (status == mnemora::DeriveStatus::Ok) {
        // The codes are ASCII by construction.
        for (std::size_t i = 0; i < 16; ++i)
            CodesBuffer[i] = static_cast<char>(codes.code16[i]);
        for (std::size_t i = 0; i < 32; ++i)
            CodesBuffer[16 + i] = static_cast<char>(codes.code32[i]);
    }
    return static_cast<std::int32_t>(status);
}

// The password's typo fingerprint (0 to 65,535), or -1 when the password is
// empty or too long. The password buffer is wiped before it returns.
MNEMORA_EXPORT("mnemora_fingerprint") std::int32_t MnemoraFingerprint(std::uint32_t passwordUnits)
{
    const Input password(PasswordBuffer, passwordUnits);
    const auto fingerprint = mnemora::PasswordFingerprint(password.Text());
    return fingerprint ? std::int32_t{*fingerprint} : -1;
}

// Wipes the codes once the caller has read them.
MNEMORA_EXPORT("mnemora_wipe") void MnemoraWipe()
{
    mnemora::SecureWipe(CodesBuffer.data(), sizeof CodesBuffer);
}
