#include "ports/port_holders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::string CommandName(const std::string& ProcRoot, pid_t Pid) {
    std::ifstream in(ProcRoot + "/" + std::to_string(Pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}

// Lines of /proc/locks such as
//   "1: FLOCK  ADVISORY  WRITE 1234 00:05:1042 0 EOF"
// name the holder and the lock's file as filesystem major:minor (hex) and
// inode; "1: -> FLOCK ..." lines are waiters, not holders.
void LocksOn(const std::string& ProcRoot, const struct stat& Node, std::vector<pid_t>& Out) {
    std::ifstream in(ProcRoot + "/locks");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (!(fields >> number >> kind) || kind == "->") continue;
        if (!(fields >> mode >> access >> pid >> file)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major == ::major(Node.st_dev) && minor == ::minor(Node.st_dev) && inode == Node.st_ino && pid > 0)
            Out.push_back(static_cast<pid_t>(pid));
    }
}

// Processes with a descriptor on the device; this one is left out.
void DescriptorHolders(const std::string& ProcRoot, const struct stat& Node, std::size_t Limit,
                       std::vector<pid_t>& Out) {
    DIR* proc = ::opendir(ProcRoot.c_str());
    if (!proc) return;
    const pid_t self = ::getpid();
    while (const dirent* p = ::readdir(proc)) {
        if (Out.size() >= Limit) break;
        if (!AllDigits(p->d_name)) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(p->d_name));
        if (pid == self || std::find(Out.begin(), Out.end(), pid) != Out.end()) continue;
        const std::string fdDir = ProcRoot + "/" + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str()); // another user's: not readable
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds)) {
            if (!AllDigits(f->d_name)) continue;
            struct stat st {};
            if (::stat((fdDir + "/" + f->d_name).c_str(), &st) != 0) continue;
            if (S_ISCHR(st.st_mode) && S_ISCHR(Node.st_mode) && st.st_rdev == Node.st_rdev) {
                Out.push_back(pid);
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
}

} // namespace

std::vector<TPortHolder> FindPortHolders(const std::string& Path, const std::string& ProcRoot,
                                         std::size_t Limit) {
    std::vector<TPortHolder> holders;
    struct stat node {};
    if (::stat(Path.c_str(), &node) != 0) return holders;
    std::vector<pid_t> pids;
    LocksOn(ProcRoot, node, pids);
    std::vector<pid_t> unique;
    for (pid_t p : pids)
        if (std::find(unique.begin(), unique.end(), p) == unique.end()) unique.push_back(p);
    DescriptorHolders(ProcRoot, node, Limit, unique);
    if (unique.size() > Limit) unique.resize(Limit);
    for (pid_t p : unique)
        holders.push_back({p, CommandName(ProcRoot, p)});
    return holders;
}

std::vector<pid_t> LockHolders(const std::string& Path, const std::string& ProcRoot) {
    std::vector<pid_t> pids;
    struct stat node {};
    if (::stat(Path.c_str(), &node) == 0) LocksOn(ProcRoot, node, pids);
    return pids;
}

std::string PortInUseText(const std::string& Path, const std::vector<TPortHolder>& Holders) {
    if (Holders.empty())
        return Path + ": in use by another program; close it and try again (ModemManager and brltty take "
                      "serial adapters too: see Permissions in README.md)";
    const pid_t self = ::getpid();
    if (std::all_of(Holders.begin(), Holders.end(), [self](const TPortHolder& h) { return h.Pid == self; }))
        return Path + ": already in use by this program (process " + std::to_string(self) + ")";
    std::string who;
    for (const auto& h : Holders) {
        if (!who.empty()) who += "; ";
        if (h.Pid == self)
            who += "this program";
        else if (!h.Name.empty())
            who += h.Name;
        else
            who += "a program";
        who += ", process " + std::to_string(h.Pid);
    }
    return Path + ": in use by another program (" + who + "); close it and try again";
}
