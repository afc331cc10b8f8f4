#include "production/serial_allocator.h"

#include "errors/errors.h"
#include "fileio/atomic_replace.h"
#include "production/state_lock.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

std::optional<std::uint64_t> ReadSerialState(const std::string& StateFile) {
    struct stat st {};
    if (::stat(StateFile.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::nullopt;
        FailSerialState(StateFile, std::string("cannot read (") + std::strerror(errno) + ")");
    }
    std::ifstream in(StateFile, std::ios::binary);
    if (!in || !S_ISREG(st.st_mode)) FailSerialState(StateFile, "cannot read");
    std::optional<std::uint64_t> next;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::uint64_t value = 0;
        const char* b = line.data() + 5;
        const char* e = line.data() + line.size();
        if (next || line.compare(0, 5, "next=") != 0 || b == e)
            FailSerialState(StateFile, "not a serial number state file");
        const auto [p, ec] = std::from_chars(b, e, value);
        if (ec != std::errc() || p != e) FailSerialState(StateFile, "not a serial number state file");
        next = value;
    }
    if (!next) FailSerialState(StateFile, "not a serial number state file (no \"next=\" line)");
    return next;
}

TSerialAllocator::TSerialAllocator(std::uint64_t Start, std::uint64_t Step, std::uint64_t Max,
                                   std::optional<std::string> StateFile)
    : FNext(Start), FStep(Step == 0 ? 1 : Step), FMax(Max), FStateFile(std::move(StateFile)) {}

std::uint64_t TSerialAllocator::Next() {
    if (!FStateFile) {
        if (FNext > FMax)
            throw EISPException("Serial numbers used up: " + std::to_string(FNext) + " is too wide");
        const std::uint64_t n = FNext;
        FNext += FStep;
        return n;
    }
    const std::string& file = *FStateFile;
    const TResolvedFile resolved = ResolveWrittenFile(file);
    if (resolved.Refused) FailSerialState(file, resolved.Refused->Text());
    TStateLock lock(file, resolved.Path);
    std::uint64_t n = FNext;
    if (const auto stored = ReadSerialState(resolved.Path)) n = std::max(n, *stored);
    if (n > FMax)
        throw EISPException("Serial numbers used up: the next one, " + std::to_string(n) +
                            ", does not fit (" + file + ")");
    std::ostringstream state;
    state << "# norvoisp serial numbers: the next number to hand out. Numbers below it\n"
             "# were handed out and are never given again.\n"
          << "next=" << n + FStep << "\n";
    if (const auto failure = ReplaceFileAtomic(resolved.Path, state.str()))
        FailSerialState(file, "cannot be replaced (" + failure->Text() + ")");
    return n;
}
