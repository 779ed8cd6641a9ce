#include "VirtualUnits.h"

#include "common/UniqueHandle.h"

#include <setupapi.h>

#include <cwchar>
#include <cwctype>

namespace virtual_units {

namespace {

struct KindFacts {
    GUID setupClass;
    const wchar_t* hardwareId;
    const wchar_t* inf;
};

KindFacts factsOf(UnitKind kind)
{
    switch (kind) {
    case UnitKind::Hid:
        return {{0x745a17a0, 0x74d3, 0x11d0, {0xb6, 0xfe, 0x00, 0xa0, 0xc9, 0x0f, 0x57, 0xda}},
                L"root\\quorvel_test_hid_unit", L"hid_unit.inf"};
    case UnitKind::WinUsb:
        return {{0x88BAE032, 0x5A81, 0x49F0, {0xBC, 0x3D, 0xA4, 0xFF, 0x13, 0x82, 0x16, 0xD6}},
                L"root\\quorvel_test_winusb_unit", L"winusb_unit.inf"};
    case UnitKind::WinUsbOtherClass:
        break;
    }
    return {{0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}},
            L"root\\quorvel_test_winusb_other", L"winusb_unit_other_class.inf"};
}

void destroySet(HDEVINFO set) noexcept
{
    SetupDiDestroyDeviceInfoList(set);
}
void closeKey(HKEY key) noexcept
{
    RegCloseKey(key);
}
using DeviceSet = common::UniqueHandle<common::InvalidIsNone<HDEVINFO, destroySet>>;
using Key = common::UniqueHandle<common::InvalidIsNone<HKEY, closeKey>>;

// The INF files and drivers live in the build's tests\standins folder: beside
// the control program, below the test programs, and beside the testbed folder.
std::wstring unitFile(const wchar_t* name)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.resize(folder.rfind(L'\\'));
    for (const wchar_t* under : {L"\\", L"\\standins\\", L"\\..\\tests\\standins\\"}) {
        const std::wstring path = folder + under + name;
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return path;
    }
    return folder + L"\\" + name;
}

bool writeSettings(HKEY key, const std::vector<std::wstring>& settings)
{
    for (const std::wstring& setting : settings) {
        const std::size_t equals = setting.find(L'=');
        if (equals == std::wstring::npos)
            return false;
        const std::wstring name = setting.substr(0, equals);
        const std::wstring text = setting.substr(equals + 1);
        const bool hex = name == L"VendorId" || name == L"ProductId";
        const bool isText = name == L"Manufacturer" || name == L"Product" || name == L"Serial";
        const DWORD number = std::wcstoul(text.c_str(), nullptr, hex ? 16 : 10);
        LSTATUS status;
        if (!isText)
            status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&number), sizeof number);
        else
            status = RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS)
            return false;
    }
    return true;
}

// The unit's set and its device-info data; false when there is no such unit.
bool openUnit(const std::wstring& instanceId, DeviceSet& set, SP_DEVINFO_DATA& device)
{
    set.reset(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    device = {};
    device.cbSize = sizeof device;
    return set && SetupDiOpenDeviceInfoW(set.get(), instanceId.c_str(), nullptr, 0, &device);
}

Key openSettings(const DeviceSet& set, SP_DEVINFO_DATA& device, bool create)
{
    return Key(create ? SetupDiCreateDevRegKeyW(set.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                                nullptr, nullptr)
                      : SetupDiOpenDevRegKey(set.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                             KEY_ALL_ACCESS));
}

// Whether a present interface of the class has a path that holds pathPart.
bool interfacePresent(const GUID& interfaceClass, const std::wstring& pathPart)
{
    const DeviceSet set(SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD i = 0; set && SetupDiEnumDeviceInterfaces(set.get(), nullptr, &interfaceClass, i, &data); ++i) {
        unsigned char buffer[1024] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set.get(), &data, detail, sizeof buffer, nullptr, nullptr)
            && std::wstring(detail->DevicePath).find(pathPart) != std::wstring::npos)
            return true;
    }
    return false;
}

} // namespace

// The HID device that the class driver makes for a HID unit stays in the
// registry when the unit goes: its counters start again with each new unit.
void resetHidDeviceCounters(const std::wstring& instanceId)
{
    DeviceSet set;
    SP_DEVINFO_DATA device;
    if (!openUnit(L"HID" + instanceId.substr(instanceId.find(L'\\')), set, device))
        return;
    if (const Key key = openSettings(set, device, false)) {
        RegDeleteValueW(key.get(), L"Opens");
        RegDeleteValueW(key.get(), L"OpenHandles");
    }
}

