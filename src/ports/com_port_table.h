// The table that gives the port names "COM1", "COM2", ... their device
// paths on this system. The serial driver keeps it in its settings where the
// operator can see and edit it; devices it does not list yet are appended in
// the stable order of EnumerateSerialDevices, so a number, once given, keeps
// naming the same device.
#pragma once

#include <map>
#include <string>
#include <vector>

class TComPortTable {
  public:
    // The number of a port name: "COM7" and "\\.\COM7" (any letter case)
    // give 7; anything else 0.
    static int ComNumber(const std::string& Name);

    // Sets or replaces entry Number (1 or more); an empty path removes it.
    void Assign(int Number, const std::string& Path);
    // The device path of entry Number; empty when there is none.
    std::string PathOf(int Number) const;
    // The entry naming Path (links followed); 0 when none does.
    int NumberOf(const std::string& Path) const;
    // The entry naming Path, added with the lowest free number when missing.
    int Add(const std::string& Path);
    // Adds each device not named yet, in the given order.
    void Merge(const std::vector<std::string>& Devices);

    // The device path for a port name: a COM name through the table (empty
    // when the table has no such entry); any other name (a path) unchanged.
    std::string Resolve(const std::string& DeviceName) const;

    const std::map<int, std::string>& Entries() const { return FEntries; }
    bool Empty() const { return FEntries.empty(); }

  private:
    std::map<int, std::string> FEntries;
};
