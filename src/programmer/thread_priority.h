// Runs a long device read or verify at a lower priority than the rest of the
// program, and restores the priority afterwards. On Linux an unprivileged
// thread may lower its priority but not raise it back, so the priority is
// only lowered when the thread is allowed to restore it (root, or a nice
// limit that permits it); otherwise it stays unchanged.
#pragma once

class TLowPriority {
  public:
    TLowPriority();
    ~TLowPriority();
    TLowPriority(const TLowPriority&) = delete;
    TLowPriority& operator=(const TLowPriority&) = delete;

    bool Lowered() const { return FLowered; }

  private:
    int FOldNice = 0;
    bool FLowered = false;
};
