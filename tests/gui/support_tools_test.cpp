// The support tools: the device list on the clipboard, the help file and the
// web pages through the desktop's handler, the firmware updater (argument
// vector, working folder, the port released and re-created, the driver
// rebuilt, the 255-character command line, an updater that hangs), the
// information dialogs' clipboard texts and the read-me display.
#include "main_window_fixture.h"
#include "widget_actions.h"

#include "gui/isp_information.h"
#include "programmer/unit/parallel_port.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

namespace {

// Counts the printer port objects made and released.
struct TPortCount {
    int Made = 0;
    int Released = 0;
};

TPortCount& Ports() {
    static TPortCount count;
    return count;
}

class TCountedPort : public TParallelPort {
  public:
    TCountedPort() { ++Ports().Made; }
    ~TCountedPort() override { ++Ports().Released; }
    int Active() const override { return FActive; }
    void SetActive(int Value) override { FActive = Value; }
    void SetCurrentLPT(int) override {}
    void SetCurrentLptMode(std::uint8_t) override {}
    int NumLPTs() const override { return 1; }
    std::uint16_t BasePortAddress() const override { return 0x378; }
    bool Pin(int) override { return false; }
    void SetPin(int, bool) override {}

  private:
    int FActive = 0;
};

void WriteFile(const QString& name, const QByteArray& bytes, bool executable = false) {
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

QStringList LastLines(const TWindowFixture& f, int n) {
    const QStringList l = f.Lines();
    return l.mid(l.size() - n);
}

// An updater that notes how it was started.
const QByteArray kRecordingUpdater = "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > args.txt\npwd > pwd.txt\n";

} // namespace

// Receives the addresses the desktop would open.
class TUrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> Opened;

  public slots:
    void open(const QUrl& url) { Opened << url; }
};

class SupportToolsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        SetParallelPortFactory([] { return std::make_unique<TCountedPort>(); });
        ISPStartUp();
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &FCatcher, "open");
    }

    void cleanupTestCase() {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init() { FCatcher.Opened.clear(); }

    void copyDeviceListOf93C() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.DeviceType->setCurrentIndex(2);
        emit w.DeviceType->activated(2);
        QGuiApplication::clipboard()->clear();
        QVERIFY(w.Copydevicelisttoclipboard1->isEnabled());
        w.Copydevicelisttoclipboard1->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("93C06\r\n93C46\r\n93C56\r\n93C57\r\n93C66\r\n93C76\r\n93C86\r\n"));
    }

    void helpTopicsOpenTheHelpFile() {
        TWindowFixture f;
        Tmain& w = f.Start();
        WriteFile(f.Folder() + QStringLiteral("/isp.html"), "<html></html>");
        QVERIFY(w.HelpTopics1->isEnabled());
        QCOMPARE(w.HelpTopics1->shortcut(), QKeySequence(Qt::Key_F1));
        w.HelpTopics1->trigger();
        QCOMPARE(FCatcher.Opened, QList<QUrl>{QUrl::fromLocalFile(f.Folder() + QStringLiteral("/isp.html"))});
        QVERIFY(f.Log.Errors.isEmpty());

        // Without the file the command says so.
        QFile::remove(f.Folder() + QStringLiteral("/isp.html"));
        w.HelpTopics1->trigger();
        QCOMPARE(FCatcher.Opened.size(), 1);
        const QString message =
            QStringLiteral("Help file not found: ") + f.Folder() + QStringLiteral("/isp.html");
        QCOMPARE(f.Log.Errors, QStringList{message});
        QCOMPARE(f.LastLine(), QStringLiteral("Error: ") + message);
    }

    // Where the desktop has no program for the help file or the web pages,
    // the command says so and names what to open by hand.
    void withoutABrowserTheFileToOpenIsNamed() {
        TWindowFixture f;
        Tmain& w = f.Start();
        WriteFile(f.Folder() + QStringLiteral("/isp.html"), "<html></html>");
        for (const char* scheme : {"file", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        w.HelpTopics1->trigger();
        w.UpdatesWebsite1->trigger();
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &FCatcher, "open");
        QVERIFY(FCatcher.Opened.isEmpty());
        const QString help =
            QStringLiteral("No program was found to open the help file (a web browser shows it). "
                           "Open it by hand: ") +
            f.Folder() + QStringLiteral("/isp.html");
        QCOMPARE(f.Log.Errors.size(), 2);
        QCOMPARE(f.Log.Errors[0], help);
        QVERIFY(f.Log.Errors[1].startsWith(
            QStringLiteral("No web browser was found to open the page. Open it by hand: https://")));
        QCOMPARE(f.LastLine(), QStringLiteral("Error: ") + f.Log.Errors[1]);
    }

    void webPagesOpenInTheBrowser() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(w.UpdatesWebsite1->isEnabled());
        QVERIFY(w.Tessel1->isEnabled());
        w.UpdatesWebsite1->trigger();
        w.Tessel1->trigger();
        QCOMPARE(FCatcher.Opened.size(), 2);
        for (const QUrl& u : FCatcher.Opened)
            QCOMPARE(u.scheme(), QStringLiteral("https"));
        QVERIFY(FCatcher.Opened[0] != FCatcher.Opened[1]);
        QVERIFY(f.Log.Errors.isEmpty());
    }

    void firmwareUpdateRunsTheUpdater() {
        TWindowFixture f;
        Tmain& w = f.Start();
        WriteFile(f.Folder() + QStringLiteral("/Firmwareupdater"), kRecordingUpdater, true);
        QVERIFY(w.FirmwareUpdate1->isEnabled());
        const TPortCount before = Ports();
        QVERIFY(SmartDongle::Port);
        Script().Calls.clear();
        w.FirmwareUpdate1->trigger();

        QCOMPARE(ReadFile(f.Folder() + QStringLiteral("/args.txt")),
                 f.Folder() + QStringLiteral("/Firmwareupdater\nfirmware/norvoisp\n000A\n"));
        QCOMPARE(QDir(ReadFile(f.Folder() + QStringLiteral("/pwd.txt")).trimmed()).canonicalPath(),
                 QDir(f.Folder()).canonicalPath());
        // The printer port object was released for the updater and made again.
        QCOMPARE(Ports().Released, before.Released + 1);
        QCOMPARE(Ports().Made, before.Made + 1);
        QVERIFY(SmartDongle::Port);
        // The driver let go of its port first; the rebuilt one is not opened.
        QCOMPARE(Script().Calls.first(), QStringLiteral("Close"));
        QVERIFY(!Script().Calls.contains(QStringLiteral("Open")));
        QCOMPARE(LastLines(f, 3), (QStringList{"Firmware Update: Running Wizard",
                                               "Attempting to switch to Device:24C00 Hardware:FAKE ISP A",
                                               "Firmware Update: Complete - 00:00"}));
        QVERIFY(!w.InOperation());
    }

    void firmwareUpdateThatDoesNotRunToItsEnd_data() {
        QTest::addColumn<QByteArray>("updater"); // empty: none installed
        QTest::addColumn<QString>("warning");
        QTest::newRow("no updater") << QByteArray()
                                    << "Firmware Update: Could not start %1/Firmwareupdater (No such file or "
                                       "directory)";
        QTest::newRow("updater hangs") << QByteArray("#!/bin/sh\nexec sleep 30\n")
                                       << "Firmware Update: Updater did not finish in time and was stopped";
    }

    void firmwareUpdateThatDoesNotRunToItsEnd() {
        QFETCH(QByteArray, updater);
        QFETCH(QString, warning);
        TWindowFixture f;
        Tmain& w = f.Start();
        if (!updater.isEmpty()) WriteFile(f.Folder() + QStringLiteral("/Firmwareupdater"), updater, true);
        w.FirmwareUpdaterLimit = std::chrono::milliseconds(300);
        const TPortCount before = Ports();
        w.FirmwareUpdate1->trigger();
        // The port and the driver are set up again all the same.
        QCOMPARE(Ports().Made, before.Made + 1);
        QCOMPARE(LastLines(f, 2), (QStringList{"Attempting to switch to Device:24C00 Hardware:FAKE ISP A",
                                               warning.arg(f.Folder())}));
        QVERIFY(w.StatusMessage().startsWith(QStringLiteral("2|")));
        QVERIFY(!w.InOperation());
    }

    void firmwareUpdateCommandLineLimit_data() {
        QTest::addColumn<int>("length"); // of the whole command line
        QTest::addColumn<bool>("refused");
        QTest::newRow("255 characters") << 255 << false;
        QTest::newRow("256 characters") << 256 << true;
        QTest::newRow("far longer") << 600 << true;
    }

    void firmwareUpdateCommandLineLimit() {
        QFETCH(int, length);
        QFETCH(bool, refused);
        TWindowFixture f;
        Tmain& w = f.Start();
        // folder + "/Firmwareupdater firmware/norvoisp 000A"
        const int suffix = 39;
        const QString folder = QStringLiteral("/tmp/") + QString(length - suffix - 5, QLatin1Char('d'));
        w.SetProgramFolder(folder);
        w.FirmwareUpdate1->trigger();
        if (refused)
            QCOMPARE(f.LastLine(),
                     QStringLiteral(
                         "Firmware Update: Command line longer than 255 characters, updater not started"));
        else
            QVERIFY2(f.LastLine().startsWith(QStringLiteral("Firmware Update: Could not start ") + folder +
                                             QStringLiteral("/Firmwareupdater")),
                     qPrintable(f.LastLine()));
    }

    void windowsUpdaterThroughARunner() {
        TWindowFixture f;
        Tmain& w = f.Start();
        WriteFile(f.Folder() + QStringLiteral("/Firmwareupdater.exe"), kRecordingUpdater);
        qputenv("NORVOISP_EXE_RUNNER", "sh");
        w.FirmwareUpdate1->trigger();
        qunsetenv("NORVOISP_EXE_RUNNER");
        QCOMPARE(ReadFile(f.Folder() + QStringLiteral("/args.txt")),
                 f.Folder() + QStringLiteral("/Firmwareupdater.exe\nfirmware/norvoisp\n000A\n"));
        QCOMPARE(f.LastLine(), QStringLiteral("Firmware Update: Complete - 00:00"));
    }

    void firmwareUpdateOfferedAfterAMismatch() {
        TWindowFixture f;
        Tmain& w = f.Start();
        WriteFile(f.Folder() + QStringLiteral("/Firmwareupdater"), kRecordingUpdater, true);
        Script().OpenFault = [] { throw EFirmwareMisMatch("Incorrect Firmware Version"); };
        f.Log.AnswerOk = true;
        w.ResetButton->click();
        QCOMPARE(
            f.Log.Questions,
            QStringList{"Firmware Update Required|Your ISP requires a firmware update to continue, please "
                        "click OK to start the update wizard"});
        QVERIFY(QFile::exists(f.Folder() + QStringLiteral("/args.txt")));
        QCOMPARE(LastLines(f, 4), (QStringList{"Firmware Update Required", "Firmware Update: Running Wizard",
                                               "Attempting to switch to Device:24C00 Hardware:FAKE ISP A",
                                               "Firmware Update: Complete - 00:00"}));
    }

    void informationDialogsCopyToTheClipboard() {
        TFISPStat stat;
        QCOMPARE(stat.windowTitle(), QStringLiteral("ISP Information"));
        QVERIFY(stat.CloseButton->isDefault());
        stat.Fill(QStringLiteral("1.0.0.0"), QStringLiteral("000A"),
                  {QStringLiteral("Printer Port: LPT1"), QStringLiteral("Driver Status: Connected")});
        stat.CopyButton->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Norvo ISP Information\r\nNorvo ISP Software Revision: 1.0.0.0\r\n"
                                "Norvo Firmware Revision: 000A\r\nAdditional Information:\r\n"
                                "Printer Port: LPT1\r\nDriver Status: Connected\r\n"));

        TPrintStatusD print;
        QCOMPARE(print.windowTitle(), QStringLiteral("Information"));
        print.Fill(QString(), {QStringLiteral("Programmer ID: VORIZORUV"), QStringLiteral("Port Number: 3")});
        print.CopyButton->click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("Programmer ID: VORIZORUV\nPort Number: 3"));
        print.show();
        print.CloseButton->click();
        QVERIFY(!print.isVisible());
    }

    void readMeReplacesEarlierMessages() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(!f.Lines().isEmpty());
        QVERIFY(!w.ViewReadMe->isEnabled());
        WriteFile(f.Folder() + QStringLiteral("/readme.txt"), "First line\nSecond line\n");
        w.UpdateActions();
        w.ViewReadMe->trigger();
        QCOMPARE(f.Lines(),
                 (QStringList{"First line", "Second line", "README: File Loaded Successfully - 00:00"}));
        QCOMPARE(w.PageControl->currentWidget(), w.StatusTab);
    }

  private:
    TUrlCatcher FCatcher;
};

QTEST_MAIN(SupportToolsTest)
#include "support_tools_test.moc"
