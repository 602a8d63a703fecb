#pragma once

#include <stdexcept>
#include <string>

namespace mnemora {

// The three ways a digest operation can fail. Every failure of the core is a
// DigestError carrying one of them, so callers can tell an over-long input
// (Overflow) from a programming error (the other two).
enum class ErrorKind {
    Overflow,            // a count or value beyond its integer width
    SubscriptOutOfRange, // an empty or too short byte array
    TypeMismatch,        // a hex pair that is not hexadecimal
};

const char *ErrorKindName(ErrorKind kind) noexcept;

class DigestError : public std::runtime_error {
public:
    DigestError(ErrorKind kind, const std::string &detail);

    ErrorKind kind() const noexcept { return m_kind; }

private:
    ErrorKind m_kind;
};

// Every failure of the core goes through here: it throws DigestError. A build
// without exceptions (the WebAssembly module) stops at once instead; its front
// end reaches the core only through TryGenerateCodes, which refuses every
// input that could get this far.
[[noreturn]] void RaiseDigestError(ErrorKind kind, const char *detail);

} // namespace mnemora
