#pragma once

#include "GenerateCodes.h"

#include <string>
#include <string_view>

namespace mnemora {

// Known-answer checks of the engine and the code generator, run before a
// front end derives anything: a build that computes wrong codes must say so
// instead of handing out passwords that will not work elsewhere.
//
// Returns an empty string when every check passes, otherwise a one-line
// description of the first failing check. Never throws.
std::string RunSelfTest() noexcept;

// The same checks with the code generator given; RunSelfTest() passes
// GenerateCodes. A generator that gets any character of either code wrong fails.
using CodeGenerator = Codes (*)(std::u16string_view password, std::u16string_view key);
std::string RunSelfTest(CodeGenerator generate) noexcept;

// The message both front ends show when the self-test fails.
inline constexpr const char *SelfTestFailureMessage
    = "this build computes wrong codes; do not use the codes it shows";

} // namespace mnemora
