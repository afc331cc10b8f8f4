#include "settings/settings_store.h"

#include "common/temp_dir.h"
#include "settings/isp_reg_key.h"
#include "settings/registry_hive.h"
#include "settings/settings_error.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const std::string Global = std::string(ISPRegKey) + "\\GLOBAL";

std::string Text(const TSettingValue& v) {
    EXPECT_TRUE(std::holds_alternative<std::string>(v)) << "not text: " << ValueToText(v);
    return ValueToText(v);
}

// Every test gets its own registry file through the environment, never the
// user's.
class SettingsStore : public ::testing::Test {
  protected:
    TTempDir Dir;
    std::string HiveFile = Dir.File("registry.reg");
    TScopedEnv Env{TRegistryHive::FileVariable, HiveFile.c_str()};
    TISPSettings Store;

    TRegistryHive LoadHive() const {
        TRegistryHive hive(HiveFile);
        hive.Load();
        return hive;
    }
};

} // namespace

TEST_F(SettingsStore, GetSettingIgnoresCaseAndScopeAndTakesTheFirst) {
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    EXPECT_EQ(Text(Store.GetSetting("environment", "lastdevice", "none")), "24C64");
    EXPECT_EQ(Text(Store.GetSetting("Environment", "LastDevice", "none")), "24C64");
    EXPECT_EQ(Text(Store.GetSetting("ENVIRONMENT", "LASTHARDWARE", "none")), "none");
    EXPECT_EQ(Text(Store.GetSetting("CONFIG", "LASTDEVICE", "none")), "none");

    // Setting differs only in letter case: a second entry, the first still wins.
    Store.SetSetting("Environment", "LASTDEVICE", ss_project, "24C02");
    ASSERT_EQ(Store.Settings().size(), 2u);
    EXPECT_EQ(Store.Settings()[1].Module, "Environment");
    EXPECT_EQ(Store.Settings()[1].Scope, ss_project);
    EXPECT_EQ(Text(Store.GetSetting("ENVIRONMENT", "LASTDEVICE", "")), "24C64");
}

TEST_F(SettingsStore, SetSettingUpdatesInPlaceAndKeepsTheScope) {
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "24C64");
    Store.SetSetting("AUTOPROGRAM", "0", ss_global, true);
    Store.SetSetting("CONFIG", "DEVICE", ss_global, "25C040");
    ASSERT_EQ(Store.Settings().size(), 2u);
    EXPECT_EQ(Store.Settings()[0].Scope, ss_project);
    EXPECT_EQ(Text(Store.Settings()[0].Value), "25C040");

    // The entry stays project-scoped: it goes to project files, not to the registry.
    Store.SaveSettings(Global, sl_registry, ss_global);
    EXPECT_FALSE(LoadHive().KeyExists(Global + "\\CONFIG"));
    Store.SaveSettings(Dir.File("p.prj"), sl_file, ss_project);
    EXPECT_EQ(ReadBytes(Dir.File("p.prj")), "[CONFIG]\r\nDEVICE=25C040\r\n");
}

TEST_F(SettingsStore, ValuesKeepTheirKindUntilWrittenAndReadBack) {
    Store.SetSetting("ENVIRONMENT", "LASTDEVICETYPE", ss_global, 3);
    Store.SetSetting("AUTOPROGRAM", "1", ss_global, true);
    EXPECT_EQ(std::get<std::int32_t>(Store.GetSetting("ENVIRONMENT", "LASTDEVICETYPE", 0)), 3);
    EXPECT_TRUE(std::get<bool>(Store.GetSetting("AUTOPROGRAM", "1", false)));
    // Typed getters convert text and fall back on the default.
    Store.SetSetting("X", "n", ss_global, " 17 ");
    Store.SetSetting("X", "junk", ss_global, "17a");
    Store.SetSetting("X", "flag", ss_global, "false");
    EXPECT_EQ(Store.GetInteger("x", "N", -1), 17);
    EXPECT_EQ(Store.GetInteger("X", "junk", -1), -1);
    EXPECT_EQ(Store.GetInteger("X", "absent", -1), -1);
    EXPECT_FALSE(Store.GetBoolean("X", "flag", true));
    EXPECT_TRUE(Store.GetBoolean("X", "junk", true));
    EXPECT_EQ(Store.GetInteger("ENVIRONMENT", "LASTDEVICETYPE", -1), 3);
    EXPECT_EQ(Store.GetString("AUTOPROGRAM", "1", ""), "True");
}

