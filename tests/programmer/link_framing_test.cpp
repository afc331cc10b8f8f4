// Command framing, acknowledgements, the unit's error codes and the bounded
// waits of the serial byte layer, against the simulated unit.
#include "errors/errors.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

namespace {

TCommandFault Fault(char Letter, std::uint8_t Byte, TCommandFault::TKind Kind = TCommandFault::TKind::Error) {
    TCommandFault f;
    f.Kind = Kind;
    f.Letter = Letter;
    f.Nth = 1;
    f.Byte = Byte;
    return f;
}

// What a command raises: the exception's type name and message.
std::pair<std::string, std::string> Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const EISPException& e) {
        EXPECT_EQ(e.HardwareName, "NORVO ISP (SIM)");
        EXPECT_FALSE(e.Important());
        return {"EISPException", e.Message()};
    } catch (const EVerifyError& e) {
        return {"EVerifyError", e.Message()};
    } catch (const EComError& e) {
        return {"EComError", e.Message()};
    }
    return {"", ""};
}

TEST(LinkFraming, EveryUnitErrorCodeBecomesItsException) {
    struct TCase {
        std::uint8_t Code;
        const char* Type;
        const char* Message;
    };
    const TCase cases[] = {
        {'!', "EISPException", "Command not known here"},
        {'#', "EISPException", "Invalid number sent"},
        {'%', "EISPException", "BlankCheck Failed"},
        {'M', "EISPException", "illegal attempt to use microwire"},
        {'T', "EISPException", "Program/erase BUSY timed out"},
        {'V', "EVerifyError", "Your target device failed verification"},
        {'m', "EISPException", "Microwire exchange out of sync"},
        {'A', "EISPException", "Communications with ISP failed during this operation"}, // not in the table
    };
    for (const auto& c : cases) {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().CommandFaults.push_back(Fault('X', c.Code));
        const auto [type, message] = Raised([&] { rig.Driver->Start(); });
        EXPECT_EQ(type, c.Type) << c.Code;
        EXPECT_EQ(message, c.Message) << c.Code;
        // The link stays in step: the next command is acknowledged normally.
        EXPECT_NO_THROW(rig.Driver->Stop()) << c.Code;
    }
}

TEST(LinkFraming, TheOpenFirmwaresCodesAndTheResynchronisation) {
    // "H": the bus cannot be driven. "O" and "I": the unit dropped received
    // bytes and waits for a probe after a quiet line, which the driver
    // sends before it raises the error.
    struct TCase {
        std::uint8_t Code;
        const char* MessageStart;
        bool Probe;
    };
    const TCase cases[] = {
        {'H', "no pull-up on SDA/SCL or a chip holds the bus - fit 4.7 k", false},
        {'O', "Bytes were lost on the link (the unit's receive buffer overflowed)", true},
        {'I', "A command reached the unit incomplete and was dropped", true},
    };
    for (const auto& c : cases) {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().CommandFaults.push_back(Fault('X', c.Code));
        const std::size_t before = rig.Commands().size();
        const auto [type, message] = Raised([&] { rig.Driver->Start(); });
        EXPECT_EQ(type, "EISPException") << c.Code;
        EXPECT_EQ(message.rfind(c.MessageStart, 0), 0u) << message;
        const auto after = rig.Commands();
        EXPECT_EQ(after.size() - before, c.Probe ? 2u : 1u) << c.Code;
        if (c.Probe) {
            EXPECT_EQ(after.back(), "*") << c.Code;
        }
        EXPECT_NO_THROW(rig.Driver->Stop()) << c.Code;
    }
    // Pipelined, in the middle of a program: the acknowledgements still due
    // are not waited for, and the next operation runs normally.
    TUnitConfig unit;
    unit.BuffersCommands = true;
    unit.Faults.CommandFaults.push_back({TCommandFault::TKind::Error, 'W', 3, 'O'});
    TSimRig rig("24C02", unit);
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    const auto [type, message] = Raised([&] { rig.Driver->ProgramFlash(rig.Buffer); });
    EXPECT_EQ(message.rfind("Bytes were lost on the link", 0), 0u) << message;
    rig.Driver->Unit().Faults().CommandFaults.clear();
    EXPECT_NO_THROW(rig.Driver->ProgramFlash(rig.Buffer));
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);
}

