// A private temporary folder standing for a file system root, with the
// printer port entries Linux shows under /proc, for discovery tests.
#pragma once

#include "common/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <string>

class TLptTree {
  public:
    const std::string& Root() const { return FDir.Path(); }

    // Writes Text to the file Path under the root, creating folders.
    void Write(const std::string& Path, const std::string& Text) const {
        const std::filesystem::path file = std::filesystem::path(FDir.Path()) / Path;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << Text;
    }
    // The kernel's entries of parport<Index>: base-addr holds the base and
    // the ECP range's base in decimal; irq and dma -1 for none. An empty
    // text leaves the file out.
    void Parport(int Index, const std::string& BaseAddr, const std::string& Irq = "-1\n",
                 const std::string& Dma = "-1\n") const {
        const std::string dir = "proc/sys/dev/parport/parport" + std::to_string(Index) + "/";
        if (!BaseAddr.empty()) Write(dir + "base-addr", BaseAddr);
        if (!Irq.empty()) Write(dir + "irq", Irq);
        if (!Dma.empty()) Write(dir + "dma", Dma);
    }
    void Ioports(const std::string& Text) const { Write("proc/ioports", Text); }

  private:
    TTempDir FDir{"lpt"};
};
