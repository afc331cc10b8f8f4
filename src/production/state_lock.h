// The lock every process holds while it reads and replaces a state file
// (serial numbers, a station's lease): flock on "<state file>.lock", the
// state file named as the replacement reaches it (its links followed), so
// that stations naming one file through different paths (a link, a linked
// or bind-mounted folder) share one lock. The lock file is opened
// read-only (flock needs no more, and a lock file another user of the group
// created is then enough), never through a symbolic link, and created with
// the default permissions (the umask decides the group's access).
#pragma once

#include <string>

class TStateLock {
  public:
    // Waits up to 10 s for the lock; raises EISPException "Serial number
    // state <StateFile>: ..." when it cannot be had. Resolved is the path
    // ResolveWrittenFile gave for StateFile.
    TStateLock(const std::string& StateFile, const std::string& Resolved);
    ~TStateLock(); // closing releases the lock
    TStateLock(const TStateLock&) = delete;
    TStateLock& operator=(const TStateLock&) = delete;

  private:
    std::string FName;
    int FFd = -1;
};

// Raises EISPException "Serial number state <FileName>: <What>".
[[noreturn]] void FailSerialState(const std::string& FileName, const std::string& What);