TEST(LinkFraming, AnAcknowledgementOtherThanCarriageReturnFails) {
    for (std::uint8_t ack : {std::uint8_t{0x0A}, std::uint8_t{'x'}, std::uint8_t{0x00}}) {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().CommandFaults.push_back(
            Fault('w', ack, TCommandFault::TKind::Acknowledge));
        rig.Driver->Start();
        EXPECT_EQ(Raised([&] { rig.Driver->writebyte(0xA0); }).second,
                  "Communications with ISP failed during this operation");
    }
}

TEST(LinkFraming, ReplyAndAcknowledgementOfReadingCommands) {
    TSimRig rig("24C02");
    rig.Open();
    EXPECT_EQ(rig.Driver->readstring('S', 9), "VORIZORUV");
    EXPECT_EQ(rig.Driver->readstring('V', 4), "0102");
    EXPECT_EQ(rig.Driver->GetFirmwareVers(), "000A");
    EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"S", "V", "v"}));
    // A reply that ends in "?" + code after its filler fails with the code's message.
    rig.Driver->Unit().Faults().CommandFaults.push_back(Fault('V', 'T'));
    EXPECT_EQ(Raised([&] { rig.Driver->readstring('V', 4); }).second, "Program/erase BUSY timed out");
}

TEST(LinkFraming, WaitsAreBoundedOnTheLinkClock) {
    // A unit that stops answering: an acknowledgement must start within 1 s.
    {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().HangAfterBytes = rig.Driver->Unit().BytesReceived();
        const double t0 = rig.Seconds();
        const double l0 = rig.Driver->Link().Clock().Seconds();
        EXPECT_EQ(Raised([&] { rig.Driver->Start(); }).second, "ISP timed out during operation");
        const double waited = rig.Driver->Link().Clock().Seconds() - l0;
        EXPECT_GE(waited, 1.0);
        EXPECT_LT(waited, 1.01);
        EXPECT_GE(rig.Seconds(), t0);
    }
    // An expected reply byte must come within 2 s.
    {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().HangAfterBytes = rig.Driver->Unit().BytesReceived();
        const double l0 = rig.Driver->Link().Clock().Seconds();
        EXPECT_EQ(Raised([&] { rig.Driver->readstring('S', 9); }).second,
                  "Communications with ISP failed during this operation");
        const double waited = rig.Driver->Link().Clock().Seconds() - l0;
        EXPECT_GE(waited, 2.0);
        EXPECT_LT(waited, 2.01);
    }
    // A page read that stops short ends with the port's "Timeout".
    {
        TSimRig rig("24C02");
        rig.Open();
        rig.Driver->Unit().Faults().HangAfterBytes = rig.Driver->Unit().BytesReceived();
        rig.Driver->PageReadTimeout = std::chrono::milliseconds(700);
        const double l0 = rig.Driver->Link().Clock().Seconds();
        EXPECT_EQ(Raised([&] { rig.Driver->readpage(16); }),
                  (std::pair<std::string, std::string>{"EComError", "Timeout"}));
        EXPECT_LT(rig.Driver->Link().Clock().Seconds() - l0, 0.71);
    }
}

TEST(LinkFraming, ACableCutInAPageLeavesTheRestUnsent) {
    TSimRig rig("24C02");
    rig.Open();
    rig.FillBuffer([](int i) { return static_cast<std::uint8_t>(i); });
    TUnitFaults& faults = rig.Driver->Unit().Faults();
    faults.CutInPage = TPageCut{3, 2}; // the third page command, after two data bytes
    EXPECT_EQ(Raised([&] { rig.Driver->ProgramFlash(rig.Buffer); }).second, "ISP timed out during operation");
    const auto sent = rig.Commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const std::string& s) { return s[0] == 'W'; }), 2);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "$"), 0);
    // Two pages reached the chip; the cut one did not.
    EXPECT_EQ(rig.Chip().Memory()[7], 7);
    EXPECT_EQ(rig.Chip().Memory()[8], 0xFF);
}

} // namespace
