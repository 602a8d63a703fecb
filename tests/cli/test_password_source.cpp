// Reading the password as the first line of a stream.

#include "PasswordSource.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>

namespace mnemora::cli {
namespace {

using namespace std::string_literals;

struct LineCase {
    std::string input;
    PasswordStatus status;
    std::string password;
    std::string rest; // what must be left unread in the stream
};

void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << testing::PrintToString(c.input);
}

class StreamPasswordLine : public testing::TestWithParam<LineCase> { };

TEST_P(StreamPasswordLine, ReadsExactlyTheFirstLine)
{
    const LineCase &c = GetParam();
    std::istringstream in(c.input);
    StreamPasswordSource source(in);
    SecretString<char> password;
    EXPECT_EQ(source.ReadPassword(password), c.status);
    EXPECT_EQ(std::string(password.View()), c.password);
    in.clear();
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.rest);
}

INSTANTIATE_TEST_SUITE_P(Inputs, StreamPasswordLine,
    testing::Values(LineCase{"pw\n", PasswordStatus::Read, "pw", ""},
        LineCase{"pw\r\n", PasswordStatus::Read, "pw", ""}, LineCase{"pw", PasswordStatus::Read, "pw", ""},
        LineCase{"pw\nnext\n", PasswordStatus::Read, "pw", "next\n"},
        LineCase{"pw\r\nnext", PasswordStatus::Read, "pw", "next"},
        LineCase{"\n", PasswordStatus::Read, "", ""}, LineCase{"\r\n", PasswordStatus::Read, "", ""},
        LineCase{"\npw\n", PasswordStatus::Read, "", "pw\n"}, LineCase{"", PasswordStatus::NoInput, "", ""},
        LineCase{"  p w  \n", PasswordStatus::Read, "  p w  ", ""},
        LineCase{"p\0w\0\n"s, PasswordStatus::Read, "p\0w\0"s, ""},
        // A lone carriage return ends the password as a line end does.
        LineCase{"pw\r", PasswordStatus::Read, "pw", ""},
        LineCase{"pw\r\r\n", PasswordStatus::Read, "pw", ""},
        LineCase{"\rpw\n", PasswordStatus::Read, "", ""},
        LineCase{"p\rw\nnext", PasswordStatus::Read, "p", "next"},
        // A leading byte-order mark is dropped; anything else like it is kept.
        LineCase{"\xEF\xBB\xBFpw\n", PasswordStatus::Read, "pw", ""},
        LineCase{"\xEF\xBBpw\xEF\xBB\xBF\n", PasswordStatus::Read, "\xEF\xBBpw\xEF\xBB\xBF", ""}));

struct CapCase {
    std::string input;
    PasswordStatus status;
    std::string password;
};

void PrintTo(const CapCase &c, std::ostream *os)
{
    *os << testing::PrintToString(c.input);
}

class StreamPasswordCap : public testing::TestWithParam<CapCase> { };

TEST_P(StreamPasswordCap, StopsReadingBeyondTheCap)
{
    std::istringstream in(GetParam().input);
    StreamPasswordSource source(in, 4);
    SecretString<char> password;
    EXPECT_EQ(source.ReadPassword(password), GetParam().status);
    EXPECT_EQ(std::string(password.View()), GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(Inputs, StreamPasswordCap,
    testing::Values(CapCase{"abcd\n", PasswordStatus::Read, "abcd"},
        CapCase{"abcd", PasswordStatus::Read, "abcd"}, CapCase{"abc\r\n", PasswordStatus::Read, "abc"},
        CapCase{"abcde\n", PasswordStatus::TooLong, ""}, CapCase{"abcde", PasswordStatus::TooLong, ""}));

// Hands out its text, then fails the way a broken descriptor does.
class BreakingBuf final : public std::streambuf {
public:
    explicit BreakingBuf(std::string text)
        : m_text(std::move(text))
    { }

protected:
    int_type underflow() override
    {
        if (m_given)
            throw std::runtime_error("read failed");
        m_given = true;
        setg(m_text.data(), m_text.data(), m_text.data() + m_text.size());
        return traits_type::to_int_type(m_text.front());
    }

private:
    std::string m_text;
    bool m_given = false;
};

TEST(StreamPasswordFailure, ReadErrorDropsWhatWasRead)
{
    BreakingBuf buf("partial");
    std::istream in(&buf);
    StreamPasswordSource source(in);
    SecretString<char> password;
    EXPECT_EQ(source.ReadPassword(password), PasswordStatus::Failed);
    EXPECT_TRUE(password.Empty());
}

} // namespace
} // namespace mnemora::cli