TEST_F(SettingsStore, ClearSettingsAndChangeScopeMatchModulesExactly) {
    Store.SetSetting("AUTOPROGRAM", "0", ss_global, true);
    Store.SetSetting("AUTOPROGRAM", "1", ss_project, false);
    Store.SetSetting("autoprogram", "2", ss_global, true);
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "24C64");

    Store.ClearSettings(ss_global, "AUTOPROGRAM");
    std::vector<std::string> left;
    for (const auto& s : Store.Settings())
        left.push_back(s.Module + "/" + s.Name);
    EXPECT_EQ(left, (std::vector<std::string>{"AUTOPROGRAM/1", "autoprogram/2", "ENVIRONMENT/LASTDEVICE",
                                              "CONFIG/DEVICE"}));

    Store.ChangeScope("AUTOPROGRAM", ss_global);
    EXPECT_EQ(Store.Settings()[0].Scope, ss_global);
    EXPECT_EQ(Store.Settings()[1].Scope, ss_global); // "autoprogram" was global already
    Store.ChangeScope("autoprogram", ss_project);
    EXPECT_EQ(Store.Settings()[0].Scope, ss_global);
    EXPECT_EQ(Store.Settings()[1].Scope, ss_project);

    Store.ClearSettings(ss_project);
    left.clear();
    for (const auto& s : Store.Settings())
        left.push_back(s.Module + "/" + s.Name);
    EXPECT_EQ(left, (std::vector<std::string>{"AUTOPROGRAM/1", "ENVIRONMENT/LASTDEVICE"}));
}

TEST_F(SettingsStore, RegistryRoundTrip) {
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SetSetting("ENVIRONMENT", "LASTDEVICETYPE", ss_global, 3);
    Store.SetSetting("AUTOPROGRAM", "0", ss_global, true);
    Store.SetSetting("AUTOPROGRAM", "1", ss_global, false);
    Store.SetSetting("Norvo ISP (LPT)", "BASEPORT", ss_global, 888);
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "not for the registry");
    Store.SaveSettings(Global, sl_registry, ss_global);

    const TRegistryHive hive = LoadHive();
    EXPECT_EQ(hive.ReadString(Global + "\\ENVIRONMENT", "LASTDEVICETYPE"), "3");
    EXPECT_EQ(hive.ReadString(Global + "\\AUTOPROGRAM", "0"), "True");
    EXPECT_EQ(hive.ReadString(Global + "\\AUTOPROGRAM", "1"), "False");

    TISPSettings loaded;
    loaded.LoadSettings(Global, sl_registry, ss_global);
    EXPECT_EQ(Text(loaded.GetSetting("ENVIRONMENT", "LASTDEVICETYPE", 0)), "3");
    EXPECT_EQ(loaded.GetInteger("ENVIRONMENT", "LASTDEVICETYPE", 0), 3);
    EXPECT_EQ(Text(loaded.GetSetting("AUTOPROGRAM", "0", false)), "True");
    EXPECT_TRUE(loaded.GetBoolean("AUTOPROGRAM", "0", false));
    EXPECT_FALSE(loaded.GetBoolean("AUTOPROGRAM", "1", true));
    EXPECT_EQ(loaded.GetInteger("Norvo ISP (LPT)", "BASEPORT", 0), 888);
    EXPECT_EQ(Text(loaded.GetSetting("CONFIG", "DEVICE", "")), "");
    EXPECT_EQ(loaded.Settings().size(), 5u);
    for (const auto& s : loaded.Settings())
        EXPECT_EQ(s.Scope, ss_global);
}

TEST_F(SettingsStore, FileRoundTripWithWindowsLayout) {
    const std::string prj = Dir.File("board.prj");
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "24C64");
    Store.SetSetting("CONFIG", "DEVICETYPE", ss_project, 0);
    Store.SetSetting("CONFIG", "HARDWARE", ss_project, "Norvo ISP (COM)");
    Store.SetSetting("AUTOPROGRAM", "0", ss_project, true);
    Store.SetSetting("CONFIG", "FLASHFILE", ss_project, "/home/op/data/board v2.hex");
    Store.SetSetting("ENVIRONMENT", "LASTPROJECT", ss_global, prj);
    Store.SaveSettings(prj, sl_file, ss_project);
    EXPECT_EQ(ReadBytes(prj), "[CONFIG]\r\nDEVICE=24C64\r\nDEVICETYPE=0\r\nHARDWARE=Norvo ISP (COM)\r\n"
                              "FLASHFILE=/home/op/data/board v2.hex\r\n\r\n[AUTOPROGRAM]\r\n0=True\r\n");

    TISPSettings loaded;
    loaded.LoadSettings(prj, sl_file, ss_project);
    EXPECT_EQ(loaded.Settings().size(), 5u);
    EXPECT_EQ(Text(loaded.GetSetting("CONFIG", "DEVICETYPE", 9)), "0");
    EXPECT_EQ(Text(loaded.GetSetting("CONFIG", "FLASHFILE", "")), "/home/op/data/board v2.hex");
    EXPECT_TRUE(loaded.GetBoolean("AUTOPROGRAM", "0", false));
}

