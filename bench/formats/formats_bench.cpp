// In-process load and save of the largest image of each data file format
// (the load as the load commands do it, LoadAnyFile: one read, detection and
// reading; the save as SaveFile does it: the text built, written to a
// temporary file, flushed to the disk, renamed), and srec_cat converting the
// same file to the same format as a whole process, side by side.
//
//   bench_formats [repetitions] [--warm-memory]
//
// --warm-memory keeps freed memory in the process (glibc's mmap and trim
// thresholds raised), so the figures leave out the kernel's first touch of
// fresh pages; without it every run allocates as a fresh process does.
//
// Files go to $TMPDIR (use a RAM file system such as /dev/shm to measure the
// code rather than the disk: every save is flushed to the disk before it
// replaces the old file). srec_cat is looked up on PATH; without it only our
// figures are printed. Text MB/s are the file's bytes per second of the load
// and of the save; image MB/s the image's bytes over load + save.
#include "bench/common/process_timer.h"

#include "formats/data_file_io.h"
#include "formats/file_loader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
struct TFormat {
    const char* name;
    int code;
    std::uint32_t imageBytes;            // Tektronix and 8-bit Atmel address 64 KiB at most
    const char* srecCatFormat;           // nullptr: srec_cat has no such format (or not compared)
    std::uint32_t bufferBytes = 0x20000; // the device: a 24C1024, or a 512 Mbit SPI flash
};

constexpr std::uint32_t k64MiB = 64u * 1024 * 1024;

const TFormat kFormats[] = {
    {"Intel hex", 1, 0x20000, "-Intel"},
    {"Motorola S-record", 4, 0x20000, "-Motorola"},
    {"extended Tektronix", 7, 0x20000, "-Tektronix_Extended"},
    {"Tektronix", 8, 0x10000, "-Tektronix"},
    {"Atmel generic 16-bit", 9, 0x20000, "-Atmel_Generic_BigEndian"},
    {"Atmel generic 8-bit", 10, 0x10000, nullptr},
    {"binary", 11, 0x20000, "-Binary"},
    // A whole 512 Mbit SPI flash: Intel hex 32, S3 records, binary.
    {"Intel hex 32, 64 MiB", 3, k64MiB, nullptr, k64MiB},
    {"Motorola S3, 64 MiB", 6, k64MiB, nullptr, k64MiB},
    {"binary, 64 MiB", 11, k64MiB, nullptr, k64MiB},
};

} // namespace

int main(int argc, char** argv) {
    int reps = 30;
    bool warm = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--warm-memory")
            warm = true;
        else
            reps = std::max(3, std::atoi(argv[i]));
    }
    if (warm) {
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
    const std::string folder = (std::filesystem::temp_directory_path() / "norvoisp-bench-formats").string();
    std::filesystem::create_directories(folder);
    const std::string srecCat = bench::FindOnPath("srec_cat");

    std::printf(
        "Data file formats: load + save of an image in a 24C1024 buffer (and of a whole 64 MiB SPI flash\n"
        "image), median of %d runs (%d for the 64 MiB images).\n",
        reps, std::max(3, reps / 10));
    std::printf("Memory: %s\n", warm ? "warm (freed memory kept and reused)"
                                     : "as a fresh process (every large block newly mapped)");
    std::printf("Files in %s; srec_cat: %s\n\n", folder.c_str(),
                srecCat.empty() ? "not found" : srecCat.c_str());
    std::printf("| Format | Image KiB | File KiB | Load ms | Save ms | of which file read + write ms | Load "
                "text MB/s | "
                "Save text MB/s | Load+save image MB/s | srec_cat ms | srec_cat / ours |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");

    for (const auto& f : kFormats) {
        // The 64 MiB images: fewer runs (each moves some 200 MB of text).
        const int tries = f.bufferBytes > 0x20000 ? std::max(3, reps / 10) : reps;
        THexList image;
        image.SetSizeof(f.bufferBytes);
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
        const auto fileBytes = static_cast<double>(std::filesystem::file_size(in));

        // What the file system alone takes: reading the whole file, and
        // replacing a file by text of the same length as the save does.
        std::vector<double> reads, writes;
        {
            const auto text = ReadDataBytes(in, DataTextLimit(f.bufferBytes));
            for (int r = 0; r < tries; ++r) {
                const auto t0 = Clock::now();
                const auto again = ReadDataBytes(in, DataTextLimit(f.bufferBytes));
                const auto t1 = Clock::now();
                WriteDataFileAtomic(out, *text);
                const auto t2 = Clock::now();
                reads.push_back(std::chrono::duration<double>(t1 - t0).count());
                writes.push_back(std::chrono::duration<double>(t2 - t1).count());
            }
        }

        std::vector<double> loads, saves, sums;
        THexList buffer;
        buffer.SetSizeof(f.bufferBytes);
        for (int r = 0; r < tries; ++r) {
            const auto t0 = Clock::now();
            int type = 0;
            const int loaded = TFileLoader::LoadAnyFile(in, buffer, type);
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
            sums.push_back(loads.back() + saves.back());
        }
        const double load = Median(loads), save = Median(saves), both = Median(sums);

        double theirs = -1;
        if (!srecCat.empty() && f.srecCatFormat) {
            std::vector<double> runs;
            for (int r = 0; r < reps; ++r) {
                const double s =
                    bench::RunProcess({srecCat, in, f.srecCatFormat, "-o", out, f.srecCatFormat});
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
        std::printf("| %s | %u | %.1f | %.3f | %.3f | %.3f + %.3f | %.0f | %.0f | %.0f | %s | %s |\n", f.name,
                    f.imageBytes / 1024, fileBytes / 1024, load * 1e3, save * 1e3, Median(reads) * 1e3,
                    Median(writes) * 1e3, fileBytes / load / 1e6, fileBytes / save / 1e6,
                    f.imageBytes / both / 1e6, theirsText, ratioText);
    }
    if (!srecCat.empty()) {
        std::vector<double> runs;
        for (int r = 0; r < reps; ++r)
            runs.push_back(bench::RunProcess({srecCat, "-VERSion"}));
        std::printf(
            "\nsrec_cat start-up alone (srec_cat -VERSion, included in each srec_cat figure): %.2f ms",
            Median(runs) * 1e3);
    }
    std::printf(
        "\nsrec_cat / ours: srec_cat's time for the same conversion (a whole process) / our load + save.\n"
        "Tektronix and 8-bit Atmel generic address 64 KiB at most; srec_cat has no 8-bit Atmel format.\n");
    std::filesystem::remove_all(folder);
    return 0;
}
