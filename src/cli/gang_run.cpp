#include "cli/gang_run.h"

#include "cli/cli_command.h"
#include "cli/cli_output.h"
#include "cli/fd_stream.h"
#include "cli/stop_signals.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iomanip>
#include <optional>
#include <ostream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TChild {
    TGangUnit Unit;
    pid_t Pid = -1;
    int Fd[3] = {-1, -1, -1}; // standard output, standard error, reports
    std::string Partial[3];   // an incomplete last line per stream
    // The reports: {"result": ...} and {"pending": ...} lines.
    nlohmann::ordered_json Result;
    nlohmann::ordered_json Pending;
    int Code = EXIT_FAILED;
    std::string Ended; // how the process ended, when not by exit
};

void CloseFd(int& Fd) {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

[[noreturn]] void ChildMain(const TGangUnit& Unit, int OutFd, int ErrFd, int ReportFd, pid_t Parent,
                            const TGangWork& Work) {
    // A unit never outlives the run: when the parent dies, it dies too.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != Parent) ::_exit(EXIT_FAILED);
    int code = EXIT_FAILED;
    {
        TFdStream out(OutFd), err(ErrFd), reports(ReportFd);
        const auto report = [&reports](const char* Kind, const nlohmann::ordered_json& Value) {
            reports << JsonLine({{Kind, Value}}) << "\n" << std::flush;
        };
        const TGangReport channel{[&](const nlohmann::ordered_json& r) { report("result", r); },
                                  [&](const nlohmann::ordered_json& p) { report("pending", p); }};
        try {
            code = Work(Unit, out, err, channel);
        } catch (const std::exception& e) {
            err << "Error: " << e.what() << "\n";
        }
        out.flush();
        err.flush();
        reports.flush();
    }
    ::_exit(code);
}

std::string Prefix(const TGangUnit& u) {
    return "[" + std::to_string(u.Unit) + " " + u.Port + "] ";
}

} // namespace

