#include "MainWindow.h"

#include "AccessibleControl.h"
#include "CodeBox.h"
#include "FirstLine.h"
#include "FitDialog.h"
#include "WinText.h"

#include <commctrl.h>
#include <imm.h>
#include <initguid.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace mnemora::win {

namespace {

constexpr wchar_t MainClass[] = L"MnemoraMain";
constexpr wchar_t ControlClass[] = L"MnemoraControl";
constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr UINT ShowFailureMessage = WM_APP + 1;
// To a clickable control: an MSAA client asked for its default action.
constexpr UINT DefaultActionMessage = WM_APP + 2;
// Posted once the window shows: what nothing shown at start needs is done
// then, before the first input is read (posted messages come first).
constexpr UINT FinishStartMessage = WM_APP + 3;
constexpr int FirstControlId = 1000;
// The code boxes' own menu entries, as the system's edit menu words them.
constexpr wchar_t CopyMenuText[] = L"复制(&C)\tCtrl+C";
constexpr wchar_t SelectAllMenuText[] = L"全选(&A)\tCtrl+A";

using layout::Control;

std::wstring Wide(const char *utf8)
{
    return utf8 ? win::Wide(std::string_view(utf8)) : std::wstring();
}

COLORREF Colour(unsigned rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

bool IsTextBox(Control control)
{
    const ControlKind kind = Facts(control).kind;
    return kind == ControlKind::Input || kind == ControlKind::Password || kind == ControlKind::Output;
}

HFONT CreateFontAt(const char *family, double points, UINT dpi)
{
    const int height = -static_cast<int>(std::lround(points * dpi / 72.0));
    return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, Wide(family).c_str());
}

LONG AccessibleRole(ControlRole role)
{
    switch (role) {
    case ControlRole::Graphic:
        return ROLE_SYSTEM_GRAPHIC;
    case ControlRole::Grouping:
        return ROLE_SYSTEM_GROUPING;
    case ControlRole::EditableText:
        return ROLE_SYSTEM_TEXT;
    case ControlRole::Link:
        return ROLE_SYSTEM_LINK;
    case ControlRole::Button:
        return ROLE_SYSTEM_PUSHBUTTON;
    case ControlRole::Notification:
        return ROLE_SYSTEM_ALERT;
    case ControlRole::None:
        break;
    }
    return 0;
}

// The user's interface language; a system in none the window speaks gets
// the default.
Language SystemLanguage()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH]{};
    if (!::LCIDToLocaleName(
            MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0))
        return layout::DefaultLanguage;
    std::string tag;
    for (const wchar_t *c = name; *c; ++c)
        tag += *c < 0x80 ? static_cast<char>(*c) : '?';
    const std::string_view preferred[] = {tag};
    return ChooseLanguage(preferred);
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, std::string selfTestFailure)
    : m_instance(instance)
    , m_language(SystemLanguage())
    , m_behaviour(*this, std::move(selfTestFailure), m_language)
{
    // On the heap from the start: a string's in-object buffer would leave
    // the first characters behind when it grows.
    m_password.reserve(64);
}

MainWindow::~MainWindow()
{
    for (Picture &picture : m_pictures)
        if (picture.bitmap)
            ::DeleteObject(picture.bitmap);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_windowFont), static_cast<HGDIOBJ>(m_inputFont),
             static_cast<HGDIOBJ>(m_outputFont), static_cast<HGDIOBJ>(m_inputBrush),
             static_cast<HGDIOBJ>(m_outputBrush)})
        if (object)
            ::DeleteObject(object);
    if (m_hand)
        ::DestroyCursor(m_hand);
    SecureWipe(m_password);
}

