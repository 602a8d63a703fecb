// RunCli end to end, in-process: arguments, a password stream, and the
// resulting exit status and output streams.

#include "Cli.h"
#include "GenerateCodes.h"
#include "TestData.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace mnemora::cli {
namespace {

using namespace std::string_literals;

struct Result {
    int status;
    std::string out;
    std::string err;
    int passwordReads;
};

// Counts reads so tests can tell whether the password was asked for at all.
class CountingSource final : public PasswordSource {
public:
    explicit CountingSource(std::istream &in, std::size_t maxLine)
        : m_inner(in, maxLine)
    { }
    PasswordStatus ReadPassword(SecretString<char> &utf8) override
    {
        ++reads;
        return m_inner.ReadPassword(utf8);
    }
    int reads = 0;

private:
    StreamPasswordSource m_inner;
};

Result RunWith(const std::vector<std::string> &args, const std::string &stdinText,
    std::size_t maxLine = StreamPasswordSource::DefaultMaxLineBytes)
{
    const std::vector<std::string_view> views(args.begin(), args.end());
    std::istringstream in(stdinText);
    CountingSource source(in, maxLine);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(views, source, out, err);
    return {status, out.str(), err.str(), source.reads};
}

using test::Narrow;

// --- Known derivations ------------------------------------------------------

struct KnownCodes {
    std::string password;
    std::string key;
    std::string code16;
    std::string code32;
};

void PrintTo(const KnownCodes &k, std::ostream *os)
{
    *os << '"' << k.password << "\" \"" << k.key << '"';
}

enum class Mode { Default, Long, All };

void PrintTo(Mode m, std::ostream *os)
{
    *os << (m == Mode::Default ? "default" : m == Mode::Long ? "--long" : "--all");
}

class CliKnownCodes : public testing::TestWithParam<std::tuple<KnownCodes, Mode>> { };

TEST_P(CliKnownCodes, PrintsTheSelectedCodes)
{
    const auto &[known, mode] = GetParam();
    std::vector<std::string> args;
    std::string expected = known.code16 + "\n";
    if (mode == Mode::Long) {
        args.push_back("--long");
        expected = known.code32 + "\n";
    } else if (mode == Mode::All) {
        args.push_back("--all");
        expected += known.code32 + "\n";
    }
    args.push_back(known.key);

    const Result r = RunWith(args, known.password + "\n");
    EXPECT_EQ(r.status, ExitSuccess);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.passwordReads, 1);
}

INSTANTIATE_TEST_SUITE_P(Vectors, CliKnownCodes,
    testing::Combine(
        testing::Values(KnownCodes{"test", "taobao", "a20caCf8Eb1b8B6d", "a20caCf8Eb1b8B6d5b8a66996910E124"},
            KnownCodes{"taobao", "test", "KA55784DDe9C7632", "5A55784DDe9C7632Fcb5685EB6F6F1DE"},
            KnownCodes{"密码", "淘宝", "B992378745248eCD", "B992378745248eCD44c7062dA515FdBc"}),
        testing::Values(Mode::Default, Mode::Long, Mode::All)));

// The known fitted codes, the same through the command line as in the core.
TEST(CliFittedCodes, KnownAnswers)
{
    for (const test::FittedVector &v : test::FittedVectors()) {
        const Result r = RunWith({"--rules", v.rule, v.key}, v.password + "\n");
        EXPECT_EQ(r.status, ExitSuccess) << v.rule << ": " << r.err;
        EXPECT_EQ(r.out, v.code + "\n") << v.rule;
    }
}

TEST(CliFittedCodes, AllShowsTheRuleItsWordsAndStrength)
{
    const Result r = RunWith({"--all", "--site", "www.access.service.gov.uk", "taobao"}, "test\n");
    EXPECT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out,
        "kxFF7ciPW.(/R)J%\n"
        "required: lower; required: upper; required: digit; required: special; allowed: ascii-printable; "
        "minlength: 10;\n"
        "at least 10 characters, with a lower-case letter, with an upper-case letter, with a digit, with a "
        "symbol\n"
        "96 bits\n");
}

// --- What counts as the password --------------------------------------------

// Every input here must be read as the password "test".
class CliLineEnds : public testing::TestWithParam<std::string> { };

