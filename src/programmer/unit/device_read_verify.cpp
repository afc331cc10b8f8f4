// The family dispatch of programming and reading, and the whole-device read
// and verify shared by all families.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/driver_host.h"
#include "programmer/thread_priority.h"
#include "programmer/unit/smart_parallel.h"

#include <algorithm>

int TSmartParallel::BlockSize() const {
    if (SmartDongle::PageSize < 1 || SmartDongle::PageSize > 255)
        Fail("Invalid page size " + std::to_string(SmartDongle::PageSize));
    return SmartDongle::PageSize;
}

void TSmartParallel::CheckBuffer(const THexList& Afile) const {
    if (static_cast<std::int64_t>(Afile.Size()) < Dev().FlashSize())
        Fail("The buffer is smaller than the " + Dev().DeviceName());
}

void TSmartParallel::StoreReply(std::vector<std::uint8_t>& Data, int From, int length,
                                const std::string& Reply) const {
    const std::int64_t end =
        std::min<std::int64_t>(static_cast<std::int64_t>(Data.size()), Dev().FlashSize());
    const std::int64_t n =
        std::min<std::int64_t>({length, static_cast<std::int64_t>(Reply.size()), end - From});
    if (From < 0 || n <= 0) return;
    std::copy_n(Reply.begin(), n, Data.begin() + From);
}

void TSmartParallel::ProgramFlash(THexList& Afile) {
    switch (Dev().ProgrammerId()) {
    case FAMILY_24C:
        i2c_ProgramFlash(Afile);
        break;
    case FAMILY_25C:
        spi_ProgramFlash(Afile);
        break;
    case FAMILY_93C:
        mw_ProgramFlash(Afile);
        break;
    default:
        break;
    }
}

void TSmartParallel::ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                                std::uint8_t Progress) {
    switch (Dev().ProgrammerId()) {
    case FAMILY_24C:
        i2c_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    case FAMILY_25C:
        spi_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    case FAMILY_93C:
        mw_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    default:
        break;
    }
}

void TSmartParallel::ReadFlash(THexList& Afile) {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    TLowPriority lower;
    const int size = Dev().FlashSize();
    CheckBuffer(Afile);
    DoUpdateProgress(0, size);
    if (Dev().ProgrammerId() == FAMILY_93C) SmartDongle::PageSize = Dev().PageSize();
    const int block = BlockSize();
    WriteString('%', "");
    for (int a = 0; a <= size - 1; a += block) {
        DoUpdateProgress(a, size);
        ReadBuffer(Afile.HexData, 'R', a, block, 0);
    }
    WriteString('$', "");
}

void TSmartParallel::VerifyFlash(THexList& Afile) {
    CheckISPMode();
    Run(static_cast<std::uint8_t>(HostResetPolarity()));
    TLowPriority lower;
    TDevice& dev = Dev();
    const int size = dev.FlashSize();
    CheckBuffer(Afile);
    DoUpdateProgress(0, size);
    if (dev.ProgrammerId() == FAMILY_93C) SmartDongle::PageSize = dev.PageSize();
    const int block = BlockSize();

    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(std::max(size, 0)), 0);
    bool failed = false;
    int errors = 0;
    WriteString('%', "");
    for (int a = 0; a <= size - 1; a += block) {
        DoUpdateProgress(a, size);
        ReadBuffer(scratch, 'R', a, block, 0);
        for (int p = a; p <= a + block - 1 && p < size; ++p) {
            const auto i = static_cast<std::uint32_t>(p);
            const std::uint8_t read = scratch[i];
            const std::uint8_t want = Afile.HexData[i];
            if (want == read) {
                Afile.SetStatus(i, ps_verified);
                continue;
            }
            const std::string line = "Verify Failed at " + IntToHex(static_cast<std::uint64_t>(p), 4) +
                                     "h: Read " + IntToHex(read, 2) + "h - Should have been " +
                                     IntToHex(want, 2) + "h";
            if (TDriverHost* host = DriverHost()) {
                try {
                    host->AddStatusLine(line);
                } catch (...) {
                    // A log that cannot take the line is cleared; the verify goes on.
                    try {
                        host->ClearStatusLog();
                    } catch (...) {
                    }
                }
            }
            Afile.SetStatus(i, ps_failed);
            failed = true;
            ++errors;
        }
    }
    WriteString('$', "");
    if (failed) {
        if (dev.ProgrammerId() == FAMILY_25C)
            throw EVerifyError("EEPROM: Verification Failed - Block protection may be enabled");
        throw EVerifyError("EEPROM: Verification Failed - " + std::to_string(errors) + " bytes had errors");
    }
}