bool MainWindow::Create(int show)
{
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = WindowProc;
    main.hInstance = m_instance;
    main.hIcon = static_cast<HICON>(::LoadImageW(m_instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    main.hIconSm = static_cast<HICON>(::LoadImageW(m_instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    main.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    main.hbrBackground = ::CreateSolidBrush(Colour(WindowColour));
    main.lpszClassName = MainClass;
    WNDCLASSEXW control{};
    control.cbSize = sizeof control;
    // Double-clicks are told apart, so that a double-click acts once.
    control.style = CS_DBLCLKS;
    control.lpfnWndProc = ControlProc;
    control.hInstance = m_instance;
    control.lpszClassName = ControlClass;
    if (!::RegisterClassExW(&main) || !::RegisterClassExW(&control))
        return false;

    m_window = ::CreateWindowExW(0, MainClass, Wide(WindowTitle).c_str(), MainStyle, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_instance, this);
    if (!m_window)
        return false;
    m_dpi = ::GetDpiForWindow(m_window);
    m_clipboard = std::make_unique<SecretClipboard>(m_window);

    // The client area is fixed in twips; the frame around it is the system's.
    RECT frame{0, 0, Scaled(layout::WindowWidth), Scaled(layout::WindowHeight)};
    ::AdjustWindowRectExForDpi(&frame, MainStyle, FALSE, 0, m_dpi);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(m_window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT &work = monitor.rcWork;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(m_window, nullptr, work.left + (work.right - work.left - width) / 2,
        work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    CreateControls();
    ApplyDpi();
    ::ShowWindow(m_window, show);
    ::UpdateWindow(m_window);
    // The annotations load oleacc and go through COM's activation, which the
    // window's first paint does not need; a screen reader first speaks of a
    // control when it takes the focus, so they are in place before that.
    SetUpAccessibility();
    ::SetFocus(Edit(Control::txtPassword));
    m_behaviour.Start();
    ::PostMessageW(m_window, FinishStartMessage, 0, 0);
    return true;
}

int MainWindow::Scaled(int twips) const
{
    return TwipsToPixels(twips, static_cast<int>(m_dpi));
}

RECT MainWindow::Place(Control control) const
{
    const PixelRect place = PixelPlace(control, static_cast<int>(m_dpi));
    return {place.x, place.y, place.x + place.width, place.y + place.height};
}

void MainWindow::CreateControls()
{
    CodeBox::Register(m_instance);
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const auto control = static_cast<Control>(i);
        const layout::ControlPlace &place = layout::Place(control);
        HWND parent = place.parent < 0 ? m_window : m_controls.at(static_cast<std::size_t>(place.parent));
        const bool hidden = layout::RulesOf(control).hiddenAtStart;
        m_controls[i] = ::CreateWindowExW(0, ControlClass, L"",
            WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (hidden ? 0 : WS_VISIBLE), 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstControlId + static_cast<int>(i))), m_instance,
            this);
        if (!IsTextBox(control))
            continue;
        const ControlKind kind = Facts(control).kind;
        DWORD style = WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL;
        if (kind == ControlKind::Password)
            style |= ES_PASSWORD;
        if (kind == ControlKind::Output)
            style |= ES_READONLY;
        // The code boxes are the window's own: a new code in an edit control
        // is a round trip to the wine server after another.
        HWND edit = ::CreateWindowExW(0, kind == ControlKind::Output ? CodeBox::ClassName : L"EDIT", L"",
            style, 0, 0, 0, 0, m_controls[i],
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstControlId + static_cast<int>(i))), m_instance,
            nullptr);
        m_edits[i] = edit;
        // Subclassed through its window procedure, not comctl32's
        // SetWindowSubclass: that looks its data up as a window property on
        // every message, a round trip to the wine server each, some forty a
        // keystroke.
        ::SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const auto base = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::EditProc)));
        if (kind != ControlKind::Output)
            m_editProc = base;
        if (kind == ControlKind::Output) {
            ::SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(layout::RulesOf(control).maxLength), 0);
        } else {
            // No limit: an over-long text is refused when deriving instead.
            ::SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
        }
        if (kind == ControlKind::Password) {
            ::SendMessageW(edit, EM_SETPASSWORDCHAR, PasswordCharacter, 0);
            // A password is typed as plain keystrokes, never composed by an
            // input method.
            ::ImmAssociateContext(edit, nullptr);
        }
    }
    // Later siblings lie above earlier ones, and the raised ones above all.
    for (HWND control : m_controls)
        ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (Control raised : layout::Raised)
        ::SetWindowPos(WindowOf(raised), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::FinishStart()
{
    m_started = true;
    for (std::size_t i = 0; i < ControlCount; ++i)
        if (!m_pictures[i].bitmap)
            m_pictures[i] = PictureOf(static_cast<Control>(i));
    m_toolTips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        m_window, nullptr, m_instance, nullptr);
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const ControlFacts facts = Facts(static_cast<Control>(i), m_language);
        if (!facts.toolTip)
            continue;
        std::wstring text = Wide(facts.toolTip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_window;
        tool.uId = reinterpret_cast<UINT_PTR>(m_controls[i]);
        tool.lpszText = text.data();
        ::SendMessageW(m_toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    // Placed and shown by the window, not by the pointer: it stays while
    // the pointer is elsewhere, as the key that pasted is released.
    m_pasteCut = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr, m_instance, nullptr);
    std::wstring notice = Wide(layout::WindowTextsIn(m_language).pasteCut);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = m_window;
    tool.lpszText = notice.data();
    ::SendMessageW(m_pasteCut, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::SetUpAccessibility()
{
    // Names, descriptions and roles through MSAA's dynamic annotation; the
    // edit controls keep their own value and states, so the password box
    // reports no characters.
    IAccPropServices *services = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
            reinterpret_cast<void **>(&services))))
        return;
    services->SetHwndPropStr(m_window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DESCRIPTION,
        Wide(layout::WindowTextsIn(m_language).slogan).c_str());
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const ControlFacts facts = Facts(static_cast<Control>(i), m_language);
        HWND target = m_edits[i] ? m_edits[i] : m_controls[i];
        if (!facts.accessibleName)
            continue;
        services->SetHwndPropStr(target, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
            Wide(facts.accessibleName).c_str());
        services->SetHwndPropStr(target, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
            PROPID_ACC_DESCRIPTION, Wide(facts.accessibleDescription).c_str());
        if (!m_edits[i]) {
            VARIANT role;
            ::VariantInit(&role);
            role.vt = VT_I4;
            role.lVal = AccessibleRole(facts.role);
            services->SetHwndProp(
                target, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_ROLE, role);
        }
    }
    services->Release();
}

