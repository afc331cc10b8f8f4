// Who holds a device: when a port cannot be had because another program has
// it (a lock, or exclusive use), the operator should learn which program to
// close. The processes are found under /proc: the holder of a file lock on
// the device node in /proc/locks, then the processes with a descriptor open
// on the device in /proc/<pid>/fd, as far as this process may look (other
// users' processes stay hidden unless it runs as root).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct TPortHolder {
    pid_t Pid = 0;
    std::string Name; // the command name (/proc/<pid>/comm), "" when unknown
    bool operator==(const TPortHolder&) const = default;
};

// The processes holding the device at Path (links followed), lock holders
// first, each once; this process only when it holds a lock itself. At most
// Limit of them. ProcRoot is "/proc" on a running system.
std::vector<TPortHolder> FindPortHolders(const std::string& Path, const std::string& ProcRoot = "/proc",
                                         std::size_t Limit = 4);

// The processes holding a file lock (flock) on the device at Path, from
// /proc/locks; every program that opens a serial port as this one does
// holds one while it has the port.
std::vector<pid_t> LockHolders(const std::string& Path, const std::string& ProcRoot = "/proc");

// The message for a device at Path that another program holds:
//   "<Path>: in use by another program (minicom, process 1234); close it and try again"
// ("already in use by this program" when only this process holds it) and,
// when no holder is known, a pointer to the usual suspects.
std::string PortInUseText(const std::string& Path, const std::vector<TPortHolder>& Holders);
