#include "controls/win32/CAccessibleName.h"

#include "controls/win32/WideText.h"
#include "utility/win32/Wine.h"

#include <commctrl.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <utility>

using Microsoft::WRL::ComPtr;

// Read by the client objects on the window's thread, a single-threaded COM
// apartment: calls from other processes arrive through its message loop.
struct CAccessibleName::Texts {
    bool hasName = false;
    std::wstring name;
    std::wstring description;
};

namespace {

constexpr UINT_PTR kSubclassId = 1;

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT Copy(const std::wstring& text, BSTR* out) {
    if (!out) {
        return E_POINTER;
    }
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Windows raises EVENT_OBJECT_SHOW and _HIDE for a window's object itself;
// Wine 8 raises neither, so there the control raises them.
bool SystemTellsOfShowing() {
    return !Wine::IsHost();
}

// The system's client object of a control, with the name and the description
// of the texts; everything else is the system's answer.
class NamedObject final : public IAccessible, public IOleWindow {
public:
    NamedObject(ComPtr<IAccessible> system, HWND hwnd,
                std::shared_ptr<const CAccessibleName::Texts> texts)
        : m_system(std::move(system)), m_hWnd(hwnd), m_texts(std::move(texts)) {}
    NamedObject(const NamedObject&) = delete;
    NamedObject& operator=(const NamedObject&) = delete;

    // IUnknown: one identity for IAccessible and IOleWindow.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
        } else if (id == __uuidof(IOleWindow)) {
            *object = static_cast<IOleWindow*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IOleWindow: clients find the control's window through it.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd) {
            return E_POINTER;
        }
        *hwnd = m_hWnd;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return m_system->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return m_system->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return m_system->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return m_system->Invoke(member, id, locale, flags, params, result, exception, argument);
    }

    // IAccessible: the two replaced properties.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (IsSelf(child) && m_texts->hasName) {
            return Copy(m_texts->name, name);
        }
        return m_system->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (IsSelf(child) && !m_texts->description.empty()) {
            return Copy(m_texts->description, description);
        }
        return m_system->get_accDescription(child, description);
    }

    // IAccessible: the system's answers.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return m_system->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return m_system->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return m_system->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return m_system->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return m_system->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return m_system->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return m_system->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return m_system->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return m_system->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return m_system->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_system->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return m_system->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return m_system->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return m_system->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return m_system->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return m_system->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return m_system->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_system->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_system->put_accValue(child, value);
    }

private:
    ~NamedObject() = default; // through Release only

    ComPtr<IAccessible> m_system;
    HWND m_hWnd;
    std::shared_ptr<const CAccessibleName::Texts> m_texts;
    LONG m_references = 1;
};

} // namespace

CAccessibleName::CAccessibleName() : m_texts(std::make_shared<Texts>()) {}

CAccessibleName::~CAccessibleName() {
    if (m_hWnd) {
        RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    }
}

void CAccessibleName::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void CAccessibleName::SetName(const std::string& name) {
    m_texts->hasName = true;
    m_texts->name = WideText::FromUtf8(name);
    NotifyNameChange(m_hWnd);
}

void CAccessibleName::SetDescription(const std::string& description, bool onFocus) {
    std::wstring text = WideText::FromUtf8(description);
    if (text == m_texts->description) {
        return;
    }
    m_texts->description = std::move(text);
    if (!onFocus || GetFocus() == m_hWnd) {
        NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    }
}

void CAccessibleName::NotifyNameChange(HWND hwnd) {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

void CAccessibleName::NotifyShown(HWND hwnd, bool shown) {
    if (!SystemTellsOfShowing()) {
        NotifyWinEvent(shown ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, hwnd, OBJID_WINDOW,
                       CHILDID_SELF);
    }
}

LRESULT CALLBACK CAccessibleName::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR data) {
    // The object id is a DWORD: on 64-bit Windows lParam may come sign-extended.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (const LRESULT object = reinterpret_cast<CAccessibleName*>(data)->ClientObject(wParam)) {
            return object;
        }
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CAccessibleName::ClientObject(WPARAM wParam) {
    ComPtr<IAccessible> system;
    if (FAILED(CreateStdAccessibleObject(m_hWnd, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(system.GetAddressOf())))) {
        return 0;
    }
    // A new object for every request; the client keeps the reference that
    // LresultFromObject adds.
    ComPtr<IAccessible> object;
    object.Attach(new NamedObject(std::move(system), m_hWnd, m_texts));
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, object.Get());
    return result > 0 ? result : 0;
}