TEST_F(SettingsStore, WindowsProjectFileWithOddKeyCaseLoads) {
    const std::string prj = Dir.File("old.prj");
    WriteBytes(prj, "[config]\r\nDevice=24C256\r\n devicetype = 1 \r\nHARDWARE=Norvo ISP (LPT)\r\n"
                    "FlashFile=C:\\Data\\board.hex\r\n\r\n[AutoProgram]\r\n0=True\r\n1=False\r\n2=TRUE\r\n");
    Store.LoadSettings(prj, sl_file, ss_project);
    EXPECT_EQ(Store.GetString("CONFIG", "DEVICE", ""), "24C256");
    EXPECT_EQ(Store.GetInteger("CONFIG", "DEVICETYPE", 0), 1);
    EXPECT_EQ(Store.GetString("CONFIG", "HARDWARE", ""), "Norvo ISP (LPT)");
    EXPECT_EQ(Store.GetString("CONFIG", "FLASHFILE", ""), "C:\\Data\\board.hex");
    EXPECT_TRUE(Store.GetBoolean("AUTOPROGRAM", "0", false));
    EXPECT_FALSE(Store.GetBoolean("AUTOPROGRAM", "1", true));
    EXPECT_TRUE(Store.GetBoolean("AUTOPROGRAM", "2", false));
    // Saving the project again after the program set its own spelling keeps
    // one key per name in the file: the file's names are case-blind.
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "24C512");
    Store.SaveSettings(prj, sl_file, ss_project);
    EXPECT_EQ(ReadBytes(prj), "[config]\r\nDevice=24C512\r\ndevicetype=1\r\nHARDWARE=Norvo ISP (LPT)\r\n"
                              "FlashFile=C:\\Data\\board.hex\r\n\r\n[AutoProgram]\r\n0=True\r\n1=False\r\n"
                              "2=TRUE\r\n");
}

TEST_F(SettingsStore, LoadClearsTheWholeScopeFirst) {
    const std::string first = Dir.File("first.prj"), second = Dir.File("second.prj");
    WriteBytes(first, "[CONFIG]\nDEVICE=24C01\nFLASHFILE=a.hex\n[EXTRA]\nX=1\n");
    WriteBytes(second, "[CONFIG]\nDEVICE=24C02\n[ENVIRONMENT]\nLASTDEVICE=from project\n");
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SetSetting("AUTOPROGRAM", "0", ss_global, true);

    Store.LoadSettings(first, sl_file, ss_project);
    EXPECT_EQ(Store.GetString("EXTRA", "X", ""), "1");
    Store.LoadSettings(second, sl_file, ss_project);
    EXPECT_EQ(Store.GetString("CONFIG", "DEVICE", ""), "24C02");
    EXPECT_EQ(Store.GetString("CONFIG", "FLASHFILE", "gone"), "gone");
    EXPECT_EQ(Store.GetString("EXTRA", "X", "gone"), "gone");
    // A name the store already holds with the other scope keeps its entry
    // and scope; only the value changes.
    ASSERT_EQ(Store.Settings().size(), 3u);
    EXPECT_EQ(Store.Settings()[0].Module, "ENVIRONMENT");
    EXPECT_EQ(Store.Settings()[0].Scope, ss_global);
    EXPECT_EQ(Text(Store.Settings()[0].Value), "from project");
    EXPECT_TRUE(Store.GetBoolean("AUTOPROGRAM", "0", false));

    // A missing file reads as empty: the project scope is simply cleared.
    Store.LoadSettings(Dir.File("missing.prj"), sl_file, ss_project);
    EXPECT_EQ(Store.Settings().size(), 2u);
}

