// Serves a simulated unit on a pseudo-terminal: the PC side opens the slave
// end like any serial port; bytes written there reach the unit, the unit's
// replies come back. The unit's clock follows real time (its own waits run
// ahead of it without sleeping).
#pragma once

#include "unit.h"

#include <chrono>
#include <string>

// A pseudo-terminal pair, the slave end raw at 115200 8N1, with an optional
// symbolic link to it.
class TPty {
  public:
    // Raises Exception on failure; an existing file that is not a symbolic
    // link at LinkPath is never replaced.
    explicit TPty(std::string LinkPath);
    // Closes the pty and removes the link (when it still points to the pty).
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    // Path of the slave end, e.g. /dev/pts/7.
    const std::string& Path() const { return FPath; }
    // The master end, non-blocking.
    int Master() const { return FMaster; }
    // Ends the exclusive mode (TIOCEXCL) a client set and left behind, when
    // no process holds the line's lock any more (a client killed before it
    // could end it): a device's last close ends it, but this pty stays open
    // on the tool's side, so the next client (an ordinary user) would be
    // refused. True when it was ended.
    bool EndAbandonedExclusiveMode();

  private:
    std::string FLink;
    std::string FPath;
    int FMaster = -1;
    int FSlave = -1; // kept open so the pty survives clients coming and going
};

class TPtyServer {
  public:
    // Creates the pty (see TPty).
    TPtyServer(TProgrammerUnit& Unit, std::string LinkPath);
    TPtyServer(const TPtyServer&) = delete;
    TPtyServer& operator=(const TPtyServer&) = delete;

    const std::string& Path() const { return FPty.Path(); }

    // Moves bytes until StopFd becomes readable (a signal's self-pipe).
    void Run(int StopFd);

  private:
    void Feed(const unsigned char* Data, std::size_t Size);

    TProgrammerUnit& FUnit;
    TPty FPty;
    std::string FPending; // replies not yet written to the master
    std::chrono::steady_clock::time_point FStart;
};
