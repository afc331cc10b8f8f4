// The buffer file commands from the menus: loads of text and binary files
// with their lines, captions and failures; reload, also after a binary save
// and with a file from the command line; saves in a format and as binary,
// including a save the writer refuses; the recent-files list; patterns,
// random data, the paged test pattern, clearing; the file checkers.
#include "main_window_fixture.h"

#include "buffer/test_patterns.h"
#include "formats/file_loader.h"
#include "gui/display_name.h"
#include "gui/hex_view.h"
#include "gui/status_panel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include <functional>

namespace {

QString Env(const QString& device) {
    return QStringLiteral(
               "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"%1\"\r\n\"LASTDEVICETYPE\"=\"0\"")
        .arg(device);
}

// A buffer of Size bytes with Data from address Base, saved in a format.
QString SaveImage(const QString& path, std::uint32_t size, std::uint32_t base,
                  const std::vector<std::uint8_t>& data, int code) {
    THexList h;
    h.SetSize(size);
    for (std::size_t i = 0; i < data.size(); ++i)
        h.HexData.at(base + i) = data[i];
    if (TFileLoader::SaveFile(path.toStdString(), h, code) != 0) return {};
    return path;
}

QString WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
    return path;
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the next file dialogs with these files in turn (an empty name
// cancels), keeping each request as it was shown.
struct TFileAnswers {
    QList<TFileRequest> Shown;
    QStringList Files;
    int FilterIndex = -1; // -1: leave the dialog's entry as it is

    std::function<bool(TFileRequest&)> Answer() {
        return [this](TFileRequest& r) {
            Shown << r;
            const QString file = Files.isEmpty() ? QString() : Files.takeFirst();
            if (file.isEmpty()) return false;
            r.FileName = file;
            if (FilterIndex >= 0) r.FilterIndex = FilterIndex;
            return true;
        };
    }
};

bool AllStatus(const THexList& h, TProgStatus s) {
    for (std::uint32_t i = 0; i < h.Size(); ++i)
        if (h.GetStatus(i) != s) return false;
    return true;
}

QString Caption(Tmain& w, const QString& file, int width = 260) {
    return Tmain::AppTitle + QStringLiteral(" - EEPROM: ") + w.DisplayName(file, width);
}

} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void loadIntelFileThatFits() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        const QString file = SaveImage(f.Folder() + "/board.hex", 256, 0x10, {1, 2, 3, 0x44}, 1);
        QVERIFY(!file.isEmpty());
        TFileAnswers a{{}, {file}};
        f.Log.OnFileDialog = a.Answer();
        w.PageControl->setCurrentWidget(w.StatusTab);
        w.FlashViewer->SetCursor(77);
        f.Clock += 5000; // no operation frame: no time is counted
        w.LoadFlash->trigger();

