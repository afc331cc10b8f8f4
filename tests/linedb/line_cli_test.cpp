// Stations of a production line as the operator runs them: norvoisp-cli
// program processes with several simulated units each, sharing one serial
// series in the fixture's PostgreSQL cluster; a station killed in mid-part,
// the server away for 10 s, a lease used up meanwhile, a wrong password
// and an unreachable server, and line-report's figures against the logs.
#include "pg_test_cluster.h"

#include "common/temp_dir.h"
#include "linedb/pg_connection.h"
#include "production/trace_log.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using json = nlohmann::ordered_json;
const std::string kSample = NORVOISP_SOURCE_DIR "/samples/config_block_24c02.hex";

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

std::string Slurp(const std::string& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class LineCli : public ::testing::Test {
  protected:
    void SetUp() override { FName = FCluster.FreshDatabase("c_"); }
    void TearDown() override {
        FCluster.Resume(); // a failed outage test leaves the server running for the others
    }

    // norvoisp-cli as its own process, started now; Baud the simulated line.
    pid_t Start(const std::vector<std::string>& Args, const std::string& Tag, const std::string& Extra = {}) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("NORVOISP_", 0) != 0) env.push_back(v);
        }
        env.push_back("NORVOISP_REGISTRY=" + FDir.File("registry.reg"));
        env.push_back("NORVOISP_SIM_BAUD=0");
        if (!Extra.empty()) env.push_back(Extra);
        env.push_back("NORVOISP_PORT_DEVICE=/nonexistent/norvoisp-test/port");
        std::vector<std::string> argv{NORVOISP_CLI};
        argv.insert(argv.end(), Args.begin(), Args.end());
        std::vector<char*> a, e;
        for (auto& s : argv)
            a.push_back(s.data());
        a.push_back(nullptr);
        for (auto& s : env)
            e.push_back(s.data());
        e.push_back(nullptr);
        const std::string out = FDir.File(Tag + ".out"), err = FDir.File(Tag + ".err");
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int r = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(r, 2);
            ::execve(a[0], a.data(), e.data());
            ::_exit(127);
        }
        return pid;
    }
    TRun Wait(pid_t Pid, const std::string& Tag) {
        int status = 0;
        ::waitpid(Pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                Slurp(FDir.File(Tag + ".out")), Slurp(FDir.File(Tag + ".err"))};
    }
    TRun Run(const std::vector<std::string>& Args, const std::string& Tag = "run") {
        return Wait(Start(Args, Tag), Tag);
    }

    // A station's program command: Units simulated units, its own lease and log.
    std::vector<std::string> Program(const std::string& Station, int Units, int Lease,
                                     const std::string& Db = {}) const {
        std::vector<std::string> a{"program", "--hardware", "norvo isp (sim)", "--device", "24C02",
                                   "--file",  kSample};
        for (int u = 0; u < Units; ++u)
            a.insert(a.end(), {"--port", std::string(1, static_cast<char>('A' + u))});
        a.insert(a.end(), {"--serial-at", "0x40", "--serial-bytes", "3", "--serial", "1000", "--serial-file",
                           Lease_(Station), "--log", Log(Station), "--line-db",
                           Db.empty() ? FCluster.Station(FName) : Db, "--station", Station, "--serial-lease",
                           std::to_string(Lease)});
        return a;
    }
    std::string Log(const std::string& Station) const { return FDir.File(Station + ".jsonl"); }
    std::string Lease_(const std::string& Station) const { return FDir.File(Station + ".lease"); }

    // The database's parts: (station, seq) -> (result, serial or -1).
    std::map<std::pair<std::string, long long>, std::pair<std::string, long long>> Parts() const {
        TPgConnection db(FCluster.Station(FName));
        const TPgResult r = db.Exec("SELECT station, seq, result, coalesce(serial, -1) FROM parts");
        std::map<std::pair<std::string, long long>, std::pair<std::string, long long>> parts;
        for (int i = 0; i < r.Rows(); ++i)
            parts[{r.Text(i, 0), r.Int(i, 1)}] = {r.Text(i, 2), r.Int(i, 3)};
        return parts;
    }
    // The same from a station's log (seq: the record's line).
    void AddLog(const std::string& Station,
                std::map<std::pair<std::string, long long>, std::pair<std::string, long long>>& Parts) const {
        long long seq = 0;
        for (const auto& r : ReadTraceLog(Log(Station))) {
            ++seq;
            if (r["record"] != "part") continue;
            Parts[{Station, seq}] = {r["result"].get<std::string>(),
                                     r["serial"].is_object() ? r["serial"]["value"].get<long long>() : -1};
        }
    }
    json Report(const std::vector<std::string>& Extra = {}) {
        std::vector<std::string> a{"line-report", "--line-db", FCluster.Reader(FName), "--json"};
        a.insert(a.end(), Extra.begin(), Extra.end());
        const TRun r = Run(a, "report");
        EXPECT_EQ(r.Code, 0) << r.Err;
        return json::parse(r.Out, nullptr, false);
    }
    void GrantReader() const {
        TPgConnection owner(FCluster.Admin() + " dbname=" + FName);
        owner.ExecScript("GRANT CONNECT ON DATABASE " + FName +
                         " TO line_reader; GRANT USAGE ON SCHEMA public TO line_reader;"
                         "GRANT SELECT ON ALL TABLES IN SCHEMA public TO line_reader;");
    }

    TTestCluster FCluster;
    TTempDir FDir{"linecli"};
    std::string FName;
};

