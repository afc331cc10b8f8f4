#include "ports/libusb_api.h"

#include "ports/usb_bulk_device.h"

#include <dlfcn.h>

#include <string>

namespace {

constexpr const char* LibraryName = "libusb-1.0.so.0";

struct TLoaded {
    TLibUsbApi Api{};
    std::string Error; // empty when loaded
};

template <typename F> bool Resolve(void* Handle, const char* Name, F& Fn, std::string& Error) {
    Fn = reinterpret_cast<F>(dlsym(Handle, Name));
    if (!Fn && Error.empty())
        Error = std::string("USB cannot be used: ") + LibraryName + " has no " + Name +
                " (libusb-1.0 is too old)";
    return Fn != nullptr;
}

TLoaded Load() {
    TLoaded l;
    // Never unloaded: transfers and contexts may live until the process ends.
    void* h = dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        l.Error = std::string("USB cannot be used: ") + LibraryName +
                  " could not be loaded (install the package libusb-1.0-0): " + dlerror();
        return l;
    }
    auto& a = l.Api;
    std::string& e = l.Error;
    Resolve(h, "libusb_init", a.init, e);
    Resolve(h, "libusb_exit", a.exit, e);
    Resolve(h, "libusb_error_name", a.error_name, e);
    Resolve(h, "libusb_get_device_list", a.get_device_list, e);
    Resolve(h, "libusb_free_device_list", a.free_device_list, e);
    Resolve(h, "libusb_get_device_descriptor", a.get_device_descriptor, e);
    Resolve(h, "libusb_get_bus_number", a.get_bus_number, e);
    Resolve(h, "libusb_get_device_address", a.get_device_address, e);
    Resolve(h, "libusb_get_port_numbers", a.get_port_numbers, e);
    Resolve(h, "libusb_open", a.open, e);
    Resolve(h, "libusb_close", a.close, e);
    Resolve(h, "libusb_set_auto_detach_kernel_driver", a.set_auto_detach_kernel_driver, e);
    Resolve(h, "libusb_claim_interface", a.claim_interface, e);
    Resolve(h, "libusb_release_interface", a.release_interface, e);
    Resolve(h, "libusb_alloc_transfer", a.alloc_transfer, e);
    Resolve(h, "libusb_free_transfer", a.free_transfer, e);
    Resolve(h, "libusb_submit_transfer", a.submit_transfer, e);
    Resolve(h, "libusb_cancel_transfer", a.cancel_transfer, e);
    Resolve(h, "libusb_handle_events_timeout_completed", a.handle_events_timeout_completed, e);
    return l;
}

} // namespace

const TLibUsbApi& LibUsb() {
    static const TLoaded loaded = Load();
    if (!loaded.Error.empty()) throw EUsbError(TUsbErrorKind::Io, loaded.Error);
    return loaded.Api;
}
