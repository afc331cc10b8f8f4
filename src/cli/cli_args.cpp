#include "cli/cli_args.h"

#include <charconv>

CliArgs::CliArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                 const std::set<std::string>& flags) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            FPositional.push_back(a);
            continue;
        }
        std::string name = a.substr(2), value;
        const auto eq = name.find('=');
        const bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) throw CliUsageError("option --" + name + " needs a value");
                value = args[++i];
            }
            FValues[name] = value;
            FAllValues[name].push_back(value);
        } else if (flags.count(name) && !inlineValue) {
            FFlags.insert(name);
        } else {
            throw CliUsageError("unknown option --" + name);
        }
    }
}

void CliArgs::NoPositional() const {
    if (!FPositional.empty()) throw CliUsageError("unexpected argument \"" + FPositional.front() + "\"");
}

std::optional<std::string> CliArgs::Value(const std::string& name) const {
    auto it = FValues.find(name);
    if (it == FValues.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> CliArgs::Values(const std::string& name) const {
    auto it = FAllValues.find(name);
    return it == FAllValues.end() ? std::vector<std::string>{} : it->second;
}

std::string CliArgs::ValueOr(const std::string& name, const std::string& fallback) const {
    return Value(name).value_or(fallback);
}

std::string CliArgs::Required(const std::string& name) const {
    auto v = Value(name);
    if (!v) throw CliUsageError("option --" + name + " is required");
    return *v;
}

std::optional<long> CliArgs::IntValue(const std::string& name, long lo, long hi) const {
    auto v = Value(name);
    if (!v) return std::nullopt;
    long n = 0;
    const char* b = v->data();
    const char* e = b + v->size();
    auto [p, ec] = std::from_chars(b, e, n);
    if (ec != std::errc() || p != e || n < lo || n > hi)
        throw CliUsageError("option --" + name + " needs a number from " + std::to_string(lo) + " to " +
                            std::to_string(hi));
    return n;
}
