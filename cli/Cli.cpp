#include "Cli.h"

#include "FitCode.h"
#include "GenerateCodes.h"
#include "PasswordRules.h"
#include "Utf8Decode.h"

#include <cstddef>
#include <exception>
#include <new>
#include <optional>
#include <string>

#ifndef MNEMORA_VERSION
#error "MNEMORA_VERSION must be defined by the build"
#endif

namespace mnemora::cli {

namespace {

constexpr std::string_view Prefix = "mnemora-cli: ";
constexpr std::string_view Hint = "Try 'mnemora-cli --help'.";
constexpr std::string_view VersionLine = "mnemora-cli " MNEMORA_VERSION "\n";

constexpr std::string_view UsageText =
    R"(Usage: mnemora-cli [--long | --all] KEY
       mnemora-cli [--all] (--rules RULE | --site DOMAIN [--previous]) KEY
Print the site password derived from the memorised password and KEY.

The password is asked for on the terminal, without echo. When standard input
is not a terminal, its first line is the password. It is never taken from
the arguments or the environment.

Options:
  --long     print the 32-character code instead of the 16-character one
  --all      print the 16-character code, then the 32-character code; with a
             rule, the fitted code, the rule, the rule in words and its strength
  --rules RULE
             print the code fitted to a password rule in the passwordrules
             syntax, e.g. 'minlength: 8; maxlength: 12; required: special'
             (the 16-character code itself wherever the rule accepts it)
  --site DOMAIN
             the same with the bundled rule of DOMAIN or its nearest listed
             parent domain
  --previous with --site: the site's previous bundled rule, for a code
             fitted before the list changed it
  --help     show this help and exit
  --version  show the version and exit
  --         end of options: what follows is the KEY, even if it starts with '-'

Exit status: 0 on success, 1 when the codes cannot be derived (password or
key longer than 32,767 bytes in UTF-8) or written, 2 on a usage error (a bad
rule or an unlisted site included).
)";

enum class Output { Short, Long, Both };

int Fail(std::ostream &err, int status, std::string_view message)
{
    err << Prefix << message << '\n';
    return status;
}

int UsageError(std::ostream &err, std::string_view message)
{
    err << Prefix << message << '\n' << Hint << '\n';
    return ExitUsage;
}

// Output that cannot be written (a full disk, a closed pipe) must not pass
// for success: the caller would take an empty or cut code for the real one.
int Finish(std::ostream &out, std::ostream &err)
{
    out.flush();
    if (!out)
        return Fail(err, ExitFailure, "could not write to standard output");
    return ExitSuccess;
}

void WriteCode(std::ostream &out, const std::u16string &code)
{
    // The codes are ASCII by construction.
    for (const char16_t c : code)
        out.put(static_cast<char>(c));
    out.put('\n');
}

int Run(std::span<const std::string_view> args, PasswordSource &password, std::ostream &out,
    std::ostream &err, SelfTestFunction selfTest)
{
    bool wantLong = false;
    bool wantAll = false;
    bool optionsEnded = false;
    std::optional<std::string_view> key;
    std::size_t operands = 0;

    // Options act in order, so "--help" answers even if a later argument is
    // wrong. A lone "-" is an operand, as usual.
    std::optional<std::string_view> ruleText;
    std::optional<std::string_view> site;
    bool wantPrevious = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
            // An option's value: the rest after '=', or the next argument.
            const auto value = [&](std::string_view name) -> std::optional<std::string_view> {
                if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=')
                    return arg.substr(name.size() + 1);
                if (arg == name && i + 1 < args.size())
                    return args[++i];
                return std::nullopt;
            };
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help") {
                out << UsageText;
                return Finish(out, err);
            } else if (arg == "--version") {
                out << VersionLine;
                return Finish(out, err);
            } else if (arg == "--long") {
                wantLong = true;
            } else if (arg == "--all") {
                wantAll = true;
            } else if (arg == "--previous") {
                wantPrevious = true;
            } else if (arg.starts_with("--rules")) {
                ruleText = value("--rules");
                if (!ruleText)
                    return UsageError(err, "--rules needs a rule");
            } else if (arg.starts_with("--site")) {
                site = value("--site");
                if (!site)
                    return UsageError(err, "--site needs a domain");
            } else {
                return UsageError(err, "unrecognised option '" + std::string(arg) + "'");
            }
            continue;
        }
        ++operands;
        if (!key)
            key = arg;
    }

    if (wantLong && wantAll)
        return UsageError(err, "--long and --all cannot be used together");
    if (!key)
        return UsageError(err, "no key given");
    if (operands > 1)
        return UsageError(err, "too many arguments: give exactly one key");
    if (ruleText && site)
        return UsageError(err, "--rules and --site cannot be used together");
    if (wantPrevious && !site)
        return UsageError(err, "--previous goes with --site");
    if (wantLong && (ruleText || site))
        return UsageError(err, "--long cannot be used with a rule: the rule sets the code's length");
    std::optional<PasswordRule> rule;
    if (site) {
        if (wantPrevious) {
            const std::vector<PreviousSiteRule> previous = PreviousSiteRules(*site);
            if (previous.empty())
                return Fail(err, ExitUsage, "no previous rule is kept for '" + std::string(*site) + "'");
            ruleText = previous.front().rule;
        } else {
            ruleText = BundledSiteRule(*site);
            if (!ruleText)
                return Fail(err, ExitUsage, "no password rule is listed for '" + std::string(*site) + "'");
        }
    }
    if (ruleText) {
        RuleProblem problem;
        rule = TryParsePasswordRule(*ruleText, problem);
        if (!rule)
            return Fail(err, ExitUsage,
                "bad rule: " + (problem.part.empty() ? "" : "\"" + problem.part + "\": ") + problem.message);
    }
    if (key->empty())
        return UsageError(err, "the key is empty");
    SecretString<char16_t> key16;
    if (!DecodeUtf8(*key, key16))
        return UsageError(err, "the key is not valid UTF-8");
    // Known now, so nobody types a password only to be told the key was wrong.
    if (key->size() > MaxTextBytes)
        return Fail(err, ExitFailure, "the key is longer than 32,767 bytes in UTF-8");

    // A build that computes wrong codes must not hand any out, nor ask for
    // the password it would misuse.
    if (const std::string failure = selfTest(); !failure.empty())
        return Fail(err, ExitFailure, std::string(SelfTestFailureMessage) + " (" + failure + ")");

    SecretString<char16_t> password16;
    std::size_t passwordBytes = 0;
    {
        SecretString<char> passwordUtf8;
        switch (password.ReadPassword(passwordUtf8)) {
        case PasswordStatus::Read:
            break;
        case PasswordStatus::NoInput:
            return Fail(err, ExitUsage, "no password given");
        case PasswordStatus::TooLong:
            return Fail(err, ExitFailure, "the password is longer than 32,767 bytes in UTF-8");
        case PasswordStatus::Failed:
            return Fail(err, ExitFailure, "could not read the password");
        }
        if (passwordUtf8.Empty())
            return Fail(err, ExitUsage, "the password is empty");
        if (!DecodeUtf8(passwordUtf8.View(), password16))
            return Fail(err, ExitUsage, "the password is not valid UTF-8");
        passwordBytes = passwordUtf8.Size();
    }

    Codes codes;
    const DeriveStatus status = TryGenerateCodes(password16.View(), key16.View(), codes);
    if (status == DeriveStatus::TooLong)
        return Fail(err, ExitFailure,
            passwordBytes > MaxTextBytes ? "the password is longer than 32,767 bytes in UTF-8"
                                         : "the key is longer than 32,767 bytes in UTF-8");
    if (status != DeriveStatus::Ok)
        return Fail(err, ExitUsage, "the password or the key is empty");
    if (rule) {
        FittedCode fitted;
        if (TryFitCode(password16.View(), key16.View(), *rule, fitted) != DeriveStatus::Ok)
            return Fail(err, ExitUsage, "bad rule: no password that meets it could be made");
        password16.Wipe();
        WriteCode(out, fitted.code);
        if (wantAll) {
            out << CanonicalRule(*rule) << '\n'
                << DescribeRule(*rule, RuleLanguage::English) << '\n'
                << static_cast<int>(fitted.bits) << " bits"
                << (fitted.plain ? " (the 16-character code)" : "") << '\n';
        }
        return Finish(out, err);
    }
    password16.Wipe();

    if (wantLong) {
        WriteCode(out, codes.code32);
    } else {
        WriteCode(out, codes.code16);
        if (wantAll)
            WriteCode(out, codes.code32);
    }
    return Finish(out, err);
}

} // namespace

int RunCli(std::span<const std::string_view> args, PasswordSource &password, std::ostream &out,
    std::ostream &err, SelfTestFunction selfTest)
{
    // Nothing reaches `out` before the codes exist, so failing here, even
    // half-way, never leaves a partial result on standard output.
    return RunReportingFailures(err, [&] { return Run(args, password, out, err, selfTest); });
}

int RunReportingFailures(std::ostream &err, const std::function<int()> &body)
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return Fail(err, ExitFailure, "out of memory");
    } catch (const std::exception &e) {
        return Fail(err, ExitFailure, e.what());
    }
}

} // namespace mnemora::cli
