// A serial port driven through libserialport: the ports the kernel lists
// (on-board UARTs, USB adapters).
#pragma once

#include "ports/serial_line.h"

#include <string>

struct sp_port;
struct sp_event_set;

class TSpSerialLine : public TSerialLine {
  public:
    // Takes Port (from sp_get_port_by_name) and opens it for reading and
    // writing, exclusively, with pending data dropped. Raises EComError.
    TSpSerialLine(const std::string& Path, sp_port* Port);
    ~TSpSerialLine() override;
    TSpSerialLine(const TSpSerialLine&) = delete;
    TSpSerialLine& operator=(const TSpSerialLine&) = delete;

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
    std::string Kind() const override { return "libserialport"; }

  private:
    // Raises EComError for a failed libserialport call; returns its value otherwise.
    int Check(int Result);
    bool ModemLine(bool Dtr, bool Active);

    std::string FPath;
    sp_port* FPort = nullptr;
    sp_event_set* FEvents = nullptr;
    int FFd = -1;
    bool FLowLatency = false;
    bool FModemLines = true;
};
