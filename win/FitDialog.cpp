#include "FitDialog.h"

#include "WinText.h"
#include "WindowLayout.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cstring>
#include <utility>
#include <vector>

namespace mnemora::win {

namespace {

// The dialog's size in dialog units, and its font: the window's own face, in
// which Chinese text is linked to a font that has it.
constexpr short DialogWidth = 300;
constexpr short DialogHeight = 146;
constexpr WORD FontPoints = 9;

// A dialog template with no items, which are created in code: its header,
// no menu, the standard class, the title and the font.
std::vector<WORD> DialogTemplate(const std::wstring &title)
{
    DLGTEMPLATE header{};
    header.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.cx = DialogWidth;
    header.cy = DialogHeight;
    std::vector<WORD> words((sizeof header + 1) / sizeof(WORD));
    std::memcpy(words.data(), &header, sizeof header);
    words.push_back(0); // menu
    words.push_back(0); // class
    words.insert(words.end(), title.begin(), title.end());
    words.push_back(0);
    words.push_back(FontPoints);
    const std::wstring face = Wide(WindowFontFamily);
    words.insert(words.end(), face.begin(), face.end());
    words.push_back(0);
    return words;
}

} // namespace

FitDialog::FitDialog(HINSTANCE instance, std::u16string_view password, HWND key,
    std::function<void(std::u16string_view)> copy, RuleLanguage language)
    : m_instance(instance)
    , m_password(password)
    , m_key(key)
    , m_copy(std::move(copy))
    , m_behaviour(*this, language)
{ }

void FitDialog::Run(HWND owner)
{
    const std::vector<WORD> layout = DialogTemplate(Wide(m_behaviour.Texts().title));
    ::DialogBoxIndirectParamW(m_instance, reinterpret_cast<const DLGTEMPLATE *>(layout.data()), owner,
        DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_codeFont)
        ::DeleteObject(m_codeFont);
    m_codeFont = nullptr;
}

INT_PTR CALLBACK FitDialog::DialogProc(HWND dialog, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_INITDIALOG) {
        auto *self = reinterpret_cast<FitDialog *>(l);
        self->m_dialog = dialog;
        ::SetWindowLongPtrW(dialog, DWLP_USER, l);
    }
    auto *self = reinterpret_cast<FitDialog *>(::GetWindowLongPtrW(dialog, DWLP_USER));
    return self ? self->OnMessage(message, w, l) : FALSE;
}

INT_PTR FitDialog::OnMessage(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_INITDIALOG: {
        CreateControls();
        SetUpAccessibility();
        const BoxText key(m_key);
        m_behaviour.Opened(m_password, key.View(), {});
        ::SetFocus(Item(Site));
        return FALSE; // the focus is set
    }
    case WM_COMMAND: {
        const int id = LOWORD(w);
        const int code = HIWORD(w);
        if (code == EN_CHANGE && (id == Site || id == Rule)) {
            Edited(id);
        } else if (code == BN_CLICKED) {
            switch (id) {
            case WithSymbol:
            case AtMost:
            case DigitsOnly: {
                BOOL read = FALSE;
                const UINT length = ::GetDlgItemInt(m_dialog, Length, &read, FALSE);
                const BoxText key(m_key);
                const BoxText rule(Item(Rule));
                m_behaviour.PresetChosen(m_password, key.View(), Narrow(rule.WideView()),
                    id == WithSymbol   ? RulePreset::WithSymbol
                        : id == AtMost ? RulePreset::AtMost
                                       : RulePreset::DigitsOnly,
                    read ? static_cast<int>(length) : FitDialogBehaviour::LengthDefault);
                break;
            }
            case Copy:
                CopyCode(false);
                break;
            case IDCANCEL:
                Close();
                break;
            default: // Enter in a field: nothing is the default
                break;
            }
        }
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(l) == Item(Message)) {
            HDC dc = reinterpret_cast<HDC>(w);
            ::SetTextColor(dc, RGB(0xB0, 0x00, 0x20));
            ::SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_3DFACE));
        }
        return FALSE;
    case WM_CLOSE:
        Close();
        return TRUE;
    case WM_ENDSESSION:
        // The session ends with the dialog open: no code stays behind in it.
        if (w)
            ClearCode();
        return TRUE;
    default:
        return FALSE;
    }
}

