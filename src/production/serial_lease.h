// A station's lease of serial numbers from the line database, kept in a
// local state file so the line goes on while the database is away: the
// numbers Next, Next + Step, ... up to Last are the station's alone. The
// file is read and replaced under the same lock and with the same atomic
// replace as the serial number state file; a number counts as taken once
// the file naming the number after it is on the disk, so a crash loses a
// number (a gap) and never hands it out twice.
//
// The file is text: comment lines starting with "#" and the lines
// "series=<name>", "lease=<id>", "next=<n>", "last=<n>", "step=<n>".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct TSerialLease {
    std::string Series;
    std::int64_t Id = 0; // the lease's number in the line database
    std::uint64_t Next = 0;
    std::uint64_t Last = 0;
    std::uint64_t Step = 1;
    bool Exhausted() const { return Next > Last; }
};

// The lease a file holds; nothing when the file does not exist. Raises
// EISPException when it exists but is no lease file.
std::optional<TSerialLease> ReadSerialLease(const std::string& File);

struct TLeasedNumber {
    std::uint64_t Value;
    std::int64_t Lease;
};

// Called under the file's lock when the lease in it is used up (or there is
// none, or it is of another series' numbers it never had): gives a new
// lease of Series, or raises. Old is what the file held.
using TLeaseRenewal = std::function<TSerialLease(const std::optional<TSerialLease>& Old)>;

// The next number of Series from the lease in File, renewing it through
// Renew when used up. Raises EISPException when the file cannot be read or
// replaced, holds a lease of another series, or Renew raises.
TLeasedNumber TakeLeasedNumber(const std::string& File, const std::string& Series,
                               const TLeaseRenewal& Renew);