TEST_P(CliLineEnds, GiveThePasswordOfTheFirstLine)
{
    const Result r = RunWith({"taobao"}, GetParam());
    EXPECT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out, "a20caCf8Eb1b8B6d\n");
}

INSTANTIATE_TEST_SUITE_P(Inputs, CliLineEnds,
    testing::Values("test\n", "test\r\n", "test", "test\nsecond\n", "test\r\n\r\n", "test\nother password",
        "test\rsecond\n", "test\r"));

struct ExactText {
    std::string stdinText;
    std::string key;
    std::u16string password16; // what the core must be given
    std::u16string key16;
};

void PrintTo(const ExactText &t, std::ostream *os)
{
    *os << testing::PrintToString(t.stdinText) << ' ' << testing::PrintToString(t.key);
}

// Nothing is trimmed or dropped: spaces, NULs and characters beyond U+FFFF
// reach the derivation unchanged.
class CliExactText : public testing::TestWithParam<ExactText> { };

TEST_P(CliExactText, ReachesTheDerivationUnchanged)
{
    const ExactText &p = GetParam();
    const Result r = RunWith({"--all", p.key}, p.stdinText);
    const Codes codes = GenerateCodes(p.password16, p.key16);
    EXPECT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out, Narrow(codes.code16) + "\n" + Narrow(codes.code32) + "\n");
    // All of these differ from the plain pair, so a trimming bug cannot pass.
    EXPECT_NE(r.out.substr(0, 17), "a20caCf8Eb1b8B6d\n");
}

INSTANTIATE_TEST_SUITE_P(Texts, CliExactText,
    testing::Values(ExactText{"test \n", "taobao", u"test ", u"taobao"},
        ExactText{" test\n", "taobao", u" test", u"taobao"},
        ExactText{"test\n", "taobao ", u"test", u"taobao "},
        ExactText{"test\n", " taobao", u"test", u" taobao"},
        ExactText{"te\0st\n"s, "taobao", u"te\0st"s, u"taobao"},
        ExactText{"\xF0\x9F\x98\x80\n", "\xF0\x9F\x94\x91", u"\U0001F600", u"\U0001F511"}));

// --- Failures ------------------------------------------------------------------

struct FailureCase {
    const char *name;
    std::vector<std::string> args;
    std::string stdinText;
    int status;
    std::string message; // the first line of stderr, after "mnemora-cli: "
    bool hint;           // arguments at fault: the help hint follows
    // Every argument is checked before the password is asked for.
    bool asksPassword = !hint;
};

void PrintTo(const FailureCase &c, std::ostream *os)
{
    *os << c.name;
}

class CliFailures : public testing::TestWithParam<FailureCase> { };

TEST_P(CliFailures, ReportOneLineAndPrintNothing)
{
    const FailureCase &c = GetParam();
    const Result r = RunWith(c.args, c.stdinText);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    std::string expectedErr = "mnemora-cli: " + c.message + "\n";
    if (c.hint)
        expectedErr += "Try 'mnemora-cli --help'.\n";
    EXPECT_EQ(r.err, expectedErr);
    EXPECT_EQ(r.passwordReads, c.asksPassword ? 1 : 0);
}

