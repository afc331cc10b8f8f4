// The family dispatch of programming and reading, the whole-device read and
// verify shared by all families, erasing, and the checks every loop makes.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/algorithms/family_algorithms.h"
#include "programmer/driver_host.h"
#include "programmer/thread_priority.h"

#include <algorithm>

void TFamilyAlgorithms::Fail(const std::string& Message) const {
    throw EISPException(Message, false, FDriver.HardwareName());
}

TDevice& TFamilyAlgorithms::Dev() const {
    if (!FParams.Device) Fail("No device selected");
    return *FParams.Device;
}

int TFamilyAlgorithms::BlockSize() const {
    if (FParams.BlockSize < 1 || FParams.BlockSize > 255)
        Fail("Invalid page size " + std::to_string(FParams.BlockSize));
    return FParams.BlockSize;
}

int TFamilyAlgorithms::ReadBlock() const {
    // A 93C device is read by its page (one word a command), whatever the
    // block size.
    if (Dev().ProgrammerId() == FAMILY_93C) return Dev().PageSize();
    return FBus.ReadBlockSize(BlockSize(), Dev().FlashSize());
}

void TFamilyAlgorithms::CheckBuffer(const THexList& Afile) const {
    if (static_cast<std::int64_t>(Afile.Size()) < Dev().FlashSize())
        Fail("The buffer is smaller than the " + Dev().DeviceName());
}

void TFamilyAlgorithms::StoreReply(std::vector<std::uint8_t>& Data, int From, int length,
                                   const std::vector<std::uint8_t>& Reply) const {
    const std::int64_t end =
        std::min<std::int64_t>(static_cast<std::int64_t>(Data.size()), Dev().FlashSize());
    const std::int64_t n =
        std::min<std::int64_t>({length, static_cast<std::int64_t>(Reply.size()), end - From});
    if (From < 0 || n <= 0) return;
    std::copy_n(Reply.begin(), n, Data.begin() + From);
}

void TFamilyAlgorithms::ProgramPages(
    THexList& Afile, const std::function<void(int a, std::span<const std::uint8_t> Page)>& Page) {
    SelectBus(true);
    const int size = Dev().FlashSize();
    CheckBuffer(Afile);
    const int block = BlockSize();
    FDriver.DoUpdateProgress(0, size);
    BeginOperation(true);
    for (int a = 0; a <= size - 1; a += block) {
        // The last block stops at the end of the device.
        const int count = std::min(block, size - a);
        Page(a, std::span<const std::uint8_t>(Afile.HexData)
                    .subspan(static_cast<std::size_t>(a), static_cast<std::size_t>(count)));
        FBus.WaitWriteCycle(TWriteCycle::Page);
        FDriver.DoUpdateProgress(a, size);
    }
    FBus.EndOperation();
}

void TFamilyAlgorithms::ProgramFlash(THexList& Afile) {
    switch (Dev().ProgrammerId()) {
    case FAMILY_SPI_FLASH:
        SpiFlash().ProgramFlash(Afile);
        break;
    case FAMILY_24C:
        I2CProgramFlash(Afile);
        break;
    case FAMILY_25C:
        SpiProgramFlash(Afile);
        break;
    case FAMILY_93C:
        MwProgramFlash(Afile);
        break;
    default:
        break;
    }
}

void TFamilyAlgorithms::ReadBuffer(std::vector<std::uint8_t>& Data, int From, int length) {
    switch (Dev().ProgrammerId()) {
    case FAMILY_24C:
        I2CReadBuffer(Data, From, length);
        break;
    case FAMILY_25C:
        SpiReadBuffer(Data, From, length);
        break;
    case FAMILY_93C:
        MwReadBuffer(Data, From);
        break;
    default:
        break;
    }
}

void TFamilyAlgorithms::EraseDevice() {
    if (Dev().ProgrammerId() == FAMILY_SPI_FLASH) return SpiFlash().EraseChip();
    SelectBus(true);
    TDevice& dev = Dev();
    if (dev.ProgrammerId() == FAMILY_93C) {
        MwEraseDevice();
        return;
    }
    // I2C and SPI: program the whole device with 0xFF.
    THexList blank;
    blank.SetSizeof(static_cast<std::uint32_t>(std::max(dev.FlashSize(), 0)));
    blank.HexData.assign(blank.HexData.size(), 0xFF);
    ProgramFlash(blank);
}

