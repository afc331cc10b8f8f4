#include "settings/ini_file.h"

#include "common/temp_dir.h"
#include "settings/settings_error.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TIniFile FromBytes(std::string_view bytes) {
    TIniFile ini;
    ini.LoadFromBytes(bytes);
    return ini;
}

} // namespace

TEST(IniFile, WindowsReadingRules) {
    const TIniFile ini = FromBytes("orphan=before any section\r\n"
                                   "; comment=not a key\r\n"
                                   "  [ Config ]  trailing text\r\n"
                                   "  Device  =  24C64  \r\n"
                                   "Path=C:\\a=b\\c.hex\r\n"
                                   "Quoted=\" padded \"\r\n"
                                   "Single='x'\r\n"
                                   "Mixed=\"x'\r\n"
                                   "Lone=\"\r\n"
                                   "Empty=\r\n"
                                   "=no name\r\n"
                                   "no equals sign\r\n"
                                   "DEVICE=second one is hidden\r\n"
                                   "[unclosed\r\n"
                                   "Lost=under a broken section line\r\n"
                                   "[]\r\n"
                                   "Lost2=x\r\n"
                                   "[CONFIG]\r\n"
                                   "Extra=merged into the first section\r\n"
                                   "\t[Other]\r\n"
                                   "k=v");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Config", "Other"}));
    EXPECT_EQ(ini.ReadSectionValues("config"), (TPairs{{"Device", "24C64"},
                                                       {"Path", "C:\\a=b\\c.hex"},
                                                       {"Quoted", " padded "},
                                                       {"Single", "x"},
                                                       {"Mixed", "\"x'"},
                                                       {"Lone", "\""},
                                                       {"Empty", ""},
                                                       {"Extra", "merged into the first section"}}));
    EXPECT_EQ(ini.ReadString("OTHER", "K", "-"), "v");
    EXPECT_EQ(ini.ReadString("Other", "missing", "-"), "-");
    EXPECT_FALSE(ini.SectionExists("unclosed"));
}

TEST(IniFile, WritesWindowsLayoutAndQuotesWhatWouldBeLost) {
    TIniFile ini;
    ini.WriteString("CONFIG", "DEVICE", "24C64");
    ini.WriteString("CONFIG", "DEVICETYPE", "1");
    ini.WriteString("AUTOPROGRAM", "0", "True");
    ini.WriteString("config", "device", "24C128"); // replaces, keeps the spelling
    ini.WriteString("X", "lead", " a");
    ini.WriteString("X", "trail", "a\t");
    ini.WriteString("X", "dq", "\"a\"");
    ini.WriteString("X", "sq", "'a'");
    ini.WriteString("X", "inner", "a\"b'c");
    ini.WriteString("X", "eq", "a=b");
    ini.WriteString("X", "empty", "");
    ini.WriteString("X", "break", "one\r\n[INJECTED]\nk=v");
    const std::string text = ini.SaveToText();
    EXPECT_EQ(text, "[CONFIG]\r\nDEVICE=24C128\r\nDEVICETYPE=1\r\n"
                    "\r\n[AUTOPROGRAM]\r\n0=True\r\n"
                    "\r\n[X]\r\nlead=\" a\"\r\ntrail=\"a\t\"\r\ndq=\"\"a\"\"\r\nsq=\"'a'\"\r\n"
                    "inner=a\"b'c\r\neq=a=b\r\nempty=\r\nbreak=one  [INJECTED] k=v\r\n");

    const TIniFile back = FromBytes(text);
    EXPECT_EQ(back.ReadSections(), (std::vector<std::string>{"CONFIG", "AUTOPROGRAM", "X"}));
    for (const auto& [name, value] : ini.ReadSectionValues("X"))
        EXPECT_EQ(back.ReadValue("X", name), value) << name;
}

TEST(IniFile, ReadsEveryEncodingWindowsWrites) {
    const std::string ascii = "[CONFIG]\r\nFLASHFILE=C:\\M~ller\\a.hex\r\n";
    std::string utf16 = "\xFF\xFE";
    std::string ansi;
    for (const char c : ascii) {
        utf16 += c == '~' ? "\xFC\0"s : std::string{c, '\0'};
        ansi += c == '~' ? '\xFC' : c;
    }
    std::string utf8 = ascii;
    utf8.replace(utf8.find('~'), 1, "\xC3\xBC");
    for (const std::string& bytes : {utf16, ansi, utf8, "\xEF\xBB\xBF" + utf8})
        EXPECT_EQ(FromBytes(bytes).ReadString("config", "flashfile", ""), "C:\\M\xC3\xBCller\\a.hex");
}

TEST(IniFile, EraseAndClear) {
    TIniFile ini = FromBytes("[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n");
    EXPECT_EQ(ini.ReadSectionValues("A"), (TPairs{{"x", "1"}, {"z", "3"}}));
    ini.EraseSection("a");
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"B"});
    ini.Clear();
    EXPECT_EQ(ini.SaveToText(), "");
}

TEST(IniFile, FilesOnDisk) {
    TTempDir dir;
    TIniFile missing(dir.File("none.prj"));
    missing.Load();
    EXPECT_TRUE(missing.ReadSections().empty());

    TIniFile ini(dir.File("p.prj"));
    ini.WriteString("CONFIG", "DEVICE", "24C64");
    ini.Save();
    EXPECT_EQ(ReadBytes(dir.File("p.prj")), "[CONFIG]\r\nDEVICE=24C64\r\n");

    TIniFile folder(dir.Path());
    try {
        folder.Load();
        FAIL() << "a folder was read as a file";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, dir.Path());
        EXPECT_NE(e.Message().find(dir.Path()), std::string::npos);
    }
}

TEST(IniFile, DamagedFilesNeverFail) {
    const std::string cases[] = {
        "\0\0\0[\0]\0=\0"s,           "\xFF\xFE[\0A\0]\0\n\0k\0=\0v\0"s,         std::string(5000, '='),
        "[" + std::string(3000, ']'), "[a]\n" + std::string(2000, '\r') + "k=v", "\xC3\xA9\xFF\xFE[x]\nk=\"",
        "\xFF\xFE\x00\xD8"s,
    };
    for (const auto& bytes : cases) {
        TIniFile ini;
        EXPECT_NO_THROW(ini.LoadFromBytes(bytes));
        const std::string text = ini.SaveToText();
        const TIniFile back = FromBytes(text);
        EXPECT_EQ(back.ReadSections(), ini.ReadSections());
        for (const auto& section : ini.ReadSections())
            EXPECT_EQ(back.ReadSectionValues(section), ini.ReadSectionValues(section));
    }
    EXPECT_EQ(FromBytes(cases[1]).ReadString("A", "k", ""), "v");
}