const std::string Ascii32767(32767, 'a');
const std::string Ascii32768(32768, 'a');
// 10,923 three-byte characters: 32,769 bytes but only 10,923 UTF-16 units.
std::string Repeat(std::string_view s, std::size_t n)
{
    std::string r;
    for (std::size_t i = 0; i < n; ++i)
        r += s;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliFailures,
    testing::Values(FailureCase{"NoArguments", {}, "test\n", ExitUsage, "no key given", true},
        FailureCase{"OnlyOptions", {"--long"}, "test\n", ExitUsage, "no key given", true},
        FailureCase{"OnlyDoubleDash", {"--"}, "test\n", ExitUsage, "no key given", true},
        FailureCase{"EmptyKey", {""}, "test\n", ExitUsage, "the key is empty", true},
        FailureCase{"UnknownLongOption", {"--short", "k"}, "test\n", ExitUsage,
            "unrecognised option '--short'", true},
        FailureCase{"UnknownShortOption", {"k", "-l"}, "test\n", ExitUsage, "unrecognised option '-l'", true},
        FailureCase{"LongAndAll", {"--long", "--all", "k"}, "test\n", ExitUsage,
            "--long and --all cannot be used together", true},
        FailureCase{
            "TwoKeys", {"a", "b"}, "test\n", ExitUsage, "too many arguments: give exactly one key", true},
        FailureCase{"KeyOverlong", {"\xC0\xAF"}, "test\n", ExitUsage, "the key is not valid UTF-8", true},
        FailureCase{
            "KeySurrogate", {"k\xED\xA0\x80"}, "test\n", ExitUsage, "the key is not valid UTF-8", true},
        FailureCase{
            "KeyAboveUnicode", {"\xF4\x90\x80\x80"}, "test\n", ExitUsage, "the key is not valid UTF-8", true},
        FailureCase{"KeyTruncated", {"\xE6\xB7"}, "test\n", ExitUsage, "the key is not valid UTF-8", true},
        FailureCase{"KeyLatin1", {"caf\xE9"}, "test\n", ExitUsage, "the key is not valid UTF-8", true},
        FailureCase{"NoPassword", {"k"}, "", ExitUsage, "no password given", false},
        FailureCase{"EmptyPassword", {"k"}, "\nsecond\n", ExitUsage, "the password is empty", false},
        FailureCase{"EmptyPasswordCrLf", {"k"}, "\r\n", ExitUsage, "the password is empty", false},
        FailureCase{
            "PasswordOverlong", {"k"}, "\xE0\x80\xAF\n", ExitUsage, "the password is not valid UTF-8", false},
        FailureCase{"PasswordSurrogate", {"k"}, "\xED\xBF\xBF\n", ExitUsage,
            "the password is not valid UTF-8", false},
        FailureCase{"PasswordAboveUnicode", {"k"}, "\xF5\x80\x80\x80\n", ExitUsage,
            "the password is not valid UTF-8", false},
        FailureCase{"PasswordTruncated", {"k"}, "pa\xF0\x9F\x98\n", ExitUsage,
            "the password is not valid UTF-8", false},
        FailureCase{"PasswordStrayContinuation", {"k"}, "\x80pw\n", ExitUsage,
            "the password is not valid UTF-8", false},
        FailureCase{"PasswordTooLong", {"k"}, Ascii32768 + "\n", ExitFailure,
            "the password is longer than 32,767 bytes in UTF-8", false},
        FailureCase{"PasswordTooLongInUtf8Only", {"k"}, Repeat("密", 10923), ExitFailure,
            "the password is longer than 32,767 bytes in UTF-8", false},
        FailureCase{"KeyTooLong", {Ascii32768}, "test\n", ExitFailure,
            "the key is longer than 32,767 bytes in UTF-8", false, false},
        FailureCase{"BadRule", {"--rules", "minlength: 8; maxlength: 0", "k"}, "test\n", ExitUsage,
            "bad rule: \"maxlength: 0\": a password cannot be empty", false, false},
        FailureCase{"UnlistedSite", {"--site=example.invalid", "k"}, "test\n", ExitUsage,
            "no password rule is listed for 'example.invalid'", false, false},
        FailureCase{"NoPreviousRule", {"--site", "163.com", "--previous", "k"}, "test\n", ExitUsage,
            "no previous rule is kept for '163.com'", false, false},
        FailureCase{"RulesWithoutRule", {"--rules"}, "test\n", ExitUsage, "--rules needs a rule", true},
        FailureCase{"LongWithRule", {"--long", "--rules", "maxlength: 8", "k"}, "test\n", ExitUsage,
            "--long cannot be used with a rule: the rule sets the code's length", true},
        FailureCase{"RulesAndSite", {"--rules", "maxlength: 8", "--site", "163.com", "k"}, "test\n",
            ExitUsage, "--rules and --site cannot be used together", true},
        FailureCase{"PreviousWithoutSite", {"--previous", "k"}, "test\n", ExitUsage,
            "--previous goes with --site", true}),
    [](const testing::TestParamInfo<FailureCase> &param) { return param.param.name; });

