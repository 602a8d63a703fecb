#include "CodeBox.h"

#include "SecureWipe.h"

#include <commctrl.h>

#include <algorithm>
#include <new>

namespace mnemora::win {

namespace {

bool InWord(char16_t c)
{
    return ::IsCharAlphaNumericW(static_cast<wchar_t>(c)) != FALSE;
}

// Where Ctrl+Left and Ctrl+Right go: the start of the word before, the
// start of the word after (or the text's end).
std::size_t WordBefore(std::u16string_view text, std::size_t at)
{
    while (at > 0 && !InWord(text[at - 1]))
        --at;
    while (at > 0 && InWord(text[at - 1]))
        --at;
    return at;
}

std::size_t WordAfter(std::u16string_view text, std::size_t at)
{
    while (at < text.size() && InWord(text[at]))
        ++at;
    while (at < text.size() && !InWord(text[at]))
        ++at;
    return at;
}

} // namespace

struct CodeBox::Line {
    Line() = default;
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;
    ~Line()
    {
        // Glyph indices map one to one onto the text's characters, and
        // a proportional font's edges tell narrow ones from wide ones.
        SecureWipe(glyphs.data(), sizeof glyphs);
        SecureWipe(edges.data(), sizeof edges);
    }

    std::array<WORD, Capacity> glyphs{};
    // edges[i]: where character i begins, from the text's start;
    // edges[length]: where the text ends.
    std::array<int, Capacity + 1> edges{};
};

bool CodeBox::Register(HINSTANCE instance)
{
    WNDCLASSEXW box{};
    box.cbSize = sizeof box;
    // A double-click selects a word.
    box.style = CS_DBLCLKS;
    box.lpfnWndProc = Procedure;
    box.cbWndExtra = sizeof(LONG_PTR);
    box.hInstance = instance;
    box.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32513)); // IDC_IBEAM
    box.lpszClassName = ClassName;
    return ::RegisterClassExW(&box) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK CodeBox::Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto *created = new (std::nothrow) CodeBox(window);
        if (!created)
            return FALSE;
        ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(created));
    }
    auto *self = reinterpret_cast<CodeBox *>(::GetWindowLongPtrW(window, 0));
    if (!self)
        return ::DefWindowProcW(window, message, w, l);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, 0, 0);
        delete self;
        return ::DefWindowProcW(window, message, w, l);
    }
    return self->OnMessage(message, w, l);
}

bool CodeBox::SetText(HWND box, std::u16string_view text)
{
    return ::SendMessageW(box, SetTextMessage, text.size(), reinterpret_cast<LPARAM>(text.data())) != FALSE;
}

CodeBox::~CodeBox()
{
    Wipe(0);
}

