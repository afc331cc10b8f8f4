// The parallel driver end to end on the simulated printer port: program,
// read back, verify and a deliberate difference for each family, and
// norvoisp-cli with the LPT kind on the simulated port.
#include "errors/errors.h"
#include "lpt_rig.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct TCase {
    const char* Device;
    int Organisation;
    double MaxSeconds; // simulated time of program + read + verify
    // Through the ppdev backend over the kernel's driver simulated, as an
    // ordinary user reaches the computer's port.
    bool Ppdev = false;
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Device << (c.Ppdev ? " through ppdev" : "");
}

class LptEndToEnd : public ::testing::TestWithParam<TCase> {};

std::uint8_t Pattern(std::uint32_t i) {
    return static_cast<std::uint8_t>(i * 13 + (i >> 8) + 1);
}

TEST_P(LptEndToEnd, ProgramReadVerifyAndADifference) {
    const TCase c = GetParam();
    TSimLptSetup setup;
    setup.Ppdev = c.Ppdev;
    TLptRig rig(c.Device, setup, c.Organisation);
    rig.Open();
    if (c.Ppdev) {
        EXPECT_TRUE(rig.Port().PpdevCalls().Claimed("/dev/parport0"));
        EXPECT_EQ(rig.Port().Lpt().MaxLptMode(), LPT_PS2_MODE); // what ppdev leaves reachable
    }
    rig.FillBuffer(Pattern);
    rig.Driver.ProgramFlash(rig.Buffer);
    EXPECT_EQ(rig.Chip().Memory(), rig.Buffer.HexData);

    THexList back;
    back.SetSizeof(rig.Buffer.Size());
    rig.Driver.ReadFlash(back);
    EXPECT_EQ(back.HexData, rig.Buffer.HexData);
    EXPECT_NO_THROW(rig.Driver.VerifyFlash(rig.Buffer));
    EXPECT_LT(rig.Seconds(), c.MaxSeconds);

    rig.Chip().Memory()[5] ^= 0x10;
    EXPECT_THROW(rig.Driver.VerifyFlash(rig.Buffer), EVerifyError);
    EXPECT_EQ(rig.Buffer.GetStatus(5), TProgStatus(ps_failed));
    EXPECT_EQ(rig.Buffer.GetStatus(6), TProgStatus(ps_verified));
    if (c.Ppdev) {
        // Every access went through the requests, none around them.
        EXPECT_EQ(rig.Port().Io().Accesses(), 0u);
        EXPECT_GT(rig.Port().PpdevCalls().Calls(), 10000u);
    }
    rig.Driver.HardwareClose();
    if (c.Ppdev) {
        EXPECT_FALSE(rig.Port().PpdevCalls().Claimed("/dev/parport0"));
    }
}

INSTANTIATE_TEST_SUITE_P(Families, LptEndToEnd,
                         ::testing::Values(TCase{"24C256", 16, 20.0}, TCase{"25C040", 16, 2.0},
                                           TCase{"93C46", 16, 3.0}, TCase{"24C16", 16, 5.0, true},
                                           TCase{"93C46", 8, 3.0, true}),
                         [](const auto& Param) {
                             return std::string(Param.param.Device) + (Param.param.Ppdev ? "Ppdev" : "") +
                                    (Param.param.Organisation == 8 ? "x8" : "");
                         });

// ---------------------------------------------------------------- the command line

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

// norvoisp-cli with Args and extra environment, output into files; bounded
// by four minutes of real time.
TRun RunCli(const std::vector<std::string>& Args, const std::vector<std::string>& Env,
            const std::string& Dir) {
    std::vector<std::string> argv{CLI_PATH};
    argv.insert(argv.end(), Args.begin(), Args.end());
    std::vector<char*> rawArgs;
    for (auto& a : argv)
        rawArgs.push_back(a.data());
    rawArgs.push_back(nullptr);
    std::vector<std::string> env(Env);
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("NORVOISP_", 0) != 0) env.emplace_back(*e);
    std::vector<char*> rawEnv;
    for (auto& e : env)
        rawEnv.push_back(e.data());
    rawEnv.push_back(nullptr);

    const std::string out = Dir + "/out.txt", err = Dir + "/err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int r = posix_spawn(&pid, CLI_PATH, &actions, nullptr, rawArgs.data(), rawEnv.data());
    posix_spawn_file_actions_destroy(&actions);
    TRun run;
    if (r != 0) return run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto slurp = [](const std::string& f) {
        std::ifstream in(f);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    run.Out = slurp(out);
    run.Err = slurp(err);
    return run;
}

TEST(LptCli, ProgramsReadsAndVerifiesOnTheSimulatedPort) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("norvoisp-lptcli-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(dir);
    {
        std::ofstream hex(dir + "/sample.hex");
        hex << ":10001000000102030405060708090A0B0C0D0E0F68\n:00000001FF\n";
    }
    const std::vector<std::string> env{"NORVOISP_LPT_SIM=ecp", "NORVOISP_REGISTRY=" + dir + "/registry.reg",
                                       "NORVOISP_SIM_IMAGE=" + dir};
    TRun run = RunCli({"program", "--device", "24C16", "--hardware", "Norvo ISP (LPT)", "--file",
                       dir + "/sample.hex", "--quiet"},
                      env, dir);
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("EEPROM: Programming Complete - "), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("EEPROM: Verify Complete - "), std::string::npos) << run.Out;

    // The chip kept its memory in the image; another run reads it back,
    // with the unit's transcript in a file.
    std::vector<std::string> logged = env;
    logged.push_back("NORVOISP_SIM_TRANSCRIPT=" + dir + "/unit.log");
    run = RunCli({"read", "--device", "24C16", "--hardware", "norvo isp (lpt)", "--port", "LPT1", "--file",
                  dir + "/back.bin", "--quiet"},
                 logged, dir);
    EXPECT_EQ(run.Code, 0) << run.Err;
    std::ifstream in(dir + "/back.bin", std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(back.size(), 2048u);
    EXPECT_EQ(back.substr(0x10, 16),
              std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 16));

    std::ifstream log(dir + "/unit.log");
    const std::string transcript((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(transcript.find("identification after reset"), std::string::npos) << transcript.substr(0, 500);

    // A value the variable does not know fails the run with its reason.
    run = RunCli({"erase", "--device", "24C02", "--hardware", "Norvo ISP (LPT)"},
                 {"NORVOISP_LPT_SIM=yes", "NORVOISP_REGISTRY=" + dir + "/registry.reg"}, dir);
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err, "NORVOISP_LPT_SIM must be 1, ecp, epp, ps2, spp, 3bc or ppdev (it is \"yes\")\n");

    // The same port reached through ppdev.
    run = RunCli(
        {"verify", "--device", "24C16", "--hardware", "Norvo ISP (LPT)", "--file", dir + "/sample.hex",
         "--quiet"},
        {"NORVOISP_LPT_SIM=ppdev", "NORVOISP_REGISTRY=" + dir + "/registry.reg", "NORVOISP_SIM_IMAGE=" + dir},
        dir);
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("EEPROM: Verify Complete - "), std::string::npos) << run.Out;
    std::filesystem::remove_all(dir);
}

} // namespace
