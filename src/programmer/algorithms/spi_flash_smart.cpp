// Smart programming of an SPI NOR part: each erase block is read and
// compared first; a block that already holds its data is skipped, one that
// needs a bit raised from 0 to 1 is erased, and only the pages that differ
// (and are not all FFh after an erase) are programmed. Then all of it is
// verified. The state of every block is kept, so a run that stops half way
// says which blocks hold what.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/algorithms/spi_flash_algorithms.h"
#include "programmer/algorithms/spi_flash_operation.h"

#include <algorithm>
#include <cstring>

const char* SpiBlockStateName(TSpiBlockState State) {
    switch (State) {
    case TSpiBlockState::Untouched:
        return "untouched";
    case TSpiBlockState::Unchanged:
        return "unchanged";
    case TSpiBlockState::Erased:
        return "erased, programming not finished";
    case TSpiBlockState::Programmed:
        return "programmed, not verified";
    case TSpiBlockState::Verified:
        return "verified";
    case TSpiBlockState::Failed:
        return "failed the verify";
    }
    return "?";
}

std::string TSpiFlashReport::Summary() const {
    return "erased " + std::to_string(Erased) + ", programmed " + std::to_string(Programmed) + ", skipped " +
           std::to_string(Skipped) + " of " + std::to_string(Blocks.size()) + " blocks of " +
           SpiSizeText(BlockSize);
}

std::string TSpiFlashReport::States() const {
    std::string text;
    for (std::size_t i = 0; i < Blocks.size();) {
        std::size_t j = i;
        while (j + 1 < Blocks.size() && Blocks[j + 1] == Blocks[i])
            ++j;
        const std::uint64_t from = std::uint64_t{BlockSize} * i, to = std::uint64_t{BlockSize} * (j + 1) - 1;
        text += (text.empty() ? "" : "; ") +
                (i == j ? "block " + std::to_string(i)
                        : "blocks " + std::to_string(i) + "-" + std::to_string(j)) +
                " (" + IntToHex(from, 6) + "-" + IntToHex(to, 6) + ") " + SpiBlockStateName(Blocks[i]);
        i = j + 1;
    }
    return text;
}

TSpiFlashReport TSpiFlashAlgorithms::ProgramRange(THexList& Afile, std::uint32_t From, std::uint32_t To) {
    CheckRange(Afile, From, To);
    const TSpiFlashPart& p = Part();
    const TSpiFlashErase* block = p.LargestErase();
    if (!block) Fail("The " + PartName() + " has no erase instruction");
    const std::uint32_t bs = block->Size;
    From -= From % bs;
    To += (bs - To % bs) % bs;

    FReport = TSpiFlashReport{};
    FReport.BlockSize = bs;
    FReport.Blocks.assign(p.Size / bs, TSpiBlockState::Untouched);
    TOperation op(*this, true);
    try {
        CheckWritable(From, To);
        Progress(0, p.Size);
        std::vector<std::uint8_t> chip(bs);
        for (std::uint32_t a = From; a < To; a += bs) {
            Progress(a, p.Size);
            const std::size_t index = a / bs;
            const std::uint8_t* want = Afile.HexData.data() + a;
            for (std::uint32_t at = 0; at < bs; at += 4096)
                Read(a + at,
                     std::span<std::uint8_t>(chip).subspan(at, std::min<std::uint32_t>(4096, bs - at)));
            if (std::memcmp(chip.data(), want, bs) == 0) {
                FReport.Blocks[index] = TSpiBlockState::Unchanged;
                ++FReport.Skipped;
                continue;
            }
            // Programming only clears bits: a 1 wanted over a 0 needs the erase.
            bool erase = false;
            for (std::uint32_t i = 0; i < bs && !erase; ++i)
                erase = (want[i] & ~chip[i]) != 0;
            if (erase) {
                EraseBlock(*block, a);
                std::fill(chip.begin(), chip.end(), 0xFF);
                FReport.Blocks[index] = TSpiBlockState::Erased;
                ++FReport.Erased;
            }
            bool programmed = false;
            for (std::uint32_t page = 0; page < bs; page += p.PageSize) {
                if (std::memcmp(chip.data() + page, want + page, p.PageSize) == 0) continue;
                ProgramPage(a + page, std::span<const std::uint8_t>(want + page, p.PageSize));
                programmed = true;
            }
            if (programmed) {
                FReport.Blocks[index] = TSpiBlockState::Programmed;
                ++FReport.Programmed;
            }
        }
        // The whole range again, against the buffer.
        std::int64_t logged = 0;
        std::int64_t errors = 0;
        for (std::uint32_t a = From; a < To; a += bs) {
            const std::int64_t e = Compare(Afile, a, a + bs, logged);
            errors += e;
            FReport.Blocks[a / bs] = e ? TSpiBlockState::Failed : TSpiBlockState::Verified;
        }
        Progress(p.Size, p.Size);
        op.End();
        Log("Blocks " + FReport.Summary());
        if (errors) Log("Blocks " + FReport.States());
        if (errors)
            throw EVerifyError("EEPROM: Verification Failed - " + std::to_string(errors) +
                               " bytes had errors");
    } catch (const EVerifyError&) {
        throw;
    } catch (...) {
        Log("Programming stopped: " + FReport.States());
        throw;
    }
    return FReport;
}