// A unit whose installation fails half-way is unplugged again.
bool addUnit(UnitKind kind, const std::wstring& instanceId, const std::vector<std::wstring>& settings)
{
    if (kind == UnitKind::Hid)
        resetHidDeviceCounters(instanceId);
    if (installUnit(kind, instanceId, settings))
        return true;
    removeUnit(instanceId);
    return false;
}

// Root device → hardware id → registered → settings → the INF as the only
// driver source → compatible drivers → the class installer's chain, as
// installing one device for its INF does on Windows.
bool installUnit(UnitKind kind, const std::wstring& instanceId, const std::vector<std::wstring>& settings)
{
    const KindFacts facts = factsOf(kind);
    DeviceSet set(SetupDiCreateDeviceInfoList(&facts.setupClass, nullptr));
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!set || !SetupDiCreateDeviceInfoW(set.get(), instanceId.c_str(), &facts.setupClass, nullptr,
                                          nullptr, 0, &device))
        return false;
    std::wstring hardwareIds = std::wstring(facts.hardwareId) + L'\0';
    if (!SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(hardwareIds.c_str()),
                                           static_cast<DWORD>((hardwareIds.size() + 1) * sizeof(wchar_t)))
        || !SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &device))
        return false;
    {
        const Key key = openSettings(set, device, true);
        if (!key || !writeSettings(key.get(), settings))
            return false;
    }
    SP_DEVINSTALL_PARAMS_W params = {};
    params.cbSize = sizeof params;
    if (!SetupDiGetDeviceInstallParamsW(set.get(), &device, &params))
        return false;
    wcsncpy(params.DriverPath, unitFile(facts.inf).c_str(), MAX_PATH - 1);
    params.Flags |= DI_ENUMSINGLEINF;
    if (!SetupDiSetDeviceInstallParamsW(set.get(), &device, &params)
        || !SetupDiBuildDriverInfoList(set.get(), &device, SPDIT_COMPATDRIVER))
        return false;
    for (DI_FUNCTION step : {DIF_SELECTBESTCOMPATDRV, DIF_ALLOW_INSTALL, DIF_INSTALLDEVICEFILES,
                             DIF_REGISTER_COINSTALLERS, DIF_INSTALLINTERFACES, DIF_INSTALLDEVICE}) {
        if (!SetupDiCallClassInstaller(step, set.get(), &device) && step == DIF_INSTALLDEVICE)
            return false;
    }
    return true;
}

bool removeUnit(const std::wstring& instanceId)
{
    DeviceSet set;
    SP_DEVINFO_DATA device;
    return openUnit(instanceId, set, device) && SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device);
}

bool changeSettings(const std::wstring& instanceId, const std::vector<std::wstring>& settings)
{
    DeviceSet set;
    SP_DEVINFO_DATA device;
    if (!openUnit(instanceId, set, device))
        return false;
    const Key key = openSettings(set, device, false);
    return key && writeSettings(key.get(), settings);
}

bool readNumber(const std::wstring& instanceId, const std::wstring& name, DWORD& value)
{
    DeviceSet set;
    SP_DEVINFO_DATA device;
    if (!openUnit(instanceId, set, device))
        return false;
    const Key key = openSettings(set, device, false);
    DWORD size = sizeof value;
    value = 0;
    const LSTATUS status = key ? RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(&value), &size)
                               : ERROR_FILE_NOT_FOUND;
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;  // a counter not yet written is 0
}

bool waitForInterface(const std::wstring& instanceId, DWORD timeoutMs)
{
    // The interface path holds the instance's last part, in lower case.
    std::wstring tail = instanceId.substr(instanceId.rfind(L'\\') + 1);
    for (wchar_t& c : tail)
        c = static_cast<wchar_t>(towlower(c));
    const GUID hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
    const GUID winUsb = {0x6B128895, 0x01DE, 0x4056, {0x8A, 0xEE, 0xC1, 0x0B, 0xF3, 0xC4, 0x76, 0x3A}};
    const DWORD start = GetTickCount();
    do {
        if (interfacePresent(hid, tail) || interfacePresent(winUsb, tail))
            return true;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

std::vector<std::wstring> listUnits()
{
    std::vector<std::wstring> units;
    const DeviceSet set(SetupDiGetClassDevsW(nullptr, L"ROOT", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; set && SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
        wchar_t ids[512] = {}, instance[200] = {};
        if (!SetupDiGetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID, nullptr,
                                               reinterpret_cast<BYTE*>(ids), sizeof ids - 4, nullptr)
            || _wcsnicmp(ids, L"root\\quorvel_test_", 18) != 0
            || !SetupDiGetDeviceInstanceIdW(set.get(), &device, instance, 200, nullptr))
            continue;
        units.push_back(std::wstring(instance) + L" " + ids);
    }
    return units;
}

} // namespace virtual_units
