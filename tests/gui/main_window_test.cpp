// The main window's start-up, command line, remembered choices, device and
// hardware switching and shut-down, against scripted drivers.
#include "main_window_fixture.h"
#include "widget_actions.h"

#include "formats/file_loader.h"
#include "gui/app_identity.h"
#include "gui/fuse_form.h"
#include "gui/hex_edit.h"
#include "gui/hex_view.h"
#include "gui/radio_group.h"
#include "settings/registry_hive.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

namespace {

const QString kHiveHeader =
    QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n");
const char kEnvironmentKey[] = "Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT";

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString HiveValue(const QString& file, const char* name) {
    TRegistryHive hive(file.toStdString());
    hive.Load();
    return QString::fromStdString(hive.ReadString(kEnvironmentKey, name));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void startUpIsDeferredUntilShown() {
        TWindowFixture f;
        Tmain w(QStringList{}, f.Log.Prompts());
        w.SetProgramFolder(f.Folder());
        QVERIFY(!w.HardwareSelector->isVisible());
        QVERIFY(!w.ProgramFlash->isEnabled());
        w.show();
        QVERIFY(!w.Initialized());
        QVERIFY(Script().Calls.isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(w.Initialized());
        QVERIFY(w.HardwareSelector->isVisible());
        QVERIFY(w.ProgramFlash->isEnabled());
    }

    void firstStartWithoutSettings() {
        // Hardware 0 is the parallel-port kind; this machine has no printer
        // port, so opening it fails and the window stays usable.
        TWindowFixture f;
        Tmain& w = f.StartWithoutSettings();
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("NORVO ISP (LPT)"));
        QCOMPARE(w.DeviceType->currentIndex(), 0);
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("24C00"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C00"));
        QCOMPARE(w.Prjct()->FlashMemory.Size(), 16u);
        // The kinds that drive hardware keep their places; the simulated unit
        // follows them under a caption that says what it is.
        QCOMPARE(Items(w.HardwareSelector).mid(0, 4),
                 (QStringList{"NORVO ISP (LPT)", "NORVO ISP (COM)", "CH341A (USB)", "Simulated unit"}));
        QCOMPARE(w.HardwareSelector->itemData(3).toString(), QStringLiteral("NORVO ISP (SIM)"));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("NORVO ISP (LPT)"));
        // No printer port here: the warning says how to go on without one.
        QCOMPARE(
            f.Lines(),
            (QStringList{"Attempting to switch to Device:24C00 Hardware:NORVO ISP (LPT)", "ISP Initializing",
                         "NORVO ISP (LPT): LPT port not found or in use by another program - to try the "
                         "program without hardware, choose \"Simulated unit\" "
                         "under Programmer"}));
        // On this first start a box says it too (the status bar shows the
        // start of the line only).
        QCOMPARE(
            f.Log.Messages,
            QStringList{"No programmer was found:\nNORVO ISP (LPT): LPT port not found or in use by another "
                        "program\n\nTo try the program without hardware, choose \"Simulated unit\" under "
                        "Programmer in the tool bar."});
        QVERIFY(!w.InOperation());
        QVERIFY(w.ProgramFlash->isEnabled());
        QCOMPARE(w.windowTitle(), Tmain::AppTitle);
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(w.PageControl->tabText(0), QStringLiteral("EEPROM Memory"));
        QCOMPARE(w.FlashViewer->Data(), &w.Prjct()->FlashMemory);
        // No printer port to choose: the options dialog cannot be confirmed.
        w.OptionsButton->click();
        QCOMPARE(f.Log.DialogTitles, QStringList{"ISP Configuration"});
        QCOMPARE(f.LastLine(), QStringLiteral("Options Cancelled - 00:00"));

        // The choices are remembered at exit.
        QVERIFY(f.Close());
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICE"), QStringLiteral("24C00"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTHARDWARE"), QStringLiteral("NORVO ISP (LPT)"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICETYPE"), QStringLiteral("0"));
        QVERIFY(w.Hardwr() == nullptr);
    }

    void startUpWithAWorkingProgrammer() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP A"));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("FAKE ISP A"));
        QCOMPARE(f.Lines(),
                 (QStringList{"Attempting to switch to Device:24C00 Hardware:Fake ISP A", "ISP Initializing",
                              "ISP Initialized; Programmer Detected.  - 00:00"}));
        QCOMPARE(w.StatusMessage(), QStringLiteral("0|ISP Initialized; Programmer Detected.  - 00:00"));
        // Open twice with a close between, the organisation, then the reset
        // polarity of the new panel ("Off").
        QCOMPARE(Script().Calls,
                 (QStringList{"LoadSettings", "Open", "Close", "Open", "WriteTiming(16)", "Run(2)"}));
        QVERIFY(f.Close());
        QCOMPARE(Script().Calls.last(), QStringLiteral("Close"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTHARDWARE"), QStringLiteral("Fake ISP A"));
    }

    void rememberedChoicesAreRestored() {
        TWindowFixture f;
        f.WriteHive(kHiveHeader +
                    QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP B\"\r\n\"LASTDEVICETYPE\"=\"2\"\r\n"
                                   "\"LASTDEVICE\"=\"93C66\"\r\n\r\n"));
        Tmain& w = f.Start();
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("Fake ISP B"));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("FAKE ISP B"));
        QCOMPARE(w.DeviceType->currentIndex(), 2);
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("93C66"));
        QCOMPARE(f.Lines().first(),
                 QStringLiteral("Attempting to switch to Device:93C66 Hardware:Fake ISP B"));
        QVERIFY(f.Close());
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICE"), QStringLiteral("93C66"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICETYPE"), QStringLiteral("2"));
    }

    void unknownRememberedChoicesFallBack() {
        // An unregistered hardware gets hardware 0, a device the family does
        // not offer its first device, a family number out of range family 0.
        TWindowFixture f;
        f.WriteHive(kHiveHeader + QStringLiteral("\"LASTHARDWARE\"=\"Nope\"\r\n\"LASTDEVICETYPE\"=\"9\"\r\n"
                                                 "\"LASTDEVICE\"=\"ZZZ\"\r\n\r\n"));
        Tmain& w = f.Start();
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("NORVO ISP (LPT)"));
        QCOMPARE(w.DeviceType->currentIndex(), 0);
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("24C00"));
    }

    void invalidParametersAreLoggedAndStartUpGoesOn() {
        TWindowFixture f;
        Tmain& w = f.Start({"/X", "A", "-m=fake isp b"});
        QCOMPARE(f.Lines().mid(0, 2),
                 (QStringList{"Invalid Commandline Parameter - !", "Invalid Commandline Parameter - !"}));
        QCOMPARE(f.Log.Beeps, 2);
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("FAKE ISP B"));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized; Programmer Detected.  - 00:00"));
    }

    void hiddenHardwareFromTheCommandLine() {
        TWindowFixture f;
        Tmain& w = f.Start({"-M=Fake Hidden"});
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("FAKE HIDDEN"));
        // The hidden kind is named in the drop-down while it is in use.
        QCOMPARE(Items(w.HardwareSelector),
                 (QStringList{"NORVO ISP (LPT)", "NORVO ISP (COM)", "CH341A (USB)", "Simulated unit",
                              "FAKE ISP A", "FAKE ISP B", "FAKE HIDDEN"}));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("FAKE HIDDEN"));
        // A device change keeps it.
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C02")));
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("FAKE HIDDEN"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C02"));
    }

    void dataFileFromTheCommandLineKeepsItsLetterCase() {
        TWindowFixture f;
        const QString file = f.Folder() + QStringLiteral("/Board.Hex");
        {
            QFile hex(file);
            QVERIFY(hex.open(QIODevice::WriteOnly));
            hex.write(":0400000012345678E4\r\n:00000001FF\r\n");
        }
        Tmain& w = f.Start({QStringLiteral("/L:") + file});
        QVERIFY(w.CommandLine().LoadHex);
        QCOMPARE(QString::fromStdString(w.CommandLine().HexFile), file);
        const THexList& buf = w.Prjct()->FlashMemory;
        QCOMPARE(QString::fromStdString(buf.FileName()), file);
        QCOMPARE(buf.HexData[0], 0x12);
        QCOMPARE(buf.HexData[3], 0x78);
        QCOMPARE(buf.HexData[4], 0xFF);
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized; Programmer Detected.  - 00:00"));
    }

    void loadOptionWithoutFileFailsStartUp() {
        TWindowFixture f;
        Tmain& w = f.Start({"/L"});
        QVERIFY(w.CommandLine().LoadHex);
        QVERIFY(w.CommandLine().HexFile.empty());
        QVERIFY(f.LastLine().startsWith(QStringLiteral("Error: ")));
        QVERIFY(w.StatusMessage().startsWith(QStringLiteral("2|")));
        QCOMPARE(f.Log.Errors.size(), 1);
        // The rest of the start-up is skipped; the window stays usable.
        QVERIFY(!Script().Calls.contains(QStringLiteral("Run(2)")));
        QVERIFY(!w.InOperation());
        QVERIFY(w.ProgramFlash->isEnabled());
        QVERIFY(w.DeviceType->isEnabled());
    }

    void openFailureLeavesTheWindowUsable() {
        TWindowFixture f;
        Script().OpenFault = [] { throw EISPException("Programmer was not detected"); };
        Tmain& w = f.Start();
        QVERIFY2(
            f.LastLine().startsWith(QStringLiteral("Programmer was not detected - to try the program without "
                                                   "hardware, choose \"Simulated unit")),
            qPrintable(f.LastLine()));
        QVERIFY(!w.InOperation());
        QVERIFY(w.HardwareSelector->isEnabled());
        // Choosing another device opens the programmer again.
        Script().OpenFault = nullptr;
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C02")));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized: Programmer Detected.   - 00:00"));
    }

    void familyChangeRefillsTheDeviceList() {
        TWindowFixture f;
        Tmain& w = f.Start();
        Script().Calls.clear();
        const int before = f.Lines().size();
        w.DeviceType->setCurrentIndex(2);
        emit w.DeviceType->activated(2);
        QCOMPARE(Items(w.DeviceSelector),
                 (QStringList{"93C06", "93C46", "93C56", "93C57", "93C66", "93C76", "93C86"}));
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("93C06"));
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{"Attempting to switch to Device: Hardware:FAKE ISP A",
                              "ISP Initializing:", "ISP Initialized: Programmer Detected.   - 00:00"}));
        // The old driver is closed, the new one gets the organisation and is opened.
        QCOMPARE(Script().Calls, (QStringList{"Close", "WriteTiming(16)", "Open"}));

        // The same device again changes nothing.
        const int lines = f.Lines().size();
        emit w.DeviceSelector->activated(w.DeviceSelector->currentIndex());
        QCOMPARE(f.Lines().size(), lines);

        // The lists are sorted by name, the numbers in a name by value.
        w.DeviceType->setCurrentIndex(0);
        emit w.DeviceType->activated(0);
        QCOMPARE(
            Items(w.DeviceSelector),
            (QStringList{"24C00",  "24C01",  "24C02",  "24C04",   "24C08",    "24C16",   "24C32",  "24C64",
                         "24C128", "24C256", "24C512", "24C1024", "24LC1025", "24M01",   "24WC01", "24WC02",
                         "24WC04", "24WC08", "24WC16", "24WC32",  "24WC64",   "24WC128", "24WC256"}));
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("24C00"));
        // Where a family's names do not tell the size, each entry's tip does.
        w.DeviceType->setCurrentIndex(1);
        emit w.DeviceType->activated(1);
        QCOMPARE(Items(w.DeviceSelector).mid(0, 6),
                 (QStringList{"25C01", "25C02", "25C04", "25C08", "25C010", "25C16"}));
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("25C010")); // the family's first
        const int entry = w.DeviceSelector->findText(QStringLiteral("25256"));
        QCOMPARE(w.DeviceSelector->itemData(entry, Qt::ToolTipRole).toString(),
                 QStringLiteral("25256: 32768 bytes, pages of 64"));
    }

    // A change of family, device or hardware empties the buffer: edits that
    // are in no file are let go only when the operator says so. The caption
    // names the file only while the buffer holds it.
    void deviceChangeAsksBeforeEditsAreLost() {
        TWindowFixture f;
        f.WriteEnvironment(QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"24C02\""));
        Tmain& w = f.Start();
        THexList image;
        image.SetSize(256);
        image.HexData[0] = 0x42;
        const QString file = f.Folder() + QStringLiteral("/board.hex");
        QCOMPARE(TFileLoader::SaveFile(file.toStdString(), image, 1), 0);
        f.Log.OnFileDialog = [file](TFileRequest& r) {
            r.FileName = file;
            return true;
        };
        w.LoadFlash->trigger();
        const QString fileCaption = w.windowTitle();
        QVERIFY(fileCaption.endsWith(QStringLiteral("board.hex")));
        THexList& buf = w.Prjct()->FlashMemory;

        // As loaded: no question.
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C04")));
        QVERIFY(f.Log.Questions.isEmpty());
        QCOMPARE(buf.HexData[0], 0xFF);
        QCOMPARE(w.windowTitle(), Tmain::AppTitle);
        w.ViewStatus->trigger();
        w.ViewFlash->trigger();
        QCOMPARE(w.windowTitle(), Tmain::AppTitle);

        // Edited in the hex view: the operator is asked; No keeps all.
        w.ReloadFlash->trigger();
        QCOMPARE(w.windowTitle(), Tmain::AppTitle + QStringLiteral(" - EEPROM: ") + w.DisplayName(file));
        w.FlashViewer->setFocus();
        QTest::keyClicks(w.FlashViewer, QStringLiteral("3F"));
        QCOMPARE(buf.HexData[0], 0x3F);
        f.Log.AnswerYes = false;
        QVERIFY(Choose(w.DeviceType, QStringLiteral("93C")));
        QCOMPARE(f.Log.Questions.size(), 1);
        QVERIFY(
            f.Log.Questions[0].startsWith(QStringLiteral("EEPROM Buffer|The EEPROM buffer holds changes")));
        QCOMPARE(w.DeviceType->currentText(), QStringLiteral("24C"));
        QCOMPARE(w.DeviceSelector->currentText(), QStringLiteral("24C04"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C04"));
        QCOMPARE(buf.HexData[0], 0x3F);
        // ... also for another programmer; Yes lets the edits go.
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("FAKE ISP B")));
        QCOMPARE(f.Log.Questions.size(), 2);
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("FAKE ISP A"));
        QCOMPARE(w.SelectedHardware(), std::string("FAKE ISP A"));
        f.Log.AnswerYes = true;
        QVERIFY(Choose(w.DeviceType, QStringLiteral("93C")));
        QCOMPARE(f.Log.Questions.size(), 3);
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("93C06"));
        QCOMPARE(buf.HexData[0], 0xFF);
        QCOMPARE(w.windowTitle(), Tmain::AppTitle);

        // Saved, the edits are in a file: no question.
        f.Log.OnFileDialog = [this_file = f.Folder() + QStringLiteral("/saved.bin")](TFileRequest& r) {
            r.FileName = this_file;
            return true;
        };
        QTest::keyClicks(w.FlashViewer, QStringLiteral("12"));
        w.EEPROM5->trigger();
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("93C46")));
        QCOMPARE(f.Log.Questions.size(), 3);
    }

    // After a Read the buffer holds the chip's bytes, and the caption says
    // so, also when the EEPROM page is shown again.
    void captionAfterARead() {
        TWindowFixture f;
        f.WriteEnvironment(QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"24C02\""));
        Tmain& w = f.Start();
        w.Prjct()->FlashMemory.SetFileName("/data/board.hex");
        w.SetBufferOrigin(Tmain::TBufferOrigin::File);
        w.FlashTabShow();
        Script().Chip.assign(256, 0x5A);
        w.ReadFlash->trigger();
        const QString read = Tmain::AppTitle + QStringLiteral(" - EEPROM: read from 24C02");
        QCOMPARE(w.windowTitle(), read);
        w.ViewStatus->trigger();
        w.ViewFlash->trigger();
        QCOMPARE(w.windowTitle(), read);
        // Reloading brings the file back, and its name.
        QCOMPARE(QString::fromStdString(w.Prjct()->FlashMemory.FileName()),
                 QStringLiteral("/data/board.hex"));
    }

    // Every caption begins with the application title itself; Qt adds the
    // display name to each caption when one is set, so the program sets
    // only its name.
    void applicationTitleOnceInEveryCaption() {
        const QString before = QGuiApplication::applicationName();
        SetApplicationIdentity();
        QCOMPARE(QGuiApplication::applicationName(), QStringLiteral("norvoisp"));
        QVERIFY(QGuiApplication::applicationDisplayName() != Tmain::AppTitle);
        QCOMPARE(ApplicationTitle(), Tmain::AppTitle);
        QGuiApplication::setApplicationName(before);
    }

    // At the size the window opens with, every entry of the tool bar has
    // the width it needs, the programmer list with each of its entries.
    void toolBarEntriesShowWhole() {
        TWindowFixture f;
        Tmain& w = f.StartWithoutSettings();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (QWidget* entry :
             std::initializer_list<QWidget*>{w.DeviceLabel, w.DeviceType, w.DeviceSelector, w.HardwareLabel,
                                             w.HardwareSelector, w.OptionsButton, w.ResetButton})
            QVERIFY2(entry->width() >= entry->sizeHint().width(),
                     qPrintable(QStringLiteral("%1: %2 of %3")
                                    .arg(entry->metaObject()->className())
                                    .arg(entry->width())
                                    .arg(entry->sizeHint().width())));
        const QFontMetrics fm(w.HardwareSelector->font());
        for (int i = 0; i < w.HardwareSelector->count(); ++i)
            QVERIFY(w.HardwareSelector->width() > fm.horizontalAdvance(w.HardwareSelector->itemText(i)));
        QVERIFY(w.width() <= w.maximumWidth());
    }

    // Tab walks the tool bar from left to right: family, device, programmer,
    // Options, Reset.
    void tabOrderThroughTheToolBar() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.DeviceType->setFocus();
        QStringList order;
        for (QWidget* at = w.DeviceType; order.size() < 5; at = at->nextInFocusChain()) {
            if (!at->isVisible() || !at->isEnabled() || !(at->focusPolicy() & Qt::TabFocus)) continue;
            if (at == w.DeviceType)
                order << QStringLiteral("family");
            else if (at == w.DeviceSelector)
                order << QStringLiteral("device");
            else if (at == w.HardwareSelector)
                order << QStringLiteral("programmer");
            else if (at == w.OptionsButton)
                order << QStringLiteral("options");
            else if (at == w.ResetButton)
                order << QStringLiteral("reset");
            else
                order << QString::fromLatin1(at->metaObject()->className());
        }
        QCOMPARE(order, (QStringList{"family", "device", "programmer", "options", "reset"}));
        // And the keyboard goes that way.
        QTest::keyClick(w.DeviceType, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.DeviceSelector);
        QTest::keyClick(w.DeviceSelector, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.HardwareSelector);
    }

    // Program with the printer-port kind where the computer has no printer
    // port: the warning names it and the window stays usable.
    void programOnTheParallelKindWithoutAPort() {
        TWindowFixture f;
        f.WriteEnvironment(
            QStringLiteral("\"LASTHARDWARE\"=\"NORVO ISP (LPT)\"\r\n\"LASTDEVICE\"=\"24C02\""));
        Tmain& w = f.Start();
        w.ProgramFlash->trigger();
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"EEPROM: Programming",
                              "NORVO ISP (LPT): LPT port not found or in use by another program"}));
        QVERIFY(w.StatusMessage().startsWith(QStringLiteral("2|")));
        QVERIFY(!w.InOperation());
        QVERIFY(w.ProgramFlash->isEnabled());
        QVERIFY(w.HardwareSelector->isEnabled());
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));
        QVERIFY(f.Log.Errors.isEmpty());
    }

    void familyAdaptation_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("statusEntries");
        QTest::addColumn<bool>("writeAllEntry");
        QTest::addColumn<bool>("fusesTab");
        QTest::addColumn<bool>("organisation");
        QTest::addColumn<bool>("protection");
        QTest::addColumn<bool>("writeProtection");
        QTest::addColumn<bool>("pageSizeField");
        QTest::addColumn<int>("pageSize");
        // The "Status Register" page is there for 24C parts too: their bus
        // number and the reset polarity live on it.
        QTest::newRow("24C64") << "24C64" << false << false << true << false << false << false << true << 16;
        QTest::newRow("25C040") << "25C040" << true << false << true << false << true << false << true << 16;
        QTest::newRow("25C080") << "25C080" << true << false << true << false << true << true << true << 32;
        QTest::newRow("93C86") << "93C86" << false << true << true << true << false << false << false << 32;
    }

    void familyAdaptation() {
        QFETCH(QString, device);
        QFETCH(bool, statusEntries);
        QFETCH(bool, writeAllEntry);
        QFETCH(bool, fusesTab);
        QFETCH(bool, organisation);
        QFETCH(bool, protection);
        QFETCH(bool, writeProtection);
        QFETCH(bool, pageSizeField);
        QFETCH(int, pageSize);
        TWindowFixture f;
        f.WriteHive(kHiveHeader +
                    QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICETYPE\"=\"%1\"\r\n"
                                   "\"LASTDEVICE\"=\"%2\"\r\n\r\n")
                        .arg(device.startsWith(QStringLiteral("24"))   ? 0
                             : device.startsWith(QStringLiteral("25")) ? 1
                                                                       : 2)
                        .arg(device));
        Tmain& w = f.Start();
        QCOMPARE(w.DeviceSelector->currentText(), device);
        QCOMPARE(w.ProgramFuses->isVisible(), statusEntries);
        QCOMPARE(w.ReadFuses->isVisible(), statusEntries);
        QCOMPARE(w.WriteAll1->isVisible(), writeAllEntry);
        QCOMPARE(w.PageControl->isTabVisible(w.PageControl->indexOf(w.FusesTab)), fusesTab);
        TBaseFuseForm* panel = w.FuseForm();
        QVERIFY(panel);
        QCOMPARE(panel->Mode->isEnabled(), organisation);
        QCOMPARE(panel->WriteAllValue->isEnabled(), organisation);
        QCOMPARE(panel->BP->isEnabled(), protection);
        QCOMPARE(panel->StatusReg->isEnabled(), protection);
        QCOMPARE(panel->WPEN->isEnabled(), writeProtection);
        QCOMPARE(panel->DevicePageSize->isEnabled(), pageSizeField);
        QCOMPARE(panel->DevicePageSize->Value(), pageSize);
        // Erase is there for every family; the write-all entry never runs.
        QVERIFY(w.DeviceErase->isVisible());
        QVERIFY(!w.WriteAll1->isEnabled());
    }

    void everySwitchBuildsAFreshPanel() {
        TWindowFixture f;
        Tmain& w = f.Start();
        TBaseFuseForm* first = w.FuseForm();
        first->ResetPolarity->SetItemIndex(0);
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C02")));
        QVERIFY(w.FuseForm() != first);
        QCOMPARE(w.FuseForm()->ResetPolarityIndex(), 2);
        QCOMPARE(w.FuseForm()->ModeIndex(), 1);
        QCOMPARE(w.FusePanel(), static_cast<const TFusePanel*>(w.FuseForm()));
    }

    void pageCommandsAndChecks() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(w.ViewFlash->isChecked());
        w.ViewStatus->trigger();
        QCOMPARE(w.PageControl->currentWidget(), w.StatusTab);
        QVERIFY(w.ViewStatus->isChecked());
        QVERIFY(!w.ViewFlash->isChecked());
        // The last line is selected, so the list shows its end.
        QCOMPARE(w.StatusList->currentIndex().row(), f.Lines().size() - 1);
        w.ViewFuses->trigger();
        QCOMPARE(w.PageControl->currentWidget(), w.FusesTab);
        QVERIFY(w.ViewFuses->isChecked());
        QVERIFY(w.FuseForm()->isVisible());
        QTest::keyClick(&w, Qt::Key_F10);
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QTest::keyClick(&w, Qt::Key_F12);
        QCOMPARE(w.PageControl->currentWidget(), w.FusesTab);
    }

    void captionNamesTheBufferFile() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.SetCurrentFileName(QStringLiteral("EEPROM: board.hex"));
        QCOMPARE(w.windowTitle(), Tmain::AppTitle + QStringLiteral(" - EEPROM: board.hex"));
        // A buffer that holds its file shows the file's name on its page.
        w.Prjct()->FlashMemory.SetFileName("/data/board.hex");
        w.SetBufferOrigin(Tmain::TBufferOrigin::File);
        w.ViewStatus->trigger();
        w.ViewFlash->trigger();
        QCOMPARE(w.windowTitle(), Tmain::AppTitle + QStringLiteral(" - EEPROM: /data/board.hex"));
        w.Prjct()->FlashMemory.SetFileName("");
        w.FlashTabShow();
        QCOMPARE(w.windowTitle(), Tmain::AppTitle);
    }

    void mouseWheelMovesTheCursorAndScrolls() {
        TWindowFixture f;
        f.WriteHive(kHiveHeader +
                    QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"24C64\"\r\n\r\n"));
        Tmain& w = f.Start();
        QCOMPARE(w.Prjct()->FlashMemory.Size(), 8192u);
        // The view leaves the wheel to the window (a wheel event the view
        // ignores travels up to it).
        auto wheel = [&](int delta) {
            const QPointF pos(w.FlashViewer->viewport()->rect().center());
            QWheelEvent e(pos, w.FlashViewer->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w.FlashViewer->viewport(), &e);
            QVERIFY(!e.isAccepted());
            QWheelEvent up(w.mapFromGlobal(e.globalPosition()), e.globalPosition(), QPoint(),
                           QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&w, &up);
            QVERIFY(up.isAccepted());
        };
        wheel(-120); // one notch down: 120 bytes on
        QCOMPARE(w.FlashViewer->Cursor(), 120);
        QCOMPARE(w.FlashViewer->DrawFrom(), 120 / 16);
        wheel(-120);
        QCOMPARE(w.FlashViewer->Cursor(), 240);
        wheel(120);
        QCOMPARE(w.FlashViewer->Cursor(), 120);
        wheel(120);
        QCOMPARE(w.FlashViewer->Cursor(), 0);
        // Above the start the cursor stays.
        wheel(120);
        QCOMPARE(w.FlashViewer->Cursor(), 0);
        QCOMPARE(w.FlashViewer->DrawFrom(), 0);
    }

    void settingsAreNotWrittenWhenStartUpNeverReadThem() {
        TWindowFixture f;
        const QString hive = kHiveHeader + QStringLiteral("\"LASTDEVICE\"=\"24C64\"\r\n\r\n");
        f.WriteHive(hive);
        {
            Tmain w(QStringList{}, f.Log.Prompts());
            w.SetProgramFolder(f.Folder());
            QVERIFY(w.close());
        }
        QCOMPARE(f.ReadHive(), hive);
    }

    void exitCommandCloses() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("FAKE ISP B")));
        QVERIFY(Choose(w.DeviceType, QStringLiteral("25C")));
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("25C640")));
        w.FileExit->trigger();
        QVERIFY(!w.isVisible());
        // File > Exit keeps the choices for the next start.
        QCOMPARE(HiveValue(f.HiveFile(), "LASTHARDWARE"), QStringLiteral("FAKE ISP B"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICE"), QStringLiteral("25C640"));
        QCOMPARE(HiveValue(f.HiveFile(), "LASTDEVICETYPE"), QStringLiteral("1"));
    }

    void menusHoldEveryEntry() {
        TWindowFixture f;
        Tmain& w = f.Start();
        auto texts = [](const QMenu* m) {
            QStringList t;
            for (const QAction* a : m->actions())
                if (!a->isSeparator()) t << a->text();
            return t;
        };
        QCOMPARE(texts(w.FileMenu), (QStringList{"&Load", "&Save", "&Reload", "Import old Norvo Projects",
                                                 "Load Project Settings", "Save Project Settings", "E&xit"}));
        QCOMPARE(texts(w.ProgramMenu), (QStringList{"&EEPROM", "Status Register", "Write ALL Value"}));
        QCOMPARE(texts(w.ReadMenu), (QStringList{"&EEPROM", "Status Register"}));
        QCOMPARE(texts(w.DeviceMenu), (QStringList{"&Erase", "&Program", "&Read", "&Verify", "&Auto Program",
                                                   "Auto Program &Options..."}));
        QCOMPARE(texts(w.ViewMenu), (QStringList{"&Information", "&EEPROM", "&Status", "Pop Up Warnings",
                                                 "Show &Code Page Characters"}));
        // The hex view's text column shows "." for what is not printable
        // unless the code page is asked for.
        QVERIFY(!w.FlashViewer->ShowCodePage());
        w.ShowCodePage1->trigger();
        QVERIFY(w.FlashViewer->ShowCodePage());
        QCOMPARE(texts(w.HelpMenu),
                 (QStringList{"Help Topics", "Online Support", "&Readme", "Firmware Update", "&About"}));
        QCOMPARE(texts(w.FlashViewerMenu),
                 (QStringList{"Reload EEPROM File", "Load New EEPROM File", "Clear EEPROM Buffer",
                              "Program EEPROM", "Verify EEPROM", "Read EEPROM"}));
        QCOMPARE(texts(w.StatusListMenu), (QStringList{"&Clear Status", "Save Status Log"}));
        QVERIFY(!w.SupportMenu->menuAction()->isVisible());
        // Ctrl+Alt+F6 and F7 switch to a text console on Linux desktops: the
        // menu shows Ctrl+Shift with the same key, and both work.
        QCOMPARE(w.ProgramFlash->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6),
                                      QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F6)}));
        QCOMPARE(w.WriteAll1->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F7),
                                      QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F7)}));
        QCOMPARE(w.ReadFlash->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F6));
        QCOMPARE(w.VerifyFlash->shortcut(), QKeySequence(Qt::Key_F6));
        QCOMPARE(w.ReadFuses->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F12));
        QCOMPARE(w.AutoProgram->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(w.LoadFlash->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(w.SaveFilters.size(), 10);
        QCOMPARE(w.LoadFilters.size(), 12);
        QCOMPARE(w.LoadFilters.last(), QStringLiteral("Binary Files  (*.bin)"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
