// What only the toolkit-free rules decide; the windows' own suites drive the
// rest through real controls.
#include "WindowBehaviour.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace mnemora {
namespace {

// Records what the behaviour asks of a window.
class RecordingPort final : public WindowPort {
public:
    bool clipboardAvailable = true;
    std::vector<std::string> calls;

    void ShowCodes(std::u16string_view code16, std::u16string_view) override
    {
        calls.push_back(code16.empty() ? "clear" : "codes");
    }
    void Select(layout::Control, std::size_t, std::size_t) override { calls.push_back("select"); }
    bool CopyToClipboard(std::u16string_view) override
    {
        calls.push_back("copy");
        return clipboardAvailable;
    }
    void SetTimerRunning(bool running) override { calls.push_back(running ? "timer on" : "timer off"); }
    void SetPictureVisible(layout::Control picture, bool visible) override
    {
        calls.push_back(std::string(layout::Place(picture).name) + (visible ? " shown" : " hidden"));
    }
    void OpenAddress(const char *address) override { calls.push_back(address); }
    void ShowSelfTestFailure(const char *, const char *, const std::string &) override
    {
        calls.push_back("failure");
    }
};

TEST(WindowBehaviour, ACopyTheClipboardRefusedShowsNoConfirmation)
{
    RecordingPort port;
    port.clipboardAvailable = false;
    WindowBehaviour behaviour(port, {});
    behaviour.Copy(u"a20caCf8Eb1b8B6d");
    EXPECT_EQ(port.calls, std::vector<std::string>{"copy"});
    EXPECT_FALSE(behaviour.TimerRunning());
}

// The confirmation shows from the copy until the tick that ends 1.2 s at
// 200 ms a tick, however the description's timings are turned into ticks.
TEST(WindowBehaviour, TheConfirmationHidesOnTheTickThatEndsItsTime)
{
    RecordingPort port;
    WindowBehaviour behaviour(port, {});
    behaviour.Copy(u"a20caCf8Eb1b8B6d");
    int ticks = 0;
    while (port.calls.back() != "ImgCopy hidden" && ticks < 100) {
        behaviour.Tick();
        ++ticks;
    }
    EXPECT_EQ(ticks * WindowBehaviour::ConfirmationTick.count(), 1200);
    EXPECT_EQ(WindowBehaviour::ConfirmationTick.count(), 200);
}

struct LanguageCase {
    std::vector<std::string_view> preferred;
    Language expected;
};

class ChoosingLanguage : public testing::TestWithParam<LanguageCase> { };

TEST_P(ChoosingLanguage, TakesTheFirstTheWindowSpeaks)
{
    EXPECT_EQ(ChooseLanguage(GetParam().preferred), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Tags, ChoosingLanguage,
    testing::Values(LanguageCase{{}, Language::Chinese}, LanguageCase{{"en-US"}, Language::English},
        LanguageCase{{"en_GB.UTF-8"}, Language::English}, LanguageCase{{"EN"}, Language::English},
        LanguageCase{{"zh-TW", "en"}, Language::Chinese}, LanguageCase{{"de-DE", "en-GB"}, Language::English},
        LanguageCase{{"de-DE", "fr"}, Language::Chinese}, LanguageCase{{"eng"}, Language::Chinese}));

} // namespace
} // namespace mnemora
