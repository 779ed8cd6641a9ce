#include "toolkit/LiveRegion.h"

#include "common/UniqueHandle.h"

#include <initguid.h>
#include <oleacc.h>

namespace QEL {

namespace {

// LiveSetting_Property_GUID and the value Polite (UIAutomationCoreApi.h, Windows SDK).
DEFINE_GUID(liveSettingProperty, 0xc12bcd8e, 0x2a8e, 0x4950, 0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb);
constexpr LONG livePolite = 1;

} // namespace

LiveRegion::LiveRegion(Widget* parent) : Label(parent)
{
    // The annotation service is part of oleacc (missing in Wine 8): without it
    // the event is still raised, and readers that know it read the region.
    common::ComReference<IAccPropServices> annotations;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                   reinterpret_cast<void**>(annotations.put())))) {
        VARIANT polite = {};
        polite.vt = VT_I4;
        polite.lVal = livePolite;
        annotations.get()->SetHwndProp(hwnd(), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       liveSettingProperty, polite);
    }
}

void LiveRegion::speak(const std::wstring& text)
{
    labelText = text;
    announceTextChange();
}

void LiveRegion::announceTextChange()
{
    NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, hwnd(), OBJID_CLIENT, CHILDID_SELF);
}

} // namespace QEL
