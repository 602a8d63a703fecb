#pragma once

#include "SecretString.h"

#include <cstddef>
#include <istream>

namespace mnemora::cli {

enum class PasswordStatus {
    Read,    // the password is in the buffer (possibly empty)
    NoInput, // the input ended before a single byte arrived
    TooLong, // the line exceeded the reader's cap; nothing is kept
    Failed,  // the input could not be read
};

// Where the memorised password comes from. The command line asks for it only
// after its arguments turned out to be valid, and at most once.
class PasswordSource {
public:
    virtual ~PasswordSource() = default;

    // Replaces the buffer's content with the password's bytes as they were
    // typed (UTF-8 expected, not checked here). On any status other than
    // Read the buffer is left empty.
    virtual PasswordStatus ReadPassword(SecretString<char> &utf8) = 0;
};

// Reads the password as the first line of a stream: everything up to the
// first "\n", without it, and without a "\r" right before it. A last line
// with no line end counts as a line; an empty line is an empty password.
// Spaces and NUL bytes are part of the password.
//
// The stream is read one character at a time, so nothing but the stream's
// own buffer ever holds the password outside `utf8`.
class StreamPasswordSource final : public PasswordSource {
public:
    // Far above any usable password, low enough that endless input (a pipe
    // from /dev/zero) cannot exhaust memory.
    static constexpr std::size_t DefaultMaxLineBytes = std::size_t{1} << 20;

    explicit StreamPasswordSource(std::istream &in, std::size_t maxLineBytes = DefaultMaxLineBytes)
        : m_in(in)
        , m_maxLineBytes(maxLineBytes)
    { }

    PasswordStatus ReadPassword(SecretString<char> &utf8) override;

private:
    std::istream &m_in;
    std::size_t m_maxLineBytes;
};

} // namespace mnemora::cli
