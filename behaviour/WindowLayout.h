#pragma once

#include "mnemora_layout.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace mnemora {

// What each control of the main window is, where it lies, which picture it
// shows and what it says in each language are all written once, in
// assets/layout.json, and reach C++ through mnemora_layout.h. Every window
// builds its controls from there and nothing else, so a tooltip, a pointer or
// a screen reader's word is written once for all of them.

// Texts are UTF-8; accessible texts are what a screen reader says, in the
// words painted on the window where there are any.
struct ControlFacts {
    layout::Control control;
    ControlKind kind;
    ControlRole role;
    ControlPointer pointer;
    const char *caption;
    const char *toolTip;
    const char *link; // the web page a click opens
    const char *accessibleName;
    const char *accessibleDescription;
};

using layout::AccessibleTitle;
using layout::Language;
using layout::WindowTitle;

// The first of the system's languages, most wanted first, that the window
// speaks; any Chinese reads the Simplified texts, and a system that asks for
// none of them gets the default.
template <typename Tags> constexpr Language ChooseLanguage(const Tags &preferred) noexcept
{
    for (const auto &tag : preferred) {
        for (std::size_t i = 0; i < std::size(layout::LanguageTags); ++i) {
            const std::string_view known = layout::LanguageTags[i];
            const std::string_view primary = known.substr(0, known.find('-'));
            const std::string_view asked(tag);
            const std::string_view askedPrimary = asked.substr(0, asked.find_first_of("-_.@"));
            if (askedPrimary.size() == primary.size()
                && std::equal(primary.begin(), primary.end(), askedPrimary.begin(),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b); }))
                return static_cast<Language>(i);
        }
    }
    return layout::DefaultLanguage;
}

// Colours as 0xRRGGBB, and the fonts: the window's (inherited by the panel and
// the labels) and the boxes'.
using layout::CopyrightColour;
using layout::InputColour;
using layout::WindowColour;
// The panel colour of the background picture: the codes read as printed on it.
inline constexpr unsigned OutputColour = layout::PanelColour;
using layout::BoxFontFamily;
using layout::InputFontPoints;
using layout::OutputFontPoints;
using layout::WindowFontFamily;
using layout::WindowFontPoints;
// Every character of the password box shows as this one.
inline constexpr char16_t PasswordCharacter = u'*';
// The output boxes hold exactly the codes written into them.
inline constexpr int Code16Length = layout::RulesOf(layout::Control::txtCode16).maxLength;
inline constexpr int Code32Length = layout::RulesOf(layout::Control::txtCode32).maxLength;
static_assert(Code16Length == 16 && Code32Length == 32, "the codes' lengths are the derivation's");

static_assert(std::size(layout::Rules) == std::size(layout::Controls));
static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(layout::Controls); ++i)
            if (layout::Controls[i].parent >= static_cast<int>(i))
                return false;
        return true;
    }(),
    "parents come before their children in assets/layout.json");

constexpr ControlFacts Facts(layout::Control control, Language language = layout::DefaultLanguage)
{
    const layout::ControlRules &rules = layout::RulesOf(control);
    const layout::ControlTexts &texts = layout::TextsOf(control, language);
    return {control, rules.kind, rules.role, rules.pointer, texts.caption, texts.toolTip, rules.link,
        texts.accessibleName, texts.accessibleDescription};
}

// The window is laid out in twips (1/1440 inch). At the reference 96 dpi
// fifteen twips make one pixel, and every picture was drawn for exactly that
// ratio; a window scaled for a denser screen scales these pixels as a whole.
using layout::TwipsPerPixel;
inline constexpr int ReferenceDpi = 96;
inline constexpr int TwipsPerInch = TwipsPerPixel * ReferenceDpi;

// Nearest pixel at dpi dots per inch, halves rounded up. Design positions are
// never negative.
constexpr int TwipsToPixels(int twips, int dpi = ReferenceDpi) noexcept
{
    return static_cast<int>((2LL * twips * dpi + TwipsPerInch) / (2LL * TwipsPerInch));
}

struct PixelRect {
    int x, y, width, height;
};

// Rounds the edges rather than the size, so two controls that meet in twips
// also meet in pixels.
constexpr PixelRect TwipsToPixelRect(
    int left, int top, int width, int height, int dpi = ReferenceDpi) noexcept
{
    const int x = TwipsToPixels(left, dpi);
    const int y = TwipsToPixels(top, dpi);
    return {x, y, TwipsToPixels(left + width, dpi) - x, TwipsToPixels(top + height, dpi) - y};
}

// Where a control lies in its parent, in pixels at dpi.
constexpr PixelRect PixelPlace(layout::Control control, int dpi = ReferenceDpi) noexcept
{
    const layout::ControlPlace &place = layout::Place(control);
    return TwipsToPixelRect(place.left, place.top, place.width, place.height, dpi);
}

} // namespace mnemora
