// IWinUsbApi on Windows: SetupAPI, CreateFile, WinUSB and the configuration
// manager's device notices.
#include "writer/usb_link/WinUsbApi.h"
#include "writer/usb_link/WinUsbLink.h"

#include <windows.h>

#include <setupapi.h>
#include <winusb.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <map>
#include <mutex>

namespace {

// GUID_DEVINTERFACE_USB_DEVICE: the hub registers it for every USB device, so
// its arrivals and removals are those of the devices themselves.
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// --- the configuration manager's notices (Windows 8 and later) ---
// MinGW's cfgmgr32.h does not declare them yet; these follow the SDK's
// declarations, and the functions are looked up at run time, so a system
// without them gets the link's bounded rescan instead.
constexpr DWORD kCmNotifyFilterTypeDeviceInterface = 0;
constexpr DWORD kCmSuccess = 0;
constexpr size_t kMaxDeviceIdLength = 200;

struct CCmNotifyFilter {
    DWORD cbSize;
    DWORD Flags;
    DWORD FilterType;
    DWORD Reserved;
    union {
        struct {
            GUID ClassGuid;
        } DeviceInterface;
        struct {
            HANDLE hTarget;
        } DeviceHandle;
        struct {
            WCHAR InstanceId[kMaxDeviceIdLength];
        } DeviceInstance;
    } u;
};
static_assert(sizeof(void*) != 8 || sizeof(CCmNotifyFilter) == 416,
              "CM_NOTIFY_FILTER as the SDK lays it out");

using HCmNotification = HANDLE;
using CmNotifyCallback = DWORD(CALLBACK*)(HCmNotification, PVOID, DWORD, PVOID, DWORD);
using CmRegisterNotification = DWORD(WINAPI*)(CCmNotifyFilter*, PVOID, CmNotifyCallback, HCmNotification*);
using CmUnregisterNotification = DWORD(WINAPI*)(HCmNotification);

template <typename Function> Function LookUp(HMODULE module, const char* name) {
    const FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
    // Through a function type without parameters, which the compiler lets
    // stand for any.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    }
    return wide;
}

std::string Narrow(const wchar_t* wide) {
    const size_t length = std::wcslen(wide);
    if (length == 0) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

GUID ToGuid(const CInterfaceGuid& g) {
    GUID guid{};
    guid.Data1 = g.Data1;
    guid.Data2 = g.Data2;
    guid.Data3 = g.Data3;
    std::copy(std::begin(g.Data4), std::end(g.Data4), std::begin(guid.Data4));
    return guid;
}

bool SameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

// The strings of a REG_SZ or REG_MULTI_SZ value held in `buffer`.
std::vector<std::wstring> Strings(const std::vector<wchar_t>& buffer) {
    std::vector<std::wstring> strings;
    size_t start = 0;
    for (size_t i = 0; i <= buffer.size(); ++i) {
        if (i == buffer.size() || buffer[i] == L'\0') {
            if (i > start) {
                strings.emplace_back(buffer.data() + start, i - start);
            }
            start = i + 1;
        }
    }
    return strings;
}

// The identifiers among a device's hardware IDs ("USB\VID_0ADE&PID_0010&REV_0100").
bool HasWantedId(HDEVINFO devices, SP_DEVINFO_DATA& info, const std::vector<CUsbIdPair>& wanted) {
    DWORD required = 0;
    SetupDiGetDeviceRegistryPropertyW(devices, &info, SPDRP_HARDWAREID, nullptr, nullptr, 0, &required);
    if (required == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(required / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &info, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()),
                                           static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), nullptr)) {
        return false;
    }
    for (const std::wstring& id : Strings(buffer)) {
        CUsbIdPair ids;
        if (ParseUsbIdPair(Narrow(id.c_str()), ids) &&
            std::find(wanted.begin(), wanted.end(), ids) != wanted.end()) {
            return true;
        }
    }
    return false;
}

