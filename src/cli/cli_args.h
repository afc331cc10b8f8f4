// A small option parser for the subcommands: "--name value", "--name=value",
// flags, and positional arguments.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class CliUsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CliArgs {
  public:
    // valueOptions take a value, flags do not; anything else starting with
    // "--" is a usage error.
    CliArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
            const std::set<std::string>& flags);

    const std::vector<std::string>& Positional() const { return FPositional; }
    // A usage error naming the first positional argument, if there is one.
    void NoPositional() const;
    bool Has(const std::string& name) const { return FValues.count(name) || FFlags.count(name); }
    // The value of an option (the last one when it was given more than once).
    std::optional<std::string> Value(const std::string& name) const;
    // Every value of an option given more than once, in order.
    std::vector<std::string> Values(const std::string& name) const;
    std::string ValueOr(const std::string& name, const std::string& fallback) const;
    // The value of an option the subcommand cannot do without; a usage error
    // when it is missing.
    std::string Required(const std::string& name) const;
    // An integer option within [lo, hi]; a usage error otherwise.
    std::optional<long> IntValue(const std::string& name, long lo, long hi) const;

  private:
    std::vector<std::string> FPositional;
    std::map<std::string, std::string> FValues;
    std::map<std::string, std::vector<std::string>> FAllValues;
    std::set<std::string> FFlags;
};