TEST(CliLimits, TextsOfExactly32767BytesAreAccepted)
{
    const Codes codes = GenerateCodes(std::u16string(32767, u'a'), std::u16string(32767, u'a'));
    const Result r = RunWith({Ascii32767}, Ascii32767 + "\n");
    EXPECT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out, Narrow(codes.code16) + "\n");
}

TEST(CliLimits, EndlessLineStopsAtTheReadersCap)
{
    const Result r = RunWith({"k"}, std::string(100, 'a'), 64);
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "mnemora-cli: the password is longer than 32,767 bytes in UTF-8\n");
}

// --- Options ---------------------------------------------------------------------

struct KeyCase {
    std::vector<std::string> args;
    std::u16string key; // the key the arguments must select
    bool longCode;
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << testing::PrintToString(c.args);
}

class CliKeyArguments : public testing::TestWithParam<KeyCase> { };

TEST_P(CliKeyArguments, SelectTheKey)
{
    const KeyCase &c = GetParam();
    const Codes codes = GenerateCodes(u"test", c.key);
    const Result r = RunWith(c.args, "test\n");
    EXPECT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out, Narrow(c.longCode ? codes.code32 : codes.code16) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Arguments, CliKeyArguments,
    testing::Values(KeyCase{{"--", "--weird-key"}, u"--weird-key", false},
        KeyCase{{"--long", "--", "--all"}, u"--all", true}, KeyCase{{"--", "--"}, u"--", false},
        KeyCase{{"-"}, u"-", false}, KeyCase{{"-", "--long"}, u"-", true},
        KeyCase{{"--long", "--long", "k"}, u"k", true}));

// Options act in order: --help answers as soon as it is reached.
class CliHelp : public testing::TestWithParam<std::vector<std::string>> { };