void MainWindow::ApplyDpi()
{
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_windowFont), static_cast<HGDIOBJ>(m_inputFont),
             static_cast<HGDIOBJ>(m_outputFont)})
        if (object)
            ::DeleteObject(object);
    m_windowFont = CreateFontAt(WindowFontFamily, WindowFontPoints, m_dpi);
    m_inputFont = CreateFontAt(BoxFontFamily, InputFontPoints, m_dpi);
    m_outputFont = CreateFontAt(BoxFontFamily, OutputFontPoints, m_dpi);
    if (!m_inputBrush) {
        m_inputBrush = ::CreateSolidBrush(Colour(InputColour));
        m_outputBrush = ::CreateSolidBrush(Colour(OutputColour));
    }
    if (m_hand)
        ::DestroyCursor(m_hand);
    m_hand = LoadHandCursor(m_dpi);
    for (std::size_t i = 0; i < ControlCount; ++i) {
        const auto control = static_cast<Control>(i);
        if (m_pictures[i].bitmap)
            ::DeleteObject(m_pictures[i].bitmap);
        // The pictures hidden at start are loaded once the window shows.
        m_pictures[i] = m_started || !layout::RulesOf(control).hiddenAtStart ? PictureOf(control) : Picture{};
        // Not repainted one by one: the whole window is, below.
        const RECT place = Place(control);
        ::MoveWindow(
            m_controls[i], place.left, place.top, place.right - place.left, place.bottom - place.top, FALSE);
        if (HWND edit = m_edits[i]) {
            const bool output = Facts(control).kind == ControlKind::Output;
            ::SendMessageW(
                edit, WM_SETFONT, reinterpret_cast<WPARAM>(output ? m_outputFont : m_inputFont), TRUE);
            // The font's own margins would leave the 16-character box too
            // narrow for its code; two pixels, as a frameless line edit has.
            const int margin = ::MulDiv(2, static_cast<int>(m_dpi), 96);
            ::SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
            // Single-line edit controls draw their text at the top: the edit
            // is as tall as its text and centred in its box, whose host
            // paints the rest in the box's colour.
            HDC dc = ::GetDC(edit);
            HGDIOBJ old = ::SelectObject(dc, output ? m_outputFont : m_inputFont);
            TEXTMETRICW metrics{};
            ::GetTextMetricsW(dc, &metrics);
            ::SelectObject(dc, old);
            ::ReleaseDC(edit, dc);
            const int boxHeight = place.bottom - place.top;
            const int height = std::min<int>(boxHeight, metrics.tmHeight);
            ::MoveWindow(edit, 0, (boxHeight - height) / 2, place.right - place.left, height, FALSE);
        }
    }
    if (m_toolTips)
        ::SendMessageW(m_toolTips, WM_SETFONT, 0, TRUE);
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

Picture MainWindow::PictureOf(Control control) const
{
    const char *file = layout::TextsOf(control, m_language).picture;
    // Pictures drawn for 200 % from 144 dpi up; the others are scaled.
    return *file ? LoadPicture(file, m_dpi >= 144 ? 2 : 1) : Picture{};
}

void MainWindow::DrawPicture(HDC dc, Control control, int x, int y)
{
    const Picture &picture = m_pictures[static_cast<std::size_t>(control)];
    if (!picture.bitmap)
        return;
    const RECT place = Place(control);
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, picture.bitmap);
    // At its natural size on this screen: the panel is wider than its
    // picture by the window's cut-off edge, and a picture is never stretched
    // to its control, only scaled to the screen.
    const int naturalWidth
        = std::min(width, ::MulDiv(picture.width, static_cast<int>(m_dpi), 96 * picture.scale));
    const int naturalHeight
        = std::min(height, ::MulDiv(picture.height, static_cast<int>(m_dpi), 96 * picture.scale));
    if (naturalWidth == picture.width && naturalHeight == picture.height) {
        ::BitBlt(dc, x, y, naturalWidth, naturalHeight, source, 0, 0, SRCCOPY);
    } else {
        ::SetStretchBltMode(dc, HALFTONE);
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
        ::StretchBlt(
            dc, x, y, naturalWidth, naturalHeight, source, 0, 0, picture.width, picture.height, SRCCOPY);
    }
    ::SelectObject(source, old);
    ::DeleteDC(source);
}

