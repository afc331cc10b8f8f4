// libusb-1.0, loaded when the first USB programmer is looked for. Most runs
// of the program never touch USB, and binding libusb (and the libudev it
// pulls in) at every start costs each short command more than its own work.
#pragma once

#include <libusb.h>

// The libusb functions the USB bulk bus uses, resolved from the shared
// library.
struct TLibUsbApi {
    decltype(&libusb_init) init;
    decltype(&libusb_exit) exit;
    decltype(&libusb_error_name) error_name;
    decltype(&libusb_get_device_list) get_device_list;
    decltype(&libusb_free_device_list) free_device_list;
    decltype(&libusb_get_device_descriptor) get_device_descriptor;
    decltype(&libusb_get_bus_number) get_bus_number;
    decltype(&libusb_get_device_address) get_device_address;
    decltype(&libusb_get_port_numbers) get_port_numbers;
    decltype(&libusb_open) open;
    decltype(&libusb_close) close;
    decltype(&libusb_set_auto_detach_kernel_driver) set_auto_detach_kernel_driver;
    decltype(&libusb_claim_interface) claim_interface;
    decltype(&libusb_release_interface) release_interface;
    decltype(&libusb_alloc_transfer) alloc_transfer;
    decltype(&libusb_free_transfer) free_transfer;
    decltype(&libusb_submit_transfer) submit_transfer;
    decltype(&libusb_cancel_transfer) cancel_transfer;
    decltype(&libusb_handle_events_timeout_completed) handle_events_timeout_completed;
};

// The loaded library, loaded on the first call and kept for the run. Raises
// EUsbError (Io) naming the library and the package to install when it is
// missing or lacks a function.
const TLibUsbApi& LibUsb();
