#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace mnemora::win {

// A read-only one-line text box of the window's own, for the codes. Wine's
// edit control lays its text out, stores it on the wine server, invalidates
// itself three times and notifies its parent on every new text, each a round
// trip to another process; this box keeps its text in one fixed buffer of
// its own and a new text costs one invalidation, the same text none.
//
// It answers what a read-only edit control is sent: WM_SETTEXT, WM_GETTEXT,
// WM_GETTEXTLENGTH, EM_GETSEL, EM_SETSEL, EM_GETLINE, EM_SETLIMITTEXT,
// EM_GETLIMITTEXT, EM_POSFROMCHAR, EM_CHARFROMPOS, EM_SETMARGINS,
// EM_SETCUEBANNER, WM_SETFONT, WM_GETFONT; it selects with the mouse (drag,
// Shift+click, double-click), Shift+arrows, Home, End and Ctrl+A, and shows
// a caret and its selection while it has the focus. Its colours are its
// parent's answer to WM_CTLCOLORSTATIC, as a read-only edit control's.
//
// The box copies nothing itself: Ctrl+C and Ctrl+Insert send it WM_COPY,
// which its owner answers through its own clipboard; left to the box, a
// copy does nothing.
//
// Its text is wiped from the buffer when replaced, shortened or destroyed,
// and drawn and measured from there through glyph indices (wiped after):
// no copy of it is made on the way.
class CodeBox final {
public:
    static constexpr wchar_t ClassName[] = L"MnemoraCodeBox";
    // The longest text the box holds; a longer one empties it.
    static constexpr std::size_t Capacity = 64;

    // Registers the class for the module once; true when it is registered.
    static bool Register(HINSTANCE instance);
    // The class's procedure, which a subclass passes on to.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    // Shows a text from a view, without the copy WM_SETTEXT's terminated
    // string takes; false when it is too long, the box then empty.
    static bool SetText(HWND box, std::u16string_view text);

    CodeBox(const CodeBox &) = delete;
    CodeBox &operator=(const CodeBox &) = delete;
    ~CodeBox();

private:
    // SetText's message: w the length, l the characters.
    static constexpr UINT SetTextMessage = WM_USER + 0x4D;

    explicit CodeBox(HWND window)
        : m_window(window)
    { }
    LRESULT OnMessage(UINT message, WPARAM w, LPARAM l);

    std::u16string_view Text() const { return {m_text.data(), m_length}; }
    bool Replace(std::u16string_view text);
    void Wipe(std::size_t from);
    // The active end moves to `end`; the anchor with it unless extending.
    void MoveTo(std::size_t end, bool extend);
    void SetSelection(std::size_t anchor, std::size_t end);
    // Known from WM_SETFOCUS and WM_KILLFOCUS: GetFocus asks the wine server.
    bool Focused() const { return m_focused; }
    void PlaceCaret();
    // The text's glyphs in the box's font, and where each character begins.
    struct Line;
    void Lay(HDC dc, Line &line) const;
    // The same in the box's own device context and font.
    void LayOnScreen(Line &line) const;
    // Where the character at `index` (the text's end at its length) begins
    // in the box, and the character boundary nearest to `x`.
    int EdgeOf(std::size_t index) const;
    std::size_t IndexAt(int x) const;
    void Paint();

    HWND m_window;
    std::array<char16_t, Capacity> m_text{};
    std::size_t m_length = 0;
    // The selection: the anchor stays, the caret is at the active end.
    std::size_t m_anchor = 0;
    std::size_t m_end = 0;
    std::size_t m_limit = Capacity;
    HFONT m_font = nullptr;
    int m_leftMargin = 0;
    int m_rightMargin = 0;
    // What an empty box shows, grey: the self-test's notice.
    std::wstring m_cue;
    bool m_cueWhenFocused = false;
    bool m_dragging = false;
    bool m_focused = false;
};

} // namespace mnemora::win
