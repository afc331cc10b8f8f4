// TComPort: the serial port object of the serial transport. It opens a port
// by name ("COM<n>" through the port table, or a device path), applies the
// line settings, drives DTR and RTS, and moves bytes with bounded waits.
//
// Writes are gathered: WriteByte, WriteChar and WriteString return at once
// and the bytes go to the device in one call when the port next reads,
// waits, counts, flushes, changes a line or closes. Nothing can observe the
// difference except that a command and its arguments leave together.
//
// Every wait is bounded: Read with Wait, ReadByte and Flush give up after
// ReadTimeout / WriteTimeout and raise EComError "Timeout". Operations on a
// closed port raise EComError "Can't perform this operation on a closed port".
#pragma once

#include "ports/com_port_table.h"
#include "ports/link_clock.h"
#include "ports/serial_line.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TBaudRate : int {
    br1200 = 1200,
    br2400 = 2400,
    br4800 = 4800,
    br9600 = 9600,
    br19200 = 19200,
    br38400 = 38400,
    br57600 = 57600,
    br115200 = 115200,
    br1000000 = 1000000,
    br2000000 = 2000000,
};
enum TDataBits : int { dbDefault = 0, db5 = 5, db6 = 6, db7 = 7, db8 = 8 };

// Opens the device at a path; the default opens the operating system's.
using TSerialLineFactory = std::function<std::unique_ptr<TSerialLine>(const std::string& Path)>;

class TComPort {
  public:
    TComPort();
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    const std::string& DeviceName() const { return FDeviceName; }
    // A different name closes the port first.
    void SetDeviceName(const std::string& Name);

    // Nothing when open. Resolves the name, opens the device exclusively,
    // drops pending input and output and applies the settings.
    void Open();
    void Close();
    bool Active() const { return FLine != nullptr; }

    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity Value);

    void SetDTR() { ModemLine(true, true); }
    void ClearDTR() { ModemLine(true, false); }
    void SetRTS() { ModemLine(false, true); }
    void ClearRTS() { ModemLine(false, false); }

    // Returns when everything written has been handed to the line.
    void Flush();
    // Received bytes not yet read (the device is asked only when none are
    // waiting here); written bytes not yet sent.
    std::size_t InputCount();
    std::size_t OutputCount();

    std::uint8_t ReadByte();
    // Up to Count bytes; with Wait, exactly Count or EComError "Timeout".
    std::size_t Read(void* Buffer, std::size_t Count, bool Wait);
    void WriteByte(std::uint8_t Value);
    void WriteChar(char Value) { WriteByte(static_cast<std::uint8_t>(Value)); }
    void WriteString(const std::string& Value);

    // Waits until input has arrived or Timeout has passed, without spinning;
    // true when input is there.
    bool WaitForInput(TLinkDuration Timeout);

    // Appends "COM<n>" for every entry of the port table, in number order
    // (the port dialog lists them). The table holds the devices present and
    // those the operator assigned; choosing one that is absent fails at open.
    void EnumComDevicesFromRegistry(std::vector<std::string>& List) const;

    void SetPortTable(TComPortTable Table) { FTable = std::move(Table); }
    const TComPortTable& PortTable() const { return FTable; }
    void SetLineFactory(TSerialLineFactory Factory) { FFactory = std::move(Factory); }

    // Bounds of the waits for input (Read with Wait, ReadByte) and for the
    // line to take written bytes (Flush, sending); 2 seconds each.
    TLinkDuration ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(TLinkDuration Value) { FReadTimeout = Value; }
    TLinkDuration WriteTimeout() const { return FWriteTimeout; }
    void SetWriteTimeout(TLinkDuration Value) { FWriteTimeout = Value; }

    // The open line's clock; the system clock while closed.
    TLinkClock& Clock();
    // The device path the open port was resolved to.
    const std::string& DevicePath() const { return FDevicePath; }
    TSerialLine* Line() const { return FLine.get(); }
    // Operating-system calls of the open line (zero while closed).
    TSerialStats Stats() const;

  private:
    TSerialLine& Opened();
    void SendPending();
    void Fill();
    void ModemLine(bool Dtr, bool Active);

    std::string FDeviceName = "COM1";
    std::string FDevicePath;
    TBaudRate FBaudRate = br9600;
    TDataBits FDataBits = dbDefault;
    TParity FParity = paDefault;
    TComPortTable FTable;
    TSerialLineFactory FFactory;
    std::unique_ptr<TSerialLine> FLine;
    std::deque<std::uint8_t> FIn;
    std::vector<std::uint8_t> FOut;
    TLinkDuration FReadTimeout = std::chrono::seconds(2);
    TLinkDuration FWriteTimeout = std::chrono::seconds(2);
};
