#include "toolkit/Accessible.h"

#include "common/SystemLibrary.h"
#include "toolkit/Widget.h"

#include <algorithm>
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

LRESULT Accessible::answer(Widget& widget, Reference& cached, WPARAM wParam, LPARAM lParam)
{
    // Wine sends OBJID_CLIENT as 0xFFFFFFFC without sign extension: compare 32 bits.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)
        || !common::available<common::DelayLoaded::OleAcc>())
        return 0;
    if (!cached) {
        common::ComReference<IAccessible> standard;
        if (FAILED(CreateStdAccessibleObject(widget.hwnd(), OBJID_CLIENT, IID_IAccessible,
                                             reinterpret_cast<void**>(standard.put()))))
            return 0;
        cached.reset(new Accessible(widget, std::move(standard)));
    }
    return LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(cached.get()));
}

void Accessible::disconnect(Reference& cached)
{
    if (!cached)
        return;
    cached.get()->widget = nullptr;
    cached.get()->standardObject.reset();
    cached.reset();
}

Accessible::Accessible(Widget& widget, common::ComReference<IAccessible> standard)
    : widget(&widget), standardObject(std::move(standard))
{
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
    } else if (iid == IID_IEnumVARIANT) {
        *object = static_cast<IEnumVARIANT*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
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
        const std::wstring text = own->describe().name;
        return toBstr(&text, name);
    }
    return standardObject ? standardObject.get()->get_accName(child, name) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accRole(VARIANT child, VARIANT* role)
{
    if (Widget* own = self(child)) {
        if (!role)
            return E_POINTER;
        role->vt = VT_I4;
        role->lVal = own->describe().role;
        return S_OK;
    }
    return standardObject ? standardObject.get()->get_accRole(child, role) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accState(VARIANT child, VARIANT* state)
{
    if (Widget* own = self(child)) {
        if (!state)
            return E_POINTER;
        state->vt = VT_I4;
        state->lVal = own->describe().state | (IsWindowVisible(own->hwnd()) ? 0 : STATE_SYSTEM_INVISIBLE);
        return S_OK;
    }
    return standardObject ? standardObject.get()->get_accState(child, state) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    if (Widget* own = self(child)) {
        const std::wstring text = own->describe().action;
        return toBstr(text.empty() ? nullptr : &text, action);
    }
    return standardObject ? standardObject.get()->get_accDefaultAction(child, action) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::accDoDefaultAction(VARIANT child)
{
    if (Widget* own = self(child))
        return own->doDefaultAction() ? S_OK : DISP_E_MEMBERNOTFOUND;
    return standardObject ? standardObject.get()->accDoDefaultAction(child) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accValue(VARIANT child, BSTR* value)
{
    if (Widget* own = self(child)) {
        const AccessibleDescription description = own->describe();
        if (description.value)
            return toBstr(&*description.value, value);
    }
    return standardObject ? standardObject.get()->get_accValue(child, value) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    if (Widget* own = self(child)) {
        const AccessibleDescription description = own->describe();
        if (!description.shortcut.empty())
            return toBstr(&description.shortcut, shortcut);
    }
    return standardObject ? standardObject.get()->get_accKeyboardShortcut(child, shortcut) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accDescription(VARIANT child, BSTR* description)
{
    if (Widget* own = self(child)) {
        const AccessibleDescription described = own->describe();
        if (!described.description.empty())
            return toBstr(&described.description, description);
    }
    return standardObject ? standardObject.get()->get_accDescription(child, description) : RPC_E_DISCONNECTED;
}

HRESULT Accessible::get_accChildCount(long* count)
{
    if (!count)
        return E_POINTER;
    if (!widget)
        return RPC_E_DISCONNECTED;
    *count = static_cast<long>(widget->accessibleChildren().size());
    return S_OK;
}

// Child n (from 1) is the n-th child widget's own object, as its window answers for it.
HRESULT Accessible::get_accChild(VARIANT child, IDispatch** dispatch)
{
    if (!dispatch)
        return E_POINTER;
    *dispatch = nullptr;
    if (!widget)
        return RPC_E_DISCONNECTED;
    const std::vector<Widget*> children = widget->accessibleChildren();
    if (child.vt != VT_I4 || child.lVal < 1 || static_cast<size_t>(child.lVal) > children.size())
        return E_INVALIDARG;
    return AccessibleObjectFromWindow(children[child.lVal - 1]->hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                      IID_IDispatch, reinterpret_cast<void**>(dispatch));
}

HRESULT Accessible::Next(ULONG count, VARIANT* items, ULONG* fetched)
{
    if (!items)
        return E_POINTER;
    if (!widget)
        return RPC_E_DISCONNECTED;
    const std::vector<Widget*> children = widget->accessibleChildren();
    ULONG given = 0;
    while (given < count && cursor < children.size()) {
        VARIANT id = {};
        id.vt = VT_I4;
        id.lVal = static_cast<LONG>(cursor + 1);
        IDispatch* object = nullptr;
        ++cursor;
        if (FAILED(get_accChild(id, &object)) || !object)
            continue;
        VariantInit(&items[given]);
        items[given].vt = VT_DISPATCH;
        items[given].pdispVal = object;
        ++given;
    }
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT Accessible::Skip(ULONG count)
{
    if (!widget)
        return RPC_E_DISCONNECTED;
    const size_t children = widget->accessibleChildren().size();
    cursor = static_cast<ULONG>(std::min<size_t>(children, cursor + static_cast<size_t>(count)));
    return cursor < children || count == 0 ? S_OK : S_FALSE;
}

HRESULT Accessible::Reset()
{
    cursor = 0;
    return S_OK;
}

HRESULT Accessible::Clone(IEnumVARIANT** copy)
{
    if (copy)
        *copy = nullptr;
    return E_NOTIMPL;  // AccessibleChildren and the screen readers use Reset, Skip and Next
}

// The rest is the standard object's, while the window lives.
#define QEL_FORWARD(call) return standardObject ? standardObject.get()->call : RPC_E_DISCONNECTED

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
