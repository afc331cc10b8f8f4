#include "cli/production_options.h"

#include <charconv>
#include <filesystem>

std::set<std::string> ProductionValueOptions(std::set<std::string> Extra) {
    Extra.insert({"log", "serial-at", "serial-bytes", "serial", "serial-step", "serial-file", "line-db",
                  "station", "serial-series", "serial-lease"});
    return Extra;
}

std::uint64_t CliNumber(const CliArgs& Args, const std::string& Name, std::uint64_t Max) {
    const std::string text = Args.Required(Name);
    int base = 10;
    std::size_t skip = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        skip = 2;
    }
    std::uint64_t value = 0;
    const char* b = text.data() + skip;
    const char* e = text.data() + text.size();
    const auto [p, ec] = std::from_chars(b, e, value, base);
    if (b == e || ec != std::errc() || p != e || value > Max)
        throw CliUsageError("option --" + Name + " needs a number from 0 to " + std::to_string(Max) +
                            " (decimal, or hexadecimal after 0x)");
    return value;
}

std::string AbsolutePath(const std::string& Path) {
    std::error_code ec;
    const auto abs = std::filesystem::absolute(Path, ec);
    return ec ? Path : abs.lexically_normal().string();
}

TSerialAllocator TSerialOptions::Allocator(int Unit) const {
    if (StateFile) return TSerialAllocator(Start, Step, Max(), StateFile);
    const std::uint64_t offset = Unit > 1 ? Step * std::uint64_t(Unit - 1) : 0;
    return TSerialAllocator(Start + offset, Step, Max());
}

namespace {

std::optional<TLineDbOptions> ReadLineDbOptions(const CliArgs& Args) {
    std::optional<std::string> url = Args.Value("line-db");
    if (url && url->empty()) throw CliUsageError("option --line-db needs a connection string or URL");
    if (!url) url = LineDbFromEnvironment();
    if (!url) {
        for (const char* name : {"station", "serial-series", "serial-lease"})
            if (Args.Has(name)) throw CliUsageError(std::string("option --") + name + " needs --line-db");
        return std::nullopt;
    }
    TLineDbOptions o;
    o.Connection = *url;
    o.Station = Args.Value("station").value_or(DefaultStationName());
    o.Series = Args.Value("serial-series").value_or("default");
    try {
        CheckLineName("The station", o.Station);
        CheckLineName("The serial series", o.Series);
    } catch (const EISPException& e) {
        throw CliUsageError(e.Message());
    }
    if (Args.Has("serial-lease")) o.LeaseSize = CliNumber(Args, "serial-lease", 1000000);
    if (o.LeaseSize == 0) throw CliUsageError("option --serial-lease needs a number from 1 to 1000000");
    return o;
}

} // namespace

TProductionOptions ReadProductionOptions(const CliArgs& Args, const TDevice& Device) {
    TProductionOptions o;
    if (const auto log = Args.Value("log")) {
        if (log->empty()) throw CliUsageError("option --log needs a file name");
        o.LogFile = AbsolutePath(*log);
    }
    o.LineDb = ReadLineDbOptions(Args);
    if (o.LineDb && !o.LogFile)
        throw CliUsageError(
            "--line-db needs --log FILE: the log is the spool the line database is filled from");
    const bool any = Args.Has("serial-at") || Args.Has("serial-bytes") || Args.Has("serial") ||
                     Args.Has("serial-step") || Args.Has("serial-file");
    if (!any) return o;
    if (!Args.Has("serial-at") || !Args.Has("serial-bytes") || !Args.Has("serial"))
        throw CliUsageError("serial numbers need --serial-at, --serial-bytes and --serial");
    TSerialOptions s;
    s.Bytes = static_cast<int>(*Args.IntValue("serial-bytes", 2, 4));
    const std::uint64_t size = static_cast<std::uint64_t>(Device.FlashSize());
    if (size < static_cast<std::uint64_t>(s.Bytes))
        throw CliUsageError("the device has no room for a serial number");
    s.Address =
        static_cast<std::uint32_t>(CliNumber(Args, "serial-at", size - static_cast<std::uint64_t>(s.Bytes)));
    s.Start = CliNumber(Args, "serial", s.Max());
    if (Args.Has("serial-step")) {
        s.Step = CliNumber(Args, "serial-step", s.Max());
        if (s.Step == 0)
            throw CliUsageError("option --serial-step needs a number from 1 to " + std::to_string(s.Max()));
    }
    if (const auto file = Args.Value("serial-file")) {
        if (file->empty()) throw CliUsageError("option --serial-file needs a file name");
        s.StateFile = AbsolutePath(*file);
    }
    if (o.LineDb && !s.StateFile)
        throw CliUsageError(
            "serial numbers from --line-db need --serial-file FILE: it keeps the station's lease");
    o.Serial = s;
    return o;
}
