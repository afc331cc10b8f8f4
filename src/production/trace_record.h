// One part's traceability record: what was programmed into which chip, with
// which serial number, by which unit, and how it ended.
#pragma once

#include "buffer/checksums.h"
#include "buffer/hex_list.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TTraceSerial {
    std::uint32_t Value = 0;
    std::uint32_t Address = 0;
    // The bytes as stored, most significant first.
    std::vector<std::uint8_t> Bytes;
};

struct TTraceRecord {
    std::string Time; // ISO 8601 with zone (Iso8601LocalTime)
    std::string Host;
    std::string Program; // "norvoisp" or "norvoisp-cli"
    std::string Hardware;
    std::string Port;
    int Unit = 0; // the unit's number in a run over several units; 0 alone
    std::string Device;
    std::string DataFile;            // absolute path, empty when none
    std::string DataFileSha256;      // of the file's bytes on disk
    std::optional<TChecksums> Image; // the buffer as programmed (device range)
    std::optional<TTraceSerial> Serial;
    // With a line database: the series and the lease the serial number came
    // from.
    std::string SerialSeries;
    std::int64_t SerialLease = 0;
    std::vector<std::string> Steps; // the steps that ran, in order
    bool Passed = false;
    std::string Failure;
    std::optional<std::uint32_t> FirstFailedAddress;
    std::uint32_t FailedBytes = 0;
    double DurationSeconds = 0;
};

// The record as one JSON object:
//   {"record":"part","time":...,"host":...,"program":...,"hardware":...,
//    "port":...,"unit":...,"device":...,"file":...,"file_sha256":...,
//    "crc32":"1A2B3C4D","sha256":...,"sum16":"ABCD",
//    "serial":{"value":N,"address":"0010","bytes":"0001F4"} or null (with a
//    line database also "series":NAME,"lease":N),
//    "steps":[...],"result":"passed"|"failed","failure":null or text,
//    "first_failed_address":null or N,"failed_bytes":N,"duration_s":X}
nlohmann::ordered_json TraceRecordJson(const TTraceRecord& Record);

// {"crc32":"1A2B3C4D","sha256":"...","sum16":"ABCD","bytes":N}
nlohmann::ordered_json ChecksumsJson(const TChecksums& Sums);

// The verify outcome kept in the buffer's per-byte status: the first byte
// marked failed and how many are.
void CountFailedBytes(const THexList& Buffer, TTraceRecord& Record);