std::string UnstableByteLine(std::uint64_t Address, std::uint8_t First, std::uint8_t Second) {
    return "Read Unstable at " + IntToHex(Address, 4) + "h: Read " + IntToHex(First, 2) + "h, then " +
           IntToHex(Second, 2) + "h";
}

void RaiseUnstableRead(std::uint64_t Count) {
    throw EVerifyError("EEPROM: Read Unstable - " + std::to_string(Count) +
                       " bytes differed between two reads");
}

void TFamilyAlgorithms::ReadFlash(THexList& Afile) {
    if (Dev().ProgrammerId() == FAMILY_SPI_FLASH) {
        TLowPriority lower;
        return SpiFlash().ReadFlash(Afile);
    }
    SelectBus(true);
    TLowPriority lower;
    const int size = Dev().FlashSize();
    CheckBuffer(Afile);
    FDriver.DoUpdateProgress(0, size);
    const int block = ReadBlock();
    const bool compared = FDriver.ReadCheck == rc_Compared;
    std::vector<std::uint8_t> again(compared ? Afile.HexData.size() : 0, 0);
    std::uint64_t unstable = 0;
    BeginOperation(false);
    for (int a = 0; a <= size - 1; a += block) {
        FDriver.DoUpdateProgress(a, size);
        ReadBuffer(Afile.HexData, a, block);
        if (!compared) continue;
        // The same block once more: a byte garbled on the way reads
        // differently (the chip itself does not change under a read).
        ReadBuffer(again, a, block);
        for (int p = a; p < a + block && p < size; ++p) {
            const auto i = static_cast<std::size_t>(p);
            if (Afile.HexData[i] == again[i]) continue;
            LogMismatch(UnstableByteLine(static_cast<std::uint64_t>(p), Afile.HexData[i], again[i]));
            ++unstable;
        }
    }
    FBus.EndOperation();
    if (unstable) RaiseUnstableRead(unstable);
}

void TFamilyAlgorithms::LogMismatch(const std::string& Line) const {
    TDriverHost* host = FParams.Log;
    if (!host) return;
    try {
        host->AddStatusLine(Line);
    } catch (...) {
        // A log that cannot take the line is cleared; the verify goes on.
        try {
            host->ClearStatusLog();
        } catch (...) {
        }
    }
}

void TFamilyAlgorithms::VerifyFlash(THexList& Afile) {
    if (Dev().ProgrammerId() == FAMILY_SPI_FLASH) {
        TLowPriority lower;
        return SpiFlash().VerifyFlash(Afile);
    }
    SelectBus(true);
    TLowPriority lower;
    TDevice& dev = Dev();
    const int size = dev.FlashSize();
    CheckBuffer(Afile);
    FDriver.DoUpdateProgress(0, size);
    const int block = ReadBlock();

    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(std::max(size, 0)), 0);
    bool failed = false;
    int errors = 0;
    BeginOperation(false);
    for (int a = 0; a <= size - 1; a += block) {
        FDriver.DoUpdateProgress(a, size);
        ReadBuffer(scratch, a, block);
        for (int p = a; p <= a + block - 1 && p < size; ++p) {
            const auto i = static_cast<std::uint32_t>(p);
            const std::uint8_t read = scratch[i];
            const std::uint8_t want = Afile.HexData[i];
            if (want == read) {
                Afile.SetStatus(i, ps_verified);
                continue;
            }
            LogMismatch("Verify Failed at " + IntToHex(static_cast<std::uint64_t>(p), 4) + "h: Read " +
                        IntToHex(read, 2) + "h - Should have been " + IntToHex(want, 2) + "h");
            Afile.SetStatus(i, ps_failed);
            failed = true;
            ++errors;
        }
    }
    FBus.EndOperation();
    if (failed) {
        if (dev.ProgrammerId() == FAMILY_25C)
            throw EVerifyError("EEPROM: Verification Failed - Block protection may be enabled");
        throw EVerifyError("EEPROM: Verification Failed - " + std::to_string(errors) + " bytes had errors");
    }
}