        QCOMPARE(a.Shown.size(), 1);
        QCOMPARE(a.Shown[0].Title, QStringLiteral("Load EEPROM"));
        QCOMPARE(a.Shown[0].Folder, QDir(f.Folder()).filePath(QStringLiteral("samples")));
        QCOMPARE(a.Shown[0].Filters, w.LoadFilters);
        QCOMPARE(a.Shown[0].Filters.first(), QStringLiteral("Auto Detect (Intel, Motorola, Tektronix) (*)"));
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (Intel Intellex 8/MDS) - 00:00"));
        QCOMPARE(w.windowTitle(), Caption(w, file));
        QVERIFY(w.windowTitle().endsWith(QStringLiteral("/board.hex")));
        THexList& buf = w.Prjct()->FlashMemory;
        QCOMPARE(buf.HexData[0x10], 1);
        QCOMPARE(buf.HexData[0x13], 0x44);
        QCOMPARE(buf.HexData[0x14], 0xFF);
        QCOMPARE(QString::fromStdString(buf.FileName()), file);
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(w.FlashViewer->Cursor(), 0);
        QVERIFY(w.ReloadFlash->isEnabled());
        // The dialog opens on this file the next time.
        QCOMPARE(w.LoadDialog.FileName, file);
    }

    void loadFailures() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        const QString good = SaveImage(f.Folder() + "/good.hex", 256, 0, {0x5A}, 1);
        TFileAnswers a{{}, {good}};
        f.Log.OnFileDialog = a.Answer();
        w.LoadFlash->trigger();
        const QString caption = w.windowTitle();

        // A binary image one byte longer than the device: refused, every
        // byte marked failed, data, file name and caption as they were.
        QByteArray image(257, '\x01');
        a.Files << WriteBytes(f.Folder() + "/big.bin", image);
        w.LoadFlash->trigger();
        const QString tooLong =
            QStringLiteral("File Load - Warning: file larger than device: the 24C02 holds 256 "
                           "bytes, the file has 257 (1 too many): nothing was loaded");
        QCOMPARE(f.LastLine(), tooLong);
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|") + tooLong);
        QVERIFY(AllStatus(buf, TProgStatus(ps_failed)));
        QCOMPARE(buf.HexData[0], 0x5A);
        QCOMPARE(QString::fromStdString(buf.FileName()), good);
        QCOMPARE(w.windowTitle(), caption);

        // A binary image that fits loads from address 0.
        a.Files << WriteBytes(f.Folder() + "/fits.bin", QByteArray(256, '\x02'));
        w.LoadFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (as a Binary file) - 00:00"));
        QCOMPARE(buf.HexData[255], 0x02);
        QVERIFY(AllStatus(buf, TProgStatus(ps_normal)));
        QCOMPARE(w.windowTitle(), Caption(w, f.Folder() + "/fits.bin"));

        // A text file with data past the device: the bytes before stay, all
        // are marked failed, and the caption names the new file.
        const QString big = SaveImage(f.Folder() + "/big.hex", 512, 0xFE, {0x11, 0x22, 0x33}, 1);
        a.Files << big;
        w.LoadFlash->trigger();
        QCOMPARE(f.LastLine(),
                 QStringLiteral("File Load - Warning: File larger than device: the 24C02 holds 256 "
                                "bytes (0h-FFh); the file's data from 100h to 100h (1 byte) was "
                                "not loaded"));
        QCOMPARE(buf.HexData[0xFE], 0x11);
        QCOMPARE(buf.HexData[0xFF], 0x22);
        QCOMPARE(buf.HexData[0x00], 0xFF);
        QVERIFY(AllStatus(buf, TProgStatus(ps_failed)));
        QCOMPARE(w.windowTitle(), Caption(w, big));
        QCOMPARE(QString::fromStdString(buf.FileName()), big);

        // A file that vanished after it was chosen.
        a.Files << f.Folder() + "/gone.hex";
        w.LoadFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM File Load: File load failed"));

        // Cancelled: nothing happens.
        const int lines = f.Lines().size();
        w.LoadFlash->trigger();
        QCOMPARE(f.Lines().size(), lines);
        QVERIFY(!w.InOperation());
    }

    void saveInAFormat() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        buf.HexData[0x20] = 0xAB;
        const QString file = f.Folder() + "/out.s19";
        TFileAnswers a{{}, {file}, 3}; // entry 3: code 4, Motorola EXORciser
        f.Log.OnFileDialog = a.Answer();
        const int before = f.Lines().size();
        w.SaveFlash->trigger();
        QCOMPARE(a.Shown[0].Title, QStringLiteral("Select file for Intel Hex file Save"));
        QCOMPARE(a.Shown[0].DefaultSuffix, QStringLiteral("hex"));
        QVERIFY(a.Shown[0].Save && a.Shown[0].ConfirmOverwrite);
        QCOMPARE(a.Shown[0].Filters, w.SaveFilters);
        QCOMPARE(a.Shown[0].Folder, QDir(f.Folder()).filePath(QStringLiteral("samples")));
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{"EEPROM: Saving File",
                              QStringLiteral("EEPROM: File Saved (") + w.DisplayName(file) + ") - 00:00"}));
        QCOMPARE(TFileLoader::GetFileType(file.toStdString()), 4);
        THexList back;
        back.SetSize(256);
        QCOMPARE(TFileLoader::LoadFile(file.toStdString(), back, 0), 0);
        QCOMPARE(back.HexData, buf.HexData);
        QCOMPARE(w.windowTitle(), Caption(w, file));
        // The format save leaves the reload source alone.
        QVERIFY(buf.FileName().empty());
        QCOMPARE(w.LoadDialog.FileName, file);

        // Cancelled.
        w.SaveFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Save Cancelled - 00:00"));
    }

    void aFailedSaveIsReportedAndKeepsTheOldFile_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("entry");
        QTest::addColumn<bool>("missingFolder");
        // Tektronix holds no address above 0xFFFF; the data sits at 0x1FFFF.
        QTest::newRow("format cannot hold the address") << QStringLiteral("24C1024") << 7 << false;
        QTest::newRow("folder does not exist") << QStringLiteral("24C02") << 0 << true;
    }

    void aFailedSaveIsReportedAndKeepsTheOldFile() {
        QFETCH(QString, device);
        QFETCH(int, entry);
        QFETCH(bool, missingFolder);
        TWindowFixture f;
        f.WriteEnvironment(Env(device));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        buf.HexData[buf.Size() - 1] = 0x42;
        const QString file = missingFolder ? f.Folder() + "/no/such/dir/out.hex" : f.Folder() + "/old.tek";
        if (!missingFolder) QVERIFY(!WriteBytes(file, "previous contents\r\n").isEmpty());
        const QString caption = w.windowTitle();
        TFileAnswers a{{}, {file}, entry};
        f.Log.OnFileDialog = a.Answer();
        w.SaveFlash->trigger();
        // The line says why, in the line itself.
        const QString why = missingFolder
                                ? QStringLiteral("Cannot create file \"") + file +
                                      QStringLiteral("\": No such file or directory")
                                : QStringLiteral("Tektronix cannot hold addresses above 0xFFFF, the "
                                                 "data reach 0x1FFFF");
        const QString line = QStringLiteral("EEPROM: File Save Failed (") + w.DisplayName(file) + "): " + why;
        QCOMPARE(f.LastLine(), line);
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|") + line);
        QVERIFY(
            !f.Lines().contains(QStringLiteral("EEPROM: File Saved (") + w.DisplayName(file) + ") - 00:00"));
        QCOMPARE(w.windowTitle(), caption);
        if (!missingFolder) QCOMPARE(ReadBytes(file), QByteArray("previous contents\r\n"));
        QVERIFY(!w.InOperation());
    }

    void binarySaveThenReload() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        for (std::uint32_t i = 0; i < 256; ++i)
            buf.HexData[i] = static_cast<std::uint8_t>(255 - i);
        const std::vector<std::uint8_t> saved = buf.HexData;
        const QString file = f.Folder() + "/image.bin";
        TFileAnswers a{{}, {file}};
        f.Log.OnFileDialog = a.Answer();
        w.EEPROM5->trigger();
        QCOMPARE(a.Shown[0].Title, QStringLiteral("Select file for Intel Hex file Save"));
        QCOMPARE(a.Shown[0].Folder, QString()); // the binary save sets no folder of its own
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"EEPROM: Saving Binary File", QStringLiteral("EEPROM: Binary File Saved (") +
                                                                w.DisplayName(file) + ") - 00:00"}));
        QCOMPARE(ReadBytes(file).size(), 256);
        QCOMPARE(QString::fromStdString(buf.FileName()), file);
        QCOMPARE(w.windowTitle(), Caption(w, file));

        buf.Clear();
        buf.InvalidateData();
        const int before = f.Lines().size();
        f.Clock += 2000;
        w.ReloadFlash->trigger();
        QCOMPARE(f.Lines().mid(before), (QStringList{"Reloading: EEPROM Intel Hex File",
                                                     "File Load: File loaded (as a Binary file) - 00:00",
                                                     "EEPROM: File Reloaded - 00:00"}));
        QCOMPARE(buf.HexData, saved);
        QVERIFY(AllStatus(buf, TProgStatus(ps_normal)));

        // A binary save that cannot be written leaves the reload source as
        // it was.
        a.Files << f.Folder() + "/missing/dir/x.bin";
        w.EEPROM5->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Binary File Save Failed (") +
                                   w.DisplayName(f.Folder() + "/missing/dir/x.bin") +
                                   "): Cannot create file \"" + f.Folder() +
                                   "/missing/dir/x.bin\": No such file or directory");
        QCOMPARE(QString::fromStdString(buf.FileName()), file);
        w.EEPROM5->trigger(); // cancelled
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Save Cancelled - 00:00"));
    }

    void reloadWarnings() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        QVERIFY(!w.ReloadFlash->isEnabled());
        QVERIFY(!w.ReloadFlashPopup->isEnabled());
        const QString text = SaveImage(f.Folder() + "/data.hex", 256, 0, {7}, 1);
        const QString binary = WriteBytes(f.Folder() + "/data.bin", QByteArray(16, '\x09'));
        TFileAnswers a{{}, {text, binary}};
        f.Log.OnFileDialog = a.Answer();

        // The text file grows past the device.
        w.LoadFlash->trigger();
        QVERIFY(w.ReloadFlashPopup->isEnabled());
        SaveImage(text, 512, 0x1F0, {1, 2, 3}, 1);
        w.ReloadFlash->trigger();
        QCOMPARE(
            f.LastLine(),
            QStringLiteral("EEPROM: File Reloaded - Warning: Bad data or file larger than device  - 00:00"));

        // The binary file grows past the device: the warning, and the
        // reload's own line says so too.
        w.LoadFlash->trigger();
        WriteBytes(binary, QByteArray(300, '\x09'));
        const int before = f.Lines().size();
        w.ReloadFlashPopup->trigger();
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{
                     "Reloading: EEPROM Intel Hex File",
                     "File Load - Warning: file larger than device: the 24C02 holds 256 bytes, the file has "
                     "300 (44 too many): nothing was loaded",
                     "EEPROM: File Reloaded - Warning: Bad data or file larger than device  - 00:00"}));
        QVERIFY(AllStatus(buf, TProgStatus(ps_failed)));
    }

    void reloadUsesTheCommandLineFile() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        const QString named = SaveImage(f.Folder() + "/named.hex", 256, 0, {0x11}, 1);
        const QString other = SaveImage(f.Folder() + "/other.hex", 256, 0, {0x22}, 1);
        Tmain& w = f.Start({QStringLiteral("/L:") + named});
        THexList& buf = w.Prjct()->FlashMemory;
        QCOMPARE(buf.HexData[0], 0x11);
        TFileAnswers a{{}, {other}};
        f.Log.OnFileDialog = a.Answer();
        w.LoadFlash->trigger();
        QCOMPARE(buf.HexData[0], 0x22);
        SaveImage(named, 256, 0, {0x33}, 1);
        w.ReloadFlash->trigger();
        QCOMPARE(buf.HexData[0], 0x33);
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: File Reloaded - 00:00"));
    }

    void recentFiles() {
        TWindowFixture f;
        const QString a1 = SaveImage(f.Folder() + "/first.hex", 256, 0, {0xA1}, 1);
        const QString a2 = SaveImage(f.Folder() + "/second.s19", 256, 0, {0xA2}, 4);
        const QString bin = WriteBytes(f.Folder() + "/third.bin", QByteArray(4, '\x03'));
        const QString gone = f.Folder() + "/fourth.hex";
        f.WriteHive(
            QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n") +
            Env(QStringLiteral("24C02")) +
            QStringLiteral(
                "\r\n\r\n[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\Main.MRUList]\r\n"
                "\"0\"=\"%1\"\r\n\"1\"=\"%2\"\r\n\"2\"=\"%3\"\r\n\"3\"=\"%4\"\r\n\r\n")
                .arg(a1, a2, bin, gone));
        Tmain& w = f.Start();
        QCOMPARE(w.RecentFiles(), (QStringList{a1, a2, bin, gone}));
        emit w.LoadMenu->aboutToShow();
        QCOMPARE(w.RecentFileAction(1)->text(), QStringLiteral("second.s19"));
        QVERIFY(w.RecentFileAction(3)->isVisible());
        QVERIFY(w.LoadMenu->actions().contains(w.RecentFileAction(0)));

        w.RecentFileAction(1)->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (Motorola EXORciser) - 00:00"));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0], 0xA2);
        QCOMPARE(w.windowTitle(), Caption(w, a2, 160));
        QCOMPARE(w.LoadDialog.FileName, a2);
        QCOMPARE(w.RecentFiles(), (QStringList{a2, a1, bin, gone}));
        QCOMPARE(w.RecentFileAction(0)->text(), QStringLiteral("second.s19"));

        // Binary images are not loaded from the list; a vanished file fails.
        w.RecentFileAction(2)->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File not accessable or a supported file type"));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0], 0xA2);
        w.RecentFileAction(3)->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM File Load: File load failed"));
        QCOMPARE(w.RecentFiles(), (QStringList{gone, bin, a2, a1}));

        // Loading through the dialog adds nothing to the list.
        TFileAnswers a{{}, {a1}};
        f.Log.OnFileDialog = a.Answer();
        w.LoadFlash->trigger();
        QCOMPARE(w.RecentFiles(), (QStringList{gone, bin, a2, a1}));

        // The order reaches the registry at exit.
        QVERIFY(f.Close());
        const QString hive = f.ReadHive();
        QVERIFY(hive.contains(QStringLiteral("GLOBAL\\Main.MRUList]")));
        QVERIFY(hive.indexOf(QStringLiteral("\"0\"=\"") + gone) >= 0);
        QVERIFY(hive.indexOf(QStringLiteral("\"3\"=\"") + a1) >= 0);
    }

    void shippedPatternsLoadFromThePatternsFolder() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        const QDir patterns(QStringLiteral(NORVOISP_SOURCE_DIR "/patterns"));
        const QStringList files = patterns.entryList(QDir::Files);
        QVERIFY(files.size() >= 3);
        TFileAnswers a;
        f.Log.OnFileDialog = a.Answer();
        for (const QString& name : files) {
            a.Files << patterns.filePath(name);
            w.LoadPattern1->trigger();
            QCOMPARE(a.Shown.last().Folder, QDir(f.Folder()).filePath(QStringLiteral("patterns")));
            QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (Intel Intellex 8/MDS) - 00:00"));
        }
        a.Files << patterns.filePath(QStringLiteral("checkerboard_55AA.hex"));
        w.LoadPattern1->trigger();
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0], 0x55);
        QCOMPARE(w.Prjct()->FlashMemory.HexData[255], 0xAA);

        // The pattern command's own text warning.
        a.Files << SaveImage(f.Folder() + "/big.hex", 512, 0x100, {1}, 1);
        w.LoadPattern1->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("File Load - Warning: bad data or file larger than device: the "
                                              "24C02 holds 256 bytes (0h-FFh); the file's data from 100h to "
                                              "100h (1 byte) was not loaded"));
    }

    // A 128 KiB image for a 32 KiB part: the warning says how much was left
    // out, also where the status bar has room for its start only.
    void fileForALargerPartSaysWhatWasLeftOut() {
        TWindowFixture f;
        f.WriteEnvironment(QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"25C256\"\r\n"
                                          "\"LASTDEVICETYPE\"=\"1\""));
        Tmain& w = f.Start();
        THexList image;
        image.SetSize(128 * 1024);
        for (std::uint32_t i = 0; i < image.Size(); ++i)
            image.HexData[i] = static_cast<std::uint8_t>(i % 251);
        const QString file = f.Folder() + "/datalog.hex";
        QCOMPARE(TFileLoader::SaveFile(file.toStdString(), image, 1), 0);
        TFileAnswers a{{}, {file}};
        f.Log.OnFileDialog = a.Answer();
        w.LoadFlash->trigger();
        const QString warning =
            QStringLiteral("File Load - Warning: File larger than device: the 25C256 holds 32768 "
                           "bytes (0h-7FFFh); the file's data from 8000h to 1FFFFh (98304 "
                           "bytes) was not loaded");
        QCOMPARE(f.LastLine(), warning);
        QCOMPARE(w.StatusPanel->toolTip(), warning);
        // The part's bytes are loaded (and shown failed, as a load that did
        // not fit is).
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0x7FFF], 0x7FFF % 251);
        QCOMPARE(w.Prjct()->FlashMemory.GetStatus(0x7FFF), TProgStatus(ps_failed));
    }

    void randomDataIsTheSameAfterEveryStart() {
        std::vector<std::uint8_t> first;
        for (int start = 0; start < 2; ++start) {
            TWindowFixture f;
            f.WriteEnvironment(Env(QStringLiteral("24C64")));
            Tmain& w = f.Start();
            THexList& buf = w.Prjct()->FlashMemory;
            buf.InvalidateData();
            w.PageControl->setCurrentWidget(w.StatusTab);
            w.RandomData1->trigger();
            QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
            QVERIFY(AllStatus(buf, TProgStatus(ps_failed)));
            QCOMPARE(buf.HexData[0], 0xA5);
            QVERIFY(std::find(buf.HexData.begin(), buf.HexData.end(), 0) == buf.HexData.end());
            if (start == 0) {
                first = buf.HexData;
            } else {
                QCOMPARE(buf.HexData, first);
                // A second use goes on with the sequence.
                w.RandomData1->trigger();
                QVERIFY(buf.HexData != first);
            }
        }
    }

    void pagedTestFileAndClear() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        w.About1Click(true); // the Support menu
        THexList& buf = w.Prjct()->FlashMemory;
        QVERIFY(w.PagedTestFile1->isEnabled());
        w.PagedTestFile1->trigger();
        // The pattern itself is tested with the buffer; here: the device's
        // page size and size reach it.
        THexList want;
        want.SetSize(256);
        WritePagedTestPattern(want, 4, 256);
        QCOMPARE(buf.HexData, want.HexData);
        QCOMPARE(buf.HexData[5], 1);
        buf.SetStatus(4, TProgStatus(ps_verified));
        QVERIFY(w.ClearFlashBuffer->isEnabled());
        w.ClearFlashBuffer->trigger();
        QVERIFY(
            std::all_of(buf.HexData.begin(), buf.HexData.end(), [](std::uint8_t b) { return b == 0xFF; }));
        QVERIFY(AllStatus(buf, TProgStatus(ps_normal)));
    }

    void fileCheckers() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        w.About1Click(true);
        const QString srec = SaveImage(f.Folder() + "/check.s19", 256, 0x40, {0x99}, 4);
        TFileAnswers a{{}, {srec}};
        f.Log.OnFileDialog = a.Answer();
        w.FileChecker1->trigger();
        QCOMPARE(a.Shown[0].Title, QStringLiteral("File Loader Test"));
        QCOMPARE(f.Log.Messages, QStringList{"File Is: Motorola EXORciser"});
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0x40], 0x99);

        const int lines = f.Lines().size();
        const QString out = f.Folder() + "/check.tek";
        a.Files << out;
        a.FilterIndex = 7; // Tektronix
        w.FileCheckerSave1->trigger();
        QCOMPARE(a.Shown[1].Title, QStringLiteral("Save Test"));
        QCOMPARE(a.Shown[1].Filters, w.SaveFilters);
        QVERIFY(a.Shown[1].ConfirmCreate);
        QCOMPARE(TFileLoader::GetFileType(out.toStdString()), 8);
        QCOMPARE(f.Lines().size(), lines);
    }

    void commandsWaitForTheRunningOperation() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        w.About1Click(true);
        QList<bool> during;
        Script().OnBlock = [&](int) {
            w.UpdateActions();
            for (QAction* a : {w.LoadFlash, w.LoadFlashPopup, w.LoadPattern1, w.Fill1, w.RandomData1,
                               w.PagedTestFile1, w.ClearFlashBuffer, w.FileChecker1, w.AutoProgram})
                during << a->isEnabled();
        };
        w.ProgramFlash->trigger();
        QVERIFY(!during.isEmpty());
        QVERIFY(!during.contains(true));
        w.UpdateActions();
        QVERIFY(w.LoadFlash->isEnabled() && w.Fill1->isEnabled() && w.AutoProgram->isEnabled());
    }

    void displayNameKeepsTheFileNameWhole() {
        const QFontMetrics fm(QFont(QStringLiteral("Sans"), 9));
        const QString shortPath = QStringLiteral("/a/b.hex");
        QCOMPARE(MinimizeName(shortPath, fm, 260), shortPath);
        const QString longPath =
            QStringLiteral("/home/operator/projects/customer-boards/revision-b/production/"
                           "images/eeprom_contents_final.hex");
        const QString s = MinimizeName(longPath, fm, 260);
        QVERIFY(fm.horizontalAdvance(s) <= 260);
        QVERIFY(s.startsWith(QStringLiteral("/.../")));
        QVERIFY(s.endsWith(QStringLiteral("/images/eeprom_contents_final.hex")) ||
                s == QStringLiteral("/.../eeprom_contents_final.hex"));
        // Too narrow for anything but the name: the name stays whole.
        QCOMPARE(MinimizeName(longPath, fm, 10), QStringLiteral("eeprom_contents_final.hex"));
        QCOMPARE(MinimizeName(QStringLiteral("plain.hex"), fm, 1), QStringLiteral("plain.hex"));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
