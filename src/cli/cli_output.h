// Where a command's lines go. As text: status lines on standard output,
// warnings on standard error, as the program has always printed them. With
// --json: one JSON object per line on standard output, for every status
// line {"type":"status","level":"busy"|"ok"|"warning"|"info","text":...}
// and at the end one {"type":"result",...}; nothing on standard error.
#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>
#include <string>

class TCliOutput {
  public:
    TCliOutput(std::ostream& Out, std::ostream& Err, bool Json);

    bool Json() const { return FJson; }
    std::ostream& Out() const { return FOut; }
    std::ostream& Err() const { return FErr; }

    // Fields added to every status object (the unit and port of one unit
    // in a run over several).
    void SetTag(nlohmann::ordered_json Tag) { FTag = std::move(Tag); }

    // An operation begins ("EEPROM: Programming").
    void Busy(const std::string& Text) const;
    // It ended well ("EEPROM: Programming Complete - 00:01").
    void Ok(const std::string& Text) const;
    // It failed: standard error as text.
    void Warning(const std::string& Text) const;
    // A line of the status list (file loaded, a verify difference, ...).
    void Info(const std::string& Text) const;
    // Several lines of text at once, each reported as Level.
    void Lines(const std::string& Text, const char* Level) const;
    // The final result object; nothing as text.
    void Result(nlohmann::ordered_json Result) const;

  private:
    void Emit(const char* Level, const std::string& Text) const;
    // The line as text on Stream, or as a status object.
    void Print(const char* Level, const std::string& Text, std::ostream& Stream) const;

    std::ostream& FOut;
    std::ostream& FErr;
    bool FJson;
    nlohmann::ordered_json FTag = nlohmann::ordered_json::object();
};

// A JSON object as one line.
std::string JsonLine(const nlohmann::ordered_json& Object);