LRESULT CodeBox::OnMessage(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case SetTextMessage:
        // Its pointer is good in this thread only: nothing is marshalled for
        // a private message, and another program's would point anywhere.
        if (::InSendMessageEx(nullptr) != ISMEX_NOSEND)
            return FALSE;
        return Replace({reinterpret_cast<const char16_t *>(l), static_cast<std::size_t>(w)});
    case WM_SETTEXT:
        return Replace(
            l ? std::u16string_view(reinterpret_cast<const char16_t *>(l)) : std::u16string_view());
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(m_length);
    case WM_GETTEXT: {
        if (w == 0 || !l)
            return 0;
        const std::size_t count = std::min<std::size_t>(m_length, w - 1);
        auto *out = reinterpret_cast<char16_t *>(l);
        std::copy_n(m_text.data(), count, out);
        out[count] = u'\0';
        return static_cast<LRESULT>(count);
    }
    case EM_GETLINE: {
        // The buffer's size in its first WORD; the line is not terminated.
        if (!l)
            return 0;
        const std::size_t count = std::min<std::size_t>(m_length, *reinterpret_cast<const WORD *>(l));
        std::copy_n(m_text.data(), count, reinterpret_cast<char16_t *>(l));
        return static_cast<LRESULT>(count);
    }
    case EM_LINELENGTH:
        return static_cast<LRESULT>(m_length);
    case EM_GETSEL: {
        const auto from = static_cast<DWORD>(std::min(m_anchor, m_end));
        const auto to = static_cast<DWORD>(std::max(m_anchor, m_end));
        if (w)
            *reinterpret_cast<DWORD *>(w) = from;
        if (l)
            *reinterpret_cast<DWORD *>(l) = to;
        return MAKELRESULT(from, to);
    }
    case EM_SETSEL: {
        // As an edit control: a start of -1 drops the selection and keeps
        // the caret; an end of -1, or past the text, is the text's end.
        auto start = static_cast<std::size_t>(static_cast<UINT>(w));
        auto end = static_cast<std::size_t>(static_cast<UINT>(l));
        if (start == static_cast<UINT>(-1))
            start = end = m_end;
        SetSelection(std::min(start, m_length), std::min(end, m_length));
        return 0;
    }
    case EM_SETLIMITTEXT:
        m_limit = w == 0 || w > Capacity ? Capacity : static_cast<std::size_t>(w);
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(m_limit);
    case EM_POSFROMCHAR:
        return MAKELRESULT(EdgeOf(std::min<std::size_t>(w, m_length)), 0);
    case EM_CHARFROMPOS:
        return MAKELRESULT(IndexAt(static_cast<short>(LOWORD(l))), 0);
    case EM_SETMARGINS:
        if (w & EC_LEFTMARGIN)
            m_leftMargin = LOWORD(l);
        if (w & EC_RIGHTMARGIN)
            m_rightMargin = HIWORD(l);
        ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case EM_GETMARGINS:
        return MAKELRESULT(m_leftMargin, m_rightMargin);
    case EM_SETCUEBANNER:
        m_cue = l ? reinterpret_cast<const wchar_t *>(l) : L"";
        m_cueWhenFocused = w != FALSE;
        ::InvalidateRect(m_window, nullptr, FALSE);
        return TRUE;
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(w);
        if (Focused())
            PlaceCaret();
        if (LOWORD(l))
            ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_ENABLE:
        ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS: {
        m_focused = true;
        RECT client{};
        ::GetClientRect(m_window, &client);
        ::CreateCaret(m_window, nullptr, 1, client.bottom);
        PlaceCaret();
        ::ShowCaret(m_window);
        // The selection shows while the box has the focus.
        ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    }
    case WM_KILLFOCUS:
        m_focused = false;
        ::DestroyCaret();
        ::InvalidateRect(m_window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        MoveTo(IndexAt(static_cast<short>(LOWORD(l))), (w & MK_SHIFT) != 0);
        m_dragging = true;
        ::SetCapture(m_window);
        if (!Focused())
            ::SetFocus(m_window);
        return 0;
    case WM_MOUSEMOVE:
        if (m_dragging)
            MoveTo(IndexAt(static_cast<short>(LOWORD(l))), true);
        return 0;
    case WM_LBUTTONUP:
        if (m_dragging && ::GetCapture() == m_window)
            ::ReleaseCapture();
        m_dragging = false;
        return 0;
    case WM_CAPTURECHANGED:
        m_dragging = false;
        return 0;
    case WM_LBUTTONDBLCLK: {
        std::size_t start = IndexAt(static_cast<short>(LOWORD(l)));
        std::size_t end = start;
        while (start > 0 && InWord(m_text[start - 1]))
            --start;
        while (end < m_length && InWord(m_text[end]))
            ++end;
        SetSelection(start, end);
        return 0;
    }
    case WM_KEYDOWN: {
        const bool shift = ::GetKeyState(VK_SHIFT) < 0;
        const bool control = ::GetKeyState(VK_CONTROL) < 0;
        switch (w) {
        case VK_LEFT:
            MoveTo(control ? WordBefore(Text(), m_end) : m_end - (m_end > 0 ? 1 : 0), shift);
            return 0;
        case VK_RIGHT:
            MoveTo(control ? WordAfter(Text(), m_end) : std::min(m_end + 1, m_length), shift);
            return 0;
        case VK_HOME:
            MoveTo(0, shift);
            return 0;
        case VK_END:
            MoveTo(m_length, shift);
            return 0;
        case VK_INSERT:
            if (control && !shift)
                ::SendMessageW(m_window, WM_COPY, 0, 0);
            return 0;
        default:
            break;
        }
        break;
    }
    case WM_CHAR:
        // Ctrl+A and Ctrl+C, as the edit control reads them; a read-only
        // box takes no other character.
        if (w == 0x01)
            SetSelection(0, m_length);
        else if (w == 0x03)
            ::SendMessageW(m_window, WM_COPY, 0, 0);
        return 0;
    case WM_COPY:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case EM_REPLACESEL:
        return 0;
    case WM_DESTROY:
        Wipe(0);
        m_length = m_anchor = m_end = 0;
        break;
    default:
        break;
    }
    return ::DefWindowProcW(m_window, message, w, l);
}

bool CodeBox::Replace(std::u16string_view text)
{
    if (text == Text())
        return true;
    const bool fits = text.size() <= Capacity;
    const std::size_t length = fits ? text.size() : 0;
    const std::size_t old = m_length;
    std::copy_n(text.data(), length, m_text.data());
    m_length = length;
    if (length < old)
        Wipe(length);
    m_anchor = m_end = 0;
    ::InvalidateRect(m_window, nullptr, FALSE);
    if (Focused())
        PlaceCaret();
    ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_window, OBJID_CLIENT, CHILDID_SELF);
    return fits;
}