// Four stations of four units each, 200 parts in all, one series: every
// number at most once, every part exactly one row, logs and table agree.
TEST_F(LineCli, FourStationsOfFourUnitsShareOneSeriesAndTheReportAddsUp) {
    const std::vector<std::string> stations{"S1", "S2", "S3", "S4"};
    std::vector<std::thread> lines;
    std::vector<int> failed(4, 0);
    for (std::size_t s = 0; s < stations.size(); ++s)
        lines.emplace_back([&, s] {
            for (int round = 0; round < 13; ++round) { // 12 x 4 + 2 = 50 parts
                const std::string tag = stations[s] + "-" + std::to_string(round);
                const TRun r = Run(Program(stations[s], round == 12 ? 2 : 4, 7), tag);
                if (r.Code != 0) {
                    ++failed[s];
                    ADD_FAILURE() << tag << ": " << r.Err << r.Out;
                }
            }
        });
    for (auto& t : lines)
        t.join();
    ASSERT_EQ(failed, std::vector<int>(4, 0));

    const auto parts = Parts();
    std::map<std::pair<std::string, long long>, std::pair<std::string, long long>> logged;
    for (const auto& s : stations)
        AddLog(s, logged);
    EXPECT_EQ(parts.size(), 200u);
    EXPECT_EQ(parts, logged) << "every record of every log exactly once";
    std::set<long long> serials;
    for (const auto& [key, part] : parts) {
        EXPECT_EQ(part.first, "passed");
        EXPECT_TRUE(serials.insert(part.second).second) << "serial " << part.second << " twice";
    }
    EXPECT_EQ(serials.size(), 200u);

    GrantReader();
    const json report = Report();
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["parts_passed"], 200);
    EXPECT_EQ(report["parts_failed"], 0);
    ASSERT_EQ(report["stations"].size(), 4u);
    for (const auto& s : report["stations"]) {
        EXPECT_EQ(s["passed"], 50) << s.dump();
        EXPECT_EQ(s["devices"][0]["device"], "24C02");
    }
    long long used = 0, first = 1 << 30, last = 0;
    for (const auto& r : report["serials_used"]) {
        used += r["count"].get<long long>();
        first = std::min(first, r["first"].get<long long>());
        last = std::max(last, r["last"].get<long long>());
    }
    EXPECT_EQ(used, 200);
    EXPECT_EQ(first, 1000);
    EXPECT_EQ(report["serial_gaps"].size(), 0u) << "no lease expired with numbers left";
    EXPECT_EQ(Report({"--station", "S3"})["parts_passed"], 50);
    EXPECT_EQ(Report({"--since", "2999-01-01"})["parts_passed"], 0);
    // As text.
    const TRun text = Run({"line-report", "--line-db", FCluster.Reader(FName)}, "text");
    EXPECT_NE(text.Out.find("S4       24C02             50       0  100.0 %\n"), std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find("Parts: 200 passed, 0 failed, yield 100.0 %\n"), std::string::npos) << text.Out;
}

