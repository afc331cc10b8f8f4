// Projects: save and load of project files with the Auto Program scopes, the
// data files a project names, files written elsewhere (CR LF, any letter
// case), the ".prj" extension, old projects in the registry and the
// saved-configurations dialog.
#include "main_window_fixture.h"
#include "widget_actions.h"

#include "formats/file_loader.h"
#include "gui/auto_program_dialog.h"
#include "gui/load_config_form.h"
#include "settings/registry_hive.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const char kProjectsKey[] = "Software\\lumora\\NorvoISP0001\\PROJECTS";
const char kAutoProgramKey[] = "Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM";
const char kEnvironmentKey[] = "Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT";
const QString kHiveHeader = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The five Auto Program choices as the options dialog stores them.
void SetAutoProgram(Tmain& w, const QString& choice) {
    for (int i = 0; i < 5; ++i)
        w.ISPSettings().SetSetting("AUTOPROGRAM", std::to_string(i), ss_global,
                                   choice[i] == QLatin1Char('1'));
}

// The choices as the store reads them, and whether each is global.
QString AutoProgram(Tmain& w, bool* allGlobal = nullptr) {
    QString out;
    if (allGlobal) *allGlobal = true;
    for (int i = 0; i < 5; ++i) {
        const std::string name = std::to_string(i);
        out += w.ISPSettings().GetBoolean("AUTOPROGRAM", name, false) ? QLatin1Char('1') : QLatin1Char('0');
        for (const TSetting& s : w.ISPSettings().Settings())
            if (allGlobal && s.Module == "AUTOPROGRAM" && s.Name == name && s.Scope != ss_global)
                *allGlobal = false;
    }
    return out;
}

QString HiveValue(const QString& hiveFile, const char* key, const std::string& name) {
    TRegistryHive hive(hiveFile.toStdString());
    hive.Load();
    return QString::fromStdString(hive.ReadString(key, name));
}

QString HiveAutoProgram(const QString& hiveFile) {
    TRegistryHive hive(hiveFile.toStdString());
    hive.Load();
    QString out;
    for (int i = 0; i < 5; ++i) {
        const std::string v = hive.ReadString(kAutoProgramKey, std::to_string(i));
        out += v == "True" ? QLatin1Char('1') : v == "False" ? QLatin1Char('0') : QLatin1Char('-');
    }
    return out;
}

QStringList LastLines(const TWindowFixture& f, int n) {
    const QStringList l = f.Lines();
    return l.mid(l.size() - n);
}

// Answers the file dialogs with File (cancels when it is empty); Requests
// records what they asked.
void AnswerFileDialog(TWindowFixture& f, const QString& File, QList<TFileRequest>* Requests = nullptr) {
    f.Log.OnFileDialog = [File, Requests](TFileRequest& r) {
        if (Requests) Requests->append(r);
        if (File.isEmpty()) return false;
        r.FileName = File;
        return true;
    };
}

const QByteArray kHexFile = ":0400000001020304F2\r\n:00000001FF\r\n";

} // namespace

class ProjectsTest : public QObject {
    Q_OBJECT

