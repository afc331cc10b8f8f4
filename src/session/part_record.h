// The production step's record of one part, as Auto Program and norvoisp-cli
// program both keep it: the head from the session (time, host, program,
// the kind in use and its port, the unit, the device), the data file, the
// image as it goes into the part (its checksums, the serial number it
// carries), the steps that ran, and the end (passed, or the failure; the
// verify outcome kept in the buffer's per-byte status; the time), appended
// to the traceability log.
#pragma once

#include "buffer/hex_list.h"
#include "production/trace_record.h"

#include <cstdint>
#include <string>

class TDeviceSession;

// Where a serial number was written into a buffer.
struct TSerialPlacement {
    std::uint32_t Value = 0;
    std::uint32_t Address = 0;
    int Bytes = 2; // 2, 3 or 4, most significant first
};

class TPartRecord {
  public:
    // The head as the session stands now. Program: "norvoisp" or
    // "norvoisp-cli"; Unit: the unit's number in a run over several, 0 alone.
    TPartRecord(const TDeviceSession& Session, const std::string& Program, int Unit = 0);

    const TTraceRecord& Record() const { return FRecord; }
    nlohmann::ordered_json Json() const { return TraceRecordJson(FRecord); }

    // The data file: its absolute path and the SHA-256 of its bytes ("" when
    // unknown).
    void SetDataFile(const std::string& AbsolutePath, const std::string& Sha256);
    // The serial number the buffer carries at Placement, with its bytes as
    // they stand in Buffer; none when it does not fit in the buffer.
    void SetSerial(const THexList& Buffer, const TSerialPlacement& Placement);
    // The image as it goes into the part: Buffer's checksums.
    void TakeImage(const THexList& Buffer);
    void AddStep(const std::string& Name) { FRecord.Steps.push_back(Name); }
    // The run is over: passed, or the failure's text; the verify outcome
    // from Buffer's per-byte status when given; the run's time.
    void Finish(bool Passed, const std::string& Failure, const THexList* Buffer, double Seconds);
    // The record as it stands after Seconds, for a run that may be cut
    // short before it ends.
    nlohmann::ordered_json JsonAfter(double Seconds) const;
    // Appends the record to the log in File; raises EISPException when it
    // cannot.
    void AppendTo(const std::string& File) const;

  private:
    TTraceRecord FRecord;
};
