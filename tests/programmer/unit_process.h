// The pty tool norvoisp-unitsim (or norvoisp-avrsim) run as a child
// process: the simulated unit behind a real pseudo-terminal, for end-to-end
// tests over the termios path.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TUnitProcess {
  public:
    // Starts the tool with Args and waits for the path of its pty.
    explicit TUnitProcess(const std::vector<std::string>& Args);
    // The same with another pty tool (norvoisp-avrsim).
    TUnitProcess(const std::string& Program, const std::vector<std::string>& Args);
    // Stops the tool (SIGTERM) and waits for it.
    ~TUnitProcess();
    TUnitProcess(const TUnitProcess&) = delete;
    TUnitProcess& operator=(const TUnitProcess&) = delete;

    const std::string& Path() const { return FPath; }
    // Stops the tool and returns its exit status.
    int Stop();

  private:
    pid_t FPid = -1;
    int FOut = -1;
    std::string FPath;
};
