// The system calls under the ppdev printer-port backend: open a port device
// (/dev/parportN), issue one of its ioctl requests (PPCLAIM, PPWDATA, ...,
// from <linux/ppdev.h>) and close it. The backend speaks only through this,
// so tests put a recorded layer or a simulated kernel under it.
#pragma once

#include <string>

class TPpdevCalls {
  public:
    virtual ~TPpdevCalls() = default;
    // Opens Path for reading and writing; the descriptor, or -errno.
    virtual int Open(const std::string& Path) = 0;
    // ioctl(Fd, Request, Arg); 0, or -errno.
    virtual int Ioctl(int Fd, unsigned long Request, void* Arg) = 0;
    virtual void Close(int Fd) = 0;
};

// The real calls.
TPpdevCalls& SystemPpdevCalls();