TEST_F(SettingsStore, SaveErasesEverySectionAtThePath) {
    WriteBytes(HiveFile,
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL]\r\n"
               "\"KeptAtTheKeyItself\"=\"yes\"\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\OBSOLETE]\r\n"
               "\"Old\"=dword:00000001\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\OBSOLETE\\Deeper]\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
               "\"Stale\"=\"x\"\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\board]\r\n"
               "\"Count\"=dword:0000002a\r\n\r\n");
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SaveSettings(Global, sl_registry, ss_global);

    const TRegistryHive hive = LoadHive();
    EXPECT_EQ(hive.GetKeyNames(Global), std::vector<std::string>{"ENVIRONMENT"});
    EXPECT_EQ(hive.GetValueNames(Global + "\\ENVIRONMENT"), std::vector<std::string>{"LASTDEVICE"});
    EXPECT_EQ(hive.ReadString(Global, "KeptAtTheKeyItself"), "yes");
    // Keys elsewhere in the hive, values of other types included, survive.
    const auto count = hive.ReadValue(std::string(ISPRegKey) + "\\PROJECTS\\board", "Count");
    ASSERT_TRUE(count);
    EXPECT_EQ(count->Type, rt_dword);
    EXPECT_EQ(count->Bytes, std::string("\x2a\0\0\0", 4));

    // The file back-end likewise keeps no section of the old file.
    const std::string prj = Dir.File("p.prj");
    WriteBytes(prj, "[UNKNOWN]\r\nA=1\r\n[CONFIG]\r\nDEVICE=x\r\n");
    Store.SaveSettings(prj, sl_file, ss_project);
    EXPECT_EQ(ReadBytes(prj), "");
}

TEST_F(SettingsStore, LoadCreatesAMissingKey) {
    Store.LoadSettings(Global, sl_registry, ss_global);
    EXPECT_TRUE(Store.Settings().empty());
    EXPECT_TRUE(LoadHive().KeyExists(Global));
}

TEST_F(SettingsStore, ExpandableTextLoadsAsText) {
    // hex(2) = "%TEMP%" in UTF-16LE, as regedit writes an expandable string.
    WriteBytes(HiveFile, "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                         "\"LASTPROJECT\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n");
    Store.LoadSettings(Global, sl_registry, ss_global);
    EXPECT_EQ(Store.GetString("ENVIRONMENT", "LASTPROJECT", ""), "%TEMP%");
}

TEST_F(SettingsStore, BackEndFailuresRaiseAndLeaveTheStoreAsItWas) {
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SetSetting("CONFIG", "DEVICE", ss_project, "24C02");
    const auto before = Store.Settings().size();

    // A value of another type than text in a key being read.
    WriteBytes(HiveFile, "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM]\r\n"
                         "\"0\"=\"True\"\r\n"
                         "\"1\"=dword:00000001\r\n");
    try {
        Store.LoadSettings(Global, sl_registry, ss_global);
        FAIL() << "no error raised";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, HiveFile);
        EXPECT_NE(e.Message().find("\"1\""), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find(HiveFile), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Store.Settings().size(), before);
    EXPECT_EQ(Store.GetString("ENVIRONMENT", "LASTDEVICE", ""), "24C64");

    // A project file that is a folder.
    EXPECT_THROW(Store.LoadSettings(Dir.Path(), sl_file, ss_project), ESettingsError);
    EXPECT_EQ(Store.GetString("CONFIG", "DEVICE", ""), "24C02");

    // A project file in a folder that does not exist.
    const std::string nowhere = Dir.File("no/such/folder/p.prj");
    try {
        Store.SaveSettings(nowhere, sl_file, ss_project);
        FAIL() << "no error raised";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, nowhere);
        EXPECT_NE(e.Message().find(nowhere), std::string::npos);
    }
}

TEST_F(SettingsStore, RegistryFileFollowsTheEnvironmentUnlessSet) {
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C64");
    Store.SaveSettings(Global, sl_registry, ss_global);
    EXPECT_EQ(LoadHive().ReadString(Global + "\\ENVIRONMENT", "LASTDEVICE"), "24C64");

    const std::string other = Dir.File("sub/other.reg");
    Store.SetRegistryFile(other);
    Store.SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, "24C02");
    Store.SaveSettings(Global, sl_registry, ss_global);
    TRegistryHive hive(other);
    hive.Load();
    EXPECT_EQ(hive.ReadString(Global + "\\ENVIRONMENT", "LASTDEVICE"), "24C02");
    EXPECT_EQ(LoadHive().ReadString(Global + "\\ENVIRONMENT", "LASTDEVICE"), "24C64");
}
