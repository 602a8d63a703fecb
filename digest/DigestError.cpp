#include "DigestError.h"

namespace mnemora {

const char *ErrorKindName(ErrorKind kind) noexcept
{
    switch (kind) {
    case ErrorKind::Overflow:
        return "overflow";
    case ErrorKind::SubscriptOutOfRange:
        return "subscript out of range";
    case ErrorKind::TypeMismatch:
        return "type mismatch";
    }
    return "unknown error";
}

DigestError::DigestError(ErrorKind kind, const std::string &detail)
    : std::runtime_error(std::string(ErrorKindName(kind)) + ": " + detail)
    , m_kind(kind)
{ }

void RaiseDigestError(ErrorKind kind, const char *detail)
{
#if defined(__cpp_exceptions)
    throw DigestError(kind, detail);
#else
    static_cast<void>(kind);
    static_cast<void>(detail);
    __builtin_trap();
#endif
}

} // namespace mnemora
