// Whole processes as a user runs them, side by side in one run:
// `norvoisp-cli convert` for every pair of data file formats at 2 KiB, at
// 128 KiB and at the largest image both formats hold, next to srec_cat and
// objcopy doing the same conversion where they read and write both formats;
// then `detect`, `devices`, `--version` and /bin/true.
//
//   bench_process [--runs N] [--dir FOLDER] [--formats 3,6,...] [--cli PATH]
//
// Every program is run N times (default 21), the competitors of one case in
// turn so that a busy moment of the machine hits all of them alike; the
// table gives the best and the median wall time of each and the ratios
// srec_cat / ours and objcopy / ours. Files go to FOLDER (default $TMPDIR or
// /tmp): a disk shows what a user sees, including the flush of every save to
// the disk that norvoisp-cli does and the others do not; a RAM file system
// (/dev/shm) shows the work of the programs alone.
#include "bench/common/process_timer.h"

#include "formats/data_file_io.h"
#include "formats/file_loader.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TFormat {
    const char* Name;
    int Code;
    std::uint32_t MaxBytes; // the largest image it holds in a device buffer
    const char* SrecCat;    // srec_cat's name for it; nullptr: none
    const char* Objcopy;    // objcopy's (BFD's) name for it; nullptr: none
};

// objcopy's "tekhex" is not our extended Tektronix: it reads only files with
// section symbol records, so it cannot read ours and is left out.
const TFormat kFormats[] = {
    {"Intel hex", 3, 0x20000, "-Intel", "ihex"},
    {"S-record", 6, 0x20000, "-Motorola", "srec"},
    {"ext. Tektronix", 7, 0x20000, "-Tektronix_Extended", nullptr},
    {"Tektronix", 8, 0x10000, "-Tektronix", nullptr},
    {"Atmel 16-bit", 9, 0x20000, "-Atmel_Generic_BigEndian", nullptr},
    {"Atmel 8-bit", 10, 0x10000, nullptr, nullptr},
    {"binary", 11, 0x20000, "-Binary", "binary"},
};

// The device whose buffer is exactly the image, so that a binary file is
// the image and nothing more.
const char* DeviceFor(std::uint32_t Bytes) {
    switch (Bytes) {
    case 0x800:
        return "24C16";
    case 0x10000:
        return "24C512";
    default:
        return "24C1024";
    }
}

// Dense data without 0xFF bytes from address 0: every tool then writes the
// same bytes, none skips a hole the others write.
THexList MakeImage(std::uint32_t Bytes) {
    THexList image;
    image.SetSizeof(Bytes);
    std::uint32_t x = 12345;
    for (std::uint32_t a = 0; a < Bytes; ++a) {
        x = x * 1103515245u + 12345u;
        image.HexData[a] = static_cast<std::uint8_t>((x >> 16) % 255);
    }
    return image;
}

struct TOptions {
    int Runs = 21;
    std::string Folder;
    std::set<int> Codes;
    std::string Cli = NORVOISP_CLI_PATH;
};

std::optional<TOptions> ParseOptions(int argc, char** argv) {
    TOptions o;
    const char* tmp = std::getenv("TMPDIR");
    o.Folder = tmp && *tmp ? tmp : "/tmp";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--runs" && hasValue) {
            o.Runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--dir" && hasValue) {
            o.Folder = argv[++i];
        } else if (a == "--cli" && hasValue) {
            o.Cli = argv[++i];
        } else if (a == "--formats" && hasValue) {
            std::stringstream list(argv[++i]);
            std::string code;
            while (std::getline(list, code, ','))
                o.Codes.insert(std::atoi(code.c_str()));
        } else {
            std::fprintf(stderr,
                         "usage: bench_process [--runs N] [--dir FOLDER] [--formats 3,6,...] [--cli PATH]\n");
            return std::nullopt;
        }
    }
    return o;
}

std::string Ms(const bench::TStats& s) {
    if (!s.Valid()) return "n/a | n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f | %.2f", s.Best * 1e3, s.Median * 1e3);
    return text;
}

std::string Ratio(const bench::TStats& Theirs, const bench::TStats& Ours) {
    if (!Theirs.Valid() || !Ours.Valid()) return "n/a";
    char text[64];
    std::snprintf(text, sizeof text, "%.1fx / %.1fx", Theirs.Best / Ours.Best, Theirs.Median / Ours.Median);
    return text;
}

