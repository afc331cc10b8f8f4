// The device commands: their status lines and times, the organisation
// hand-over, the buffer and hex view after each, the status register, the
// programmer's options and information.
#include "main_window_fixture.h"

#include "gui/fuse_form.h"
#include "gui/hex_view.h"
#include "gui/radio_group.h"
#include "gui/version_info.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

QString Env(const QString& device, int family) {
    return QStringLiteral(
               "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"%1\"\r\n\"LASTDEVICETYPE\"=\"%2\"")
        .arg(device)
        .arg(family);
}

void FillPattern(THexList& buf) {
    for (std::uint32_t i = 0; i < buf.Size(); ++i)
        buf.HexData[i] = static_cast<std::uint8_t>(i * 7 + 3);
}

} // namespace

class DeviceCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void programVerifyReadWithTimes() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C64"), 0));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        FillPattern(buf);
        Script().Calls.clear();
        Script().OperationMs = 7400;
        const int before = f.Lines().size();

        w.ProgramFlash->trigger();
        w.VerifyFlash->trigger();
        w.ViewStatus->trigger();
        w.ReadFlash->trigger();
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{"EEPROM: Programming", "EEPROM: Programming Complete - 00:07",
                              "EEPROM: Verifying", "EEPROM: Verify Complete - 00:07", "EEPROM: Reading",
                              "EEPROM: Read Complete - 00:07"}));
        // The organisation goes to the driver before each of them.
        QCOMPARE(Script().Calls, (QStringList{"WriteTiming(16)", "ProgramFlash", "WriteTiming(16)",
                                              "VerifyFlash", "WriteTiming(16)", "ReadFlash"}));
        QCOMPARE(std::vector<std::uint8_t>(buf.HexData), Script().Chip);
        // Read cleared the verify marks; the EEPROM page is shown again.
        QCOMPARE(buf.GetStatus(5), TProgStatus(ps_normal));
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(w.ProgressBar->format(), QStringLiteral("Ready..."));
    }

    // Ctrl+Alt+F6 never reaches the program on a Linux desktop (it switches
    // to a text console); Ctrl+Shift+F6 programs as well.
    void bothProgramShortcutsProgram() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C64"), 0));
        Tmain& w = f.Start();
        for (const auto mods :
             {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier}) {
            Script().Calls.clear();
            QTest::keyClick(&w, Qt::Key_F6, mods);
            QCOMPARE(Script().Calls, (QStringList{"WriteTiming(16)", "ProgramFlash"}));
            QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                     (QStringList{"EEPROM: Programming", "EEPROM: Programming Complete - 00:00"}));
        }
    }

    void organisationFollowsThePanel() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("93C46"), 2));
        Tmain& w = f.Start();
        w.FuseForm()->Mode->SetItemIndex(0);
        Script().Calls.clear();
        w.ProgramFlash->trigger();
        w.FuseForm()->Mode->SetItemIndex(1);
        w.ReadFlash->trigger();
        QCOMPARE(Script().Calls,
                 (QStringList{"WriteTiming(8)", "ProgramFlash", "WriteTiming(16)", "ReadFlash"}));
    }

    void verifyDifferenceMarksTheBytes() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02"), 0));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        FillPattern(buf);
        w.ProgramFlash->trigger();
        buf.HexData[5] ^= 0xFF;
        buf.HexData[100] ^= 0x01;
        w.ViewStatus->trigger();
        w.VerifyFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Verify failed - 2 bytes differ"));
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|EEPROM: Verify failed - 2 bytes differ"));
        QCOMPARE(buf.GetStatus(5), TProgStatus(ps_failed));
        QCOMPARE(buf.GetStatus(100), TProgStatus(ps_failed));
        QCOMPARE(buf.GetStatus(6), TProgStatus(ps_verified));
        // The hex view is shown although the driver raised.
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QVERIFY(!w.InOperation());
    }

    void readFillsABlankBuffer() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02"), 0));
        Tmain& w = f.Start();
        Script().Chip.assign(256, 0);
        for (int i = 0; i < 256; ++i)
            Script().Chip[i] = static_cast<std::uint8_t>(255 - i);
        w.Prjct()->FlashMemory.SetStatus(3, TProgStatus(ps_failed));
        w.ViewStatus->trigger();
        w.ReadFlash->trigger();
        const THexList& buf = w.Prjct()->FlashMemory;
        QCOMPARE(std::vector<std::uint8_t>(buf.HexData), Script().Chip);
        QCOMPARE(buf.GetStatus(3), TProgStatus(ps_normal));
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
    }

    void failedProgramStillShowsTheView() {
        TWindowFixture f;
        Tmain& w = f.Start();
        Script().OnBlock = [](int) {
            throw EISPException("ISP timed out during operation", false, "FAKE ISP A");
        };
        w.ViewStatus->trigger();
        w.ProgramFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("FAKE ISP A: ISP timed out during operation"));
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QVERIFY(!f.Lines().contains(QStringLiteral("EEPROM: Programming Complete - 00:00")));
    }

    void erase() {
        TWindowFixture f;
        Tmain& w = f.Start();
        Script().Calls.clear();
        w.DeviceErase->trigger();
        QCOMPARE(Script().Calls, QStringList{"EraseDevice"});
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"Erase: Erasing Device", "Erase: Complete - 00:00"}));
        QCOMPARE(w.ProgressBar->value(), 0);
    }

    void statusRegisterReadAndProgram() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("25C080"), 1));
        Tmain& w = f.Start();
        QVERIFY(w.ReadFuses->isVisible());
        Script().StatusRegister = 0x8C;
        w.ReadFuses->trigger();
        TBaseFuseForm* panel = w.FuseForm();
        QCOMPARE(w.PageControl->currentWidget(), w.FusesTab);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("10001100 8Ch"));
        QCOMPARE(panel->WPEN->ItemIndex(), 0);
        QCOMPARE(panel->BP->ItemIndex(), 3);
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"STATUS REGISTER: Reading", "STATUS REGISTER: Read Complete - 00:00"}));

        panel->WPEN->SetItemIndex(1);
        panel->BP->SetItemIndex(2);
        Script().Calls.clear();
        w.ProgramFuses->trigger();
        QCOMPARE(Script().Calls, QStringList{"WriteOptionByte(08)"});
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("00001000 08h"));
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"Programming: STATUS REGISTER", "STATUS REGISTER: Programmed  - 00:00"}));
        // Shift+F12 reads it again.
        QTest::keyClick(&w, Qt::Key_F12, Qt::ShiftModifier);
        QCOMPARE(f.LastLine(), QStringLiteral("STATUS REGISTER: Read Complete - 00:00"));
    }

    void programmerOptions() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(w.OptionsButton->isEnabled());
        Script().CancelOptions = true;
        f.Clock += 0;
        w.OptionsButton->click();
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"Changing ISP Options", "Options Cancelled - 00:00"}));
        QCOMPARE(w.StatusMessage(), QStringLiteral("0|Options Cancelled - 00:00"));
        QCOMPARE(f.Log.Beeps, 0);
        Script().CancelOptions = false;
        w.OptionsButton->click();
        QCOMPARE(f.LastLine(), QStringLiteral("Options Set; Programmer Detected  - 00:00"));
    }

    void programmerInformation() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QStringList shown;
        f.Log.OnDialog = [&](QDialog& d) {
            shown << d.findChild<QListWidget*>()->item(0)->text();
            return int(QDialog::Rejected);
        };
        Script().Calls.clear();
        w.ProgrammerStatus->trigger();
        QCOMPARE(Script().Calls, QStringList{QStringLiteral("ShowStatus(%1)").arg(w.FI().FileVersion())});
        QCOMPARE(w.FI().FileVersion(), QStringLiteral(NORVOISP_VERSION_STRING));
        QCOMPARE(f.Log.DialogTitles, QStringList{"ISP Information"});
        QCOMPARE(shown, QStringList{"Printer Port: LPT1 Port Address:378"});
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"Status: Retrieving Status", "Status: Operation Complete - 00:00"}));
    }

    void aboutAndSupportMenu() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.About1Click(false);
        QCOMPARE(f.Log.DialogTitles, QStringList{"About"});
        QVERIFY(w.AboutText().startsWith(Tmain::AppTitle + QStringLiteral("\nVersion: v") +
                                         QStringLiteral(NORVOISP_VERSION_STRING) + QLatin1Char('\n')));
        // What the program is, its licence, the libraries it runs on and
        // where the files an installation needs are.
        const QStringList lines = w.AboutText().split(QLatin1Char('\n'));
        const auto line = [&lines](const QString& start) {
            for (const QString& l : lines)
                if (l.startsWith(start)) return l;
            return QString();
        };
        QVERIFY(line(QStringLiteral("An in-system programmer for serial EEPROMs"))
                    .contains(QStringLiteral("93C")));
        QVERIFY(!line(QStringLiteral("Licence: ")).isEmpty());
        QVERIFY(
            line(QStringLiteral("Qt ")).startsWith(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
        const QString libraries = line(QStringLiteral("Libraries: "));
        for (const char* lib : {"libserialport 0.", "OpenSSL 3.", "zlib 1.", "libusb-1.0"})
            QVERIFY2(libraries.contains(QString::fromLatin1(lib)), qPrintable(libraries));
        const QString firmware = f.Folder() + QStringLiteral("/firmware/norvoisp.hex");
        QCOMPARE(line(QStringLiteral("Unit firmware: ")),
                 QStringLiteral("Unit firmware: ") + firmware + QStringLiteral(" (not in this build)"));
        QVERIFY(QDir().mkpath(f.Folder() + QStringLiteral("/firmware")));
        QFile hex(firmware);
        QVERIFY(hex.open(QIODevice::WriteOnly));
        hex.close();
        QCOMPARE(w.AboutText().split(QLatin1Char('\n')).filter(QStringLiteral("Unit firmware: ")),
                 QStringList{QStringLiteral("Unit firmware: ") + firmware});
        QVERIFY(line(QStringLiteral("udev rule: ")).contains(QStringLiteral("60-norvoisp.rules")));
        QVERIFY(!w.SupportMenu->menuAction()->isVisible());
        w.About1Click(true);
        QCOMPARE(f.Log.DialogTitles.size(), 1);
        QVERIFY(w.SupportMenu->menuAction()->isVisible());
    }

    void readMeReplacesTheLog() {
        TWindowFixture f;
        {
            QFile readme(f.Folder() + QStringLiteral("/readme.txt"));
            QVERIFY(readme.open(QIODevice::WriteOnly));
            readme.write("Norvo ISP\r\n\r\nRelease notes\r\n");
        }
        Tmain& w = f.Start();
        // At start-up the read-me replaces the start-up lines.
        QCOMPARE(f.Lines(),
                 (QStringList{"Norvo ISP", "", "Release notes", "README: File Loaded Successfully - 00:00"}));
        QCOMPARE(w.PageControl->currentWidget(), w.StatusTab);
        QVERIFY(w.ViewReadMe->isEnabled());
        QCOMPARE(Script().Calls.last(), QStringLiteral("Run(2)"));
        QFile::remove(f.Folder() + QStringLiteral("/readme.txt"));
        w.UpdateActions();
        QVERIFY(!w.ViewReadMe->isEnabled());
    }
};

QTEST_MAIN(DeviceCommandsTest)
#include "device_commands_test.moc"