void CodeBox::Wipe(std::size_t from)
{
    SecureWipe(m_text.data() + from, (Capacity - from) * sizeof(char16_t));
}

void CodeBox::MoveTo(std::size_t end, bool extend)
{
    SetSelection(extend ? m_anchor : end, end);
}

void CodeBox::SetSelection(std::size_t anchor, std::size_t end)
{
    if (anchor == m_anchor && end == m_end)
        return;
    m_anchor = anchor;
    m_end = end;
    // Shown only with the focus.
    if (Focused()) {
        PlaceCaret();
        ::InvalidateRect(m_window, nullptr, FALSE);
    }
}

void CodeBox::PlaceCaret()
{
    ::SetCaretPos(EdgeOf(m_end), 0);
}

void CodeBox::Lay(HDC dc, Line &line) const
{
    const auto count = static_cast<int>(m_length);
    line.edges[0] = 0;
    if (count == 0)
        return;
    ::GetGlyphIndicesW(dc, reinterpret_cast<const wchar_t *>(m_text.data()), count, line.glyphs.data(), 0);
    SIZE size{};
    ::GetTextExtentExPointI(dc, line.glyphs.data(), count, 0, nullptr, line.edges.data() + 1, &size);
}

void CodeBox::LayOnScreen(Line &line) const
{
    HDC dc = ::GetDC(m_window);
    HGDIOBJ old = m_font ? ::SelectObject(dc, m_font) : nullptr;
    Lay(dc, line);
    if (old)
        ::SelectObject(dc, old);
    ::ReleaseDC(m_window, dc);
}

int CodeBox::EdgeOf(std::size_t index) const
{
    Line line;
    LayOnScreen(line);
    return m_leftMargin + line.edges[std::min(index, m_length)];
}

std::size_t CodeBox::IndexAt(int x) const
{
    Line line;
    LayOnScreen(line);
    // The boundary nearest to x: past a character's middle is after it.
    const int at = x - m_leftMargin;
    std::size_t index = 0;
    while (index < m_length && at > (line.edges[index] + line.edges[index + 1]) / 2)
        ++index;
    return index;
}

void CodeBox::Paint()
{
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_window, &paint);
    RECT client{};
    ::GetClientRect(m_window, &client);
    HGDIOBJ oldFont = m_font ? ::SelectObject(dc, m_font) : nullptr;
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(::GetParent(m_window), WM_CTLCOLORSTATIC,
        reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_window)));
    if (!brush)
        brush = ::GetSysColorBrush(COLOR_BTNFACE);
    ::FillRect(dc, &client, brush);
    // Clipped by the box, not by its right margin: a code that reaches into
    // the margin is shown whole (the edit control scrolled its first
    // character out of view instead).
    RECT text = client;
    text.left += m_leftMargin;
    const bool focused = Focused();
    if (m_length == 0) {
        if (!m_cue.empty() && (!focused || m_cueWhenFocused)) {
            ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
            ::SetBkMode(dc, TRANSPARENT);
            ::ExtTextOutW(dc, text.left, 0, ETO_CLIPPED, &text, m_cue.c_str(),
                static_cast<UINT>(m_cue.size()), nullptr);
        }
    } else {
        if (!::IsWindowEnabled(m_window))
            ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        Line line;
        Lay(dc, line);
        const auto *glyphs = reinterpret_cast<const wchar_t *>(line.glyphs.data());
        ::ExtTextOutW(dc, text.left, 0, ETO_GLYPH_INDEX | ETO_CLIPPED, &text, glyphs,
            static_cast<UINT>(m_length), nullptr);
        const std::size_t from = std::min(m_anchor, m_end);
        const std::size_t to = std::max(m_anchor, m_end);
        if (focused && from < to) {
            RECT selected{
                text.left + line.edges[from], client.top, text.left + line.edges[to], client.bottom};
            ::IntersectRect(&selected, &selected, &text);
            ::SetTextColor(dc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
            ::SetBkColor(dc, ::GetSysColor(COLOR_HIGHLIGHT));
            ::ExtTextOutW(dc, selected.left, 0, ETO_GLYPH_INDEX | ETO_OPAQUE | ETO_CLIPPED, &selected,
                glyphs + from, static_cast<UINT>(to - from), nullptr);
        }
    }
    if (oldFont)
        ::SelectObject(dc, oldFont);
    ::EndPaint(m_window, &paint);
}

} // namespace mnemora::win