void MainWindow::PaintControl(Control control, HWND window, HDC dc)
{
    RECT client{};
    ::GetClientRect(window, &client);
    const ControlFacts facts = Facts(control, m_language);
    if (IsTextBox(control)) {
        ::FillRect(dc, &client, facts.kind == ControlKind::Output ? m_outputBrush : m_inputBrush);
        return;
    }
    if (facts.kind == ControlKind::Panel) {
        HBRUSH background = ::CreateSolidBrush(Colour(WindowColour));
        ::FillRect(dc, &client, background);
        ::DeleteObject(background);
    }
    if (facts.kind == ControlKind::Caption || facts.kind == ControlKind::HotSpot) {
        // Transparent: what lies beneath shows through, the panel's picture
        // and any shown picture under this control.
        const RECT self = Place(control);
        DrawPicture(dc, Control::PicContrl, -self.left, -self.top);
        for (std::size_t i = 0; i < static_cast<std::size_t>(control); ++i) {
            const auto below = static_cast<Control>(i);
            if (layout::Controls[i].parent != static_cast<int>(Control::PicContrl) || !m_pictures[i].bitmap
                || !::IsWindowVisible(m_controls[i]))
                continue;
            const RECT other = Place(below);
            RECT overlap{};
            if (::IntersectRect(&overlap, &other, &self))
                DrawPicture(dc, below, other.left - self.left, other.top - self.top);
        }
        if (facts.caption) {
            HGDIOBJ old = ::SelectObject(dc, m_windowFont);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, Colour(CopyrightColour));
            std::wstring caption = Wide(facts.caption);
            ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &client,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
            ::SelectObject(dc, old);
        }
        return;
    }
    DrawPicture(dc, control, 0, 0);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<MainWindow *>(reinterpret_cast<CREATESTRUCTW *>(l)->lpCreateParams);
        self->m_window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (auto *self = reinterpret_cast<MainWindow *>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
        return self->OnWindowMessage(message, w, l);
    return ::DefWindowProcW(window, message, w, l);
}

LRESULT MainWindow::OnWindowMessage(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_ACTIVATE:
        // A plain window does not give the focus back to the box that had it.
        if (LOWORD(w) == WA_INACTIVE) {
            m_lastFocus = ::GetFocus();
            HidePasteCut();
        } else if (m_lastFocus && ::IsChild(m_window, m_lastFocus)) {
            m_restoringFocus = true;
            ::SetFocus(m_lastFocus);
            m_restoringFocus = false;
        }
        return 0;
    case WM_TIMER:
        if (w == ConfirmationTimer)
            m_behaviour.Tick();
        else if (w == SecretClipboard::TimerId && m_clipboard)
            m_clipboard->OnTimer();
        else if (w == PasteCutTimer)
            HidePasteCut();
        return 0;
    case WM_MOVE:
        // The line is placed on the screen, under its box.
        HidePasteCut();
        break;
    case WM_DPICHANGED: {
        m_dpi = HIWORD(w);
        const RECT *suggested = reinterpret_cast<const RECT *>(l);
        ::SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
            suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi();
        return 0;
    }
    case FinishStartMessage:
        FinishStart();
        return 0;
    case ShowFailureMessage:
        ::MessageBoxW(m_window, m_failureMessage.c_str(), Wide(WindowTitle).c_str(), MB_OK | MB_ICONERROR);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session ends: no copy of a code stays behind on the clipboard.
        if (w) {
            if (m_clipboard)
                m_clipboard->ClearBeforeExit();
            WipeBoxes();
        }
        return 0;
    case WM_DESTROY:
        if (m_clipboard)
            m_clipboard->ClearBeforeExit();
        WipeBoxes();
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_window, message, w, l);
}

LRESULT CALLBACK MainWindow::ControlProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW *>(l)->lpCreateParams));
    auto *self = reinterpret_cast<MainWindow *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    const int id = ::GetDlgCtrlID(window) - FirstControlId;
    if (!self || id < 0 || id >= static_cast<int>(ControlCount))
        return ::DefWindowProcW(window, message, w, l);
    return self->OnControlMessage(static_cast<Control>(id), window, message, w, l);
}