  private slots:
    void saveThenLoadRestoresTheSetUp() {
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString data = f.Folder() + QStringLiteral("/board.hex");
        WriteFile(data, kHexFile);
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("Fake ISP B")));
        w.DeviceType->setCurrentIndex(2);
        emit w.DeviceType->activated(2);
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("93C66")));
        QCOMPARE(TFileLoader::LoadFile(data.toStdString(), w.Prjct()->FlashMemory, 0), 0);
        SetAutoProgram(w, QStringLiteral("10101"));

        QList<TFileRequest> asked;
        AnswerFileDialog(f, f.Folder() + QStringLiteral("/board"), &asked);
        const int lines = f.Lines().size();
        w.SaveWorkspace->trigger();
        const QString project = f.Folder() + QStringLiteral("/board.prj");
        QCOMPARE(w.ProjectName, project);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].Title, QStringLiteral("Save Project Settings"));
        QCOMPARE(asked[0].Filters, QStringList{"Project File (*.prj)"});
        QCOMPARE(asked[0].DefaultSuffix, QStringLiteral("prj"));
        QVERIFY(asked[0].Save);
        QCOMPARE(f.Lines().size(), lines); // a save logs nothing
        QCOMPARE(QString::fromStdString(w.ISPSettings().GetString("ENVIRONMENT", "LASTPROJECT", "")),
                 project);
        // A plain initialisation file.
        const QString text = ReadFile(project);
        QVERIFY2(text.contains(QStringLiteral("[CONFIG]\r\nDEVICE=93C66\r\nDEVICETYPE=2\r\n"
                                              "HARDWARE=FAKE ISP B\r\nFLASHFILE=") +
                               data + QStringLiteral("\r\n")),
                 qPrintable(text));
        QVERIFY(text.contains(
            QStringLiteral("[AUTOPROGRAM]\r\n0=True\r\n1=False\r\n2=True\r\n3=False\r\n4=True\r\n")));

        // Everything changes...
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("Fake ISP A")));
        w.DeviceType->setCurrentIndex(0);
        emit w.DeviceType->activated(0);
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C64")));
        SetAutoProgram(w, QStringLiteral("01010"));
        w.ProjectName.clear();
        Script().Calls.clear();

        // ...and the project brings it back.
        asked.clear();
        AnswerFileDialog(f, project, &asked);
        w.LoadWorkSpace->trigger();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].Title, QStringLiteral("Load Project Settings"));
        QCOMPARE(asked[0].Filters, QStringList{"Project File (*.prj)"});
        QVERIFY(!asked[0].Save);
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("FAKE ISP B"));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("FAKE ISP B"));
        QCOMPARE(w.DeviceType->currentIndex(), 2);
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("93C66"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("93C66"));
        QCOMPARE(QString::fromStdString(w.Prjct()->FlashMemory.FileName()), data);
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0], 0x01);
        QCOMPARE(w.Prjct()->FlashMemory.HexData[3], 0x04);
        bool global = false;
        QCOMPARE(AutoProgram(w, &global), QStringLiteral("10101"));
        QVERIFY(global);
        QCOMPARE(w.ProjectName, project);
        QCOMPARE(w.windowTitle(), Tmain::AppTitle + QStringLiteral(" - EEPROM: ") + data);
        QVERIFY(Script().Calls.contains(QStringLiteral("LoadSettings")));
        QCOMPARE(Script().Calls.last(), QStringLiteral("Open"));
        QCOMPARE(LastLines(f, 6),
                 (QStringList{"Loading Workspace", "Loading Project",
                              "Attempting to switch to Device:93C66 Hardware:FAKE ISP B",
                              "ISP Initialized; Detected Device:  - 00:00", "Project Load Complete - 00:00",
                              "Workspace loaded successfully - 00:00"}));
        QVERIFY(!w.InOperation());
        QVERIFY(f.Log.Errors.isEmpty());
    }

    void cancelledDialogsDoNothing() {
        TWindowFixture f;
        Tmain& w = f.Start();
        for (QAction* a : {w.LoadWorkSpace, w.SaveWorkspace, w.ExportOldNorvoProjects1})
            QVERIFY(a->isEnabled());
        const QStringList before = f.Lines();
        w.SaveWorkspace->trigger();
        w.LoadWorkSpace->trigger();
        QCOMPARE(f.Lines(), before);
        QVERIFY(w.ProjectName.isEmpty());
        QCOMPARE(QDir(f.Folder()).entryList({QStringLiteral("*.prj")}), QStringList{});
    }

    void extensionIsForcedToPrj_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "board"
                                      << "board.prj";
        QTest::newRow("other extension") << "board.hex"
                                         << "board.prj";
        QTest::newRow("already prj") << "board.prj"
                                     << "board.prj";
        QTest::newRow("dot in the folder") << "my.dir/board"
                                           << "my.dir/board.prj";
        QTest::newRow("two dots") << "board.v2.txt"
                                  << "board.v2.prj";
    }

    void extensionIsForcedToPrj() {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        TWindowFixture f;
        Tmain& w = f.Start();
        QDir(f.Folder()).mkpath(QStringLiteral("my.dir"));
        AnswerFileDialog(f, f.Folder() + QLatin1Char('/') + chosen);
        w.SaveWorkspace->trigger();
        QCOMPARE(w.ProjectName, f.Folder() + QLatin1Char('/') + written);
        QVERIFY(QFile::exists(w.ProjectName));
        QVERIFY(f.Log.Errors.isEmpty());
    }

    void dataFilesThatCannotBeLoaded_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        const QByteArray binary("\x00\x01\xfe\xff\x80\x10", 6);
        const QString flash = QStringLiteral("Flash: Could not open ");
        QTest::newRow("binary flash file") << "24C64"
                                           << "FLASHFILE" << true << binary << flash;
        QTest::newRow("missing flash file") << "24C64"
                                            << "FLASHFILE" << false << QByteArray() << flash;
        QTest::newRow("empty flash file") << "24C64"
                                          << "FLASHFILE" << true << QByteArray() << flash;
        QTest::newRow("text, not a data file") << "24C64"
                                               << "FLASHFILE" << true << QByteArray("hello\r\n") << flash;
        QTest::newRow("binary EEPROM file")
            << "24C256"
            << "EEPROMFILE" << true << binary << QStringLiteral("EEPROM: Could not open ");
    }

    void dataFilesThatCannotBeLoaded() {
        QFETCH(QString, device);
        QFETCH(QString, key);
        QFETCH(bool, exists);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString data = f.Folder() + QStringLiteral("/data.bin");
        if (exists) WriteFile(data, contents);
        const QString project = f.Folder() + QStringLiteral("/p.prj");
        WriteFile(project,
                  QStringLiteral("[CONFIG]\r\nDEVICE=%1\r\n%2=%3\r\n").arg(device, key, data).toUtf8());
        AnswerFileDialog(f, project);
        w.LoadWorkSpace->trigger();
        QCOMPARE(f.Log.Errors, QStringList{message + data});
        // The rest of the project is applied all the same.
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), device);
        QCOMPARE(f.LastLine(), QStringLiteral("Workspace loaded successfully - 00:00"));
        QVERIFY(w.Prjct()->FlashMemory.FileName().empty());
    }

    void binaryFileNamedBySaveIsNotReloaded() {
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString data = f.Folder() + QStringLiteral("/image.bin");
        WriteFile(data, QByteArray("\x01\x02\x03\xff", 4));
        QCOMPARE(TFileLoader::LoadBinary(data.toStdString(), w.Prjct()->FlashMemory), 0);
        w.Prjct()->FlashMemory.SetFileName(data.toStdString());
        AnswerFileDialog(f, f.Folder() + QStringLiteral("/bin"));
        w.SaveWorkspace->trigger();
        QVERIFY(
            ReadFile(w.ProjectName).contains(QStringLiteral("FLASHFILE=") + data + QStringLiteral("\r\n")));
        w.Prjct()->FlashMemory.Clear();
        AnswerFileDialog(f, w.ProjectName);
        w.LoadWorkSpace->trigger();
        QCOMPARE(f.Log.Errors, QStringList{QStringLiteral("Flash: Could not open ") + data});
        QVERIFY(w.Prjct()->FlashMemory.HexData[0] != 0x01);
    }

    void projectWrittenElsewhereLoads() {
        // CR LF lines, letter case as another program may write it, blanks
        // around names and values, a section this program does not know.
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString data = f.Folder() + QStringLiteral("/board.hex");
        WriteFile(data, kHexFile);
        const QString project = f.Folder() + QStringLiteral("/old.prj");
        WriteFile(project,
                  QStringLiteral("[config]\r\ndevice = 24c32\r\nDeviceType=0\r\nHardware=Fake ISP B\r\n"
                                 "FlashFile=%1\r\n\r\n[AutoProgram]\r\n0=True\r\n1=False\r\n2=TRUE\r\n"
                                 "[Counters]\r\nParts=12\r\n")
                      .arg(data)
                      .toUtf8());
        AnswerFileDialog(f, project);
        w.LoadWorkSpace->trigger();
        QVERIFY(f.Log.Errors.isEmpty());
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C32"));
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP B"));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[2], 0x03);
        bool global = false;
        QCOMPARE(AutoProgram(w, &global), QStringLiteral("10100"));
        QVERIFY(global);

        // The next save writes this program's spelling and keeps the
        // unknown section.
        AnswerFileDialog(f, f.Folder() + QStringLiteral("/new.prj"));
        w.SaveWorkspace->trigger();
        const QString text = ReadFile(w.ProjectName);
        QVERIFY2(
            text.contains(QStringLiteral("[CONFIG]\r\nDEVICE=24C32\r\nDEVICETYPE=0\r\nHARDWARE=Fake ISP B\r\n"
                                         "FLASHFILE=") +
                          data + QStringLiteral("\r\n")),
            qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("[AUTOPROGRAM]\r\n0=True\r\n1=False\r\n2=TRUE\r\n")));
        QVERIFY(text.contains(QStringLiteral("[Counters]\r\nParts=12\r\n")));
        QVERIFY(!text.contains(QStringLiteral("[config]")));
        QVERIFY(!text.contains(QStringLiteral("ENVIRONMENT")));
    }

    void projectWithoutHardwareKeepsTheDriver() {
        TWindowFixture f;
        Tmain& w = f.Start();
        const TISPProgrammer* driver = w.Hardwr();
        const QString project = f.Folder() + QStringLiteral("/nohw.prj");
        WriteFile(project, "[CONFIG]\r\nDEVICE=93C46\r\nDEVICETYPE=2\r\n");
        AnswerFileDialog(f, project);
        w.LoadWorkSpace->trigger();
        QCOMPARE(w.Hardwr(), driver);
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP A"));
        QCOMPARE(w.DeviceType->currentIndex(), 2);
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("93C46"));
        QCOMPARE(w.DeviceSelector->count(), 7);
        QVERIFY(f.Lines().contains(QStringLiteral("Attempting to switch to Device:93C46 Hardware:")));
        QCOMPARE(f.LastLine(), QStringLiteral("Workspace loaded successfully - 00:00"));
    }

    void unknownDeviceFallsBackToTheFamilysFirst() {
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString project = f.Folder() + QStringLiteral("/odd.prj");
        WriteFile(project, "[CONFIG]\r\nDEVICE=27C512\r\nDEVICETYPE=1\r\n");
        AnswerFileDialog(f, project);
        w.LoadWorkSpace->trigger();
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP A"));
        QCOMPARE(w.DeviceType->currentIndex(), 1);
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("25C010"));
        QCOMPARE(f.LastLine(), QStringLiteral("Workspace loaded successfully - 00:00"));
    }

    void unreadableProjectKeepsTheAutoProgramChoice() {
        TWindowFixture f;
        Tmain& w = f.Start();
        SetAutoProgram(w, QStringLiteral("11000"));
        AnswerFileDialog(f, f.Folder()); // a folder, not a file
        w.LoadWorkSpace->trigger();
        QVERIFY(f.LastLine().startsWith(QStringLiteral("Error: ")));
        QVERIFY(!w.InOperation());
        bool global = false;
        QCOMPARE(AutoProgram(w, &global), QStringLiteral("11000"));
        QVERIFY(global);
        QVERIFY(w.ProjectName.isEmpty());
    }

    void registryKeepsTheChoiceInForceBeforeTheSave() {
        TWindowFixture f;
        f.WriteHive(
            kHiveHeader +
            QStringLiteral("[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                           "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM]\r\n"
                           "\"0\"=\"True\"\r\n\"1\"=\"True\"\r\n\"2\"=\"False\"\r\n\"3\"=\"False\"\r\n"
                           "\"4\"=\"False\"\r\n\r\n"));
        Tmain& w = f.Start();
        QCOMPARE(AutoProgram(w), QStringLiteral("11000"));
        AnswerFileDialog(f, f.Folder() + QStringLiteral("/a.prj"));
        w.SaveWorkspace->trigger();
        // Changed in the options dialog after the save: project-scoped, so
        // it goes into the next project file and not into the registry.
        f.Log.OnDialog = [](QDialog& d) {
            auto& options = static_cast<TAutoProgramDialog&>(d);
            for (int i = 0; i < TAutoProgramDialog::StepCount; ++i)
                options.SetChecked(i, i >= 2);
            return int(QDialog::Accepted);
        };
        w.AutoProgramoptions->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Auto Program Options"});
        bool global = true;
        QCOMPARE(AutoProgram(w, &global), QStringLiteral("00111"));
        QVERIFY(!global);
        AnswerFileDialog(f, f.Folder() + QStringLiteral("/b.prj"));
        w.SaveWorkspace->trigger();
        QVERIFY(ReadFile(w.ProjectName)
                    .contains(QStringLiteral("0=False\r\n1=False\r\n2=True\r\n3=True\r\n4=True")));
        QVERIFY(f.Close());
        QCOMPARE(HiveAutoProgram(f.HiveFile()), QStringLiteral("11000"));
        QCOMPARE(HiveValue(f.HiveFile(), kEnvironmentKey, "LASTPROJECT"),
                 f.Folder() + QStringLiteral("/b.prj"));
    }

    void registryKeepsTheChoiceOfTheLoadedProject() {
        TWindowFixture f;
        f.WriteHive(
            kHiveHeader +
            QStringLiteral("[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                           "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM]\r\n"
                           "\"0\"=\"True\"\r\n\r\n"));
        Tmain& w = f.Start();
        const QString project = f.Folder() + QStringLiteral("/p.prj");
        WriteFile(project, "[CONFIG]\r\nDEVICE=24C02\r\n[AUTOPROGRAM]\r\n2=True\r\n3=True\r\n");
        AnswerFileDialog(f, project);
        w.LoadWorkSpace->trigger();
        // The choice in force before is dropped entirely.
        QCOMPARE(AutoProgram(w), QStringLiteral("00110"));
        QVERIFY(f.Close());
        QCOMPARE(HiveAutoProgram(f.HiveFile()), QStringLiteral("--11-"));
    }

    void importOldProject() {
        TWindowFixture f;
        f.WriteHive(
            kHiveHeader +
            QStringLiteral(
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\Board One\\CONFIG]\r\n"
                "\"DEVICE\"=\"24C02\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\Line 2\\config]\r\n"
                "\"Device\"=\"25C040\"\r\n\"DEVICETYPE\"=\"1\"\r\n\"HARDWARE\"=\"Fake ISP B\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\Line 2\\AUTOPROGRAM]\r\n"
                "\"1\"=\"True\"\r\n\r\n"));
        Tmain& w = f.Start();
        QStringList listed;
        bool okBefore = true;
        bool mergeOffered = false;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& form = static_cast<TLoadConfigForm&>(d);
            listed = Items(form.lbselect);
            okBefore = form.OKBtn->isEnabled();
            mergeOffered = !form.MergeBtn->isHidden();
            form.lbselect->setCurrentRow(1);
            emit form.lbselect->itemClicked(form.lbselect->item(1));
            return int(QDialog::Accepted);
        };
        w.ExportOldNorvoProjects1->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Load Configuration"});
        QCOMPARE(listed, (QStringList{"Board One", "Line 2"}));
        QVERIFY(!okBefore);
        QVERIFY(mergeOffered);
        QCOMPARE(w.ProjectName, QStringLiteral("Line 2"));
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP B"));
        QCOMPARE(w.DeviceType->currentIndex(), 1);
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("25C040"));
        bool global = false;
        QCOMPARE(AutoProgram(w, &global), QStringLiteral("01000"));
        QVERIFY(global);
        QCOMPARE(LastLines(f, 6),
                 (QStringList{"Loading Workspace", "Loading Project",
                              "Attempting to switch to Device:25C040 Hardware:Fake ISP B",
                              "ISP Initialized; Detected Device:  - 00:00", "Project Load Complete - 00:00",
                              "Workspace loaded successfully - 00:00"}));
        QCOMPARE(Script().Calls.last(), QStringLiteral("Open"));

        // Cancel: nothing happens.
        const QStringList before = f.Lines();
        f.Log.OnDialog = [](QDialog&) { return int(QDialog::Rejected); };
        w.ExportOldNorvoProjects1->trigger();
        QCOMPARE(f.Lines(), before);
        QCOMPARE(w.ProjectName, QStringLiteral("Line 2"));
    }

    void importMergesARegistryExport() {
        TWindowFixture f;
        Tmain& w = f.Start();
        // A regedit export as Windows writes it: UTF-16 with a byte order mark.
        const QString reg = f.Folder() + QStringLiteral("/projects.reg");
        const QString text =
            QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\Bench]\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\PROJECTS\\Bench\\CONFIG]\r\n"
                           "\"DEVICE\"=\"93C86\"\r\n\"DEVICETYPE\"=\"2\"\r\n\r\n");
        QByteArray utf16("\xff\xfe", 2);
        utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        WriteFile(reg, utf16);
        AnswerFileDialog(f, reg);
        QStringList before, after;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& form = static_cast<TLoadConfigForm&>(d);
            before = Items(form.lbselect);
            form.MergeBtn->click();
            after = Items(form.lbselect);
            form.lbselect->setCurrentRow(0);
            return int(QDialog::Accepted);
        };
        w.ExportOldNorvoProjects1->trigger();
        QCOMPARE(before, QStringList{});
        QCOMPARE(after, QStringList{"Bench"});
        QCOMPARE(f.Log.FileDialogTitles, QStringList{"Merge Registry File"});
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("93C86"));
        QCOMPARE(w.ProjectName, QStringLiteral("Bench"));
        // The merge stays in the hive, beside the settings written at exit.
        QVERIFY(f.Close());
        TRegistryHive hive(f.HiveFile().toStdString());
        hive.Load();
        QCOMPARE(hive.GetKeyNames(kProjectsKey), std::vector<std::string>{"Bench"});
    }

    void importOfAFileThatIsNotARegistryExportFails() {
        TWindowFixture f;
        Tmain& w = f.Start();
        const QString reg = f.Folder() + QStringLiteral("/not.reg");
        WriteFile(reg, "[CONFIG]\r\nDEVICE=24C02\r\n");
        AnswerFileDialog(f, reg);
        f.Log.OnDialog = [&](QDialog& d) {
            static_cast<TLoadConfigForm&>(d).MergeBtn->click();
            return int(QDialog::Rejected);
        };
        w.ExportOldNorvoProjects1->trigger();
        QVERIFY2(f.LastLine().startsWith(QStringLiteral("Error: ")), qPrintable(f.LastLine()));
        QCOMPARE(f.Log.Errors.size(), 1);
        QVERIFY(w.ProjectName.isEmpty());
        QVERIFY(!w.InOperation());
    }

    // The dialog on its own.
    void configurationDialogOpenMode() {
        TWindowFixture f;
        {
            TRegistryHive hive(f.HiveFile().toStdString());
            hive.WriteString(std::string(kProjectsKey) + "\\Alpha\\CONFIG", "DEVICE", "24C02");
            hive.WriteString(std::string(kProjectsKey) + "\\beta", "x", "1");
            hive.Save();
        }
        TLoadConfigForm form(
            nullptr, [&f] { return f.HiveFile().toStdString(); }, f.Log.Prompts());
        QStringList afterDelete;
        bool okAfterDelete = true, deleteAfterDelete = true, readOnly = false;
        QString edit;
        bool deleteBefore = true;
        f.Log.OnDialog = [&](QDialog&) {
            readOnly = form.Edit1->isReadOnly();
            deleteBefore = form.DeleteBtn->isEnabled();
            form.lbselect->setCurrentRow(0);
            emit form.lbselect->itemClicked(form.lbselect->item(0));
            edit = form.Edit1->text();
            form.DeleteBtn->click();
            afterDelete = Items(form.lbselect);
            okAfterDelete = form.OKBtn->isEnabled();
            deleteAfterDelete = form.DeleteBtn->isEnabled();
            return int(QDialog::Accepted);
        };
        QString name = QStringLiteral("unchanged");
        // OK pressed with nothing selected is not an OK.
        QVERIFY(!form.Execute(name, kProjectsKey, lf_open));
        QCOMPARE(name, QStringLiteral("unchanged"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Load Configuration"));
        QCOMPARE(form.ConfigStorage->text(),
                 QStringLiteral("Click here to restore previously saved configurations"));
        QVERIFY(readOnly);
        QVERIFY(!deleteBefore);
        QCOMPARE(edit, QStringLiteral("Alpha"));
        QCOMPARE(afterDelete, QStringList{"beta"});
        QVERIFY(!okAfterDelete);
        QVERIFY(!deleteAfterDelete);
        TRegistryHive hive(f.HiveFile().toStdString());
        hive.Load();
        QVERIFY(!hive.KeyExists(std::string(kProjectsKey) + "\\Alpha\\CONFIG"));
        QVERIFY(!hive.KeyExists(std::string(kProjectsKey) + "\\Alpha"));
        QVERIFY(hive.KeyExists(std::string(kProjectsKey) + "\\beta"));

        // Double-click on an entry closes with OK.
        f.Log.OnDialog = [&](QDialog& d) {
            form.lbselect->setCurrentRow(0);
            emit form.lbselect->itemDoubleClicked(form.lbselect->item(0));
            return d.result();
        };
        QVERIFY(form.Execute(name, kProjectsKey, lf_open));
        QCOMPARE(name, QStringLiteral("beta"));
    }

    void configurationDialogOnAMissingKey() {
        TWindowFixture f;
        TLoadConfigForm form(
            nullptr, [&f] { return f.HiveFile().toStdString(); }, f.Log.Prompts());
        bool ok = true;
        int count = -1;
        f.Log.OnDialog = [&](QDialog&) {
            ok = form.OKBtn->isEnabled();
            count = form.lbselect->count();
            return int(QDialog::Rejected);
        };
        QString name;
        QVERIFY(!form.Execute(name, kProjectsKey, lf_open));
        QCOMPARE(count, 0);
        QVERIFY(!ok);
        QVERIFY(name.isEmpty());
    }

    void configurationDialogSaveMode() {
        TWindowFixture f;
        {
            TRegistryHive hive(f.HiveFile().toStdString());
            hive.CreateKey(std::string(kProjectsKey) + "\\Existing");
            hive.Save();
        }
        TLoadConfigForm form(
            nullptr, [&f] { return f.HiveFile().toStdString(); }, f.Log.Prompts());
        QString shown;
        bool okEmpty = true, okTyped = false, readOnly = true;
        f.Log.OnDialog = [&](QDialog&) {
            shown = form.Edit1->text();
            readOnly = form.Edit1->isReadOnly();
            form.Edit1->clear();
            okEmpty = form.OKBtn->isEnabled();
            QTest::keyClicks(form.Edit1, QStringLiteral("New Set"));
            okTyped = form.OKBtn->isEnabled();
            return int(QDialog::Accepted);
        };
        QString name = QStringLiteral("Preset");
        QVERIFY(form.Execute(name, kProjectsKey, lf_save));
        QCOMPARE(form.windowTitle(), QStringLiteral("Save Configuration"));
        QCOMPARE(form.ConfigStorage->text(),
                 QStringLiteral("Click here to overwrite a previously saved configuration"));
        QCOMPARE(shown, QStringLiteral("Preset"));
        QVERIFY(!readOnly);
        QVERIFY(!okEmpty);
        QVERIFY(okTyped);
        QCOMPARE(name, QStringLiteral("New Set"));
        // Clicking an entry puts its name into the edit.
        f.Log.OnDialog = [&](QDialog&) {
            form.lbselect->setCurrentRow(0);
            emit form.lbselect->itemClicked(form.lbselect->item(0));
            return int(QDialog::Accepted);
        };
        QVERIFY(form.Execute(name, kProjectsKey, lf_save));
        QCOMPARE(name, QStringLiteral("Existing"));
        QVERIFY(form.MergeBtn->isHidden());
    }
};

QTEST_MAIN(ProjectsTest)
#include "projects_test.moc"
