// A terminal device driven with plain termios calls: the serial line of every
// tty, an on-board UART, a USB adapter or a pseudo-terminal (the simulated
// unit's pty tool) alike, so the tests over a pty run the very code that
// drives a real adapter. A pseudo-terminal has no modem lines; DTR and RTS
// changes are then ignored.
#pragma once

#include "ports/serial_line.h"

#include <string>
#include <termios.h>

class TTtySerialLine : public TSerialLine {
  public:
    // Opens Path for reading and writing, for this program alone (a file
    // lock and the terminal's exclusive mode), raw with every flag of flow
    // control and translation cleared, pending data dropped. Raises
    // EComError when it cannot be opened, is not a terminal, is held by
    // another program (naming it where it can be found) or keeps a flag.
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
    // Raises EComError when the device has hung up.
    bool Poll(short Events, TLinkTime Deadline);
    // Bytes have arrived and wait to be read.
    bool InputWaiting();

    std::string FPath;
    int FFd = -1;
    termios FSettings{};
    bool FLowLatency = false;
    bool FModemLines = true;
};

// The termios speed constant of a baud rate; raises EComError for a rate the
// terminal interface cannot express.
speed_t BaudRateConstant(int Baud);
