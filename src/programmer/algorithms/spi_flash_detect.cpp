#include "programmer/algorithms/spi_flash_detect.h"

#include "buffer/hex_text.h"
#include "programmer/algorithms/sfdp_parser.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kRDID = 0x9F;
constexpr std::uint8_t kRES = 0xAB;
constexpr std::uint8_t kREMS = 0x90;
constexpr std::uint8_t kRDSFDP = 0x5A;
// 9Fh is read this often; a part that answers differently is loose.
constexpr int kIdReads = 3;

// JEDEC JEP106 bank 1 codes of the makers of SPI NOR flash.
const char* MakerOf(std::uint8_t Id) {
    switch (Id) {
    case 0x01:
        return "Spansion";
    case 0x1C:
        return "EON";
    case 0x1F:
        return "Adesto";
    case 0x20:
        return "Micron or XMC";
    case 0x5E:
        return "Zbit";
    case 0x68:
        return "Boya";
    case 0x85:
        return "Puya";
    case 0x9D:
        return "ISSI";
    case 0xBF:
        return "SST";
    case 0xC2:
        return "Macronix";
    case 0xC8:
        return "GigaDevice";
    case 0xEF:
        return "Winbond";
    default:
        return nullptr;
    }
}

class TProbe {
  public:
    explicit TProbe(TBusMaster& Bus) : FBus(Bus) {}

    std::array<std::uint8_t, 3> Jedec() {
        std::array<std::uint8_t, 3> id{};
        Ask(kRDID, 0, id);
        return id;
    }
    std::array<std::uint8_t, 2> Rems() {
        std::array<std::uint8_t, 2> id{};
        Ask(kREMS, 3, id); // address 0: the manufacturer first
        return id;
    }
    std::uint8_t Res() {
        std::uint8_t id = 0;
        Ask(kRES, 3, std::span<std::uint8_t>(&id, 1)); // three dummy bytes
        return id;
    }
    void Sfdp(std::uint32_t Address, std::span<std::uint8_t> Into, std::size_t Transfer) {
        FBus.Start();
        for (std::uint8_t b :
             {kRDSFDP, static_cast<std::uint8_t>(Address >> 16), static_cast<std::uint8_t>(Address >> 8),
              static_cast<std::uint8_t>(Address), std::uint8_t{0}})
            FBus.WriteByte(b);
        for (std::size_t at = 0; at < Into.size(); at += Transfer)
            FBus.ReadPage(Into.subspan(at, std::min(Transfer, Into.size() - at)));
        FBus.Stop();
        FBus.Sync();
    }

  private:
    // The instruction, Zeros zero bytes after it, then Into.size() bytes in.
    void Ask(std::uint8_t Opcode, int Zeros, std::span<std::uint8_t> Into) {
        FBus.Start();
        FBus.WriteByte(Opcode);
        for (int i = 0; i < Zeros; ++i)
            FBus.WriteByte(0x00);
        for (auto& b : Into)
            FBus.ReadByte(b);
        FBus.Stop();
        FBus.Sync();
    }

    TBusMaster& FBus;
};

} // namespace

std::string TSpiFlashDetection::Text() const {
    std::string id = "JEDEC id " + SpiIdText(JedecId.data(), 3);
    if (RemsId) id += ", REMS id " + SpiIdText(RemsId->data(), 2);
    if (!Part) return id + ": " + Cause;
    return id + ": " + Part->Name + " (" + Part->Maker + ", " + SpiSizeText(Part->Size) + ")" +
           (Warning.empty() ? "" : " - " + Warning);
}

TSpiFlashDetection SpiFlashDetect(TBusMaster& Bus, const TSpiFlashDatabase& Database,
                                  const TSpiFlashDetectParameters& Parameters) {
    TSpiFlashDetection d;
    TProbe probe(Bus);
    Bus.SelectBus(Parameters.Operation, true);
    Bus.BeginOperation(Parameters.Operation, false);
    std::vector<std::array<std::uint8_t, 3>> reads;
    for (int i = 0; i < kIdReads; ++i)
        reads.push_back(probe.Jedec());
    d.JedecId = reads.front();
    const auto finish = [&]() -> TSpiFlashDetection {
        Bus.EndOperation();
        return d;
    };

    if (std::any_of(reads.begin(), reads.end(), [&](const auto& r) { return r != reads.front(); })) {
        std::string seen;
        for (const auto& r : reads)
            seen += (seen.empty() ? "" : ", ") + SpiIdText(r.data(), 3);
        d.Cause = "the id changes from read to read (" + seen +
                  "): a bad contact; check that the clip sits firmly on every pin";
        return finish();
    }
    const std::array<std::uint8_t, 3> none{0xFF, 0xFF, 0xFF}, low{0x00, 0x00, 0x00};
    if (d.JedecId == none) {
        // An old part without 9Fh may still answer 90h or ABh.
        d.RemsId = probe.Rems();
        if (auto p = Database.FindByRemsId(*d.RemsId)) {
            d.Part = p;
            return finish();
        }
        d.ResId = probe.Res();
        if (auto p = Database.FindByResId(*d.ResId)) {
            d.Part = p;
            return finish();
        }
        d.Cause = "no answer (FF FF FF): nothing drives MISO; check the clip, pin 1 and the part's supply";
        return finish();
    }
    if (d.JedecId == low) {
        d.Cause = "00 00 00: MISO is held low; check for a short, or a board whose processor drives the "
                  "flash's lines (hold it in reset)";
        return finish();
    }
    if (auto p = Database.FindByJedecId(d.JedecId)) {
        d.Part = p;
        return finish();
    }

    // Not in the database: what the part says of itself.
    std::string why;
    const std::string hex = IntToHex(d.JedecId[0], 2) + IntToHex(d.JedecId[1], 2) + IntToHex(d.JedecId[2], 2);
    auto sfdp = PartFromSfdp(
        [&](std::uint32_t Address, std::span<std::uint8_t> Into) {
            probe.Sfdp(Address, Into, Parameters.TransferSize);
        },
        "SFDP " + hex, why);
    const char* maker = MakerOf(d.JedecId[0]);
    if (!sfdp) {
        d.Cause = "the id " + SpiIdText(d.JedecId.data(), 3) +
                  (maker ? std::string(" (") + maker + ")" : "") + " is not in the parts database and " +
                  why + "; add the part to a parts file of your own";
        return finish();
    }
    sfdp->Part.Maker = maker ? maker : "manufacturer " + IntToHex(d.JedecId[0], 2) + "h";
    sfdp->Part.JedecId = d.JedecId;
    std::string assumed;
    for (const auto& a : sfdp->Assumed)
        assumed += (assumed.empty() ? "" : ", ") + a;
    d.Warning =
        "not in the parts database: described by its SFDP table, which is not always right; assumed " +
        assumed + ". Check them against the datasheet before writing";
    d.Part = std::make_shared<const TSpiFlashPart>(std::move(sfdp->Part));
    d.FromSfdp = true;
    return finish();
}
