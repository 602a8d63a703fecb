#include "AccessibleControl.h"

#include "WinText.h"

#include <atomic>
#include <new>
#include <utility>

namespace mnemora::win {

namespace {

bool IsSelf(const VARIANT &child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

BSTR Text(const std::wstring &text)
{
    return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

class AccessibleControl final : public IAccessible {
public:
    AccessibleControl(HWND window, IAccessible *standard, AccessibleFacts facts)
        : m_window(window)
        , m_standard(standard)
        , m_facts(std::move(facts))
    { }
    AccessibleControl(const AccessibleControl &) = delete;
    AccessibleControl &operator=(const AccessibleControl &) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: MSAA clients call IAccessible's methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(
        DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: the control's own facts for itself.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        return IsSelf(child) ? Give(m_facts.name, name) : m_standard->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) override
    {
        return IsSelf(child) ? Give(m_facts.description, description)
                             : m_standard->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        return IsSelf(child) ? Give(m_facts.defaultAction, action)
                             : m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        if (!IsSelf(child))
            return m_standard->get_accRole(child, role);
        if (!role)
            return E_POINTER;
        ::VariantInit(role);
        role->vt = VT_I4;
        role->lVal = m_facts.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        const HRESULT result = m_standard->get_accState(child, state);
        if (SUCCEEDED(result) && IsSelf(child) && state && state->vt == VT_I4) {
            state->lVal |= STATE_SYSTEM_FOCUSABLE;
            if (m_facts.role == ROLE_SYSTEM_LINK)
                state->lVal |= STATE_SYSTEM_LINKED;
            if (m_facts.readOnlyText)
                state->lVal |= STATE_SYSTEM_READONLY;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!IsSelf(child))
            return m_standard->accDoDefaultAction(child);
        if (!m_facts.actionMessage)
            return DISP_E_MEMBERNOTFOUND;
        return ::PostMessageW(m_window, m_facts.actionMessage, 0, 0) ? S_OK : E_FAIL;
    }

    // IAccessible: the standard object's answers.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override
    {
        return m_standard->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long *count) override
    {
        return m_standard->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **object) override
    {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        if (!IsSelf(child) || !m_facts.readOnlyText)
            return m_standard->get_accValue(child, value);
        if (!value)
            return E_POINTER;
        // The client owns the string it is given; the copy read here is wiped.
        const BoxText text(m_window);
        const std::wstring_view shown = text.WideView();
        *value = ::SysAllocStringLen(shown.data(), static_cast<UINT>(shown.size()));
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override
    {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, long *topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *focus) override
    {
        return m_standard->get_accFocus(focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *selection) override
    {
        return m_standard->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(
        long *left, long *top, long *width, long *height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT *end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT *child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~AccessibleControl() { m_standard->Release(); }

    static HRESULT Give(const std::wstring &text, BSTR *out)
    {
        if (!out)
            return E_POINTER;
        *out = text.empty() ? nullptr : Text(text);
        if (text.empty())
            return S_FALSE;
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    HWND m_window;
    IAccessible *m_standard;
    AccessibleFacts m_facts;
    std::atomic<ULONG> m_references{1};
};

} // namespace

LRESULT AnswerGetObject(HWND window, WPARAM flags, AccessibleFacts facts)
{
    IAccessible *standard = nullptr;
    if (FAILED(::CreateStdAccessibleObject(
            window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void **>(&standard))))
        return 0;
    auto *object = new (std::nothrow) AccessibleControl(window, standard, std::move(facts));
    if (!object) {
        standard->Release();
        return 0;
    }
    const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), flags, object);
    object->Release();
    return result;
}

} // namespace mnemora::win