LRESULT MainWindow::OnControlMessage(Control control, HWND window, UINT message, WPARAM w, LPARAM l)
{
    const ControlFacts facts = Facts(control, m_language);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        PaintControl(control, window, dc);
        if (::GetFocus() == window) {
            RECT client{};
            ::GetClientRect(window, &client);
            ::DrawFocusRect(dc, &client);
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_KEYDOWN:
        if (w == VK_TAB) {
            MoveFocus(control, ::GetKeyState(VK_SHIFT) < 0);
            return 0;
        }
        // A button acts on Enter as it is pressed, on Space as it is released.
        if (w == VK_RETURN && TakesFocus(control)) {
            Activate(control);
            return 0;
        }
        break;
    case WM_KEYUP:
        if (w == VK_SPACE && TakesFocus(control)) {
            Activate(control);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETCURSOR:
        if (LOWORD(l) == HTCLIENT && !IsTextBox(control)) {
            ::SetCursor(facts.pointer == ControlPointer::Hand
                    ? m_hand
                    : ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); // IDC_ARROW
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        m_behaviour.PointerMoved(control);
        return 0;
    case WM_LBUTTONDOWN:
        if (IsTextBox(control)) {
            // The strip of the box around its edit control.
            ::SetFocus(Edit(control));
        } else if (facts.link || control == Control::lblCopy) {
            m_pressed = window;
            ::SetCapture(window);
        }
        return 0;
    case WM_LBUTTONUP:
        if (m_pressed == window) {
            m_pressed = nullptr;
            ::ReleaseCapture();
            RECT client{};
            ::GetClientRect(window, &client);
            const POINT at{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
            if (::PtInRect(&client, at))
                Activate(control);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (m_pressed == window && reinterpret_cast<HWND>(l) != window)
            m_pressed = nullptr;
        return 0;
    case WM_GETOBJECT:
        // The copy button and the links, as the Linux window offers them:
        // a button to press, links to follow.
        if (static_cast<DWORD>(l) == static_cast<DWORD>(OBJID_CLIENT) && TakesFocus(control)
            && !IsTextBox(control)) {
            const layout::WindowTexts &texts = layout::WindowTextsIn(m_language);
            if (LRESULT answer = AnswerGetObject(window, w,
                    {AccessibleRole(facts.role), Wide(facts.accessibleName),
                        Wide(facts.accessibleDescription),
                        Wide(facts.link ? texts.jumpAction : texts.pressAction), DefaultActionMessage}))
                return answer;
        }
        break;
    case DefaultActionMessage:
        if (TakesFocus(control) && !IsTextBox(control) && ::IsWindowEnabled(window))
            Activate(control);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        // The read-only code boxes ask with WM_CTLCOLORSTATIC.
        HDC dc = reinterpret_cast<HDC>(w);
        const bool output = facts.kind == ControlKind::Output;
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, Colour(output ? OutputColour : InputColour));
        return reinterpret_cast<LRESULT>(output ? m_outputBrush : m_inputBrush);
    }
    case WM_COMMAND:
        if (HIWORD(w) == EN_CHANGE && !m_closing) {
            const auto box = static_cast<Control>(LOWORD(w) - FirstControlId);
            if (box == Control::txtPassword || box == Control::txtKey) {
                HidePasteCut();
                if (box == Control::txtPassword)
                    FollowPasswordBox();
                // No undo history of a secret stays in the box.
                ::SendMessageW(Edit(box), EM_EMPTYUNDOBUFFER, 0, 0);
                Regenerate();
            }
        }
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK MainWindow::EditProc(HWND edit, UINT message, WPARAM w, LPARAM l)
{
    // A box's edit has its host's id.
    auto *self = reinterpret_cast<MainWindow *>(::GetWindowLongPtrW(edit, GWLP_USERDATA));
    const auto box = static_cast<Control>(::GetDlgCtrlID(edit) - FirstControlId);
    return self->OnEditMessage(box, edit, message, w, l);
}

LRESULT MainWindow::EditDefault(HWND edit, UINT message, WPARAM w, LPARAM l) const
{
    const bool code = edit == Edit(Control::txtCode16) || edit == Edit(Control::txtCode32);
    return ::CallWindowProcW(code ? &CodeBox::Procedure : m_editProc, edit, message, w, l);
}

LRESULT MainWindow::OnEditMessage(Control box, HWND edit, UINT message, WPARAM w, LPARAM l)
{
    const bool output = Facts(box).kind == ControlKind::Output;
    if (m_boxAsIs)
        return EditDefault(edit, message, w, l);
    switch (message) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case EM_GETLINE:
    case EM_SETPASSWORDCHAR:
        // The password is read, and its box masked or unmasked, by this
        // window's own thread only; another thread's (another program's)
        // message is answered as by an empty box and changes nothing.
        if (Facts(box).kind == ControlKind::Password && ::InSendMessageEx(nullptr) != ISMEX_NOSEND) {
            if (message == WM_GETTEXT && w > 0)
                reinterpret_cast<wchar_t *>(l)[0] = L'\0';
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        m_focusByClick = ::GetFocus() != edit;
        break;
    case WM_LBUTTONUP: {
        const LRESULT result = EditDefault(edit, message, w, l);
        if (m_focusByClick) {
            m_focusByClick = false;
            m_behaviour.FocusGained(box, static_cast<std::size_t>(::GetWindowTextLengthW(edit)));
        }
        return result;
    }
    case WM_SETFOCUS: {
        const LRESULT result = EditDefault(edit, message, w, l);
        // The focus that comes back with the window keeps the selection it had.
        if (!m_restoringFocus && !m_focusByClick)
            m_behaviour.FocusGained(box, static_cast<std::size_t>(::GetWindowTextLengthW(edit)));
        return result;
    }
    case WM_KEYDOWN:
        if (w == VK_TAB) {
            MoveFocus(box, ::GetKeyState(VK_SHIFT) < 0);
            return 0;
        }
        // The edit control pastes on Shift+Insert without a WM_PASTE.
        if (w == VK_INSERT && !output && ::GetKeyState(VK_SHIFT) < 0 && ::GetKeyState(VK_CONTROL) >= 0) {
            Paste(box, edit);
            return 0;
        }
        break;
    case WM_CHAR:
        if (w == L'\t')
            return 0;
        if (box == Control::txtPassword && w >= 0x20) {
            // Ctrl+Backspace's DEL character is no part of a password.
            if (w != 0x7F) {
                const auto unit = static_cast<char16_t>(w);
                TypeIntoPassword(edit, {&unit, 1});
            }
            return 0;
        }
        break;
    case WM_UNICHAR:
        if (box == Control::txtPassword) {
            if (w == UNICODE_NOCHAR)
                return TRUE;
            char16_t units[2]{};
            const bool pair = w > 0xFFFF;
            if (pair) {
                units[0] = static_cast<char16_t>(0xD800 + ((w - 0x10000) >> 10));
                units[1] = static_cast<char16_t>(0xDC00 + ((w - 0x10000) & 0x3FF));
            } else {
                units[0] = static_cast<char16_t>(w);
            }
            if (w >= 0x20 && w != 0x7F)
                TypeIntoPassword(edit, {units, pair ? 2u : 1u});
            return 0;
        }
        break;
    case WM_PASTE:
        if (!output) {
            Paste(box, edit);
            return 0;
        }
        break;
    case EM_REPLACESEL:
        if (box == Control::txtPassword && l) {
            const std::u16string_view text(reinterpret_cast<const char16_t *>(l));
            TypeIntoPassword(edit, text.substr(0, text.find_first_of(u"\r\n")));
            return 0;
        }
        break;
    case WM_SETTEXT:
        if (box == Control::txtPassword) {
            ::SendMessageW(edit, EM_SETSEL, 0, -1);
            const std::u16string_view text(l ? reinterpret_cast<const char16_t *>(l) : u"");
            TypeIntoPassword(edit, text.substr(0, text.find_first_of(u"\r\n")));
            return TRUE;
        }
        break;
    case WM_UNDO:
    case EM_UNDO:
        // Its undo would bring back filler the password no longer has.
        if (box == Control::txtPassword)
            return 0;
        break;
    case WM_MOUSEMOVE:
        m_behaviour.PointerMoved(box);
        break;
    case WM_SETCURSOR:
        if (output && LOWORD(l) == HTCLIENT) {
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))); // IDC_ARROW
            return TRUE;
        }
        break;
    case WM_GETOBJECT:
        // A code box is read-only editable text whose value is its code, as
        // the standard object of a read-only edit control reports it.
        if (output && static_cast<DWORD>(l) == static_cast<DWORD>(OBJID_CLIENT)) {
            const ControlFacts facts = Facts(box, m_language);
            AccessibleFacts accessible{
                ROLE_SYSTEM_TEXT, Wide(facts.accessibleName), Wide(facts.accessibleDescription), {}, 0};
            accessible.readOnlyText = true;
            if (LRESULT answer = AnswerGetObject(edit, w, std::move(accessible)))
                return answer;
        }
        break;
    case WM_CONTEXTMENU:
        // The menu key and Shift+F10 come here too, with the position -1.
        if (output) {
            ShowCodeMenu(edit, l);
            return 0;
        }
        break;
    case WM_COPY:
        if (output) {
            // Every copy of a code is the window's, with its markers and its clear.
            DWORD start = 0;
            DWORD end = 0;
            ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            const BoxText text(edit);
            if (end > start && end <= text.View().size())
                m_behaviour.Copy(text.View().substr(start, end - start));
            return 0;
        }
        break;
    default:
        break;
    }
    return EditDefault(edit, message, w, l);
}

bool MainWindow::TakesFocus(Control control)
{
    return IsTextBox(control) || Facts(control).link || control == Control::lblCopy;
}

void MainWindow::Activate(Control control)
{
    if (control == Control::lblCopy)
        CopyCode16();
    else
        m_behaviour.Clicked(control);
}

void MainWindow::MoveFocus(Control from, bool backwards)
{
    // The tab order: the boxes in the description's order, the copy button,
    // the copyright line, as the Linux window's; then the pictures that link
    // to a page, in the order the window is built in. The panel takes no focus.
    std::vector<HWND> order;
    for (Control control : layout::TabOrder)
        order.push_back(Edit(control));
    for (Control control : {Control::lblCopy, Control::lblCopyright})
        order.push_back(WindowOf(control));
    for (std::size_t i = 0; i < ControlCount; ++i)
        if (TakesFocus(static_cast<Control>(i))
            && std::find(order.begin(), order.end(), m_controls[i]) == order.end() && !m_edits[i])
            order.push_back(m_controls[i]);
    HWND current = IsTextBox(from) ? Edit(from) : WindowOf(from);
    const auto count = order.size();
    std::size_t at = static_cast<std::size_t>(std::find(order.begin(), order.end(), current) - order.begin());
    if (at == count)
        at = 0;
    // Past whatever cannot take the focus now: the code boxes after a failed self-test.
    for (std::size_t step = 0; step < count; ++step) {
        at = (at + (backwards ? count - 1 : 1)) % count;
        if (::IsWindowEnabled(order[at]) && ::IsWindowVisible(order[at])) {
            ::SetFocus(order[at]);
            return;
        }
    }
}

void MainWindow::TypeIntoPassword(HWND edit, std::u16string_view text)
{
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (end > m_password.size() || start > end) {
        ClearPassword();
        return;
    }
    // Known before the box reports its change, when the codes are derived.
    const std::size_t oldSize = m_password.size();
    m_password.replace(start, end - start, text);
    if (m_password.size() < oldSize)
        SecureWipe(m_password.data() + m_password.size(), (oldSize - m_password.size()) * sizeof(char16_t));
    const std::wstring filler(text.size(), static_cast<wchar_t>(PasswordCharacter));
    m_boxAsIs = true;
    ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
    m_boxAsIs = false;
    if (static_cast<std::size_t>(::GetWindowTextLengthW(edit)) != m_password.size())
        ClearPassword(); // refused by the box: nothing it shows is left unknown
}

void MainWindow::FollowPasswordBox()
{
    // Every insertion goes through TypeIntoPassword; any other change the box
    // makes removes characters, ending with the caret where they were.
    HWND edit = Edit(Control::txtPassword);
    const auto length = static_cast<std::size_t>(::GetWindowTextLengthW(edit));
    if (length == m_password.size())
        return;
    DWORD caret = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    const std::size_t removed = m_password.size() - length;
    if (length > m_password.size() || caret + removed > m_password.size()) {
        ClearPassword();
        return;
    }
    const std::size_t oldSize = m_password.size();
    m_password.erase(caret, removed);
    SecureWipe(m_password.data() + m_password.size(), (oldSize - m_password.size()) * sizeof(char16_t));
}

void MainWindow::ClearPassword()
{
    SecureWipe(m_password);
    m_password.clear();
    HWND edit = Edit(Control::txtPassword);
    if (::GetWindowTextLengthW(edit) != 0) {
        m_boxAsIs = true;
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        m_boxAsIs = false;
    }
}

void MainWindow::Paste(Control box, HWND edit)
{
    std::basic_string<char16_t, std::char_traits<char16_t>, WipingAllocator<char16_t>> line;
    bool cut = false;
    bool read = false;
    if (::IsClipboardFormatAvailable(CF_UNICODETEXT) && ::OpenClipboard(edit)) {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto *text = static_cast<const char16_t *>(::GlobalLock(data))) {
                const std::u16string_view whole(text);
                const std::u16string_view first = FirstLine(whole);
                line.assign(first);
                cut = first.size() != whole.size();
                read = true;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    if (!read)
        return;
    // As the edit control pastes: the selection replaced, even by nothing.
    if (box == Control::txtPassword) {
        TypeIntoPassword(edit, line);
    } else {
        ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(line.c_str()));
    }
    if (cut)
        ShowPasteCut(box);
}

void MainWindow::ShowPasteCut(Control box)
{
    // Under the box's left end, for as long as the description says, or
    // until either box changes or the window goes to the background.
    RECT place{};
    ::GetWindowRect(WindowOf(box), &place);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    ::SendMessageW(m_pasteCut, TTM_TRACKPOSITION, 0, MAKELPARAM(place.left, place.bottom));
    ::SendMessageW(m_pasteCut, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    ::SetTimer(m_window, PasteCutTimer, static_cast<UINT>(layout::PasteCutMs), nullptr);
}

void MainWindow::HidePasteCut()
{
    if (!m_pasteCut || !::IsWindowVisible(m_pasteCut))
        return;
    ::KillTimer(m_window, PasteCutTimer);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    ::SendMessageW(m_pasteCut, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::ShowCodeMenu(HWND edit, LPARAM at)
{
    enum : UINT { CopyItem = 1, SelectAllItem, FitItem };
    constexpr UINT Enabled = MF_STRING;
    constexpr UINT Disabled = MF_STRING | MF_GRAYED;
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool hasText = ::GetWindowTextLengthW(edit) > 0;
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, end > start ? Enabled : Disabled, CopyItem, CopyMenuText);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, hasText ? Enabled : Disabled, SelectAllItem, SelectAllMenuText);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, m_behaviour.DerivingEnabled() ? Enabled : Disabled, FitItem,
        Wide(FitTexts(RuleLanguageOf(m_language)).menuEntry).c_str());

    POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (at == -1) {
        // From the keyboard: under the box's left end.
        RECT box{};
        ::GetWindowRect(edit, &box);
        point = {box.left, box.bottom};
    }
    const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x, point.y, 0, m_window, nullptr));
    ::DestroyMenu(menu);
    switch (chosen) {
    case CopyItem:
        ::SendMessageW(edit, WM_COPY, 0, 0);
        break;
    case SelectAllItem:
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        break;
    case FitItem:
        OpenFitDialog();
        break;
    default:
        break;
    }
}

