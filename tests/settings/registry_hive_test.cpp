#include "settings/registry_hive.h"

#include "common/temp_dir.h"
#include "settings/reg_file.h"
#include "settings/settings_error.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

const std::string Env = "Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT";
const std::string Board = "Software\\lumora\\NorvoISP0001\\PROJECTS\\board";

// UTF-16LE with a byte order mark, as regedit exports: ASCII widened, and
// the placeholder '~' standing for U+00FC (u umlaut).
std::string Utf16Export(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        if (c == '~') {
            out += "\xFC\0"s;
        } else {
            out += c;
            out += '\0';
        }
    }
    return out;
}

const std::string RegeditExport =
    Utf16Export("Windows Registry Editor Version 5.00\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001]\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL]\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                "\"LASTDEVICE\"=\"24C64\"\r\n"
                "\"LASTPROJECT\"=\"C:\\\\Projekte\\\\M~ller \\\"neu\\\".prj\"\r\n"
                "\"Say \\\"hi\\\"\"=\"\"\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\board]\r\n"
                "@=\"default text\"\r\n"
                "\"Count\"=dword:0000002a\r\n"
                "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
                "  16,17,18,19\r\n"
                "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
                "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                "\r\n");

TRegistryHive FromBytes(std::string_view bytes) {
    TRegistryHive hive;
    hive.LoadFromBytes(bytes);
    return hive;
}

void ExpectRegeditExportContents(const TRegistryHive& hive) {
    EXPECT_EQ(hive.ReadString(Env, "LASTDEVICE"), "24C64");
    EXPECT_EQ(hive.ReadString(Env, "lastproject"), "C:\\Projekte\\M\xC3\xBCller \"neu\".prj");
    EXPECT_TRUE(hive.ValueExists(Env, "Say \"hi\""));
    EXPECT_EQ(hive.ReadString(Board, ""), "default text");
    EXPECT_EQ(hive.ReadValue(Board, "Count"), (TRegData{rt_dword, "\x2a\0\0\0"s}));
    std::string blob;
    for (char b = 0; b < 0x1a; ++b)
        blob += b;
    EXPECT_EQ(hive.ReadValue(Board, "Blob"), (TRegData{rt_binary, blob}));
    EXPECT_EQ(hive.ReadString(Board, "Path"), "%TEMP%");
    EXPECT_EQ(hive.ReadValue(Board, "Big"), (TRegData{rt_qword, "\1\0\0\0\0\0\0\0"s}));
    EXPECT_EQ(hive.GetValueNames(Board), (std::vector<std::string>{"", "Count", "Blob", "Path", "Big"}));
}

} // namespace

TEST(RegistryHive, ReadsRegeditUtf16Export) {
    const TRegScript script = ParseRegScript(RegeditExport);
    EXPECT_TRUE(script.HasHeader);
    EXPECT_EQ(script.Encoding, TTextEncoding::Utf16Le);
    EXPECT_EQ(script.SkippedLines, 0u);
    ExpectRegeditExportContents(FromBytes(RegeditExport));
}

TEST(RegistryHive, RewritePreservesEveryValue) {
    TTempDir dir;
    const std::string file = dir.File("registry.reg");
    WriteBytes(file, RegeditExport);
    TRegistryHive hive(file);
    hive.Load();
    hive.WriteString(Env, "LASTHARDWARE", "Norvo ISP (COM)");
    hive.Save();

    const std::string written = ReadBytes(file);
    EXPECT_EQ(written.rfind("Windows Registry Editor Version 5.00\r\n\r\n[", 0), 0u);
    EXPECT_NE(written.find("\"LASTPROJECT\"=\"C:\\\\Projekte\\\\M\xC3\xBCller \\\"neu\\\".prj\"\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("\"Say \\\"hi\\\"\"=\"\"\r\n"), std::string::npos);
    EXPECT_NE(written.find("\"Count\"=dword:0000002a\r\n"), std::string::npos);
    EXPECT_NE(written.find("\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"), std::string::npos);
    EXPECT_EQ(written.find('\n'), written.find("\r\n") + 1);
    for (std::size_t pos = 0; (pos = written.find('\n', pos + 1)) != std::string::npos;)
        EXPECT_EQ(written[pos - 1], '\r');

    TRegistryHive again(file);
    again.Load();
    ExpectRegeditExportContents(again);
    EXPECT_EQ(again.ReadString(Env, "LASTHARDWARE"), "Norvo ISP (COM)");
    // Writing what was read gives the same file.
    EXPECT_EQ(again.SaveToText(), written);
}