void FitDialog::CreateControls()
{
    const FitDialogTexts &texts = m_behaviour.Texts();
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_dialog, WM_GETFONT, 0, 0));
    // In dialog units; created in the tab order, each label just before the
    // control its access key reaches.
    auto add = [&](const wchar_t *kind, std::string_view text, DWORD style, int id, int x, int y, int cx,
                   int cy, DWORD extended = 0) {
        RECT place{x, y, x + cx, y + cy};
        ::MapDialogRect(m_dialog, &place);
        HWND control = ::CreateWindowExW(extended, kind, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
            place.left, place.top, place.right - place.left, place.bottom - place.top, m_dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return control;
    };
    constexpr DWORD Field = WS_TABSTOP | ES_AUTOHSCROLL;
    constexpr DWORD Button = WS_TABSTOP | BS_PUSHBUTTON;
    constexpr int Left = 62;
    constexpr int Width = DialogWidth - Left - 7;

    add(L"STATIC", texts.site, SS_LEFT, -1, 7, 9, 54, 9);
    HWND site = add(L"EDIT", "", Field, Site, Left, 7, Width, 12, WS_EX_CLIENTEDGE);
    ::SendMessageW(site, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L"example.com"));
    add(L"STATIC", texts.rule, SS_LEFT, -1, 7, 25, 54, 9);
    add(L"EDIT", "", Field, Rule, Left, 23, Width, 12, WS_EX_CLIENTEDGE);
    add(L"STATIC", texts.presets, SS_LEFT, -1, 7, 42, 54, 9);
    add(L"BUTTON", texts.withSymbol, Button, WithSymbol, Left, 40, 52, 14);
    add(L"BUTTON", texts.atMost, Button, AtMost, Left + 55, 40, 68, 14);
    add(L"BUTTON", texts.digitsOnly, Button, DigitsOnly, Left + 126, 40, 60, 14);
    add(L"STATIC", texts.length, SS_RIGHT, -1, Left + 188, 42, 14, 9);
    HWND length = add(L"EDIT", std::to_string(FitDialogBehaviour::LengthDefault), Field | ES_NUMBER, Length,
        Left + 204, 40, 27, 13, WS_EX_CLIENTEDGE);
    HWND spin = add(UPDOWN_CLASSW, "", UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS | UDS_SETBUDDYINT,
        LengthSpin, 0, 0, 0, 0);
    ::SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(length), 0);
    ::SendMessageW(
        spin, UDM_SETRANGE32, FitDialogBehaviour::LengthMinimum, FitDialogBehaviour::LengthMaximum);
    ::SendMessageW(spin, UDM_SETPOS32, 0, FitDialogBehaviour::LengthDefault);

    add(L"STATIC", texts.code, SS_LEFT, -1, 7, 62, 54, 9);
    HWND code = add(L"EDIT", "", Field | ES_READONLY, Code, Left, 60, Width, 13, WS_EX_CLIENTEDGE);
    const int height = -::MulDiv(
        static_cast<int>(OutputFontPoints * 10 + 5) / 10, static_cast<int>(::GetDpiForWindow(m_dialog)), 72);
    m_codeFont = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH, Wide(BoxFontFamily).c_str());
    ::SendMessageW(code, WM_SETFONT, reinterpret_cast<WPARAM>(m_codeFont), FALSE);
    ::SetWindowSubclass(code, CodeProc, 0, reinterpret_cast<DWORD_PTR>(this));
    add(L"STATIC", "", SS_LEFT | SS_NOPREFIX, Words, Left, 77, Width, 18);
    add(L"STATIC", "", SS_LEFT | SS_NOPREFIX, Strength, Left, 96, Width, 9);
    add(L"STATIC", "", SS_LEFT | SS_NOPREFIX, Message, Left, 106, Width, 18);
    add(L"BUTTON", texts.copy, Button, Copy, DialogWidth - 7 - 50 - 4 - 50, DialogHeight - 21, 50, 14);
    add(L"BUTTON", texts.close, Button, IDCANCEL, DialogWidth - 7 - 50, DialogHeight - 21, 50, 14);
}

