// What is plugged into a simulated printer port's 25-pin connector. The port
// model drives the output pins (data 2..9; control 1, 14, 16, 17) and samples
// the input pins (status 10, 11, 12, 13, 15) through this interface; levels
// are connector levels (true = high), the register inversions stay inside the
// port model. IoCycle is called once for every access to one of the port's
// registers, so a peripheral can keep time in I/O cycles.
#pragma once

class TLptConnector {
  public:
    virtual ~TLptConnector() = default;
    virtual void SetPin(int Pin, bool High) = 0;
    virtual bool GetPin(int Pin) = 0;
    virtual void IoCycle() {}
};

// Nothing plugged in: every input floats high.
class TOpenLptConnector : public TLptConnector {
  public:
    void SetPin(int, bool) override {}
    bool GetPin(int) override { return true; }
};
