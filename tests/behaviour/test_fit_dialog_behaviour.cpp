// The fit dialog's toolkit-free rules: what a typed site names, how a label
// is named to assistive technology, and when the code is fitted again.
#include "FitDialogBehaviour.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mnemora {
namespace {

class RecordingPort final : public FitDialogPort {
public:
    std::vector<std::string> calls;

    void SetRuleText(std::string_view rule) override { calls.push_back("rule " + std::string(rule)); }
    void ShowFitted(std::u16string_view, const std::string &, const std::string &) override
    {
        calls.push_back("fitted");
    }
    void ShowProblem(const std::string &message) override { calls.push_back("problem " + message); }
};

struct Row {
    const char *in;
    const char *out;
};

class SiteHost : public testing::TestWithParam<Row> { };

TEST_P(SiteHost, IsTheHostOfWhatWasTyped)
{
    EXPECT_EQ(FitDialogBehaviour::SiteHost(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Sites, SiteHost,
    testing::Values(Row{"example.com", "example.com"},
        Row{"  Accounts.Example.COM. ", "accounts.example.com"},
        Row{"https://user:pw@www.example.com:8443/login?next=/#top", "www.example.com"},
        Row{"example.com/a@b", "example.com"}));

class Accessible : public testing::TestWithParam<Row> { };

TEST_P(Accessible, DropsTheAccessKeyAndColon)
{
    EXPECT_EQ(AccessibleText(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Labels, Accessible,
    testing::Values(Row{"网站(&S)：", "网站"}, Row{"&Site:", "Site"}, Row{"with a s&ymbol", "with a symbol"},
        Row{"R&&D", "R&D"}));

// A preset or site whose rule the field already shows writes nothing, which
// a window would not report back: the code is fitted again at once instead.
TEST(FitDialogBehaviour, ARuleTheFieldAlreadyShowsIsFittedAgain)
{
    RecordingPort port;
    FitDialogBehaviour behaviour(port, RuleLanguage::English);
    const std::string rule = PresetRule(RulePreset::WithSymbol, 12);
    behaviour.PresetChosen(u"test", u"taobao", "", RulePreset::WithSymbol, 12);
    behaviour.PresetChosen(u"test", u"taobao", rule, RulePreset::WithSymbol, 12);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"rule " + rule, "fitted"}));
}

} // namespace
} // namespace mnemora
