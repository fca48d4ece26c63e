#include "writer/usb_link/UsbBus.h"

#if defined(_WIN32)
#include "writer/usb_link/WinUsbLink.h"
#elif defined(KVX3_HAVE_LIBUSB)
#include "writer/usb_link/LibUsbLink.h"
#endif

std::unique_ptr<IUsbLink> MakeUsbBusLink() {
#if defined(_WIN32)
    return std::make_unique<CWinUsbLink>(MakeWinUsbApi());
#elif defined(KVX3_HAVE_LIBUSB)
    return std::make_unique<CLibUsbLink>();
#else
    return nullptr;
#endif
}
