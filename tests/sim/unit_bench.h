// A unit on an in-process serial line, with helpers to talk to it the way
// the PC does.
#pragma once

#include "byte_link.h"
#include "chips/chip_factory.h"
#include "unit.h"

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>

// Bytes from a list of numbers and characters: B({'W', 4, 0x11, 0x22}).
inline std::string B(std::initializer_list<int> Bytes) {
    std::string s;
    for (int b : Bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

struct TUnitBench {
    TProgrammerUnit unit;
    TByteLink link;

    explicit TUnitBench(TUnitConfig Config = {}, TByteLinkConfig Line = {})
        : unit(std::move(Config)), link(unit, Line) {}

    TSimChip& Insert(const std::string& Name, TChipOptions Options = {}) {
        unit.InsertChip(MakeChip(Name, Options));
        return *unit.Chip();
    }
    // Sends the bytes and returns everything the unit answers to them; the
    // clock moves only to the arrival of the last reply byte.
    std::string Cmd(std::string_view Bytes) {
        link.Write(Bytes);
        return ReadAll();
    }
    std::string ReadAll() {
        const auto got = link.Read(link.UnreadCount(), std::chrono::seconds(1));
        return {got.begin(), got.end()};
    }
    // Sends every command of the list and expects a bare acknowledgement
    // for each; returns the replies that differ, for the assertion message.
    std::string AllAcknowledged(std::initializer_list<std::string> Commands) {
        std::string wrong;
        for (const auto& c : Commands) {
            const std::string reply = Cmd(c);
            if (reply != "\r") wrong += "[" + c + "] -> [" + reply + "] ";
        }
        return wrong;
    }
};
