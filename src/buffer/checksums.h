// Checksums of a memory image: CRC-32 (the zlib/PNG/Ethernet polynomial,
// as crc32 and cksum -a crc32b print it), SHA-256, and the 16-bit sum of the
// bytes. A buffer's checksums cover its whole device range, bytes the data
// file did not fill included (they hold FFh after a load), so they describe
// the chip exactly as it is programmed.
#pragma once

#include "buffer/hex_list.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct TChecksums {
    std::uint32_t Crc32 = 0;
    std::array<std::uint8_t, 32> Sha256{};
    std::uint16_t Sum16 = 0;
    std::uint32_t Length = 0;

    // Eight upper-case hex digits, as the status lines show them.
    std::string Crc32Text() const;
    // 64 lower-case hex digits, as sha256sum prints them.
    std::string Sha256Text() const;
    // Four upper-case hex digits.
    std::string Sum16Text() const;
    bool operator==(const TChecksums&) const = default;
};

TChecksums ComputeChecksums(std::span<const std::uint8_t> Data);
// The checksums of Buffer's data from address 0 to its end (the device range
// once the buffer is sized to the device).
TChecksums BufferChecksums(const THexList& Buffer);

// SHA-256 of a whole file, 64 lower-case hex digits; raises EISPException
// naming the file when it cannot be read.
std::string FileSha256(const std::string& FileName);

// The libraries the checksums come from, with the versions running:
// "OpenSSL 3.0.11 19 Sep 2023, zlib 1.2.13".
std::string ChecksumLibraries();

// SHA-256 of bytes already read (a file's), 64 lower-case hex digits.
std::string Sha256Of(std::string_view Bytes);