void FitDialog::SetUpAccessibility()
{
    // Names without the access keys' marks, and what the two fields take.
    IAccPropServices *services = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
            reinterpret_cast<void **>(&services))))
        return;
    const FitDialogTexts &texts = m_behaviour.Texts();
    const std::pair<int, const char *> names[]
        = {{Site, texts.site}, {Rule, texts.rule}, {WithSymbol, texts.withSymbol}, {AtMost, texts.atMost},
            {DigitsOnly, texts.digitsOnly}, {Length, texts.length}, {Code, texts.code}, {Words, texts.words},
            {Copy, texts.copy}, {IDCANCEL, texts.close}};
    for (const auto &[id, name] : names)
        services->SetHwndPropStr(Item(id), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
            Wide(AccessibleText(name)).c_str());
    for (const auto &[id, help] : {std::pair{Site, texts.siteHelp}, std::pair{Rule, texts.ruleHelp}})
        services->SetHwndPropStr(Item(id), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
            PROPID_ACC_DESCRIPTION, Wide(help).c_str());
    services->Release();
}

LRESULT CALLBACK FitDialog::CodeProc(HWND edit, UINT message, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR self)
{
    // Every copy of the code is the main window's, with its markers and its clear.
    if (message == WM_COPY) {
        reinterpret_cast<FitDialog *>(self)->CopyCode(true);
        return 0;
    }
    return ::DefSubclassProc(edit, message, w, l);
}

void FitDialog::Edited(int id)
{
    const BoxText key(m_key);
    const std::string rule = Narrow(BoxText(Item(Rule)).WideView());
    if (id == Site)
        m_behaviour.SiteEdited(m_password, key.View(), Narrow(BoxText(Item(Site)).WideView()), rule);
    else
        m_behaviour.RuleEdited(m_password, key.View(), rule);
}

void FitDialog::CopyCode(bool selectionOnly)
{
    HWND edit = Item(Code);
    const BoxText code(edit);
    std::u16string_view copied = code.View();
    if (selectionOnly) {
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        copied
            = end > start && end <= copied.size() ? copied.substr(start, end - start) : std::u16string_view();
    }
    m_copy(copied);
}

void FitDialog::ClearCode()
{
    // Wiped in place first: a new text may be given a new buffer and the old
    // one freed as it was.
    HWND code = Item(Code);
    WipeEdit(code);
    ::SetWindowTextW(code, L"");
}

void FitDialog::Close()
{
    ClearCode();
    ::EndDialog(m_dialog, IDCANCEL);
}

void FitDialog::SetRuleText(std::string_view rule)
{
    ::SetWindowTextW(Item(Rule), Wide(rule).c_str());
}

void FitDialog::ShowFitted(std::u16string_view code, const std::string &words, const std::string &strength)
{
    ClearCode();
    SetSecretText(Item(Code), code);
    ::SetWindowTextW(Item(Words), Wide(words).c_str());
    ::SetWindowTextW(Item(Strength), Wide(strength).c_str());
    ::SetWindowTextW(Item(Message), L"");
    ::EnableWindow(Item(Copy), TRUE);
}

void FitDialog::ShowProblem(const std::string &message)
{
    ClearCode();
    ::SetWindowTextW(Item(Words), L"");
    ::SetWindowTextW(Item(Strength), L"");
    ::SetWindowTextW(Item(Message), Wide(message).c_str());
    // Disabling the focused button would leave the dialog without a focus.
    if (::GetFocus() == Item(Copy))
        ::SetFocus(Item(Rule));
    ::EnableWindow(Item(Copy), FALSE);
    // Said by a screen reader as it changes, while the focus stays in the field.
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Item(Message), OBJID_CLIENT, CHILDID_SELF);
}

} // namespace mnemora::win
