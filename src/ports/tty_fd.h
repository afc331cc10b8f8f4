// Helpers on the file descriptor of an open terminal device, shared by the
// operating system's serial lines.
#pragma once

#include <string>

namespace tty_fd {

// The text of errno for a failed call on Path: "<Path>: <reason>".
std::string ErrorText(const std::string& Path);
// The text for a device at Path that cannot be opened, errno Error:
// "<Path>: <reason>"; for want of permission (EACCES, EPERM) it says how the
// operator gets access instead of the reason.
std::string OpenErrorText(const std::string& Path, int Error);
// Asks the kernel driver for low-latency mode; true when it took it.
bool TryLowLatency(int Fd);
// Marks the terminal for exclusive use by this process (or ends that).
void SetExclusive(int Fd, bool Exclusive);
// errno of a modem-line request on a device that has no modem lines.
bool NoModemLines(int Error);

} // namespace tty_fd
