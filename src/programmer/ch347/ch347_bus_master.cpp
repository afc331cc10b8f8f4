#include "programmer/ch347/ch347_bus_master.h"

#include "catalogue/device.h"
#include "errors/errors.h"
#include "programmer/algorithms/poll_until_ready.h"

#include <algorithm>

TCh347BusMaster::TCh347BusMaster(TUsbTransfer& Link, std::uint8_t Family, TCh347Settings Settings)
    : FLink(Link), FSpi(Link), FFamily(Family), FSettings(std::move(Settings)) {}

void TCh347BusMaster::Fail(const std::string& Message) const {
    throw EISPException(Message, false, FSettings.HardwareName);
}

void TCh347BusMaster::CheckFamily() const {
    if (FFamily != FAMILY_25C)
        Fail("The " + FSettings.HardwareName + " drives SPI (25C) parts only so far; the " +
             FSettings.DeviceName + " needs another programmer");
}

void TCh347BusMaster::ConfigureBus() {
    CheckFamily();
    FSpi.Configure(FSettings.Prescaler, FSettings.SpiMode);
    FSpi.Select(false);
    FSpi.Flush();
}

void TCh347BusMaster::SelectBus(const TOperationParameters&, bool) {
    CheckFamily();
}

void TCh347BusMaster::BeginOperation(const TOperationParameters&, bool) {}

void TCh347BusMaster::EndOperation() {
    Sync();
}

void TCh347BusMaster::Sync() {
    FSpi.Flush();
}

void TCh347BusMaster::Start() {
    FSpi.Select(true);
}

void TCh347BusMaster::Stop() {
    FSpi.Select(false);
}

void TCh347BusMaster::WriteByte(std::uint8_t Byte) {
    const std::uint8_t b[] = {Byte};
    FSpi.Write(b);
}

void TCh347BusMaster::ReadByte(std::uint8_t& Into) {
    FSpi.Read({&Into, 1});
}

void TCh347BusMaster::WritePage(std::span<const std::uint8_t> Bytes) {
    FSpi.Write(Bytes);
}

void TCh347BusMaster::WriteBits(std::uint8_t, std::uint16_t) {
    Fail("Microwire command on another bus");
}

void TCh347BusMaster::ReadPage(std::span<std::uint8_t> Into) {
    FSpi.Read(Into);
}

int TCh347BusMaster::ReadBlockSize(int PageSize, int DeviceSize) const {
    return std::max(PageSize, DeviceSize);
}

void TCh347BusMaster::WaitWriteCycle(TWriteCycle) {
    const bool ready = PollUntilReady(FLink.Clock(), FSettings.WriteCycleLimit, [this] {
        std::uint8_t status[] = {0x05, 0xFF}; // read status register
        FSpi.Select(true);
        FSpi.Exchange(status, status);
        FSpi.Select(false);
        FSpi.Flush();
        // Bits 4 to 6 read as 0 on every 25C part: all ones is SO pulled up.
        if (status[1] == 0xFF)
            Fail("The " + FSettings.DeviceName +
                 " does not answer (its status register reads FFh): check that it sits in the socket the "
                 "right way round");
        return (status[1] & 1) == 0; // WIP clear
    });
    if (!ready)
        Fail("Program/erase BUSY timed out (still busy after " +
             std::to_string(
                 std::chrono::duration_cast<std::chrono::milliseconds>(FSettings.WriteCycleLimit).count()) +
             " ms)");
}
