#include "production/trace_record.h"

#include "buffer/hex_text.h"

nlohmann::ordered_json TraceRecordJson(const TTraceRecord& r) {
    using json = nlohmann::ordered_json;
    json j;
    j["record"] = "part";
    j["time"] = r.Time;
    j["host"] = r.Host;
    j["program"] = r.Program;
    j["hardware"] = r.Hardware;
    j["port"] = r.Port.empty() ? json() : json(r.Port);
    j["unit"] = r.Unit;
    j["device"] = r.Device;
    j["file"] = r.DataFile.empty() ? json() : json(r.DataFile);
    j["file_sha256"] = r.DataFileSha256.empty() ? json() : json(r.DataFileSha256);
    if (r.Image) {
        j["crc32"] = r.Image->Crc32Text();
        j["sha256"] = r.Image->Sha256Text();
        j["sum16"] = r.Image->Sum16Text();
    } else {
        j["crc32"] = j["sha256"] = j["sum16"] = nullptr;
    }
    if (r.Serial) {
        std::string bytes;
        for (std::uint8_t b : r.Serial->Bytes)
            bytes += IntToHex(b, 2);
        j["serial"] = {
            {"value", r.Serial->Value}, {"address", IntToHex(r.Serial->Address, 4)}, {"bytes", bytes}};
        if (!r.SerialSeries.empty()) {
            j["serial"]["series"] = r.SerialSeries;
            j["serial"]["lease"] = r.SerialLease;
        }
    } else {
        j["serial"] = nullptr;
    }
    j["steps"] = r.Steps;
    j["result"] = r.Passed ? "passed" : "failed";
    j["failure"] = r.Failure.empty() ? json() : json(r.Failure);
    j["first_failed_address"] = r.FirstFailedAddress ? json(*r.FirstFailedAddress) : json();
    j["failed_bytes"] = r.FailedBytes;
    j["duration_s"] = static_cast<double>(static_cast<long long>(r.DurationSeconds * 1000 + 0.5)) / 1000;
    return j;
}

nlohmann::ordered_json ChecksumsJson(const TChecksums& Sums) {
    return {{"crc32", Sums.Crc32Text()},
            {"sha256", Sums.Sha256Text()},
            {"sum16", Sums.Sum16Text()},
            {"bytes", Sums.Length}};
}

void CountFailedBytes(const THexList& Buffer, TTraceRecord& Record) {
    Record.FailedBytes = 0;
    Record.FirstFailedAddress.reset();
    const auto& status = Buffer.StatusArray();
    for (std::size_t i = 0; i < status.size(); ++i)
        if (status[i].Contains(ps_failed)) {
            if (!Record.FirstFailedAddress) Record.FirstFailedAddress = static_cast<std::uint32_t>(i);
            ++Record.FailedBytes;
        }
}