// Runs every command line of one case Runs times, in turn, after one
// warm-up run each; a command that fails gives no figures.
std::vector<bench::TStats> TimeTogether(const std::vector<std::vector<std::string>>& Commands, int Runs) {
    std::vector<std::vector<double>> times(Commands.size());
    std::vector<bool> failed(Commands.size(), false);
    for (int r = -1; r < Runs; ++r)
        for (std::size_t c = 0; c < Commands.size(); ++c) {
            if (failed[c]) continue;
            const double s = bench::RunProcess(Commands[c]);
            if (s < 0) failed[c] = true;
            if (r >= 0) times[c].push_back(s);
        }
    std::vector<bench::TStats> stats;
    for (std::size_t c = 0; c < Commands.size(); ++c)
        stats.push_back(failed[c] ? bench::TStats{} : bench::Summarise(times[c]));
    return stats;
}

// True when File loads back as Image (our loader, as the load command does).
bool HoldsImage(const std::string& File, const THexList& Image) {
    THexList back;
    back.SetSizeof(Image.Size());
    int type = 0;
    return TFileLoader::LoadAnyFile(File, back, type) == 0 && back.HexData == Image.HexData;
}

} // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) return 2;
    const std::string folder = options->Folder + "/norvoisp-bench-process";
    std::filesystem::create_directories(folder);
    const std::string srecCat = bench::FindOnPath("srec_cat"), objcopy = bench::FindOnPath("objcopy");
    const std::string& cli = options->Cli;

    std::vector<const TFormat*> formats;
    for (const auto& f : kFormats)
        if (options->Codes.empty() || options->Codes.count(f.Code)) formats.push_back(&f);

    // The input files: every format at every size it holds.
    std::map<std::uint32_t, THexList> images;
    for (std::uint32_t bytes : {0x800u, 0x10000u, 0x20000u})
        images.emplace(bytes, MakeImage(bytes));
    const auto inputName = [&](const TFormat& f, std::uint32_t Bytes) {
        return folder + "/in-" + std::to_string(Bytes / 1024) + "k." + std::to_string(f.Code);
    };
    for (const TFormat* f : formats)
        for (auto& [bytes, image] : images) {
            if (bytes > f->MaxBytes) continue;
            const std::string name = inputName(*f, bytes);
            const int r = f->Code == ft_Binary ? TFileLoader::SaveBinary(name, image)
                                               : TFileLoader::SaveFile(name, image, f->Code);
            if (r != 0) {
                std::fprintf(stderr, "cannot write %s\n", name.c_str());
                return 1;
            }
        }

    std::printf("Whole processes, best | median wall time in ms of %d runs each; files in %s.\n",
                options->Runs, folder.c_str());
    std::printf("norvoisp-cli: %s\nsrec_cat: %s\nobjcopy: %s\n\n", cli.c_str(),
                srecCat.empty() ? "not found" : srecCat.c_str(),
                objcopy.empty() ? "not found" : objcopy.c_str());

    struct TCase {
        const TFormat* From;
        const TFormat* To;
        std::uint32_t Bytes;
        bench::TStats Ours, SrecCat, Objcopy;
    };
    std::vector<TCase> results;
    bool allCorrect = true;
    for (const TFormat* from : formats)
        for (const TFormat* to : formats) {
            if (from == to) continue;
            const std::uint32_t largest = std::min(from->MaxBytes, to->MaxBytes);
            for (std::uint32_t bytes : {0x800u, largest}) {
                const std::string in = inputName(*from, bytes), out = folder + "/out-ours";
                std::vector<std::vector<std::string>> commands = {{cli, "convert", in, out, "--to",
                                                                   std::to_string(to->Code), "--device",
                                                                   DeviceFor(bytes)}};
                const bool withSrecCat = !srecCat.empty() && from->SrecCat && to->SrecCat;
                const bool withObjcopy = !objcopy.empty() && from->Objcopy && to->Objcopy;
                if (withSrecCat)
                    commands.push_back(
                        {srecCat, in, from->SrecCat, "-o", folder + "/out-srec_cat", to->SrecCat});
                if (withObjcopy)
                    commands.push_back(
                        {objcopy, "-I", from->Objcopy, "-O", to->Objcopy, in, folder + "/out-objcopy"});
                if (isatty(2))
                    std::fprintf(stderr, "\r%-16s -> %-16s %4u KiB", from->Name, to->Name, bytes / 1024);
                const auto stats = TimeTogether(commands, options->Runs);
                TCase c{from,
                        to,
                        bytes,
                        stats[0],
                        withSrecCat ? stats[1] : bench::TStats{},
                        withObjcopy ? stats.back() : bench::TStats{}};
                if (!c.Ours.Valid() || !HoldsImage(out, images.at(bytes))) {
                    std::printf("%s -> %s, %u KiB: the conversion failed or wrote something else\n",
                                from->Name, to->Name, bytes / 1024);
                    allCorrect = false;
                    continue;
                }
                results.push_back(c);
            }
        }
    if (isatty(2)) std::fprintf(stderr, "\r%50s\r", "");

    // Every pair at one size class: a cell is our best time and srec_cat's
    // best divided by ours.
    const auto matrix = [&](const char* Title, bool Largest) {
        std::printf("%s: norvoisp-cli convert, best ms (srec_cat best / ours)\n\n| From \\ to |", Title);
        for (const TFormat* to : formats)
            std::printf(" %s |", to->Name);
        std::printf("\n|---|");
        for (std::size_t i = 0; i < formats.size(); ++i)
            std::printf("---:|");
        std::printf("\n");
        for (const TFormat* from : formats) {
            std::printf("| %s |", from->Name);
            for (const TFormat* to : formats) {
                const TCase* found = nullptr;
                for (const auto& c : results)
                    if (c.From == from && c.To == to && (c.Bytes == 0x800u) != Largest) found = &c;
                if (!found) {
                    std::printf(" |");
                } else if (found->SrecCat.Valid()) {
                    std::printf(" %.2f (%.1fx) |", found->Ours.Best * 1e3,
                                found->SrecCat.Best / found->Ours.Best);
                } else {
                    std::printf(" %.2f |", found->Ours.Best * 1e3);
                }
            }
            std::printf("\n");
        }
        std::printf("\n");
    };
    matrix("Largest image both formats hold (128 KiB; 64 KiB with Tektronix or Atmel 8-bit)", true);
    matrix("2 KiB image", false);

    std::printf(
        "All cases:\n\n| From | To | Image KiB | norvoisp-cli best | median | srec_cat best | median | "
        "srec_cat / ours (best / median) | objcopy best | median | objcopy / ours (best / median) |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const auto& c : results)
        std::printf("| %s | %s | %u | %s | %s | %s | %s | %s |\n", c.From->Name, c.To->Name, c.Bytes / 1024,
                    Ms(c.Ours).c_str(), Ms(c.SrecCat).c_str(), Ratio(c.SrecCat, c.Ours).c_str(),
                    Ms(c.Objcopy).c_str(), Ratio(c.Objcopy, c.Ours).c_str());

    // Start-up and the small commands.
    const std::string intel128 = inputName(kFormats[0], 0x20000), intel2 = inputName(kFormats[0], 0x800);
    std::vector<std::pair<std::string, std::vector<std::string>>> singles = {
        {"norvoisp-cli --version", {cli, "--version"}},
        {"/bin/true", {"/bin/true"}},
        {"norvoisp-cli devices", {cli, "devices"}},
        {"norvoisp-cli detect (2 KiB as Intel hex)", {cli, "detect", intel2}},
        {"norvoisp-cli detect (128 KiB as Intel hex)", {cli, "detect", intel128}},
    };
    if (!srecCat.empty()) singles.push_back({"srec_cat -VERSion", {srecCat, "-VERSion"}});
    if (!objcopy.empty()) singles.push_back({"objcopy --version", {objcopy, "--version"}});
    std::vector<std::vector<std::string>> commands;
    for (const auto& s : singles)
        commands.push_back(s.second);
    const auto stats = TimeTogether(commands, options->Runs);
    std::printf("\n| Command | best ms | median ms | / /bin/true (best / median) |\n|---|---:|---:|---:|\n");
    for (std::size_t i = 0; i < singles.size(); ++i)
        std::printf("| %s | %s | %s |\n", singles[i].first.c_str(), Ms(stats[i]).c_str(),
                    Ratio(stats[i], stats[1]).c_str());

    // What keeping a saved file safe costs in this folder: a file replaced
    // as every save does it (temporary file, flush, rename, folder flush).
    std::printf("\n| Replacing a file as a save does, in-process | best ms | median ms |\n|---|---:|---:|\n");
    for (std::size_t bytes : {std::size_t{2048}, std::size_t{362863}}) {
        const std::string text(bytes, 'A');
        std::vector<double> times;
        for (int r = 0; r < options->Runs; ++r) {
            const auto t0 = std::chrono::steady_clock::now();
            WriteDataFileAtomic(folder + "/flush", text);
            times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
        std::printf("| %zu bytes | %s |\n", bytes, Ms(bench::Summarise(times)).c_str());
    }

    // The targets: every conversion of the largest image at least twice as
    // fast as srec_cat's.
    for (const bool useBest : {true, false}) {
        double worst = 1e9;
        int below = 0, count = 0;
        for (const auto& c : results) {
            if (c.Bytes == 0x800u || !c.SrecCat.Valid()) continue;
            const double r = useBest ? c.SrecCat.Best / c.Ours.Best : c.SrecCat.Median / c.Ours.Median;
            worst = std::min(worst, r);
            ++count;
            if (r < 2.0) ++below;
        }
        if (count > 0)
            std::printf("%s srec_cat / ours at the largest image: smallest %.1fx, %d of %d below 2x\n",
                        useBest ? "\nBest times:  " : "Median times:", worst, below, count);
    }
    std::filesystem::remove_all(folder);
    return allCorrect ? 0 : 1;
}