TEST(RegistryHive, WritesTheLayoutRegeditWrites) {
    TRegistryHive hive;
    hive.WriteString("Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT", "LASTDEVICE", "24C64");
    hive.WriteString("Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT", "", "C:\\x \"y\"");
    hive.CreateKey("Software\\lumora\\NorvoISP0001\\PROJECTS");
    EXPECT_EQ(hive.SaveToText(),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\lumora]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
              "\"LASTDEVICE\"=\"24C64\"\r\n"
              "@=\"C:\\\\x \\\"y\\\"\"\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS]\r\n"
              "\r\n");
}

TEST(RegistryHive, LongHexValuesWrapLikeRegedit) {
    TRegistryHive hive;
    hive.WriteValue("K", "Blob", TRegData{rt_binary, std::string(100, '\x5a')});
    const std::string text = hive.SaveToText();
    std::size_t start = 0, lines = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2, ++lines)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    EXPECT_NE(text.find(",\\\r\n  5a,"), std::string::npos);
    EXPECT_EQ(FromBytes(text).ReadValue("K", "Blob"), (TRegData{rt_binary, std::string(100, '\x5a')}));
}

TEST(RegistryHive, TextThatAQuotedStringCannotHoldIsWrittenAsHex) {
    TRegistryHive hive;
    hive.WriteString("K", "Lines", "one\r\ntwo");
    hive.WriteString("K\r\nInjected", "Name\nbreak", "x");
    const std::string text = hive.SaveToText();
    EXPECT_NE(text.find("\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00"),
              std::string::npos);
    const TRegistryHive back = FromBytes(text);
    EXPECT_EQ(back.ReadString("K", "Lines"), "one\r\ntwo");
    // Line breaks in names cannot be stored; they become blanks.
    EXPECT_EQ(back.GetKeyNames(""), (std::vector<std::string>{"K", "K  Injected"}));
    EXPECT_EQ(back.ReadString("K  Injected", "Name break"), "x");
}

TEST(RegistryHive, ReadsTheAnsiRegedit4Form) {
    const std::string bytes = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Old]\r\n"
                              "\"Name\"=\"M\xFCller \x80\"\r\n"
                              "\"Exp\"=hex(2):25,54,45,4d,50,25,00\r\n";
    const TRegScript script = ParseRegScript(bytes);
    EXPECT_TRUE(script.Regedit4);
    EXPECT_EQ(script.Encoding, TTextEncoding::Ansi);
    TRegistryHive hive = FromBytes(bytes);
    EXPECT_EQ(hive.ReadString("Software\\Old", "Name"), "M\xC3\xBCller \xE2\x82\xAC");
    EXPECT_EQ(hive.ReadString("Software\\Old", "Exp"), "%TEMP%");
    // Written back in the current form, the expandable text is UTF-16 now.
    const TRegistryHive back = FromBytes(hive.SaveToText());
    EXPECT_EQ(back.ReadString("Software\\Old", "Exp"), "%TEMP%");
    EXPECT_EQ(back.ReadString("Software\\Old", "Name"), "M\xC3\xBCller \xE2\x82\xAC");

    // Valid UTF-8 bytes under the old header are still the ANSI code page.
    EXPECT_EQ(FromBytes("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"N\"=\"\xC3\xBC\"\n").ReadString("A", "N"),
              "\xC3\x83\xC2\xBC");
}

TEST(RegistryHive, ReadsUtf8WithAndWithoutMarkAndLineFeeds) {
    const std::string body = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                             "\"N\"=\"M\xC3\xBCller\"\n\"B\"=hex:01,\\\n   02,\\\n03\n";
    for (const std::string& bytes : {body, "\xEF\xBB\xBF" + body}) {
        const TRegistryHive hive = FromBytes(bytes);
        EXPECT_EQ(hive.ReadString("A", "N"), "M\xC3\xBCller");
        EXPECT_EQ(hive.ReadValue("A", "B"), (TRegData{rt_binary, "\1\2\3"}));
    }
}

TEST(RegistryHive, KeysAndValuesAreCaseBlindAndKeysListInRegistryOrder) {
    TRegistryHive hive;
    for (const char* name : {"Zeta", "alpha", "Beta", "ALPHA", "_under"})
        hive.CreateKey("Top\\"s + name);
    EXPECT_EQ(hive.GetKeyNames("top"), (std::vector<std::string>{"alpha", "Beta", "Zeta", "_under"}));
    EXPECT_TRUE(hive.KeyExists("TOP\\BETA"));
    EXPECT_TRUE(hive.KeyExists("\\Top\\\\beta\\"));
    EXPECT_FALSE(hive.KeyExists("Top\\Gamma"));

    hive.WriteString("Top\\Beta", "Name", "1");
    hive.WriteString("Top\\Beta", "Other", "2");
    hive.WriteString("top\\beta", "NAME", "3");
    EXPECT_EQ(hive.GetValueNames("Top\\Beta"), (std::vector<std::string>{"Name", "Other"}));
    EXPECT_EQ(hive.ReadString("Top\\Beta", "name"), "3");
    EXPECT_EQ(hive.ReadString("Top\\Beta", "Missing"), "");
    EXPECT_TRUE(hive.DeleteValue("Top\\Beta", "OTHER"));
    EXPECT_FALSE(hive.DeleteValue("Top\\Beta", "Other"));

    hive.CreateKey("Top\\Beta\\Deep\\Deeper");
    EXPECT_TRUE(hive.DeleteKey("top\\BETA"));
    EXPECT_FALSE(hive.KeyExists("Top\\Beta\\Deep"));
    EXPECT_FALSE(hive.DeleteKey("Top\\Beta"));
    EXPECT_FALSE(hive.DeleteKey("")); // the user's root stays
    EXPECT_EQ(hive.GetKeyNames("Top"), (std::vector<std::string>{"alpha", "Zeta", "_under"}));
    EXPECT_TRUE(hive.GetKeyNames("Nowhere").empty());
}

