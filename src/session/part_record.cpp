#include "session/part_record.h"

#include "production/local_time.h"
#include "production/trace_log.h"
#include "session/device_session.h"

#include <chrono>

TPartRecord::TPartRecord(const TDeviceSession& Session, const std::string& Program, int Unit) {
    FRecord.Time = Iso8601LocalTime(std::chrono::system_clock::now());
    FRecord.Host = HostName();
    FRecord.Program = Program;
    FRecord.Hardware = Session.Driver() ? Session.Driver()->HardwareName() : Session.KindName();
    FRecord.Port = Session.PortName();
    FRecord.Unit = Unit;
    FRecord.Device = Session.Device() ? Session.Device()->DeviceName() : std::string();
}

void TPartRecord::SetDataFile(const std::string& AbsolutePath, const std::string& Sha256) {
    FRecord.DataFile = AbsolutePath;
    FRecord.DataFileSha256 = Sha256;
}

void TPartRecord::SetSerial(const THexList& Buffer, const TSerialPlacement& Placement) {
    if (std::uint64_t(Placement.Address) + std::uint64_t(Placement.Bytes) > Buffer.Size()) return;
    TTraceSerial serial{Placement.Value, Placement.Address, {}};
    for (int k = 0; k < Placement.Bytes; ++k)
        serial.Bytes.push_back(Buffer.HexData[Placement.Address + static_cast<std::uint32_t>(k)]);
    FRecord.Serial = serial;
}

void TPartRecord::TakeImage(const THexList& Buffer) {
    FRecord.Image = BufferChecksums(Buffer);
}

void TPartRecord::Finish(bool Passed, const std::string& Failure, const THexList* Buffer, double Seconds) {
    FRecord.Passed = Passed;
    FRecord.Failure = Passed ? std::string() : Failure;
    if (Buffer) CountFailedBytes(*Buffer, FRecord);
    FRecord.DurationSeconds = Seconds;
}

nlohmann::ordered_json TPartRecord::JsonAfter(double Seconds) const {
    TTraceRecord now = FRecord;
    now.DurationSeconds = Seconds;
    return TraceRecordJson(now);
}

void TPartRecord::AppendTo(const std::string& File) const {
    TTraceLog(File).Append(TraceRecordJson(FRecord));
}
