// Record of everything that crossed the unit's connector: each command with
// its argument bytes and the unit's reply, output the unit sent unasked, and
// events (reset, line changes, faults). Tests assert exact sequences on it;
// the pty tool prints it to a file.
#pragma once

#include "virtual_clock.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class TExchangeKind : std::uint8_t {
    Command, // PC sent a command; Sent = letter + arguments, Received = reply + acknowledgement
    Unasked, // the unit sent bytes on its own (identification after a reset)
    Event    // something happened on the link or in the unit; see Note
};

struct TExchange {
    TExchangeKind Kind = TExchangeKind::Command;
    std::uint64_t Index = 0; // command number, 1-based since the unit was made; 0 otherwise
    TSimTime Time{0};        // unit time of the first byte or of the event
    std::vector<std::uint8_t> Sent;
    std::vector<std::uint8_t> Received;
    std::string Note; // event text, or a remark on the command (fault applied, abandoned)

    // The command letter (first byte sent); 0 when there is none.
    char Letter() const { return Sent.empty() ? '\0' : static_cast<char>(Sent.front()); }
};

class TTranscript {
  public:
    using TSink = std::function<void(const TExchange&)>;

    // Building (the unit calls these).
    void BeginCommand(std::uint64_t Index, TSimTime Time, std::uint8_t Letter);
    void AddSent(std::uint8_t Byte);
    void AddReceived(std::uint8_t Byte);
    void AddNote(const std::string& Note);
    // Closes the open command and hands it to the sink.
    void EndCommand();
    void AddUnasked(TSimTime Time, const std::vector<std::uint8_t>& Bytes, const std::string& Note);
    // An event; while a command is open it is noted on that command instead.
    void AddEvent(TSimTime Time, const std::string& Note);

    // Reading: the completed exchanges (kept only while SetKeep is on).
    const std::vector<TExchange>& Exchanges() const { return FExchanges; }
    // The command still being received or answered; nullptr when none.
    const TExchange* Open() const { return FOpen ? &FCurrent : nullptr; }
    // Only the completed commands, in order.
    std::vector<TExchange> Commands() const;
    // Every byte the PC sent / the unit sent, in order (open command included).
    std::vector<std::uint8_t> AllSent() const;
    std::vector<std::uint8_t> AllReceived() const;
    void Clear();

    // Keep exchanges in memory (default); a long-running tool streams them
    // to a sink instead.
    void SetKeep(bool Keep) { FKeep = Keep; }
    // Called with every exchange once it is complete.
    void SetSink(TSink Sink) { FSink = std::move(Sink); }

    // Printable form, one exchange per block:
    //   "#12 0.004321s > 57 04 11 22 33 44 | W..\"3D" then "   < 0D | ."
    static std::string Format(const TExchange& Exchange);
    std::string ToString() const;

  private:
    void Complete();

    std::vector<TExchange> FExchanges;
    bool FOpen = false;
    bool FKeep = true;
    TExchange FCurrent; // the open command
    TSink FSink;
};
