// A terminal device driven with plain termios calls: the serial line for
// devices libserialport does not describe, such as a pseudo-terminal (the
// simulated unit's pty tool) or a link to one. A pseudo-terminal has no modem
// lines; DTR and RTS changes are then ignored.
#pragma once

#include "ports/serial_line.h"

#include <string>
#include <termios.h>

class TTtySerialLine : public TSerialLine {
  public:
    // Opens Path for reading and writing, raw, with pending data dropped.
    // Raises EComError when it cannot be opened or is not a terminal.
    explicit TTtySerialLine(const std::string& Path);
    ~TTtySerialLine() override;
    TTtySerialLine(const TTtySerialLine&) = delete;
    TTtySerialLine& operator=(const TTtySerialLine&) = delete;

    void SetBaudRate(int Baud) override;
    void SetDataBits(int Bits) override;
    void SetParity(TParity Parity) override;
    bool SetDTR(bool Active) override;
    bool SetRTS(bool Active) override;
    std::size_t ReadAvailable(std::uint8_t* Buffer, std::size_t Max) override;
    bool WaitInput(TLinkDuration Timeout) override;
    std::size_t Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration Timeout) override;
    std::size_t OutputCount() override;
    void Discard() override;
    TLinkClock& Clock() override { return SystemLinkClock(); }
    bool LowLatency() const override { return FLowLatency; }
    bool ModemLines() const override { return FModemLines; }
    std::string Kind() const override { return "termios"; }

  private:
    void Apply(const termios& Settings);
    bool ModemLine(int Line, bool Active);
    // Waits for Events on the descriptor until Deadline; true when ready.
    bool Poll(short Events, TLinkTime Deadline);

    std::string FPath;
    int FFd = -1;
    termios FSettings{};
    bool FLowLatency = false;
    bool FModemLines = true;
};

// The termios speed constant of a baud rate; raises EComError for a rate the
// terminal interface cannot express.
speed_t BaudRateConstant(int Baud);