// The interface classes a device's driver registered, as WinUSB's INF
// directives leave them in the device's registry key.
void AddRegisteredClasses(HDEVINFO devices, SP_DEVINFO_DATA& info, std::vector<GUID>& classes) {
    const HKEY key = SetupDiOpenDevRegKey(devices, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == nullptr || key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
        return;
    }
    for (const wchar_t* name : {L"DeviceInterfaceGUIDs", L"DeviceInterfaceGUID"}) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_MULTI_SZ) || bytes == 0) {
            continue;
        }
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
            ERROR_SUCCESS) {
            continue;
        }
        for (const std::wstring& text : Strings(buffer)) {
            CInterfaceGuid parsed;
            if (!ParseInterfaceGuid(Narrow(text.c_str()), parsed)) {
                continue;
            }
            const GUID guid = ToGuid(parsed);
            if (std::none_of(classes.begin(), classes.end(),
                             [&](const GUID& g) { return SameGuid(g, guid); })) {
                classes.push_back(guid);
            }
        }
    }
    RegCloseKey(key);
}

// The paths of the present interfaces of one class.
bool AddInterfacePaths(const GUID& guid, std::vector<std::string>& paths) {
    const HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) {
            break;
        }
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
        if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            continue;
        }
        // Whole words, so the structure inside is aligned.
        std::vector<uint64_t> storage(required / sizeof(uint64_t) + 1);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr)) {
            paths.push_back(Narrow(detail->DevicePath));
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return true;
}

EWinUsbTransfer Outcome(DWORD error) {
    switch (error) {
    case ERROR_SEM_TIMEOUT:
        return EWinUsbTransfer::TimedOut;
    // What WinUSB reports once the device has been pulled out.
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_FILE_NOT_FOUND:
        return EWinUsbTransfer::DeviceGone;
    default:
        return EWinUsbTransfer::Failed;
    }
}

class CWinUsbApi final : public IWinUsbApi {
public:
    ~CWinUsbApi() override {
        if (m_notification != nullptr && m_unregister != nullptr) {
            // Waits for a notice being delivered, so none runs afterwards.
            m_unregister(m_notification);
        }
        for (auto& entry : m_open) {
            WinUsb_Free(entry.second.Usb);
            CloseHandle(entry.second.File);
        }
    }

    bool ListInterfaces(const std::vector<CUsbIdPair>& wanted, std::vector<std::string>& paths) override {
        std::vector<GUID> classes{ToGuid(kWriterInterfaceGuid)};
        const HDEVINFO devices =
            SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        if (devices != INVALID_HANDLE_VALUE) {
            for (DWORD index = 0;; ++index) {
                SP_DEVINFO_DATA info{};
                info.cbSize = sizeof info;
                if (!SetupDiEnumDeviceInfo(devices, index, &info)) {
                    break;
                }
                if (HasWantedId(devices, info, wanted)) {
                    AddRegisteredClasses(devices, info, classes);
                }
            }
            SetupDiDestroyDeviceInfoList(devices);
        }
        std::vector<std::string> found;
        bool any = false;
        for (const GUID& guid : classes) {
            any = AddInterfacePaths(guid, found) || any;
        }
        if (!any) {
            return false;
        }
        paths = std::move(found);
        return true;
    }

    Device Open(const std::string& path) override {
        // WinUSB wants a handle opened for overlapped I/O, even when every
        // call through it waits.
        const HANDLE file =
            CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return kNoDevice;
        }
        WINUSB_INTERFACE_HANDLE usb = nullptr;
        if (!WinUsb_Initialize(file, &usb)) {
            CloseHandle(file);
            return kNoDevice;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const Device device = m_next++;
        m_open[device] = {file, usb};
        return device;
    }

    bool QueryPipes(Device device, std::vector<CWinUsbPipe>& pipes) override {
        const WINUSB_INTERFACE_HANDLE usb = Usb(device);
        USB_INTERFACE_DESCRIPTOR descriptor{};
        if (usb == nullptr || !WinUsb_QueryInterfaceSettings(usb, 0, &descriptor)) {
            return false;
        }
        pipes.clear();
        for (UCHAR index = 0; index < descriptor.bNumEndpoints; ++index) {
            WINUSB_PIPE_INFORMATION info{};
            if (WinUsb_QueryPipe(usb, 0, index, &info)) {
                pipes.push_back({info.PipeId, info.PipeType == UsbdPipeTypeBulk, info.MaximumPacketSize});
            }
        }
        return true;
    }

