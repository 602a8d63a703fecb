#include "FitCode.h"

#include "SecureWipe.h"

namespace mnemora {

void FittedCode::Wipe() noexcept
{
    SecureWipe(code);
    bits = 0;
    plain = false;
}

FittedCode FitCode(std::u16string_view password, std::u16string_view key, const PasswordRule &)
{
    const Codes codes = GenerateCodes(password, key);
    FittedCode fitted;
    fitted.code = codes.code16;
    fitted.plain = true;
    return fitted;
}

DeriveStatus TryFitCode(
    std::u16string_view password, std::u16string_view key, const PasswordRule &rule, FittedCode &out) noexcept
{
    out.Wipe();
    Codes codes;
    const DeriveStatus status = TryGenerateCodes(password, key, codes);
    if (status != DeriveStatus::Ok)
        return status;
    out = FitCode(password, key, rule);
    return DeriveStatus::Ok;
}

} // namespace mnemora
