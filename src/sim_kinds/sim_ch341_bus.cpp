#include "sim_kinds/sim_ch341_bus.h"

#include "errors/errors.h"

class TSimCh341Bus::TBoardTransfer : public TUsbTransfer {
  public:
    explicit TBoardTransfer(TSimCh341Bus& Bus) : FBus(Bus) { FBus.FOpen = true; }
    ~TBoardTransfer() override {
        FBus.FOpen = false;
        try {
            FBus.SaveImage();
        } catch (const Exception&) {
            // Nothing can be reported from here.
        }
    }

    std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                       std::span<const std::size_t> InPackets) override {
        FBus.EnsureChip();
        TCh341Emulator& board = FBus.FBoard;
        std::vector<std::uint8_t> in;
        for (const auto& transfer : Out)
            Check(board.BulkOut(transfer), "write");
        for (std::size_t expected : InPackets) {
            std::vector<std::uint8_t> packet;
            Check(board.BulkIn(TCh341Emulator::PacketSize, packet), "read");
            CheckReplyPacket(packet.size(), expected);
            in.insert(in.end(), packet.begin(), packet.end());
        }
        return in;
    }
    TLinkClock& Clock() override { return FBus.FClock; }
    std::string Description() const override { return UsbPlaceName(BoardPath) + " (simulated)"; }

  private:
    static void Check(TUsbResult Result, const char* What) {
        if (Result == TUsbResult::NoDevice)
            throw EUsbError(TUsbErrorKind::NoDevice, std::string("USB ") + What + ": device gone");
        if (Result == TUsbResult::Timeout)
            throw EUsbError(TUsbErrorKind::Timeout, std::string("USB ") + What + ": timed out");
        if (Result == TUsbResult::Overflow)
            throw EUsbError(TUsbErrorKind::Io, std::string("USB ") + What + ": overflow");
    }

    TSimCh341Bus& FBus;
};

TSimCh341Bus::TSimCh341Bus(const TISPProgrammer& Driver, TSimOptions Options)
    : FDriver(Driver), FSocket(Driver, std::move(Options)) {}

TSimCh341Bus::~TSimCh341Bus() {
    try {
        SaveImage();
    } catch (const Exception&) {
    }
}

std::vector<TUsbDeviceInfo> TSimCh341Bus::Find(std::uint16_t, std::uint16_t) {
    if (!FBoard.Plugged()) return {};
    return {{BoardPath, 1, 2}};
}

std::unique_ptr<TUsbTransfer> TSimCh341Bus::Open(const TUsbOpenRequest& Request) {
    if (!FBoard.Plugged() || (!Request.Path.empty() && Request.Path != BoardPath))
        throw EUsbError(TUsbErrorKind::NotFound, "no matching USB device");
    if (FOpen) throw EUsbError(TUsbErrorKind::Busy, "the interface is claimed");
    return std::make_unique<TBoardTransfer>(*this);
}

void TSimCh341Bus::EnsureChip() {
    if (EmptySocket) {
        SaveImage();
        FBoard.InsertChip(nullptr);
        return;
    }
    if (FDriver.Device()) FSocket.EnsureChip(FBoard, *FDriver.Device());
    FSocket.ApplyOrganisation(FBoard);
}

void TSimCh341Bus::SaveImage() {
    FSocket.SaveImage(FBoard);
}