    bool SetPipeTimeout(Device device, uint8_t pipeId, unsigned milliseconds) override {
        const WINUSB_INTERFACE_HANDLE usb = Usb(device);
        ULONG value = milliseconds;
        return usb != nullptr &&
               WinUsb_SetPipePolicy(usb, pipeId, PIPE_TRANSFER_TIMEOUT, sizeof value, &value);
    }

    EWinUsbTransfer WritePipe(Device device, uint8_t pipeId, const uint8_t* data, size_t length,
                              size_t& written) override {
        written = 0;
        const WINUSB_INTERFACE_HANDLE usb = Usb(device);
        if (usb == nullptr || length > ULONG_MAX) {
            return EWinUsbTransfer::Failed;
        }
        ULONG done = 0;
        // WinUsb_WritePipe only reads the buffer; its parameter is not const.
        if (!WinUsb_WritePipe(usb, pipeId, const_cast<PUCHAR>(data), static_cast<ULONG>(length), &done,
                              nullptr)) {
            return Outcome(GetLastError());
        }
        written = done;
        return EWinUsbTransfer::Done;
    }

    EWinUsbTransfer ReadPipe(Device device, uint8_t pipeId, uint8_t* buffer, size_t length,
                             size_t& got) override {
        got = 0;
        const WINUSB_INTERFACE_HANDLE usb = Usb(device);
        if (usb == nullptr || length > ULONG_MAX) {
            return EWinUsbTransfer::Failed;
        }
        ULONG done = 0;
        if (!WinUsb_ReadPipe(usb, pipeId, buffer, static_cast<ULONG>(length), &done, nullptr)) {
            return Outcome(GetLastError());
        }
        got = done;
        return EWinUsbTransfer::Done;
    }

    void Close(Device device) override {
        COpen open{};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_open.find(device);
            if (it == m_open.end()) {
                return;
            }
            open = it->second;
            m_open.erase(it);
        }
        WinUsb_Free(open.Usb);
        CloseHandle(open.File);
    }

    bool WatchDeviceChanges(std::function<void()> changed) override {
        if (m_notification != nullptr) {
            return false;
        }
        const HMODULE cfgmgr = LoadLibraryW(L"cfgmgr32.dll");
        const auto registerNotification = LookUp<CmRegisterNotification>(cfgmgr, "CM_Register_Notification");
        m_unregister = LookUp<CmUnregisterNotification>(cfgmgr, "CM_Unregister_Notification");
        if (registerNotification == nullptr || m_unregister == nullptr) {
            return false;
        }
        m_changed = std::move(changed);
        CCmNotifyFilter filter{};
        filter.cbSize = sizeof filter;
        filter.FilterType = kCmNotifyFilterTypeDeviceInterface;
        filter.u.DeviceInterface.ClassGuid = kUsbDeviceInterface;
        HCmNotification notification = nullptr;
        if (registerNotification(&filter, this, &CWinUsbApi::OnDeviceChange, &notification) != kCmSuccess ||
            notification == nullptr) {
            m_changed = nullptr;
            return false;
        }
        m_notification = notification;
        return true;
    }

private:
    struct COpen {
        HANDLE File = INVALID_HANDLE_VALUE;
        WINUSB_INTERFACE_HANDLE Usb = nullptr;
    };

    static DWORD CALLBACK OnDeviceChange(HCmNotification, PVOID context, DWORD, PVOID, DWORD) {
        static_cast<CWinUsbApi*>(context)->m_changed();
        return ERROR_SUCCESS;
    }

    WINUSB_INTERFACE_HANDLE Usb(Device device) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_open.find(device);
        return it == m_open.end() ? nullptr : it->second.Usb;
    }

    std::mutex m_mutex; // guards m_open and m_next
    std::map<Device, COpen> m_open;
    Device m_next = 1;

    std::function<void()> m_changed;
    HCmNotification m_notification = nullptr;
    CmUnregisterNotification m_unregister = nullptr;
};

} // namespace

std::unique_ptr<IWinUsbApi> MakeWinUsbApi() {
    return std::make_unique<CWinUsbApi>();
}
