#include "sim_kinds/sim_parallel_port.h"

#include "errors/errors.h"
#include "ports/ppdev_io.h"

#include <cstdlib>

namespace {

constexpr char kPpdevDevice[] = "/dev/parport0";

std::unique_ptr<TSimLptIo> MakeIo(const TSimLptSetup& Setup, TSimLptCable& Cable) {
    auto io = std::make_unique<TSimLptIo>();
    io->AddPort(Setup.Base, Setup.Kind, &Cable);
    for (const auto& [base, kind] : Setup.OtherPorts)
        io->AddPort(base, kind);
    if (!Setup.BiosTableReadable) {
        io->BiosTable.reset();
    } else if (Setup.BiosTable) {
        io->BiosTable = Setup.BiosTable;
    } else {
        std::array<std::uint16_t, 3> table{Setup.Base, 0, 0};
        for (std::size_t i = 0; i < Setup.OtherPorts.size() && i + 1 < table.size(); ++i)
            table[i + 1] = Setup.OtherPorts[i].first;
        io->BiosTable = table;
    }
    return io;
}

} // namespace

std::optional<TSimLptSetup> TSimLptSetup::FromEnvironment() {
    const char* raw = std::getenv("NORVOISP_LPT_SIM");
    std::string value = raw ? raw : "";
    for (char& c : value)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (value.empty() || value == "0") return std::nullopt;
    TSimLptSetup setup;
    if (value == "1" || value == "ecp")
        setup.Kind = TSimLptKind::Ecp;
    else if (value == "ppdev")
        setup.Ppdev = true;
    else if (value == "epp")
        setup.Kind = TSimLptKind::Epp;
    else if (value == "ps2")
        setup.Kind = TSimLptKind::Ps2;
    else if (value == "spp")
        setup.Kind = TSimLptKind::Spp;
    else if (value == "3bc") {
        setup.Kind = TSimLptKind::ThreeRegisters;
        setup.Base = 0x3BC;
    } else
        throw EISPException("NORVOISP_LPT_SIM must be 1, ecp, epp, ps2, spp, 3bc or ppdev (it is \"" +
                                std::string(raw) + "\")",
                            false, "");
    return setup;
}

TSimParallelPort::TSimParallelPort(TSimLptSetup Setup)
    : FSetup(std::move(Setup)), FUnit(FSetup.Unit), FPins(FUnit, FSetup.Pins), FCable(FPins, FSetup.IoTime),
      FClock(FUnit.Clock()), FIo(nullptr), FPort([this]() -> std::unique_ptr<TVicLPT> {
          auto io = MakeIo(FSetup, FCable);
          FIo = io.get();
          if (!FSetup.Ppdev) return std::make_unique<TVicLPT>(std::move(io), FSetup.DiscoveryRoot);
          FPpdev.AddDevice(kPpdevDevice, *io->PortAt(FSetup.Base));
          FBus = std::move(io);
          std::vector<TPpdevPort> ports{{0, kPpdevDevice, FSetup.Base}};
          return std::make_unique<TVicLPT>(std::make_unique<TPpdevIo>(std::move(ports), FPpdev),
                                           FSetup.DiscoveryRoot);
      }()) {}

TSimParallelPort::~TSimParallelPort() = default;
