#include "toolkit/AnnouncementProvider.h"

#include "common/SystemLibrary.h"
#include "toolkit/Application.h"

namespace QEL {

namespace {

constexpr const wchar_t* providerClassName = L"QEL_AnnouncementProvider";
// UIAutomationCoreApi.h (Windows SDK; MinGW's copy does not compile as C++).
constexpr LONG uiaRootObjectId = -25;
constexpr HRESULT elementNotAvailable = static_cast<HRESULT>(0x80040201);  // UIA_E_ELEMENTNOTAVAILABLE
// UIAutomationClient.h (Windows SDK): properties the provider answers.
constexpr PROPERTYID namePropertyId = 30005;
constexpr PROPERTYID controlTypePropertyId = 30003;
constexpr PROPERTYID isControlElementPropertyId = 30016;
constexpr PROPERTYID isContentElementPropertyId = 30017;

template <typename Function>
void lookUp(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

const UiAutomationCalls& systemUiAutomation()
{
    static const UiAutomationCalls calls = [] {
        UiAutomationCalls found;
        if (HMODULE core = common::loadSystemLibrary(L"uiautomationcore.dll")) {
            lookUp(core, "UiaHostProviderFromHwnd", found.hostProviderFromHwnd);
            lookUp(core, "UiaReturnRawElementProvider", found.returnRawElementProvider);
            lookUp(core, "UiaRaiseNotificationEvent", found.raiseNotificationEvent);
            lookUp(core, "UiaDisconnectProvider", found.disconnectProvider);
        }
        return found;
    }();
    return calls;
}

HWND AnnouncementProvider::createWindow(HWND root, const UiAutomationCalls& calls)
{
    if (!calls.hostProviderFromHwnd || !calls.returnRawElementProvider)
        return nullptr;
    Application* application = Application::current();
    HINSTANCE instance = application ? application->instance() : GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &AnnouncementProvider::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = providerClassName;
    RegisterClassExW(&windowClass);  // fails harmlessly when registered already
    auto* provider = new AnnouncementProvider(calls);
    // Hidden and disabled: no pixel, no focus, no click; the window only answers for the element.
    HWND window = CreateWindowExW(0, providerClassName, L"", WS_CHILD | WS_DISABLED, 0, 0, 1, 1, root,
                                  nullptr, instance, provider);
    if (!window)
        provider->Release();
    return window;
}

AnnouncementProvider* AnnouncementProvider::of(HWND window)
{
    wchar_t className[32] = {};
    if (!window || !GetClassNameW(window, className, 32) || std::wstring(className) != providerClassName)
        return nullptr;
    return reinterpret_cast<AnnouncementProvider*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The window holds one reference from its creation until it is destroyed.
LRESULT CALLBACK AnnouncementProvider::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* provider = reinterpret_cast<AnnouncementProvider*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        provider = static_cast<AnnouncementProvider*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        provider->window = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(provider));
        break;
    case WM_GETOBJECT:
        // Wine hands the id over zero-extended; UI Automation wants the constant itself.
        if (provider && static_cast<DWORD>(lParam) == static_cast<DWORD>(uiaRootObjectId))
            return provider->calls.returnRawElementProvider(hwnd, wParam, uiaRootObjectId, provider);
        break;
    case WM_DESTROY:
        if (provider) {
            provider->calls.returnRawElementProvider(hwnd, 0, 0, nullptr);
            if (provider->calls.disconnectProvider)
                provider->calls.disconnectProvider(provider);
            provider->window = nullptr;
        }
        break;
    case WM_NCDESTROY:
        if (provider) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            provider->Release();
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HRESULT AnnouncementProvider::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IRawElementProviderSimple) {
        *object = static_cast<IRawElementProviderSimple*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AnnouncementProvider::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references));
}

ULONG AnnouncementProvider::Release()
{
    const LONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT AnnouncementProvider::get_ProviderOptions(ProviderOptions* options)
{
    if (!options)
        return E_POINTER;
    // Called on the window's thread, through COM, like the rest of the window.
    *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider | ProviderOptions_UseComThreading);
    return S_OK;
}

HRESULT AnnouncementProvider::GetPatternProvider(PATTERNID, IUnknown** provider)
{
    if (!provider)
        return E_POINTER;
    *provider = nullptr;
    return window ? S_OK : elementNotAvailable;
}

HRESULT AnnouncementProvider::GetPropertyValue(PROPERTYID property, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!window)
        return elementNotAvailable;
    switch (property) {
    case namePropertyId:
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(name.c_str(), static_cast<UINT>(name.size()));
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    case controlTypePropertyId:
        value->vt = VT_I4;
        value->lVal = textControlType;
        return S_OK;
    case isControlElementPropertyId:
    case isContentElementPropertyId:
        // Nothing to visit: a reader only hears what is raised on it.
        value->vt = VT_BOOL;
        value->boolVal = VARIANT_FALSE;
        return S_OK;
    default:
        return S_OK;  // VT_EMPTY: the host provider's answer, or the default
    }
}

HRESULT AnnouncementProvider::get_HostRawElementProvider(IRawElementProviderSimple** host)
{
    if (!host)
        return E_POINTER;
    *host = nullptr;
    if (!window)
        return elementNotAvailable;
    return calls.hostProviderFromHwnd(window, host);
}

} // namespace QEL