TEST(RegistryHive, NonTextValuesAreRefusedAsText) {
    const TRegistryHive hive = FromBytes(RegeditExport);
    for (const char* name : {"Count", "Blob", "Big"}) {
        try {
            (void)hive.ReadString(Board, name);
            ADD_FAILURE() << name << " read as text";
        } catch (const ESettingsError& e) {
            EXPECT_NE(e.Message().find("\""s + name + "\""), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("PROJECTS\\board"), std::string::npos) << e.Message();
        }
    }
}

TEST(RegistryHive, MergeAppliesAnImportAsRegeditDoes) {
    TRegistryHive hive;
    hive.WriteString("Software\\lumora\\NorvoISP0001\\PROJECTS\\old", "DEVICE", "24C01");
    hive.CreateKey("Software\\lumora\\NorvoISP0001\\PROJECTS\\old\\sub");
    hive.WriteString(Env, "LASTDEVICE", "24C64");
    hive.WriteString(Env, "LASTHARDWARE", "Norvo ISP (LPT)");

    const std::string import = "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[-HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\old]\r\n"
                               "\"Ignored\"=\"after a deletion\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\new]\r\n"
                               "\"DEVICE\"=\"24C02\"\r\n\r\n"
                               "[HKCU\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                               "\"lastdevice\"=-\r\n\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n"
                               "\"x\"=\"y\"\r\n\r\n"
                               "[-HKEY_CURRENT_USER]\r\n";
    EXPECT_EQ(hive.MergeBytes(import, "import.reg"), 2u);
    EXPECT_EQ(hive.GetKeyNames("Software\\lumora\\NorvoISP0001\\PROJECTS"), std::vector<std::string>{"new"});
    EXPECT_EQ(hive.ReadString("Software\\lumora\\NorvoISP0001\\PROJECTS\\new", "DEVICE"), "24C02");
    EXPECT_EQ(hive.GetValueNames(Env), std::vector<std::string>{"LASTHARDWARE"});
    EXPECT_EQ(hive.SaveToText().find("Elsewhere"), std::string::npos);

    try {
        hive.MergeBytes("[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"y\"\r\n", "notes.txt");
        FAIL() << "a file without header was merged";
    } catch (const ESettingsError& e) {
        EXPECT_EQ(e.FileName, "notes.txt");
        EXPECT_NE(e.Message().find("notes.txt"), std::string::npos);
    }
    EXPECT_FALSE(hive.KeyExists("A"));

    TTempDir dir;
    EXPECT_THROW(hive.MergeFile(dir.File("missing.reg")), ESettingsError);
    WriteBytes(dir.File("import.reg"), RegeditExport);
    EXPECT_EQ(hive.MergeFile(dir.File("import.reg")), 0u);
    EXPECT_EQ(hive.ReadString(Board, "Path"), "%TEMP%");
    EXPECT_EQ(hive.ReadString("Software\\lumora\\NorvoISP0001\\PROJECTS\\new", "DEVICE"), "24C02");
}

TEST(RegistryHive, KeysOfOtherRootsInTheFileAreKept) {
    const std::string bytes = "Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_CURRENT_USER\\A]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\B]\r\n\"x\"=dword:00000001\r\n\r\n";
    EXPECT_EQ(FromBytes(bytes).SaveToText(), bytes);
}

