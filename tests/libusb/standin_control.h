// For the tests that run on the stand-in libusb: whether this run does, and
// its counters (standin_stats.h), read from the loaded library.
#pragma once

#include "standin_stats.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

// True when ctest runs this on the stand-in (LD_LIBRARY_PATH points at it).
inline bool OnLibUsbStandIn() {
    const char* v = std::getenv("NORVOISP_LIBUSB_STANDIN");
    return v && std::strcmp(v, "1") == 0;
}

// The counters of the loaded stand-in; raises when the program has not
// loaded it (or loaded the real libusb).
inline standin_stats LibUsbStandInStats() {
    void* lib = dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    auto* stats = lib ? reinterpret_cast<standin_stats_fn>(dlsym(lib, "norvoisp_standin_stats")) : nullptr;
    if (lib) dlclose(lib);
    if (!stats) throw std::runtime_error("the stand-in libusb is not loaded");
    standin_stats s{};
    stats(&s);
    return s;
}
