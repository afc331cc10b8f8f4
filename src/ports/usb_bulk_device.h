// USB devices reached through two bulk endpoints: finding them by vendor and
// product id (and, when several are plugged in, by their place on the bus),
// opening and claiming one, and exchanging bulk transfers with bounded
// waits. The real implementation is libusb-1.0; a simulated device (an
// emulator at the transfer boundary) implements the same interfaces.
#pragma once

#include "errors/errors.h"
#include "ports/link_clock.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// One matching device on the bus.
struct TUsbDeviceInfo {
    // Where it is plugged in, as the kernel names it: bus, then the port
    // numbers from the root hub ("1-1.4"). Stable while it stays in that port.
    std::string Path;
    int Bus = 0;
    int Address = 0;
};

// Why a USB operation failed.
enum class TUsbErrorKind : std::uint8_t {
    NotFound, // no such device is plugged in
    Access,   // the device node may not be opened (permissions)
    Busy,     // another program (or a kernel driver) holds the interface
    NoDevice, // the device went away (unplugged) during the operation
    Timeout,  // a transfer did not complete in time
    Io,       // any other failure of the USB stack
};

class EUsbError : public Exception {
  public:
    EUsbError(TUsbErrorKind Kind, std::string Message) : Exception(std::move(Message)), FKind(Kind) {}
    TUsbErrorKind Kind() const { return FKind; }

  private:
    TUsbErrorKind FKind;
};

// An opened device with its interface claimed.
class TUsbTransfer {
  public:
    virtual ~TUsbTransfer() = default;
    // Sends the bulk OUT transfers of Out one after the other and reads the
    // reply: one bulk IN packet for each entry of InPackets, of exactly that
    // many bytes (1 to the endpoint's packet size), the reads in flight while
    // the writes go out (a device may need its replies taken before it
    // accepts more). Returns the packets' bytes one after the other. Raises
    // EUsbError (Io when a packet's length differs from the one expected);
    // every wait is bounded by the transfer time-out.
    virtual std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                               std::span<const std::size_t> InPackets) = 0;
    // The time base of the caller's polling limits: the system's clock for
    // a real device, the emulator's for a simulated one.
    virtual TLinkClock& Clock() = 0;
    // Where the device is, for messages ("USB bus 1, port 1.4").
    virtual std::string Description() const = 0;
};

struct TUsbOpenRequest {
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::string Path;  // "" = the first matching device
    int Interface = 0; // claimed while open
    std::uint8_t OutEndpoint = 0;
    std::uint8_t InEndpoint = 0;
    std::size_t PacketSize = 64;             // of the bulk endpoints (wMaxPacketSize)
    std::chrono::milliseconds Timeout{1000}; // of each transfer
};

// The devices of one kind on the buses and how to open one.
class TUsbBulkBus {
  public:
    virtual ~TUsbBulkBus() = default;
    // The matching devices, in bus order. Raises EUsbError (Io) when the USB
    // stack cannot be used at all.
    virtual std::vector<TUsbDeviceInfo> Find(std::uint16_t VendorId, std::uint16_t ProductId) = 0;
    // Opens the device and claims its interface. Raises EUsbError: NotFound
    // (none, or none at that path), Access, Busy, Io.
    virtual std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest& Request) = 0;
};

// The computer's USB buses through libusb-1.0.
std::unique_ptr<TUsbBulkBus> NewLibUsbBus();

// "USB bus 1, port 1.4" for the path "1-1.4".
std::string UsbPlaceName(const std::string& Path);

// Raises EUsbError (Io) when a reply packet of Got bytes came where one of
// Expected bytes was due.
void CheckReplyPacket(std::size_t Got, std::size_t Expected);