void MainWindow::OpenFitDialog()
{
    if (m_fitDialogOpen)
        return;
    m_fitDialogOpen = true;
    // The dialog is modal: the password cannot change while it reads it.
    FitDialog dialog(
        m_instance, std::u16string_view(m_password), Edit(Control::txtKey),
        [this](std::u16string_view code) { m_behaviour.Copy(code); }, RuleLanguageOf(m_language));
    dialog.Run(m_window);
    m_fitDialogOpen = false;
}

void MainWindow::Regenerate()
{
    const BoxText key(Edit(Control::txtKey));
    m_behaviour.InputChanged(m_password, key.View());
}

void MainWindow::CopyCode16()
{
    const BoxText code(Edit(Control::txtCode16));
    m_behaviour.Copy(code.View());
}

void MainWindow::WipeBoxes()
{
    // The codes are not derived again from what is left; the password box
    // never held more than filler.
    m_closing = true;
    SecureWipe(m_password);
    m_password.clear();
    for (std::size_t i = 0; i < ControlCount; ++i)
        if (HWND edit = m_edits[i]; edit && static_cast<Control>(i) != Control::txtPassword) {
            if (Facts(static_cast<Control>(i)).kind == ControlKind::Output)
                CodeBox::SetText(edit, {});
            else
                WipeEdit(edit);
        }
}

