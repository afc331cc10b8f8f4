#include "cli/gang_run.h"

#include "cli/cli_command.h"
#include "cli/cli_output.h"
#include "cli/fd_stream.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iomanip>
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
    int Fd[3] = {-1, -1, -1}; // standard output, standard error, result
    std::string Pending[3];   // an incomplete last line per stream
    std::string ResultText;
    int Code = EXIT_FAILED;
    std::string Ended; // how the process ended, when not by exit
};

void CloseFd(int& Fd) {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

[[noreturn]] void
ChildMain(const TGangUnit& Unit, int OutFd, int ErrFd, int ResultFd, pid_t Parent,
          const std::function<int(const TGangUnit&, std::ostream&, std::ostream&,
                                  const std::function<void(const nlohmann::ordered_json&)>&)>& Work) {
    // A unit never outlives the run: when the parent dies, it dies too.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != Parent) ::_exit(EXIT_FAILED);
    int code = EXIT_FAILED;
    {
        TFdStream out(OutFd), err(ErrFd), result(ResultFd);
        try {
            code = Work(Unit, out, err,
                        [&result](const nlohmann::ordered_json& r) { result << JsonLine(r) << "\n"; });
        } catch (const std::exception& e) {
            err << "Error: " << e.what() << "\n";
        }
        out.flush();
        err.flush();
        result.flush();
    }
    ::_exit(code);
}

std::string Prefix(const TGangUnit& u) {
    return "[" + std::to_string(u.Unit) + " " + u.Port + "] ";
}

} // namespace

int RunGang(const std::string& Command, const std::vector<TGangUnit>& Units, bool Json,
            const std::function<int(const TGangUnit& Unit, std::ostream& Out, std::ostream& Err,
                                    const std::function<void(const nlohmann::ordered_json&)>& Result)>& Work,
            std::ostream& Out, std::ostream& Err) {
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

    // Ctrl+C reaches every unit (one process group), which stops between
    // two commands and reports; the parent stays to print the summary.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGINT, &ignore, &previous);

    // Every line of every unit as it comes; no unit waits for another.
    const auto emit = [&](TChild& c, int k, const std::string& line) {
        if (k == 2)
            c.ResultText += line + "\n";
        else if (Json)
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
                if (!c->Pending[k].empty()) emit(*c, k, c->Pending[k]);
                c->Pending[k].clear();
                CloseFd(c->Fd[k]);
                continue;
            }
            std::string& pending = c->Pending[k];
            pending.append(block, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = pending.find('\n')) != std::string::npos) {
                emit(*c, k, pending.substr(0, nl));
                pending.erase(0, nl + 1);
            }
        }
    }

    ::sigaction(SIGINT, &previous, nullptr);

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
        auto r = nlohmann::ordered_json::parse(c.ResultText, nullptr, false);
        if (!r.is_object())
            r = {{"result", "failed"},
                 {"exit_code", c.Code},
                 {"failure", "the unit's process " + (c.Ended.empty() ? std::string("ended") : c.Ended) +
                                 " without a result"}};
        r["unit"] = c.Unit.Unit;
        r["port"] = c.Unit.Port;
        if (c.Code != EXIT_OK) allPassed = false;
        results.push_back(r);
    }
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
