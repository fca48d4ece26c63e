// What the WinUSB backend asks of Windows: SetupAPI to find the writer's
// device interfaces, CreateFile and WinUSB to open one and move packets, and
// the configuration manager's notice of device changes.
//
// The backend's own logic (which interface is the writer, which pipes, when
// to look again, when the writer has gone) lives in CWinUsbLink over this
// interface, so it is tested without a writer and without Windows; the one
// implementation that calls the system is built on Windows only
// (WinUsbApiWindows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct CUsbIdPair {
    uint16_t VendorId = 0;
    uint16_t ProductId = 0;
    bool operator==(const CUsbIdPair&) const = default;
};

// A device interface class as Windows names it ({xxxxxxxx-xxxx-...}).
struct CInterfaceGuid {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    bool operator==(const CInterfaceGuid&) const = default;
};

// The interface class that the writer's driver package
// (data/kvx3-writer-winusb.inf) registers for WinUSB.
constexpr const char* kWriterInterfaceGuidText = "{6F5E5C2E-52AD-4E67-B342-B2022277E677}";
constexpr CInterfaceGuid kWriterInterfaceGuid = {
    0x6F5E5C2E, 0x52AD, 0x4E67, {0xB3, 0x42, 0xB2, 0x02, 0x22, 0x77, 0xE6, 0x77}};

// One pipe of an open interface, from its endpoint descriptor.
struct CWinUsbPipe {
    uint8_t PipeId = 0; // the endpoint address; bit 7 set for IN
    bool Bulk = false;
    uint16_t MaxPacketSize = 0;
};

enum class EWinUsbTransfer {
    Done,
    TimedOut,   // the pipe's time-out passed first
    DeviceGone, // the device has been unplugged (or its driver stopped)
    Failed,     // anything else
};

class IWinUsbApi {
public:
    // An open device interface; kNoDevice when none.
    using Device = uintptr_t;
    static constexpr Device kNoDevice = 0;

    virtual ~IWinUsbApi() = default;

    // The paths (as CreateFile takes them, UTF-8) of the device interfaces
    // present now that may lead to a writer with one of these identifiers:
    // every interface of the writer's own class, and every interface of a
    // class that the driver of a present USB device with one of these
    // identifiers registered (a WinUSB driver installed by a generic tool
    // picks a class of its own). False when the system could not be asked;
    // `paths` is then left alone.
    virtual bool ListInterfaces(const std::vector<CUsbIdPair>& wanted, std::vector<std::string>& paths) = 0;

    // Opens a device interface for WinUSB (CreateFile, WinUsb_Initialize);
    // kNoDevice when it cannot be opened.
    virtual Device Open(const std::string& path) = 0;
    // The pipes of the open interface's first alternate setting.
    virtual bool QueryPipes(Device device, std::vector<CWinUsbPipe>& pipes) = 0;
    virtual bool SetPipeTimeout(Device device, uint8_t pipeId, unsigned milliseconds) = 0;
    // Blocking transfers of at most `length` bytes.
    virtual EWinUsbTransfer WritePipe(Device device, uint8_t pipeId, const uint8_t* data, size_t length,
                                      size_t& written) = 0;
    virtual EWinUsbTransfer ReadPipe(Device device, uint8_t pipeId, uint8_t* buffer, size_t length,
                                     size_t& got) = 0;
    virtual void Close(Device device) = 0;

    // From now until this object is destroyed, calls `changed` (on a thread
    // of the system's) after a USB device has arrived or left. False when the
    // system offers no such notice; `changed` is then never called.
    virtual bool WatchDeviceChanges(std::function<void()> changed) = 0;
};

#ifdef _WIN32
// SetupAPI, CreateFile, WinUSB and the configuration manager.
std::unique_ptr<IWinUsbApi> MakeWinUsbApi();
#endif
