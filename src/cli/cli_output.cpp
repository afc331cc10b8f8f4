#include "cli/cli_output.h"

#include <ostream>
#include <sstream>

std::string JsonLine(const nlohmann::ordered_json& Object) {
    return Object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

TCliOutput::TCliOutput(std::ostream& Out, std::ostream& Err, bool Json) : FOut(Out), FErr(Err), FJson(Json) {}

void TCliOutput::Emit(const char* Level, const std::string& Text) const {
    nlohmann::ordered_json j = {{"type", "status"}, {"level", Level}, {"text", Text}};
    for (const auto& [k, v] : FTag.items())
        j[k] = v;
    FOut << JsonLine(j) << std::endl;
}

void TCliOutput::Print(const char* Level, const std::string& Text, std::ostream& Stream) const {
    if (FJson)
        Emit(Level, Text);
    else
        Stream << Text << std::endl;
}

void TCliOutput::Busy(const std::string& Text) const {
    Print("busy", Text, FOut);
}

void TCliOutput::Ok(const std::string& Text) const {
    Print("ok", Text, FOut);
}

void TCliOutput::Warning(const std::string& Text) const {
    Print("warning", Text, FErr);
}

void TCliOutput::Info(const std::string& Text) const {
    Print("info", Text, FOut);
}

void TCliOutput::Lines(const std::string& Text, const char* Level) const {
    std::istringstream in(Text);
    std::string line;
    const std::string level = Level;
    while (std::getline(in, line)) {
        if (level == "warning")
            Warning(line);
        else if (level == "ok")
            Ok(line);
        else
            Info(line);
    }
}

void TCliOutput::Result(nlohmann::ordered_json Result) const {
    if (!FJson) return;
    nlohmann::ordered_json j = {{"type", "result"}};
    for (const auto& [k, v] : FTag.items())
        j[k] = v;
    for (const auto& [k, v] : Result.items())
        j[k] = v;
    FOut << JsonLine(j) << std::endl;
}
