#include "WindowBehaviour.h"

#include "GenerateCodes.h"
#include "SelfTest.h"

#include <utility>

namespace mnemora {

WindowBehaviour::WindowBehaviour(WindowPort &port, std::string selfTestFailure, Language language)
    : m_port(port)
    , m_selfTestFailure(std::move(selfTestFailure))
    , m_language(language)
{ }

void WindowBehaviour::Start()
{
    if (DerivingEnabled())
        return;
    const layout::WindowTexts &texts = layout::WindowTextsIn(m_language);
    m_port.ShowSelfTestFailure(texts.selfTestNotice, texts.selfTestHeadline,
        std::string(SelfTestFailureMessage) + " (" + m_selfTestFailure + ')');
}

void WindowBehaviour::InputChanged(std::u16string_view password, std::u16string_view key)
{
    Codes codes;
    if (DerivingEnabled() && TryGenerateCodes(password, key, codes) == DeriveStatus::Ok) {
        m_port.ShowCodes(codes.code16, codes.code32);
        return;
    }
    m_port.ShowCodes({}, {});
}

void WindowBehaviour::FocusGained(layout::Control box, std::size_t textLength)
{
    m_port.Select(box, 0, textLength);
}

void WindowBehaviour::Copy(std::u16string_view code)
{
    if (code.empty() || !m_port.CopyToClipboard(code))
        return;
    // The counter is not reset: a second copy does not lengthen the confirmation.
    if (!m_timerRunning) {
        m_timerRunning = true;
        m_port.SetTimerRunning(true);
    }
    m_port.SetPictureVisible(layout::Control::ImgCopy, true);
}

void WindowBehaviour::Tick()
{
    ++m_ticks;
    if (m_ticks > ConfirmationTicks) {
        m_ticks = 0;
        m_timerRunning = false;
        m_port.SetTimerRunning(false);
        m_port.SetPictureVisible(layout::Control::ImgCopy, false);
    }
}

void WindowBehaviour::PointerMoved(layout::Control over)
{
    // Over the copy button the orange highlight shows; over the open panel or
    // the code box it goes. Other controls leave it as it is.
    if (over == layout::Control::lblCopy)
        m_port.SetPictureVisible(layout::Control::ImgCode, true);
    else if (over == layout::Control::PicContrl || over == layout::Control::txtCode16)
        m_port.SetPictureVisible(layout::Control::ImgCode, false);
}

void WindowBehaviour::Clicked(layout::Control control)
{
    if (const char *address = layout::RulesOf(control).link)
        m_port.OpenAddress(address);
}

} // namespace mnemora