TEST(RegistryHive, MalformedLinesAreSkipped) {
    const std::string bytes = "Windows Registry Editor Version 5.00\r\n"
                              "\"Orphan\"=\"before any key\"\r\n"
                              "[HKEY_CURRENT_USER\\Good]\r\n"
                              "\"A\"=\"1\"\r\n"
                              "garbage line\r\n"
                              "\"Unclosed=\"x\"\r\n"
                              "\"NoEquals\" \"x\"\r\n"
                              "\"Trailing\"=\"x\" junk\r\n"
                              "\"BadHex\"=hex:01,zz\r\n"
                              "\"LongDword\"=dword:123456789\r\n"
                              "\"Kind\"=qword:1\r\n"
                              "; a comment\r\n"
                              "\"B\"=\"2\"\r\n"
                              "[HKEY_CURRENT_USER\\Unclosed\r\n"
                              "\"C\"=\"lost with its section\"\r\n"
                              "[NO_SUCH_ROOT\\X]\r\n"
                              "\"D\"=\"lost with its section\"\r\n"
                              "[HKEY_CURRENT_USER\\Good]\r\n"
                              "\"Cut\"=hex:01,02,\\\r\n"
                              "[HKEY_CURRENT_USER\\Next]\r\n"
                              "\"E\"=hex:0a,\\";
    const TRegScript script = ParseRegScript(bytes);
    EXPECT_EQ(script.SkippedLines, 9u);
    const TRegistryHive hive = FromBytes(bytes);
    EXPECT_EQ(hive.GetKeyNames(""), (std::vector<std::string>{"Good", "Next"}));
    EXPECT_EQ(hive.GetValueNames("Good"), (std::vector<std::string>{"A", "B", "Cut"}));
    EXPECT_EQ(hive.ReadValue("Good", "Cut"), (TRegData{rt_binary, "\1\2"}));
    EXPECT_EQ(hive.ReadValue("Next", "E"), (TRegData{rt_binary, "\n"}));
}

TEST(RegistryHive, DamagedFilesNeverFail) {
    const std::string cases[] = {
        // Truncated UTF-16: the last value loses its odd byte and its quote.
        RegeditExport.substr(0, RegeditExport.size() / 2 + 1),
        // Binary junk with a header in front.
        "Windows Registry Editor Version 5.00\r\n\0\xFF\x80[\x01\"\xFE\\"s + std::string(300, '\xC3'),
        "\xFF\xFE"s,
        "\xFF\xFE[\0"s,
        "",
        std::string(1000, '['),
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\" + std::string(2000, '\\') + "]\n",
    };
    for (const auto& bytes : cases) {
        TRegistryHive hive;
        EXPECT_NO_THROW(hive.LoadFromBytes(bytes));
        EXPECT_NO_THROW(FromBytes(hive.SaveToText()));
    }
    // The truncated export keeps what came before the cut.
    EXPECT_EQ(FromBytes(cases[0]).ReadString(Env, "LASTDEVICE"), "24C64");
}

TEST(RegistryHive, KeyDepthIsBounded) {
    std::string path;
    for (std::size_t i = 0; i < MaxRegKeyDepth + 1; ++i)
        path += "k\\";
    EXPECT_EQ(ParseRegScript("REGEDIT4\n[HKEY_CURRENT_USER\\" + path + "]\n").SkippedLines, 1u);
    TRegistryHive hive;
    EXPECT_THROW(hive.CreateKey(path), ESettingsError);
    path.resize(path.size() - 2);
    hive.CreateKey(path);
    EXPECT_TRUE(hive.KeyExists(path));
    EXPECT_TRUE(FromBytes(hive.SaveToText()).KeyExists(path));
}

TEST(RegistryHive, FileLifecycle) {
    TTempDir dir;
    const std::string file = dir.File("config/lumora/registry.reg");
    TRegistryHive hive(file);
    hive.Load(); // missing: empty
    EXPECT_TRUE(hive.GetKeyNames("").empty());
    hive.WriteString(Env, "LASTDEVICE", "24C64");
    EXPECT_TRUE(hive.Modified());
    hive.Save(); // creates the folders
    TRegistryHive again(file);
    again.Load();
    EXPECT_FALSE(again.Modified());
    EXPECT_EQ(again.ReadString(Env, "LASTDEVICE"), "24C64");

    TRegistryHive folder(dir.Path());
    EXPECT_THROW(folder.Load(), ESettingsError);
    EXPECT_THROW(TRegistryHive().Load(), ESettingsError);
}

TEST(RegistryHive, DefaultFileName) {
    const struct {
        const char* registry;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/tmp/test.reg", "/cfg", "/home/u", "/tmp/test.reg"},
        {nullptr, "/cfg", "/home/u", "/cfg/lumora/registry.reg"},
        {"", "/cfg", "/home/u", "/cfg/lumora/registry.reg"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/lumora/registry.reg"},
        {nullptr, "", "/home/u", "/home/u/.config/lumora/registry.reg"},
        {nullptr, "relative/cfg", "/home/u", "/home/u/.config/lumora/registry.reg"},
    };
    for (const auto& c : cases) {
        TScopedEnv registry(TRegistryHive::FileVariable, c.registry);
        TScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        TScopedEnv home("HOME", c.home);
        EXPECT_EQ(TRegistryHive::DefaultFileName(), c.expected);
    }
}
