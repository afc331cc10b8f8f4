#include "production/serial_lease.h"

#include "fileio/atomic_replace.h"
#include "production/state_lock.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace {

std::uint64_t Number(const std::string& File, const std::map<std::string, std::string>& Fields,
                     const std::string& Name) {
    const auto it = Fields.find(Name);
    if (it == Fields.end()) FailSerialState(File, "not a serial number lease (no \"" + Name + "=\" line)");
    std::uint64_t value = 0;
    const char* b = it->second.data();
    const char* e = b + it->second.size();
    const auto [p, ec] = std::from_chars(b, e, value);
    if (b == e || ec != std::errc() || p != e) FailSerialState(File, "not a serial number lease");
    return value;
}

void WriteLease(const std::string& File, const std::string& Resolved, const TSerialLease& Lease) {
    std::ostringstream text;
    text << "# norvoisp serial numbers leased from the line database: this station's\n"
            "# own, from next to last. Numbers below next were handed out and are never\n"
            "# given again.\n"
         << "series=" << Lease.Series << "\nlease=" << Lease.Id << "\nnext=" << Lease.Next
         << "\nlast=" << Lease.Last << "\nstep=" << Lease.Step << "\n";
    if (const auto failure = ReplaceFileAtomic(Resolved, text.str()))
        FailSerialState(File, "cannot be replaced (" + failure->Text() + ")");
}

} // namespace

std::optional<TSerialLease> ReadSerialLease(const std::string& File) {
    struct stat st {};
    if (::stat(File.c_str(), &st) != 0) {
        if (errno == ENOENT) return std::nullopt;
        FailSerialState(File, std::string("cannot read (") + std::strerror(errno) + ")");
    }
    std::ifstream in(File, std::ios::binary);
    if (!in || !S_ISREG(st.st_mode)) FailSerialState(File, "cannot read");
    std::map<std::string, std::string> fields;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos || !fields.emplace(line.substr(0, eq), line.substr(eq + 1)).second)
            FailSerialState(File, "not a serial number lease");
    }
    TSerialLease lease;
    const auto series = fields.find("series");
    if (series == fields.end() || series->second.empty())
        FailSerialState(File, "not a serial number lease (no \"series=\" line)");
    lease.Series = series->second;
    lease.Id = static_cast<std::int64_t>(Number(File, fields, "lease"));
    lease.Next = Number(File, fields, "next");
    lease.Last = Number(File, fields, "last");
    lease.Step = Number(File, fields, "step");
    if (lease.Step == 0 || fields.size() != 5) FailSerialState(File, "not a serial number lease");
    return lease;
}

TLeasedNumber TakeLeasedNumber(const std::string& File, const std::string& Series,
                               const TLeaseRenewal& Renew) {
    const TResolvedFile resolved = ResolveWrittenFile(File);
    if (resolved.Refused) FailSerialState(File, resolved.Refused->Text());
    TStateLock lock(File, resolved.Path);
    std::optional<TSerialLease> lease = ReadSerialLease(resolved.Path);
    if (lease && lease->Series != Series)
        FailSerialState(File, "holds a lease of series \"" + lease->Series + "\", not \"" + Series +
                                  "\" (give every series its own state file)");
    if (!lease || lease->Exhausted()) {
        TSerialLease renewed = Renew(lease);
        if (renewed.Exhausted() || renewed.Step == 0)
            FailSerialState(File, "the line database gave an empty lease");
        lease = std::move(renewed);
    }
    const TLeasedNumber taken{lease->Next, lease->Id};
    TSerialLease after = *lease;
    // Past Last (or past the widest number) the lease is used up.
    after.Next = after.Last - after.Next < after.Step ? after.Last + 1 : after.Next + after.Step;
    WriteLease(File, resolved.Path, after);
    return taken;
}
