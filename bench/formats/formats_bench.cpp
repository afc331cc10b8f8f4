// Load + save of a 128 KiB image in each data file format (the load as the
// load command does it: detection, then the reader), and srec_cat converting
// the same file to the same format, side by side.
//
//   bench_formats [repetitions]
//
// Files go to $TMPDIR (use a RAM file system such as /dev/shm to measure the
// code rather than the disk: every save is flushed to the disk before it
// replaces the old file). srec_cat is looked up on PATH; without it only our
// figures are printed.
#include "formats/file_loader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string FindOnPath(const std::string& Name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = (end > start ? dirs.substr(start, end - start) : ".") + "/" + Name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// Seconds one run of the program takes; negative when it fails.
double Run(std::vector<std::string> Args) {
    std::vector<char*> argv;
    for (auto& a : Args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, Args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

struct TFormat {
    const char* name;
    int code;
    std::uint32_t imageBytes;  // Tektronix and 8-bit Atmel address 64 KiB at most
    const char* srecCatFormat; // nullptr: srec_cat has no such format
};

const TFormat kFormats[] = {
    {"Intel hex", 1, 0x20000, "-Intel"},
    {"Motorola S-record", 4, 0x20000, "-Motorola"},
    {"extended Tektronix", 7, 0x20000, "-Tektronix_Extended"},
    {"Tektronix", 8, 0x10000, "-Tektronix"},
    {"Atmel generic 16-bit", 9, 0x20000, "-Atmel_Generic_BigEndian"},
    {"Atmel generic 8-bit", 10, 0x10000, nullptr},
    {"binary", 11, 0x20000, "-Binary"},
};

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    const std::string folder = (std::filesystem::temp_directory_path() / "norvoisp-bench-formats").string();
    std::filesystem::create_directories(folder);
    const std::string srecCat = FindOnPath("srec_cat");

    std::printf("Data file formats: load + save of an image in a 24C1024 buffer, median of %d runs.\n", reps);
    std::printf("Files in %s; srec_cat: %s\n\n", folder.c_str(),
                srecCat.empty() ? "not found" : srecCat.c_str());
    std::printf("%-22s %6s %8s %9s %9s %11s %12s %8s\n", "format", "image", "file", "load ms", "save ms",
                "load+save", "srec_cat ms", "ratio");
    std::printf("%-22s %6s %8s %9s %9s %11s %12s %8s\n", "", "KiB", "KiB", "", "", "MB/s", "", "");

    for (const auto& f : kFormats) {
        THexList image;
        image.SetSizeof(0x20000);
        // Dense data with a few 0xFF holes, the usual content of a full part.
        std::uint32_t x = 12345;
        for (std::uint32_t a = 0; a < f.imageBytes; ++a) {
            x = x * 1103515245u + 12345u;
            image.HexData[a] = (a % 4096) < 64 ? 0xFF : static_cast<std::uint8_t>(x >> 16);
        }
        const std::string in = folder + "/in", out = folder + "/out";
        const bool binary = f.code == ft_Binary;
        if ((binary ? TFileLoader::SaveBinary(in, image) : TFileLoader::SaveFile(in, image, f.code)) != 0) {
            std::printf("%-22s cannot write %s\n", f.name, in.c_str());
            continue;
        }
        const auto fileBytes = std::filesystem::file_size(in);

        std::vector<double> loads, saves;
        THexList buffer;
        buffer.SetSizeof(0x20000);
        for (int r = 0; r < reps; ++r) {
            const auto t0 = Clock::now();
            const int type = TFileLoader::GetFileType(in);
            const int loaded =
                type > 0 ? TFileLoader::LoadFile(in, buffer, 0) : TFileLoader::LoadBinary(in, buffer);
            const auto t1 = Clock::now();
            const int saved =
                binary ? TFileLoader::SaveBinary(out, buffer) : TFileLoader::SaveFile(out, buffer, f.code);
            const auto t2 = Clock::now();
            if (loaded != 0 || saved != 0 || buffer.HexData != image.HexData) {
                std::printf("%-22s load or save failed\n", f.name);
                return 1;
            }
            loads.push_back(std::chrono::duration<double>(t1 - t0).count());
            saves.push_back(std::chrono::duration<double>(t2 - t1).count());
        }
        const double load = Median(loads), save = Median(saves);
        std::vector<double> sums;
        for (int r = 0; r < reps; ++r)
            sums.push_back(loads[static_cast<std::size_t>(r)] + saves[static_cast<std::size_t>(r)]);
        const double both = Median(sums);
        const double mbs = f.imageBytes / both / 1e6;

        double theirs = -1;
        if (!srecCat.empty() && f.srecCatFormat) {
            std::vector<double> runs;
            for (int r = 0; r < reps; ++r) {
                const double s = Run({srecCat, in, f.srecCatFormat, "-o", out, f.srecCatFormat});
                if (s < 0) break;
                runs.push_back(s);
            }
            if (runs.size() == static_cast<std::size_t>(reps)) theirs = Median(runs);
        }
        char theirsText[32] = "n/a", ratioText[32] = "n/a";
        if (theirs > 0) {
            std::snprintf(theirsText, sizeof theirsText, "%.2f", theirs * 1e3);
            std::snprintf(ratioText, sizeof ratioText, "%.1fx", theirs / both);
        }
        std::printf("%-22s %6u %8.1f %9.3f %9.3f %11.1f %12s %8s\n", f.name, f.imageBytes / 1024,
                    static_cast<double>(fileBytes) / 1024, load * 1e3, save * 1e3, mbs, theirsText,
                    ratioText);
    }
    if (!srecCat.empty()) {
        std::vector<double> runs;
        for (int r = 0; r < reps; ++r)
            runs.push_back(Run({srecCat, "-VERSion"}));
        std::printf(
            "\nsrec_cat start-up alone (srec_cat -VERSion, included in each srec_cat figure): %.2f ms",
            Median(runs) * 1e3);
    }
    std::printf(
        "\nratio: srec_cat's time for the same conversion (a whole process) / our load + save.\n"
        "Tektronix and 8-bit Atmel generic address 64 KiB at most; srec_cat has no 8-bit Atmel format.\n");
    std::filesystem::remove_all(folder);
    return 0;
}
