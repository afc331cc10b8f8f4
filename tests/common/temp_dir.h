// Shared by every test floor: a private temporary folder for one test,
// removed with everything in it, whole-file helpers and a scoped
// environment variable.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class TTempDir {
  public:
    // Tag names the folder (norvoisp-<Tag>-XXXXXX), so a leftover shows
    // which tests left it.
    explicit TTempDir(std::string_view Tag = "test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / ("norvoisp-" + std::string(Tag) + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempDir() {
        // A test may have taken the owner's rights away to provoke a failure.
        std::error_code ec;
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return FPath; }
    std::string File(std::string_view Name) const { return FPath + "/" + std::string(Name); }
    // Names of the entries of the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(FPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string FPath;
};

inline std::string ReadBytes(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& FileName, std::string_view Data) {
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    out.write(Data.data(), static_cast<std::streamsize>(Data.size()));
}

// Sets an environment variable for the lifetime of the object and restores
// the previous state afterwards.
class TScopedEnv {
  public:
    TScopedEnv(const char* Name, const char* Value) : FName(Name) {
        if (const char* old = std::getenv(Name)) FOld = old, FHad = true;
        if (Value)
            setenv(Name, Value, 1);
        else
            unsetenv(Name);
    }
    ~TScopedEnv() {
        if (FHad)
            setenv(FName.c_str(), FOld.c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

  private:
    std::string FName, FOld;
    bool FHad = false;
};
