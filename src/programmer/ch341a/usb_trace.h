// A USB device whose every bulk transfer is written to a file as a line of
// hex bytes: "OUT aa 74 80 a0 ..." for what goes out, "IN 00 ..." for each
// reply packet. Set with NORVOISP_CH341_TRACE=FILE; the file is appended to.
#pragma once

#include "ports/usb_bulk_device.h"

#include <fstream>
#include <memory>
#include <string>

class TUsbTrace : public TUsbTransfer {
  public:
    // Raises EISPException when the file cannot be written.
    TUsbTrace(std::unique_ptr<TUsbTransfer> Device, const std::string& FileName);

    std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                       std::span<const std::size_t> InPackets) override;
    TLinkClock& Clock() override { return FDevice->Clock(); }
    std::string Description() const override { return FDevice->Description(); }

    // "OUT aa 74 ..." / "IN 00 ...".
    static std::string Line(const char* Direction, std::span<const std::uint8_t> Bytes);

  private:
    std::unique_ptr<TUsbTransfer> FDevice;
    std::ofstream FFile;
};
