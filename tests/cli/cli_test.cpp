#include "catalogue/device_list.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> FirstColumn(const std::string& text) {
    std::vector<std::string> names;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line))
        names.push_back(line.substr(0, line.find(' ')));
    return names;
}

TEST(CliDevices, FamilyFilterKeepsCatalogueOrder) {
    auto r = Cli({"devices", "--family", "93c"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(FirstColumn(r.out),
              (std::vector<std::string>{"93C06", "93C46", "93C56", "93C57", "93C66", "93C76", "93C86"}));
    EXPECT_NE(r.out.find("93C76       93C         1024    32         2"), std::string::npos) << r.out;

    // Every device, the SPI flash parts after the 53 EEPROMs with their family's name.
    r = Cli({"devices"});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(FirstColumn(r.out).size(), static_cast<std::size_t>(DeviceList().NumDevices()));
    EXPECT_NE(r.out.find("W25Q128JV   SPI Flash 16777216   256         0"), std::string::npos) << r.out;
    EXPECT_EQ(FirstColumn(Cli({"devices", "--family=25C"}).out).size(), 23u);
}

TEST(CliDevices, UsageErrorsExitTwo) {
    for (auto args : std::vector<std::vector<std::string>>{{"devices", "--family", "26C"},
                                                           {"devices", "--family"},
                                                           {"devices", "--bogus"},
                                                           {"devices", "extra"},
                                                           {"nosuchcommand"},
                                                           {}}) {
        auto r = Cli(args);
        EXPECT_EQ(r.code, 2) << r.out;
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(Cli, HelpAndVersion) {
    auto r = Cli({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("devices"), std::string::npos);
    r = Cli({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("norvoisp-cli ", 0), 0u);
    EXPECT_EQ(Cli({"devices", "--help"}).code, 0);
}

// The kinds as the table lists them, in the listing, in --help and in the
// error for a kind that is not there: a kind added to the table reaches
// all three without a front end naming it.
TEST(CliHardware, TheKindTableIsListedEverywhereAKindIsNamed) {
    const std::vector<std::string> kinds{"Norvo ISP (LPT)", "Norvo ISP (COM)", "CH341A (USB)",
                                         "Norvo ISP (SIM)"};
    auto r = Cli({"hardware"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::size_t at = 0;
    for (const auto& k : kinds) {
        const auto found = r.out.find(k, at);
        ASSERT_NE(found, std::string::npos) << k << "\n" << r.out;
        at = found;
    }
    for (const char* line :
         {"Norvo ISP (COM) (default)\n  port:  COMn or a device path such as /dev/ttyUSB0\n",
          "Norvo ISP (LPT)\n  port:  LPT1, LPT2 or LPT3\n", "Norvo ISP (SIM)\n  port:  none\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_EQ(Cli({"hardware", "extra"}).code, 2);

    r = Cli({"--help"});
    for (const auto& k : kinds)
        EXPECT_NE(r.out.find("  \"" + k + "\""), std::string::npos) << k;

    r = Cli({"erase", "--device", "24C02", "--hardware", "Norvo ISP (USB)"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(
        r.err.substr(0, r.err.find('\n')),
        "norvoisp-cli erase: unknown hardware \"Norvo ISP (USB)\" (\"Norvo ISP (LPT)\", \"Norvo ISP (COM)\", "
        "\"CH341A (USB)\" or \"Norvo ISP (SIM)\"; see norvoisp-cli hardware)");
}

} // namespace