// A station killed in mid-part: the number it took is never given again,
// and when its lease is renewed the number is recorded as a gap.
TEST_F(LineCli, AStationKilledInMidPartNeverRepeatsItsNumber) {
    // The unit's transcript goes into a small pipe that the test stops
    // draining once the part has its number: the unit is then held in the
    // middle of programming, and killed there.
    const std::string fifo = FDir.File("transcript");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::fcntl(reader, F_SETPIPE_SZ, 4096);
    std::atomic<bool> drain{true};
    std::thread drainer([&] {
        char block[512];
        while (drain) {
            if (::read(reader, block, sizeof block) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const pid_t pid = Start(Program("K", 1, 3), "killed", "NORVOISP_SIM_TRANSCRIPT=" + fifo);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Slurp(FDir.File("killed.out")).find("Serial Number: 1000") == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    drain = false;
    drainer.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the pipe fills
    ASSERT_NE(Slurp(FDir.File("killed.out")).find("Serial Number: 1000"), std::string::npos)
        << Slurp(FDir.File("killed.err"));
    ::kill(pid, SIGKILL);
    const TRun killed = Wait(pid, "killed");
    ::close(reader);
    ASSERT_EQ(killed.Code, 128 + SIGKILL);
    EXPECT_EQ(killed.Out.find("EEPROM: Verify Complete"), std::string::npos) << "killed before its end";
    for (int i = 0; i < 3; ++i) { // 1001, 1002, then a new lease from 1003
        const TRun r = Run(Program("K", 1, 3));
        ASSERT_EQ(r.Code, 0) << r.Err << r.Out;
        EXPECT_NE(r.Out.find("Serial Number: " + std::to_string(1001 + i)), std::string::npos) << r.Out;
    }
    GrantReader();
    const json report = Report();
    EXPECT_EQ(report["parts_passed"], 3);
    EXPECT_EQ(report["serials_used"].dump(), R"([{"series":"default","first":1001,"last":1003,"count":3}])");
    EXPECT_EQ(report["serial_gaps"].dump(), R"([{"series":"default","first":1000,"last":1000,"count":1}])");
}

// The server away for 10 s in the middle of a run: a station with a lease
// goes on and its records go up when the server is back, none twice; one
// whose lease runs out stops with a clear message, and goes on afterwards.
TEST_F(LineCli, AServerOutageIsRiddenOutOnTheLeasesAndTheSpoolDrainsOnce) {
    for (const char* s : {"LONG", "SHORT"}) {
        const TRun r = Run(Program(s, 2, std::string(s) == "LONG" ? 40 : 3));
        ASSERT_EQ(r.Code, 0) << r.Err;
    }
    FCluster.Pause();
    const auto down = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        const TRun r = Run(Program("LONG", 2, 40), "long");
        EXPECT_EQ(r.Code, 0) << r.Err;
        EXPECT_NE(r.Err.find("cannot be reached"), std::string::npos) << r.Err;
    }
    // SHORT has one number of its lease left: the part gets it, and then
    // the station stops before anything is programmed.
    TRun r = Run(Program("SHORT", 1, 3), "short");
    EXPECT_EQ(r.Code, 0) << r.Err;
    r = Run(Program("SHORT", 1, 3), "short");
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("cannot be reached: connection to server on socket"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("(and the station has no serial numbers of series \"default\" left to go on with)"),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(r.Out.find("EEPROM: Programming"), std::string::npos) << r.Out;
    std::this_thread::sleep_until(down + std::chrono::seconds(10));
    FCluster.Resume();

    for (const char* s : {"LONG", "SHORT"}) {
        r = Run(Program(s, 2, std::string(s) == "LONG" ? 40 : 3));
        EXPECT_EQ(r.Code, 0) << s << ": " << r.Err;
        EXPECT_EQ(r.Err.find("Warning"), std::string::npos) << r.Err;
    }
    std::map<std::pair<std::string, long long>, std::pair<std::string, long long>> logged;
    AddLog("LONG", logged);
    AddLog("SHORT", logged);
    const auto parts = Parts();
    EXPECT_EQ(parts, logged);
    EXPECT_EQ(parts.size(), 2u + 6 + 2 + 2 + 1 + 2) << "LONG 2+6+2, SHORT 2+1+2, no record twice";
    std::set<long long> serials;
    for (const auto& [key, part] : parts) {
        EXPECT_EQ(part.first, "passed");
        EXPECT_TRUE(serials.insert(part.second).second) << part.second;
    }
    GrantReader();
    const json report = Report();
    EXPECT_EQ(report["parts_passed"], 15);
    long long used = 0;
    for (const auto& range : report["serials_used"])
        used += range["count"].get<long long>();
    EXPECT_EQ(used, 15);
    // SHORT's first lease was used up: no gap; its new one is still open.
    EXPECT_EQ(report["serial_gaps"].size(), 0u);
}

// A wrong password and a server that is not there are named at the start,
// before anything is programmed.
TEST_F(LineCli, AWrongPasswordOrAnUnreachableServerIsNamedAtTheStart) {
    std::string wrong = FCluster.Station(FName);
    wrong.replace(wrong.find("station-secret"), 14, "not-the-secret");
    const std::string nowhere = "host=" + FDir.Path() + " port=5432 user=station dbname=line";
    struct TCase {
        std::string Db;
        std::string Says;
    } cases[] = {
        {wrong, "refused the station: connection to server on socket \"" + FCluster.Folder() +
                    "/.s.PGSQL.5432\" failed: password authentication failed for user \"station\""},
        {nowhere,
         "cannot be reached: connection to server on socket \"" + FDir.Path() + "/.s.PGSQL.5432\" failed"},
    };
    for (const auto& c : cases)
        for (int units : {1, 3}) {
            const TRun r = Run(Program("W", units, 10, c.Db));
            EXPECT_EQ(r.Code, 1) << r.Err;
            EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
            EXPECT_EQ(r.Err.find("not-the-secret"), std::string::npos) << "the password is never shown";
            EXPECT_EQ(r.Out.find("EEPROM: Programming"), std::string::npos) << r.Out;
            EXPECT_EQ(r.Out.find("[1 A]"), std::string::npos) << "no unit started: " << r.Out;
        }
    const TRun report = Run({"line-report", "--line-db", wrong});
    EXPECT_EQ(report.Code, 1);
    EXPECT_NE(report.Err.find("password authentication failed"), std::string::npos) << report.Err;
}

} // namespace