TEST_P(CliHelp, GoesToStdoutWithoutReadingThePassword)
{
    const Result r = RunWith(GetParam(), "test\n");
    EXPECT_EQ(r.status, ExitSuccess);
    EXPECT_EQ(r.out.rfind("Usage: mnemora-cli [--long | --all] KEY\n", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.passwordReads, 0);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CliHelp,
    testing::Values(std::vector<std::string>{"--help"}, std::vector<std::string>{"--help", "--bogus"},
        std::vector<std::string>{"k", "--help"}, std::vector<std::string>{"--long", "--all", "--help"}));

TEST(CliInformation, VersionComesFromTheProject)
{
    const Result r = RunWith({"--version"}, "test\n");
    EXPECT_EQ(r.status, ExitSuccess);
    EXPECT_EQ(r.out, "mnemora-cli " MNEMORA_VERSION "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.passwordReads, 0);
    // An option after "--" is the key, not a request for the version.
    EXPECT_NE(RunWith({"--", "--version"}, "test\n").out, r.out);
}

// --- Source and sink failures --------------------------------------------------

class FailingSource final : public PasswordSource {
public:
    PasswordStatus ReadPassword(SecretString<char> &) override { return PasswordStatus::Failed; }
};

TEST(CliStreams, UnreadablePasswordFails)
{
    FailingSource source;
    std::ostringstream out;
    std::ostringstream err;
    const std::string_view args[] = {"k"};
    EXPECT_EQ(RunCli(args, source, out, err), ExitFailure);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "mnemora-cli: could not read the password\n");
}

TEST(CliStreams, UnwritableOutputFails)
{
    std::istringstream in("test\n");
    StreamPasswordSource source(in);
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    const std::string_view args[] = {"taobao"};
    EXPECT_EQ(RunCli(args, source, out, err), ExitFailure);
    EXPECT_EQ(err.str(), "mnemora-cli: could not write to standard output\n");
}

// An exception out of a program's body (out of memory, a failed conversion)
// is one line and a failure's status, never 0; a status the body returns passes.
struct EscapingCase {
    const char *name;
    std::function<int()> body;
    int status;
    const char *err;
};

class CliEscapingFailures : public testing::TestWithParam<EscapingCase> { };

TEST_P(CliEscapingFailures, EndInAFailuresStatus)
{
    std::ostringstream err;
    EXPECT_EQ(RunReportingFailures(err, GetParam().body), GetParam().status);
    EXPECT_EQ(err.str(), GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(Bodies, CliEscapingFailures,
    testing::Values(EscapingCase{"OutOfMemory", []() -> int { throw std::bad_alloc(); }, ExitFailure,
                        "mnemora-cli: out of memory\n"},
        EscapingCase{"FailedConversion", []() -> int { throw std::range_error("bad conversion"); },
            ExitFailure, "mnemora-cli: bad conversion\n"},
        EscapingCase{"Returned", [] { return int{ExitUsage}; }, ExitUsage, ""}),
    [](const testing::TestParamInfo<EscapingCase> &row) { return std::string(row.param.name); });

// --- Hostile input ---------------------------------------------------------------

struct HostileCase {
    const char *name;
    std::string password;        // UTF-8 as typed
    std::u16string expectedText; // what must reach the core, when it derives
    int status;
};

class CliHostileInput : public testing::TestWithParam<HostileCase> { };

TEST_P(CliHostileInput, DerivesFromExactlyTheTypedTextOrFailsCleanly)
{
    const HostileCase &c = GetParam();
    const Result r = RunWith({"--all", "site"}, c.password + "\n");
    ASSERT_EQ(r.status, c.status) << r.err;
    if (c.status != ExitSuccess) {
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("mnemora-cli: ", 0), 0u);
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line only";
        return;
    }
    const Codes expected = GenerateCodes(c.expectedText, u"site");
    EXPECT_EQ(r.out, Narrow(expected.code16) + "\n" + Narrow(expected.code32) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Passwords, CliHostileInput,
    testing::Values(HostileCase{"one_megabyte_pasted", Repeat("x", std::size_t{1} << 20), u"", ExitFailure},
        HostileCase{"forty_thousand_chinese_characters", Repeat("\xE5\xAF\x86", std::size_t{40000}), u"",
            ExitFailure},
        HostileCase{"encoded_lone_surrogate",
            "a\xED\xA0\x80"
            "b",
            u"", ExitUsage},
        HostileCase{"nul_inside", "a"s + '\0' + "b", std::u16string{u'a', u'\0', u'b'}, ExitSuccess},
        HostileCase{"bidi_override",
            "\xE2\x80\xAE"
            "drow",
            u"\u202Edrow", ExitSuccess},
        HostileCase{"combining_accent", "e\xCC\x81", u"e\u0301", ExitSuccess},
        HostileCase{"emoji",
            "\xF0\x9F\x94\x91"
            "key",
            u"\U0001F511key", ExitSuccess},
        HostileCase{"leading_and_trailing_spaces", "  pw  ", u"  pw  ", ExitSuccess}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(CliHostileInput, PrecomposedAndCombiningFormsAreDifferentPasswords)
{
    // No normalisation: the bytes typed are the password.
    EXPECT_NE(RunWith({"site"}, "\xC3\xA9\n").out, RunWith({"site"}, "e\xCC\x81\n").out);
}

// --- Self-test -------------------------------------------------------------------

class FixedPasswordSource final : public PasswordSource {
public:
    PasswordStatus ReadPassword(SecretString<char> &utf8) override
    {
        ++reads;
        utf8.PushBack('p');
        return PasswordStatus::Read;
    }
    int reads = 0;
};

std::string FailingSelfTest() noexcept
{
    return "codes for key \"taobao\" are wrong";
}

TEST(CliSelfTest, AFailingSelfTestRefusesToDeriveAndNeverAsksForThePassword)
{
    FixedPasswordSource source;
    std::ostringstream out;
    std::ostringstream err;
    const std::string_view args[] = {"--all", "taobao"};
    EXPECT_EQ(RunCli(args, source, out, err, FailingSelfTest), ExitFailure);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(source.reads, 0);
    EXPECT_EQ(err.str().rfind("mnemora-cli: this build computes wrong codes", 0), 0u) << err.str();
}

TEST(CliSelfTest, ThePassingSelfTestOfThisBuildLetsTheDerivationThrough)
{
    FixedPasswordSource source;
    std::ostringstream out;
    std::ostringstream err;
    const std::string_view args[] = {"taobao"};
    EXPECT_EQ(RunCli(args, source, out, err), ExitSuccess);
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(out.str().size(), 17u);
}

} // namespace
} // namespace mnemora::cli
