#include "transcript.h"

#include <algorithm>
#include <cstdio>

void TTranscript::BeginCommand(std::uint64_t Index, TSimTime Time, std::uint8_t Letter) {
    if (FOpen) EndCommand();
    FCurrent = TExchange{};
    FCurrent.Kind = TExchangeKind::Command;
    FCurrent.Index = Index;
    FCurrent.Time = Time;
    FCurrent.Sent.push_back(Letter);
    FOpen = true;
}

void TTranscript::AddSent(std::uint8_t Byte) {
    if (FOpen) FCurrent.Sent.push_back(Byte);
}

void TTranscript::AddReceived(std::uint8_t Byte) {
    if (FOpen) FCurrent.Received.push_back(Byte);
}

void TTranscript::AddNote(const std::string& Note) {
    if (!FOpen) return;
    if (!FCurrent.Note.empty()) FCurrent.Note += "; ";
    FCurrent.Note += Note;
}

void TTranscript::EndCommand() {
    if (!FOpen) return;
    FOpen = false;
    Complete();
}

void TTranscript::AddUnasked(TSimTime Time, const std::vector<std::uint8_t>& Bytes, const std::string& Note) {
    if (FOpen) EndCommand();
    FCurrent = TExchange{};
    FCurrent.Kind = TExchangeKind::Unasked;
    FCurrent.Time = Time;
    FCurrent.Received = Bytes;
    FCurrent.Note = Note;
    Complete();
}

void TTranscript::AddEvent(TSimTime Time, const std::string& Note) {
    // During a command the event becomes a remark on it.
    if (FOpen) {
        AddNote(Note);
        return;
    }
    FCurrent = TExchange{};
    FCurrent.Kind = TExchangeKind::Event;
    FCurrent.Time = Time;
    FCurrent.Note = Note;
    Complete();
}

void TTranscript::Complete() {
    if (FSink) FSink(FCurrent);
    if (FKeep) FExchanges.push_back(FCurrent);
}

std::vector<TExchange> TTranscript::Commands() const {
    std::vector<TExchange> out;
    for (const auto& e : FExchanges)
        if (e.Kind == TExchangeKind::Command) out.push_back(e);
    return out;
}

std::vector<std::uint8_t> TTranscript::AllSent() const {
    std::vector<std::uint8_t> out;
    for (const auto& e : FExchanges)
        out.insert(out.end(), e.Sent.begin(), e.Sent.end());
    if (FOpen) out.insert(out.end(), FCurrent.Sent.begin(), FCurrent.Sent.end());
    return out;
}

std::vector<std::uint8_t> TTranscript::AllReceived() const {
    std::vector<std::uint8_t> out;
    for (const auto& e : FExchanges)
        out.insert(out.end(), e.Received.begin(), e.Received.end());
    if (FOpen) out.insert(out.end(), FCurrent.Received.begin(), FCurrent.Received.end());
    return out;
}

void TTranscript::Clear() {
    FExchanges.clear();
    FOpen = false;
}

namespace {

// Bytes as hex and as printable text, 16 per line after the arrow;
// continuation lines are indented by Indent + 1 spaces.
std::string Dump(const std::vector<std::uint8_t>& Bytes, char Arrow, std::size_t Indent) {
    std::string out(1, Arrow);
    for (std::size_t row = 0; row < Bytes.size(); row += 16) {
        if (row != 0) out += "\n" + std::string(Indent + 1, ' ');
        const std::size_t end = std::min(row + 16, Bytes.size());
        std::string text;
        for (std::size_t i = row; i < end; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", Bytes[i]);
            out += hex;
            text += (Bytes[i] >= 0x20 && Bytes[i] < 0x7F) ? static_cast<char>(Bytes[i]) : '.';
        }
        out += std::string((row + 16 - end) * 3, ' ') + "  " + text;
    }
    return out;
}

} // namespace

std::string TTranscript::Format(const TExchange& Exchange) {
    char head[48];
    const double seconds = std::chrono::duration<double>(Exchange.Time).count();
    if (Exchange.Kind == TExchangeKind::Command)
        std::snprintf(head, sizeof head, "#%-6llu %12.6fs ", static_cast<unsigned long long>(Exchange.Index),
                      seconds);
    else
        std::snprintf(head, sizeof head, "%-7s %12.6fs ", "", seconds);
    const std::string lead(head);
    const std::string pad(lead.size(), ' ');
    std::string out = lead;
    switch (Exchange.Kind) {
    case TExchangeKind::Command:
        out += Dump(Exchange.Sent, '>', lead.size());
        if (!Exchange.Received.empty()) out += "\n" + pad + Dump(Exchange.Received, '<', pad.size());
        if (!Exchange.Note.empty()) out += "\n" + pad + "! " + Exchange.Note;
        break;
    case TExchangeKind::Unasked:
        out += Dump(Exchange.Received, '<', lead.size());
        if (!Exchange.Note.empty()) out += "\n" + pad + "! " + Exchange.Note;
        break;
    case TExchangeKind::Event:
        out += "! " + Exchange.Note;
        break;
    }
    return out + "\n";
}

std::string TTranscript::ToString() const {
    std::string out;
    for (const auto& e : FExchanges)
        out += Format(e);
    if (FOpen) out += Format(FCurrent);
    return out;
}