int RunGang(const std::string& Command, const std::vector<TGangUnit>& Units, bool Json, const TGangWork& Work,
            const TGangLost& Lost, std::ostream& Out, std::ostream& Err) {
    const auto start = std::chrono::steady_clock::now();
    Out.flush();
    Err.flush();
    std::vector<TChild> children(Units.size());
    const pid_t parent = ::getpid();
    for (std::size_t i = 0; i < Units.size(); ++i) {
        TChild& c = children[i];
        c.Unit = Units[i];
        int pipes[3][2];
        for (auto& p : pipes)
            if (::pipe2(p, O_CLOEXEC) != 0)
                throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        c.Pid = ::fork();
        if (c.Pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
        if (c.Pid == 0) {
            for (std::size_t j = 0; j < i; ++j)
                for (int& fd : children[j].Fd)
                    CloseFd(fd);
            for (auto& p : pipes)
                ::close(p[0]);
            ChildMain(c.Unit, pipes[0][1], pipes[1][1], pipes[2][1], parent, Work);
        }
        for (int k = 0; k < 3; ++k) {
            ::close(pipes[k][1]);
            c.Fd[k] = pipes[k][0];
        }
    }

    // A stop signal reaches every unit (Ctrl+C reaches them anyway: one
    // process group), which stops between two commands and reports; the
    // parent stays to collect the results and print the summary.
    std::vector<pid_t> pids;
    for (const auto& c : children)
        pids.push_back(c.Pid);
    std::optional<TForwardedSignals> forward(std::in_place, pids);

    // Every line of every unit as it comes; no unit waits for another.
    const auto emit = [&](TChild& c, int k, const std::string& line) {
        if (k == 2) {
            const auto report = nlohmann::ordered_json::parse(line, nullptr, false);
            if (!report.is_object()) return;
            if (report.contains("result")) c.Result = report["result"];
            if (report.contains("pending")) c.Pending = report["pending"];
        } else if (Json)
            Out << line << std::endl; // already tagged with the unit
        else
            (k == 0 ? Out : Err) << Prefix(c.Unit) << line << std::endl;
    };
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<TChild*, int>> owners;
        for (auto& c : children)
            for (int k = 0; k < 3; ++k)
                if (c.Fd[k] >= 0) {
                    fds.push_back({c.Fd[k], POLLIN, 0});
                    owners.emplace_back(&c, k);
                }
        if (fds.empty()) break;
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t f = 0; f < fds.size(); ++f) {
            if (!fds[f].revents) continue;
            auto [c, k] = owners[f];
            char block[4096];
            const ssize_t n = ::read(c->Fd[k], block, sizeof block);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (!c->Partial[k].empty()) emit(*c, k, c->Partial[k]);
                c->Partial[k].clear();
                CloseFd(c->Fd[k]);
                continue;
            }
            std::string& partial = c->Partial[k];
            partial.append(block, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = partial.find('\n')) != std::string::npos) {
                emit(*c, k, partial.substr(0, nl));
                partial.erase(0, nl + 1);
            }
        }
    }

    bool allPassed = true;
    nlohmann::ordered_json results = nlohmann::ordered_json::array();
    for (auto& c : children) {
        int status = 0;
        while (::waitpid(c.Pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) {
            c.Code = WEXITSTATUS(status);
        } else {
            c.Code = EXIT_FAILED;
            c.Ended = WIFSIGNALED(status) ? std::string("ended by signal ") + std::to_string(WTERMSIG(status))
                                          : std::string("ended");
        }
        nlohmann::ordered_json r = c.Result;
        if (!r.is_object()) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            r = Lost(c.Unit, c.Pending, c.Ended.empty() ? std::string("ended") : c.Ended, seconds);
            r["exit_code"] = EXIT_FAILED;
            c.Code = EXIT_FAILED;
        }
        r["unit"] = c.Unit.Unit;
        r["port"] = c.Unit.Port;
        if (c.Code != EXIT_OK) allPassed = false;
        results.push_back(r);
    }
    forward.reset();
    const int code = allPassed ? EXIT_OK : EXIT_FAILED;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (Json) {
        int passed = 0;
        for (const auto& r : results)
            passed += r.value("exit_code", 1) == 0;
        Out << JsonLine(
                   {{"type", "result"},
                    {"command", Command},
                    {"result", code == EXIT_OK ? "passed" : "failed"},
                    {"exit_code", code},
                    {"counts",
                     {{"units", results.size()}, {"passed", passed}, {"failed", results.size() - passed}}},
                    {"units", results},
                    {"duration_s", std::round(seconds * 1000) / 1000}})
            << std::endl;
        return code;
    }

    // The summary table.
    std::size_t portWidth = 4;
    for (const auto& c : children)
        portWidth = std::max(portWidth, c.Unit.Port.size());
    std::ostringstream t;
    t << "Unit  " << std::left << std::setw(static_cast<int>(portWidth)) << "Port"
      << "  Serial      CRC-32    Result  Time     Failure\n";
    int passed = 0;
    for (const auto& r : results) {
        const bool ok = r.value("exit_code", 1) == 0;
        passed += ok;
        std::string serial = "-";
        if (r.contains("serial") && r["serial"].is_object())
            serial = std::to_string(r["serial"].value("value", 0));
        std::string crc = "-";
        if (r.contains("checksums") && r["checksums"].is_object()) crc = r["checksums"].value("crc32", "-");
        char time[32];
        std::snprintf(time, sizeof time, "%.2f s", r.value("duration_s", 0.0));
        std::ostringstream row;
        row << std::right << std::setw(4) << r.value("unit", 0) << "  " << std::left
            << std::setw(static_cast<int>(portWidth)) << r.value("port", "") << "  " << std::setw(10)
            << serial << "  " << std::setw(8) << crc << "  " << std::setw(6) << (ok ? "passed" : "FAILED")
            << "  " << std::setw(7) << time << "  "
            << (r.contains("failure") && r["failure"].is_string() ? r["failure"].get<std::string>() : "");
        std::string line = row.str();
        line.erase(line.find_last_not_of(' ') + 1);
        t << line << "\n";
    }
    t << passed << " of " << results.size() << " units passed\n";
    Out << t.str() << std::flush;
    return code;
}
