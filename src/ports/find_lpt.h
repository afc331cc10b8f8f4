// TFindLpt: which I/O ranges, interrupt and DMA channel the operating system
// gives the printer port "LPT<n>". On Linux LPT<n> is the kernel's parport<n-1>:
//   <root>/proc/sys/dev/parport/parport<n-1>/base-addr  "<base>\t<base_hi>"
//                                              irq, dma   a number, -1 = none
// and, when that folder is missing or unreadable, the "parport<n-1>" lines of
// <root>/proc/ioports ("0378-037a : parport0"; ranges only). The root folder
// is "/" on a running system; tests use fixture trees, and an empty root
// stands for a platform without any discovery (every search fails).
#pragma once

#include <cstdint>
#include <string>

class TFindLpt {
  public:
    explicit TFindLpt(std::string RootFolder = "/");

    // Searches for "LPT" + n; true when found. The counters then describe
    // that port; each search resets the counters (not the values).
    bool SearchLpt(std::uint8_t n);

    std::uint8_t IRQCounter() const { return fIRQCounter; }
    std::uint8_t IRQNumber() const { return fIRQNumber; }
    std::uint8_t DMACounter() const { return fDMACounter; }
    std::uint8_t DMAChannel() const { return fDMAChannel; }
    // I/O ranges found: at most two are kept, further ones are ignored.
    std::uint8_t PortCounter() const { return fPortCounter; }
    // First and last address of range i (1-based); 0xFFFF for i outside
    // 1..PortCounter.
    std::uint16_t PortBase(int i) const { return GetPortBase(i); }
    std::uint16_t PortEnd(int i) const;
    std::uint16_t GetPortBase(int i) const;
    const std::string& ClassN() const { return fClassN; }
    const std::string& RootFolder() const { return fRoot; }

    // Longest value read from a file; a longer one counts as absent.
    static constexpr std::size_t kMaxValue = 512;
    // Longest /proc/ioports read; lines past it are not looked at.
    static constexpr std::size_t kMaxIoports = 64 * 1024;

  private:
    bool SearchParport(const std::string& Name);
    bool SearchIoports(const std::string& Name);
    void AddRange(std::uint32_t Base, std::uint32_t End);

    std::string fRoot;
    std::string fClassN;
    std::uint16_t fDevices = 0;
    std::uint8_t fIRQCounter = 0;
    std::uint8_t fIRQNumber = 0;
    std::uint8_t fDMACounter = 0;
    std::uint8_t fDMAChannel = 0;
    std::uint8_t fPortCounter = 0;
    std::uint16_t fPortBase[3] = {}; // index 1..2
    std::uint16_t fPortEnd[3] = {};
};
