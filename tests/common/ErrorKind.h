#pragma once

// The kind of DigestError an action throws; a failure of the calling test when
// it throws none.

#include "DigestError.h"

#include <gtest/gtest.h>

#include <functional>

namespace mnemora::test {

inline ErrorKind KindOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const DigestError &e) {
        return e.kind();
    }
    ADD_FAILURE() << "expected a DigestError";
    return ErrorKind::TypeMismatch;
}

} // namespace mnemora::test
