#pragma once

#include "mnemora_layout.h"

#include <cstddef>
#include <iterator>

namespace mnemora {

// What each control of the main window is, beside where it lies and which
// picture it shows (assets/layout.json, through mnemora_layout.h). Every window
// builds its controls from these two tables and nothing else, so a tooltip,
// a pointer or a screen reader's word is written once for all of them.

enum class ControlKind {
    Panel, // the picture container under the other controls
    Picture,
    Caption, // a text on the panel
    HotSpot, // invisible, over a button painted in the panel's picture
    Input,
    Password, // an input shown as stars, typed without an input method
    Output,   // read-only, and every copy of it is handed to the window
};

enum class ControlPointer { Inherited, Arrow, TextCursor, Hand };

// A control's part for assistive technology; None marks decoration that it
// never sees.
enum class ControlRole { None, Graphic, Grouping, EditableText, Link, Button, Notification };

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

inline constexpr char WindowTitle[] = "Mnemora v1.2 build 20120314";
// What the window is called on an accessibility bus, and what it says of itself.
inline constexpr char AccessibleTitle[] = "Mnemora";
inline constexpr char AccessibleSlogan[] = "可记忆 非存储 轻松管理个人密码";

inline constexpr char HomePage[] = "https://mnemora.example.org/";
inline constexpr char DonationPage[] = "https://mnemora.example.org/donate";
inline constexpr char TarrowPage[] = "https://mnemora.example.org/contributors/tarrow";
inline constexpr char BelmirPage[] = "https://mnemora.example.org/contributors/belmir";
inline constexpr char OdrinPage[] = "https://mnemora.example.org/contributors/odrin";
inline constexpr char PeluPage[] = "https://mnemora.example.org/contributors/pelu";
inline constexpr char CopyrightNotice[] = "Copyright © 2012 Mnemora. All rights reserved.";

// Colours as 0xRRGGBB.
inline constexpr unsigned WindowColour = 0xF2F2F2;
inline constexpr unsigned InputColour = 0xFFFFFF;
// The panel colour of the background picture: the codes read as printed on it.
inline constexpr unsigned OutputColour = 0xFFFBF0;
inline constexpr unsigned CopyrightColour = 0xC0C0C0;

// Fonts: the window's (inherited by the panel and the labels) and the boxes'.
inline constexpr char WindowFontFamily[] = "Tahoma";
inline constexpr double WindowFontPoints = 8.25;
inline constexpr char BoxFontFamily[] = "Courier New";
inline constexpr double InputFontPoints = 15.75;
inline constexpr double OutputFontPoints = 9.75;
// Every character of the password box shows as this one.
inline constexpr char16_t PasswordCharacter = u'*';
// The output boxes hold exactly the codes written into them.
inline constexpr int Code16Length = 16;
inline constexpr int Code32Length = 32;

// clang-format off
inline constexpr ControlFacts Controls[] = {
    // control, kind, role, pointer, caption, tooltip, link, accessible name, accessible description
    {layout::Control::ImgLogo,      ControlKind::Picture,  ControlRole::Graphic,      ControlPointer::Inherited,  nullptr,         nullptr,           nullptr,
        AccessibleSlogan, "Mnemora的标志和口号"},
    {layout::Control::PicContrl,    ControlKind::Panel,    ControlRole::Grouping,     ControlPointer::Inherited,  nullptr,         nullptr,           nullptr,
        "输入与获取", "第一步输入记忆密码和区分代号，第二步获取密码"},
    {layout::Control::txtCode16,    ControlKind::Output,   ControlRole::EditableText, ControlPointer::Arrow,      nullptr,         nullptr,           nullptr,
        "16位码（推荐）", "由记忆密码和区分代号生成的16位密码"},
    {layout::Control::txtCode32,    ControlKind::Output,   ControlRole::EditableText, ControlPointer::Arrow,      nullptr,         nullptr,           nullptr,
        "32位完整MD5码", "由记忆密码和区分代号生成的32位密码"},
    {layout::Control::txtPassword,  ControlKind::Password, ControlRole::EditableText, ControlPointer::TextCursor, nullptr,         nullptr,           nullptr,
        "记忆密码", "选择一个与个人信息无关的密码，防止社会工程学破解。"},
    {layout::Control::txtKey,       ControlKind::Input,    ControlRole::EditableText, ControlPointer::TextCursor, nullptr,         nullptr,           nullptr,
        "区分代号", "用于区别不同用途密码的简短代号，如淘宝账号可用“taobao”或“tb”等。"},
    {layout::Control::ImgDonation,  ControlKind::Picture,  ControlRole::Link,         ControlPointer::Hand,       nullptr,         "了解并资助Mnemora的发展", DonationPage,
        "捐助Mnemora", "了解并资助Mnemora的发展"},
    {layout::Control::ImgOdrin,     ControlKind::Picture,  ControlRole::Link,         ControlPointer::Hand,       nullptr,         "Odrin",           OdrinPage,
        "Odrin", "打开贡献者Odrin的主页"},
    {layout::Control::ImgBelmir,    ControlKind::Picture,  ControlRole::Link,         ControlPointer::Hand,       nullptr,         "Belmir",          BelmirPage,
        "Belmir", "打开贡献者Belmir的主页"},
    {layout::Control::ImgTarrow,    ControlKind::Picture,  ControlRole::Link,         ControlPointer::Hand,       nullptr,         "Tarrow",          TarrowPage,
        "Tarrow", "打开贡献者Tarrow的主页"},
    {layout::Control::ImgPelu,      ControlKind::Picture,  ControlRole::Link,         ControlPointer::Hand,       nullptr,         "Pelu",            PeluPage,
        "Pelu", "打开贡献者Pelu的主页"},
    {layout::Control::lblCopyright, ControlKind::Caption,  ControlRole::Link,         ControlPointer::Hand,       CopyrightNotice, HomePage,          HomePage,
        "版权信息", "打开Mnemora的主页"},
    {layout::Control::lblCopy,      ControlKind::HotSpot,  ControlRole::Button,       ControlPointer::Hand,       nullptr,         nullptr,           nullptr,
        "点击复制", "将16位码复制到剪贴板"},
    // The highlight only repeats the copy button in another colour; a screen
    // reader speaks a notification when the confirmation shows.
    {layout::Control::ImgCode,      ControlKind::Picture,  ControlRole::None,         ControlPointer::Hand,       nullptr,         nullptr,           nullptr,
        nullptr, nullptr},
    {layout::Control::ImgCopy,      ControlKind::Picture,  ControlRole::Notification, ControlPointer::Inherited,  nullptr,         nullptr,           nullptr,
        "复制成功", "密码已复制到剪贴板，稍后自动清除"},
};
// clang-format on
static_assert(std::size(Controls) == std::size(layout::Controls));
static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(Controls); ++i)
            if (static_cast<std::size_t>(Controls[i].control) != i
                || layout::Controls[i].parent >= static_cast<int>(i))
                return false;
        return true;
    }(),
    "one row per control, in the order of assets/layout.json, parents first");

constexpr const ControlFacts &Facts(layout::Control control)
{
    return Controls[static_cast<std::size_t>(control)];
}

// The window is laid out in twips (1/1440 inch). At the reference 96 dpi
// fifteen twips make one pixel, and every picture was drawn for exactly that
// ratio; a window scaled for a denser screen scales these pixels as a whole.
using layout::TwipsPerPixel;

// Nearest pixel, halves rounded up. Design positions are never negative.
constexpr int TwipsToPixels(int twips) noexcept
{
    return (2 * twips + TwipsPerPixel) / (2 * TwipsPerPixel);
}

struct PixelRect {
    int x, y, width, height;
};

// Rounds the edges rather than the size, so two controls that meet in twips
// also meet in pixels.
constexpr PixelRect TwipsToPixelRect(int left, int top, int width, int height) noexcept
{
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    return {x, y, TwipsToPixels(left + width) - x, TwipsToPixels(top + height) - y};
}

constexpr PixelRect PixelPlace(layout::Control control) noexcept
{
    const layout::ControlPlace &place = layout::Place(control);
    return TwipsToPixelRect(place.left, place.top, place.width, place.height);
}

} // namespace mnemora