void MainWindow::ShowCodes(std::u16string_view code16, std::u16string_view code32)
{
    // A code box keeps its text in its own buffer, wiped as it is replaced:
    // a new code costs one invalidation, the same code nothing.
    CodeBox::SetText(Edit(Control::txtCode16), code16);
    CodeBox::SetText(Edit(Control::txtCode32), code32);
}

void MainWindow::Select(Control box, std::size_t start, std::size_t length)
{
    ::SendMessageW(Edit(box), EM_SETSEL, start, static_cast<LPARAM>(start + length));
}

bool MainWindow::CopyToClipboard(std::u16string_view code)
{
    if (m_clipboard->Copy(code))
        return true;
    ::MessageBoxW(m_window, Wide(layout::WindowTextsIn(m_language).clipboardBusy).c_str(),
        Wide(WindowTitle).c_str(), MB_OK | MB_ICONWARNING);
    return false;
}

void MainWindow::SetTimerRunning(bool running)
{
    if (running)
        ::SetTimer(m_window, ConfirmationTimer, static_cast<UINT>(WindowBehaviour::ConfirmationTick.count()),
            nullptr);
    else
        ::KillTimer(m_window, ConfirmationTimer);
}

void MainWindow::SetPictureVisible(Control picture, bool visible)
{
    HWND window = WindowOf(picture);
    if ((::IsWindowVisible(window) != FALSE) == visible)
        return;
    ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    // The transparent copy label shows the highlight beneath it.
    ::InvalidateRect(WindowOf(Control::lblCopy), nullptr, FALSE);
    if (picture == Control::ImgCopy && visible)
        ::NotifyWinEvent(EVENT_SYSTEM_ALERT, window, OBJID_CLIENT, CHILDID_SELF);
}

void MainWindow::OpenAddress(const char *address)
{
    // shell32 is loaded when a link is first followed, from the system
    // folder only: imported, it would be loaded, and initialised, at every start.
    using Execute = HINSTANCE(WINAPI *)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    static const Execute execute = [] {
        const HMODULE shell = ::LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const FARPROC found = shell ? ::GetProcAddress(shell, "ShellExecuteW") : nullptr;
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): GetProcAddress's contract
        return reinterpret_cast<Execute>(reinterpret_cast<void (*)()>(found));
    }();
    if (execute)
        execute(m_window, L"open", Wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void MainWindow::ShowSelfTestFailure(const char *notice, const char *headline, const std::string &details)
{
    for (Control box : {Control::txtCode16, Control::txtCode32}) {
        ::SendMessageW(Edit(box), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Wide(notice).c_str()));
        ::EnableWindow(Edit(box), FALSE);
    }
    m_failureMessage = Wide(headline) + L"\n\n" + Wide(details.c_str());
    // Shown once the message loop runs, over the shown window.
    ::PostMessageW(m_window, ShowFailureMessage, 0, 0);
}

} // namespace mnemora::win
