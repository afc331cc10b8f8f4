// Serial numbers for a production run, handed out so that none is ever
// given twice: the next number lives in a small state file, read and
// replaced under an exclusive lock (flock on "<file>.lock" beside the file
// the name reaches, its symbolic links followed) by every process that
// takes one, whatever path it names the file by. A number counts as handed out once the state file naming
// the number after it is on the disk (written to a temporary file, fsync'd,
// renamed over the old one, folder fsync'd): a crash before that hands out
// nothing, a crash after it loses the number (a gap), and it is never
// reissued, whether the part it was meant for passed, failed or was never
// programmed.
//
// The state file is text: comment lines starting with "#" and one line
// "next=<decimal number>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TSerialAllocator {
  public:
    // Numbers Start, Start + Step, ... up to Max; with a state file, the
    // file's next number when it is higher than Start (a run never goes
    // back, but may be started further on).
    TSerialAllocator(std::uint64_t Start, std::uint64_t Step, std::uint64_t Max,
                     std::optional<std::string> StateFile = std::nullopt);

    // The next number. Raises EISPException when the numbers are used up
    // (the next one is past Max), the state file cannot be read, is not a
    // state file, or cannot be replaced, or its lock is held longer than
    // 10 s.
    std::uint64_t Next();

  private:
    std::uint64_t FNext;
    std::uint64_t FStep;
    std::uint64_t FMax;
    std::optional<std::string> FStateFile;
};

// The next number a state file holds; nothing when the file does not exist.
// Raises EISPException when it exists but is not a state file.
std::optional<std::uint64_t> ReadSerialState(const std::string& StateFile);
