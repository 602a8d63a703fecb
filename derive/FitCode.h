#pragma once

#include "GenerateCodes.h"
#include "PasswordRules.h"

#include <string>
#include <string_view>

namespace mnemora {

// A code fitted to a site's password rule (docs/fitted-code.md). A secret:
// it wipes itself when destroyed.
struct FittedCode {
    std::u16string code;
    double bits = 0;    // strength of the construction, in bits
    bool plain = false; // the code is the plain 16-character code

    FittedCode() = default;
    FittedCode(const FittedCode &other) = default;
    FittedCode &operator=(const FittedCode &other) = default;
    ~FittedCode() { Wipe(); }
    void Wipe() noexcept;
};

// The code for (password, key) that the rule accepts: the plain 16-character
// code where the rule accepts it, otherwise one drawn from the derivation over
// the rule's characters. A pure function of the password, the key and the
// rule's canonical text.
//
// Throws like GenerateCodes, and RuleError for a rule no code could be drawn
// for (never for a rule TryParsePasswordRule accepted in practice).
FittedCode FitCode(std::u16string_view password, std::u16string_view key, const PasswordRule &rule);

// The same with the inputs checked first, as TryGenerateCodes; BadRule when
// no code could be drawn. out is left empty unless Ok.
DeriveStatus TryFitCode(std::u16string_view password, std::u16string_view key, const PasswordRule &rule,
    FittedCode &out) noexcept;

} // namespace mnemora
