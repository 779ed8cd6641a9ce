#include "toolkit/Accessible.h"

#include "common/SystemLibrary.h"
#include "toolkit/Widget.h"

#include <utility>

namespace QEL {

namespace {

bool isSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// A BSTR for text, or S_FALSE with null when there is none.
HRESULT toBstr(const std::wstring* text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!text)
        return S_FALSE;
    *out = SysAllocStringLen(text->c_str(), static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

LRESULT Accessible::answer(Widget& widget, Accessible*& cached, WPARAM wParam, LPARAM lParam)
{
    // Wine sends OBJID_CLIENT as 0xFFFFFFFC without sign extension: compare 32 bits.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)
        || !common::available<common::DelayLoaded::OleAcc>())
        return 0;
    if (!cached) {
        IAccessible* standard = nullptr;
        if (FAILED(CreateStdAccessibleObject(widget.hwnd(), OBJID_CLIENT, IID_IAccessible,
                                             reinterpret_cast<void**>(&standard))))
            return 0;
        cached = new Accessible(widget, standard);
    }
    return LresultFromObject(IID_IAccessible, wParam, cached);
}

void Accessible::disconnect(Accessible*& cached)
{
    if (!cached)
        return;
    cached->widget = nullptr;
    if (IAccessible* standard = std::exchange(cached->standard, nullptr))
        standard->Release();
    cached->Release();
    cached = nullptr;
}

Accessible::Accessible(Widget& widget, IAccessible* standard) : widget(&widget), standard(standard) {}

Accessible::~Accessible()
{
    if (standard)
        standard->Release();
}

Widget* Accessible::self(const VARIANT& child) const
{
    return widget && isSelf(child) ? widget : nullptr;
}

HRESULT Accessible::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Accessible::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references));
}

ULONG Accessible::Release()
{
    const LONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT Accessible::get_accName(VARIANT child, BSTR* name)
{
    if (Widget* own = self(child)) {
        const std::wstring text = own->accessibleName();
        return toBstr(&text, name);
    }
    return standard ? standard->get_accName(child, name) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accRole(VARIANT child, VARIANT* role)
{
    if (Widget* own = self(child)) {
        if (!role)
            return E_POINTER;
        role->vt = VT_I4;
        role->lVal = own->accessibleRole();
        return S_OK;
    }
    return standard ? standard->get_accRole(child, role) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accState(VARIANT child, VARIANT* state)
{
    if (Widget* own = self(child)) {
        if (!state)
            return E_POINTER;
        state->vt = VT_I4;
        state->lVal = own->accessibleState() | (IsWindowVisible(own->hwnd()) ? 0 : STATE_SYSTEM_INVISIBLE);
        return S_OK;
    }
    return standard ? standard->get_accState(child, state) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    if (Widget* own = self(child)) {
        const std::wstring text = own->defaultAction();
        return toBstr(text.empty() ? nullptr : &text, action);
    }
    return standard ? standard->get_accDefaultAction(child, action) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::accDoDefaultAction(VARIANT child)
{
    if (Widget* own = self(child))
        return own->doDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
    return standard ? standard->accDoDefaultAction(child) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accValue(VARIANT child, BSTR* value)
{
    if (Widget* own = self(child); own && own->accessibleValue())
        return toBstr(own->accessibleValue(), value);
    return standard ? standard->get_accValue(child, value) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    if (Widget* own = self(child); own && !own->keyboardShortcut().empty())
        return toBstr(&own->keyboardShortcut(), shortcut);
    return standard ? standard->get_accKeyboardShortcut(child, shortcut) : RPC_E_DISCONNECTED;
}

// The rest is the standard object's, while the window lives.
#define QEL_FORWARD(call) return standard ? standard->call : RPC_E_DISCONNECTED

HRESULT Accessible::GetTypeInfoCount(UINT* count) { QEL_FORWARD(GetTypeInfoCount(count)); }
HRESULT Accessible::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) { QEL_FORWARD(GetTypeInfo(index, locale, info)); }
HRESULT Accessible::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    QEL_FORWARD(GetIDsOfNames(iid, names, count, locale, ids));
}
HRESULT Accessible::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                           VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    QEL_FORWARD(Invoke(id, iid, locale, flags, parameters, result, exception, argumentError));
}
HRESULT Accessible::get_accParent(IDispatch** parent) { QEL_FORWARD(get_accParent(parent)); }
HRESULT Accessible::get_accChildCount(long* count) { QEL_FORWARD(get_accChildCount(count)); }
HRESULT Accessible::get_accChild(VARIANT child, IDispatch** dispatch) { QEL_FORWARD(get_accChild(child, dispatch)); }
HRESULT Accessible::get_accDescription(VARIANT child, BSTR* description) { QEL_FORWARD(get_accDescription(child, description)); }
HRESULT Accessible::get_accHelp(VARIANT child, BSTR* help) { QEL_FORWARD(get_accHelp(child, help)); }
HRESULT Accessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) { QEL_FORWARD(get_accHelpTopic(file, child, topic)); }
HRESULT Accessible::get_accFocus(VARIANT* child) { QEL_FORWARD(get_accFocus(child)); }
HRESULT Accessible::get_accSelection(VARIANT* children) { QEL_FORWARD(get_accSelection(children)); }
HRESULT Accessible::accSelect(long flags, VARIANT child) { QEL_FORWARD(accSelect(flags, child)); }
HRESULT Accessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    QEL_FORWARD(accLocation(left, top, width, height, child));
}
HRESULT Accessible::accNavigate(long direction, VARIANT start, VARIANT* end) { QEL_FORWARD(accNavigate(direction, start, end)); }
HRESULT Accessible::accHitTest(long left, long top, VARIANT* child) { QEL_FORWARD(accHitTest(left, top, child)); }
HRESULT Accessible::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT Accessible::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

#undef QEL_FORWARD

} // namespace QEL
