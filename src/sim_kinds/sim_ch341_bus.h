// The CH341A emulator (sim/ch341a) as the USB bus of the "CH341A (USB)"
// kind: one board at "1-1" while it is plugged in, holding a chip of the
// driver's selected device in its socket. Every exchange goes through the
// emulator's bulk OUT and bulk IN at the transfer boundary, on the board's
// virtual clock, so polls and time-outs cost no real time. NORVOISP_CH341_SIM=1
// puts the kind on it; the socket follows the NORVOISP_SIM_* variables
// (sim_chip_socket.h; NORVOISP_SIM_BAUD does not apply).
#pragma once

#include "ch341a/ch341_emulator.h"
#include "ports/usb_bulk_device.h"
#include "sim_kinds/sim_chip_socket.h"

class TSimCh341Bus : public TUsbBulkBus {
  public:
    static constexpr const char* BoardPath = "1-1";

    // Driver: the kind whose device and organisation the chip follows.
    TSimCh341Bus(const TISPProgrammer& Driver, TSimOptions Options);
    ~TSimCh341Bus() override;

    std::vector<TUsbDeviceInfo> Find(std::uint16_t VendorId, std::uint16_t ProductId) override;
    // Busy while the board is open already.
    std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest& Request) override;

    TCh341Emulator& Emulator() { return FBoard; }
    TLinkClock& Clock() { return FClock; }
    // Puts a chip of the driver's device in the socket unless one is there,
    // with the driver's organisation.
    void EnsureChip();
    // Writes the chip's memory to its image file, if it has one.
    void SaveImage();

    // Keeps the socket empty (a chip that does not answer).
    bool EmptySocket = false;

  private:
    class TBoardClock : public TLinkClock {
      public:
        explicit TBoardClock(TCh341Emulator& Board) : FBoard(Board) {}
        TLinkTime Now() override { return FBoard.Clock().Now(); }
        void Sleep(TLinkDuration Time) override { FBoard.Clock().Advance(Time); }

      private:
        TCh341Emulator& FBoard;
    };
    class TBoardTransfer;

    const TISPProgrammer& FDriver;
    TSimChipSocket FSocket;
    TCh341Emulator FBoard;
    TBoardClock FClock{FBoard};
    bool FOpen = false;
};
