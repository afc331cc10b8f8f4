// Serves a simulated unit on a pseudo-terminal: the PC side opens the slave
// end like any serial port; bytes written there reach the unit, the unit's
// replies come back. The unit's clock follows real time (its own waits run
// ahead of it without sleeping).
#pragma once

#include "unit.h"

#include <chrono>
#include <string>

class TPtyServer {
  public:
    // Creates the pty (raw, 115200 8N1) and, when LinkPath is not empty, a
    // symbolic link to it. Raises Exception on failure; an existing file
    // that is not a symbolic link at LinkPath is never replaced.
    TPtyServer(TProgrammerUnit& Unit, std::string LinkPath);
    // Closes the pty and removes the link (when it still points to the pty).
    ~TPtyServer();
    TPtyServer(const TPtyServer&) = delete;
    TPtyServer& operator=(const TPtyServer&) = delete;

    // Path of the slave end, e.g. /dev/pts/7.
    const std::string& Path() const { return FPath; }

    // Moves bytes until StopFd becomes readable (a signal's self-pipe).
    void Run(int StopFd);

  private:
    void Feed(const unsigned char* Data, std::size_t Size);

    TProgrammerUnit& FUnit;
    std::string FLink;
    std::string FPath;
    int FMaster = -1;
    int FSlave = -1;      // kept open so the pty survives clients coming and going
    std::string FPending; // replies not yet written to the master
    std::chrono::steady_clock::time_point FStart;
};
