// The C interface of the WebAssembly module, the web front end's only way
// into the core. web/core.js is its one caller.
//
// The caller writes UTF-16 texts into the two input buffers, calls a function
// with their lengths in units, reads the result and calls mnemora_wipe. A text
// longer than a buffer is passed cut to the buffer's length, which is one unit
// more than any text the core derives from, so the core still refuses it.

#include "Fingerprint.h"
#include "FitCode.h"
#include "GenerateCodes.h"
#include "Heap.h"
#include "PasswordRules.h"
#include "SecureWipe.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace {

using mnemora::MaxTextBytes;

constexpr std::size_t BufferUnits = MaxTextBytes + 1;
std::array<char16_t, BufferUnits> PasswordBuffer;
std::array<char16_t, BufferUnits> KeyBuffer;
// code16, then code32, ASCII.
std::array<char, 48> CodesBuffer;
// A password rule in UTF-8; a longer one is refused as such.
constexpr std::size_t RuleBytes = 4096;
std::array<char, RuleBytes> RuleBuffer;
// The fitted code, ASCII, NUL-terminated.
std::array<char, mnemora::MaxFittedLength + 1> FittedBuffer;
double FittedBits;
// Results in words: canonical rule, rule in words, part at fault, reason,
// each ended by a NUL (UTF-8).
std::array<char, 8192> TextBuffer;

void PutTexts(std::initializer_list<std::string_view> texts)
{
    std::size_t at = 0;
    for (const std::string_view text : texts) {
        const std::size_t n = std::min(text.size(), TextBuffer.size() - 1 - at - (texts.size() - 1));
        for (std::size_t i = 0; i < n; ++i)
            TextBuffer[at + i] = text[i];
        at += n;
        TextBuffer[at++] = '\0';
    }
}

// Parses the rule in RuleBuffer and writes its texts: canonical and words
// when it is sound, the part and the reason when not.
std::optional<mnemora::PasswordRule> ParseRule(std::uint32_t ruleBytes, std::int32_t language)
{
    mnemora::RuleProblem problem;
    std::optional<mnemora::PasswordRule> rule;
    if (ruleBytes > RuleBytes)
        problem = {"", "the rule is too long"};
    else
        rule = mnemora::TryParsePasswordRule({RuleBuffer.data(), ruleBytes}, problem);
    if (rule)
        PutTexts({mnemora::CanonicalRule(*rule),
            mnemora::DescribeRule(
                *rule, language == 1 ? mnemora::RuleLanguage::Chinese : mnemora::RuleLanguage::English),
            "", ""});
    else
        PutTexts({"", "", problem.part, problem.message});
    return rule;
}

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
    const mnemora::HeapScope heap;
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
    const mnemora::HeapScope heap;
    const Input password(PasswordBuffer, passwordUnits);
    const auto fingerprint = mnemora::PasswordFingerprint(password.Text());
    return fingerprint ? std::int32_t{*fingerprint} : -1;
}

MNEMORA_EXPORT("mnemora_rule_buffer") char *MnemoraRuleBuffer()
{
    return RuleBuffer.data();
}

MNEMORA_EXPORT("mnemora_rule_bytes") std::uint32_t MnemoraRuleBytes()
{
    return RuleBytes;
}

MNEMORA_EXPORT("mnemora_text") const char *MnemoraText()
{
    return TextBuffer.data();
}

MNEMORA_EXPORT("mnemora_fitted") const char *MnemoraFitted()
{
    return FittedBuffer.data();
}

MNEMORA_EXPORT("mnemora_fitted_bits") double MnemoraFittedBits()
{
    return FittedBits;
}

// Reads the rule of ruleBytes bytes in the rule buffer; returns 1 when it is
// sound (mnemora_text: canonical, words in the language, 0 English or 1
// Chinese) and 0 when not (mnemora_text: two empty texts, the part, the reason).
MNEMORA_EXPORT("mnemora_describe_rule")
std::int32_t MnemoraDescribeRule(std::uint32_t ruleBytes, std::int32_t language)
{
    const mnemora::HeapScope heap;
    return ParseRule(ruleBytes, language) ? 1 : 0;
}

// Fits a code to the rule in the rule buffer from the texts in the two input
// buffers. Returns the DeriveStatus (0 Ok, 1 Empty, 2 TooLong, 3 BadRule),
// plus 4 when the code is the plain one; a bad rule wins over the texts.
// mnemora_text as mnemora_describe_rule; the code in mnemora_fitted and its
// strength in mnemora_fitted_bits only after Ok. The inputs are wiped.
MNEMORA_EXPORT("mnemora_fit")
std::int32_t MnemoraFit(
    std::uint32_t passwordUnits, std::uint32_t keyUnits, std::uint32_t ruleBytes, std::int32_t language)
{
    const mnemora::HeapScope heap;
    const Input password(PasswordBuffer, passwordUnits);
    const Input key(KeyBuffer, keyUnits);
    mnemora::SecureWipe(FittedBuffer.data(), sizeof FittedBuffer);
    FittedBits = 0;
    const std::optional<mnemora::PasswordRule> rule = ParseRule(ruleBytes, language);
    if (!rule)
        return static_cast<std::int32_t>(mnemora::DeriveStatus::BadRule);
    mnemora::FittedCode fitted;
    const mnemora::DeriveStatus status = mnemora::TryFitCode(password.Text(), key.Text(), *rule, fitted);
    if (status == mnemora::DeriveStatus::BadRule) {
        const std::string canonical = mnemora::CanonicalRule(*rule);
        PutTexts({canonical, "", canonical, "no password that meets the rule could be made"});
    }
    if (status != mnemora::DeriveStatus::Ok)
        return static_cast<std::int32_t>(status);
    // Fitted codes are ASCII printable and at most MaxFittedLength long.
    for (std::size_t i = 0; i < fitted.code.size(); ++i)
        FittedBuffer[i] = static_cast<char>(fitted.code[i]);
    FittedBits = fitted.bits;
    return fitted.plain ? 4 : 0;
}

// Writes a preset's rule text (0 with a symbol, 1 at most n characters,
// 2 digits only) to mnemora_text.
MNEMORA_EXPORT("mnemora_preset_rule") void MnemoraPresetRule(std::int32_t preset, std::int32_t n)
{
    const mnemora::HeapScope heap;
    const auto kind = preset == 0 ? mnemora::RulePreset::WithSymbol
        : preset == 1             ? mnemora::RulePreset::AtMost
                                  : mnemora::RulePreset::DigitsOnly;
    PutTexts({mnemora::PresetRule(kind, n)});
}

// Wipes the codes once the caller has read them.
MNEMORA_EXPORT("mnemora_wipe") void MnemoraWipe()
{
    mnemora::SecureWipe(CodesBuffer.data(), sizeof CodesBuffer);
    mnemora::SecureWipe(FittedBuffer.data(), sizeof FittedBuffer);
    FittedBits = 0;
}
