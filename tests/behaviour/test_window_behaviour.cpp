// What only the toolkit-free rules decide; the windows' own suites drive the
// rest through real controls.
#include "WindowBehaviour.h"

#include <gtest/gtest.h>

#include <string>
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

} // namespace
} // namespace mnemora
