// Starting a program from an argument vector and waiting for it a bounded
// time: arguments reach it unchanged (no shell), the working folder and exit
// code, a program that cannot be started, and a program that outlives its
// limit being killed together with what it started.
#include "ports/process_runner.h"

#include "common/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class TScratch {
  public:
    std::string Path(const std::string& name) const { return FDir.File(name); }
    const std::string& Folder() const { return FDir.Path(); }

    // An executable shell script.
    std::string Script(const std::string& name, const std::string& body) const {
        const std::string file = Path(name);
        std::ofstream(file) << "#!/bin/sh\n" << body;
        chmod(file.c_str(), 0755);
        return file;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    TTempDir FDir{"run"};
};

// True once the process is gone or only a zombie waiting for its parent.
bool Gone(pid_t Pid) {
    std::ifstream stat("/proc/" + std::to_string(Pid) + "/stat");
    if (!stat) return true;
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || line.compare(close, 3, ") Z") == 0;
}

TEST(ProcessRunner, ArgumentsReachTheProgramUnchanged) {
    TScratch dir;
    const std::string program =
        dir.Script("updater", "printf '%s\\n' \"$@\" > args.txt\npwd > pwd.txt\nexit 3\n");
    const std::vector<std::string> args = {"firmware/norvoisp", "000A",    "two words", "$(touch injected)",
                                           "; touch injected2", "'quoted'"};
    TRunRequest request;
    request.Args = {program};
    request.Args.insert(request.Args.end(), args.begin(), args.end());
    request.WorkingFolder = dir.Folder();
    const TRunResult r = RunAndWait(request);

    EXPECT_EQ(r.Outcome, ro_Ended);
    EXPECT_EQ(r.ExitStatus, 3);
    std::string expected;
    for (const std::string& a : args)
        expected += a + "\n";
    EXPECT_EQ(dir.Read("args.txt"), expected);
    EXPECT_EQ(fs::canonical(dir.Read("pwd.txt").substr(0, dir.Read("pwd.txt").size() - 1)),
              fs::canonical(dir.Folder()));
    EXPECT_FALSE(fs::exists(dir.Path("injected")));
    EXPECT_FALSE(fs::exists(dir.Path("injected2")));
}

TEST(ProcessRunner, ProgramThatCannotBeStarted) {
    TScratch dir;
    struct TCase {
        const char* What;
        std::vector<std::string> Args;
        std::string Folder;
    };
    const TCase cases[] = {
        {"missing program", {dir.Path("Firmwareupdater")}, {}},
        {"not executable", {dir.Path("plain.txt")}, {}},
        {"no program", {}, {}},
        {"missing working folder", {"/bin/true"}, dir.Path("no-such-folder")},
    };
    std::ofstream(dir.Path("plain.txt")) << "text\n";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TRunRequest request;
        request.Args = c.Args;
        request.WorkingFolder = c.Folder;
        const TRunResult r = RunAndWait(request);
        EXPECT_EQ(r.Outcome, ro_NotStarted);
        EXPECT_EQ(r.ExitStatus, -1);
        EXPECT_FALSE(r.Error.empty());
    }
}

TEST(ProcessRunner, ProgramFoundInPath) {
    TRunRequest request;
    request.Args = {"sh", "-c", "exit 7"};
    const TRunResult r = RunAndWait(request);
    EXPECT_EQ(r.Outcome, ro_Ended);
    EXPECT_EQ(r.ExitStatus, 7);
}

TEST(ProcessRunner, ProgramOutlivingItsLimitIsKilledWithWhatItStarted) {
    TScratch dir;
    // The script starts a long sleep, notes its process number and waits.
    const std::string program = dir.Script("hang", "sleep 60 &\necho $! > child.txt\nwait\n");
    TRunRequest request;
    request.Args = {program};
    request.WorkingFolder = dir.Folder();
    request.Limit = 500ms;
    const TRunResult r = RunAndWait(request);

    EXPECT_EQ(r.Outcome, ro_Killed);
    EXPECT_EQ(r.ExitStatus, -1);
    const std::string child = dir.Read("child.txt");
    ASSERT_FALSE(child.empty());
    const pid_t sleeper = static_cast<pid_t>(std::stol(child));
    // The kill is delivered at once; the orphan is reaped by the system
    // shortly after. Bounded wait for that, not a measure of time.
    for (int i = 0; i < 500 && !Gone(sleeper); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(Gone(sleeper));
}

// An empty entry of PATH, or a relative one, would name the current folder
// (or one below it): a program planted there under the name asked for is
// never run. Absolute folders are searched as before.
TEST(ProcessRunner, ANameIsLookedUpOnlyInTheAbsoluteFoldersOfPath) {
    TScratch dir;
    fs::create_directories(dir.Path("bin"));
    fs::create_directories(dir.Path("tools"));
    for (const char* planted : {"helper", "bin/helper"}) {
        const std::string file = dir.Path(planted);
        std::ofstream(file) << "#!/bin/sh\ntouch planted-ran\n";
        chmod(file.c_str(), 0755);
    }
    const std::string real = dir.Path("tools/helper");
    std::ofstream(real) << "#!/bin/sh\nexit 5\n";
    chmod(real.c_str(), 0755);

    const std::string previous = fs::current_path().string();
    fs::current_path(dir.Folder());
    for (const std::string& path :
         {std::string("::bin:."), "bin:" + dir.Path("tools"), ":" + dir.Path("tools")}) {
        SCOPED_TRACE(path);
        TScopedEnv env("PATH", path.c_str());
        const bool found = path.find(dir.Path("tools")) != std::string::npos;
        EXPECT_EQ(FindProgram("helper"), found ? real : "");
        TRunRequest request;
        request.Args = {"helper"};
        const TRunResult r = RunAndWait(request);
        EXPECT_EQ(r.Outcome, found ? ro_Ended : ro_NotStarted) << r.Error;
        if (found) {
            EXPECT_EQ(r.ExitStatus, 5);
        }
        EXPECT_FALSE(fs::exists(dir.Path("planted-ran"))) << "a program planted in the current folder ran";
    }
    fs::current_path(previous);
}

} // namespace
