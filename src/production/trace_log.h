// The traceability log: a file of JSON lines, one object per line, only ever
// appended to.
//
// Each record goes to the disk whole before the next part starts: the line
// (with its end) is written by one write() under an exclusive flock, then
// fsync'd. Several processes (the units of one run, the window) may share a
// log. A crash can only ever tear the line being written; the next append
// finds the tail of the file without its line end, cuts that fragment off
// (it never became a record) and writes a "torn" record in its place that
// holds the fragment's text, so the file is a valid JSON-lines file again
// and nothing that was lost goes unnoticed. Records before it are never
// touched, and never more than one torn line is cut: a file whose end is
// not what this program writes is refused (only its last lines are read).
//
// Reading a log: every line is one JSON object; "record" says which kind:
// "part" (TraceRecordJson) or "torn" ({"record":"torn","time":...,
// "host":...,"bytes":N,"text":"..."}). A reader that meets a line without
// its end (a crash while it reads, or one no writer repaired yet) skips it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

class TTraceLog {
  public:
    explicit TTraceLog(std::string FileName);

    const std::string& FileName() const { return FFileName; }

    // Appends Record as one line and flushes it to the disk (file and, when
    // the file is new, its folder). Raises EISPException "Traceability log:
    // <file>: <reason>" when it cannot; a failed write leaves no partial
    // line behind where the file system lets it be cut off. A file that is
    // not such a log (its last line no JSON object, or more after it than
    // one torn line: a data file named by mistake) is refused untouched.
    void Append(const nlohmann::ordered_json& Record) const;
    // Raises as Append would for a file that is not a log; a missing file
    // is a new log. Changes nothing.
    void Check() const;

  private:
    std::string FFileName;
};

// The complete lines of a log, parsed; a line that is not a JSON object (a
// torn tail) is skipped, and counted in Skipped when given.
std::vector<nlohmann::ordered_json> ReadTraceLog(const std::string& FileName, int* Skipped = nullptr);
