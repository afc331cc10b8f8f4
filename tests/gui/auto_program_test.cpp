// Auto Program: the options dialog and its settings, the steps in their
// order with their lines and accumulated time, the run count, an abort in
// the middle, a second request during a run, the serial number step, /A at
// start-up, and a complete run on the simulated unit.
#include "main_window_fixture.h"

#include "formats/file_loader.h"
#include "gui/auto_program_dialog.h"
#include "gui/hex_edit.h"
#include "gui/hex_view.h"
#include "gui/radio_group.h"
#include "gui/serial_number_dialog.h"
#include "sim_kinds/smart_sim.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString kHive =
    QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                   "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"%1\"\r\n"
                   "\"LASTDEVICETYPE\"=\"%2\"\r\n\r\n");

// The hive with the device and the chosen steps.
QString Hive(const QString& device, int family, const QList<int>& steps) {
    QString s = kHive.arg(device).arg(family);
    if (!steps.isEmpty()) {
        s += QStringLiteral("[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM]\r\n");
        for (int i = 0; i < 5; ++i)
            s += QStringLiteral("\"%1\"=\"%2\"\r\n").arg(i).arg(steps.contains(i) ? "True" : "False");
        s += QStringLiteral("\r\n");
    }
    return s;
}

QString Complete(int n, const QString& time = QStringLiteral("00:00")) {
    return QStringLiteral("Auto Program: Complete (%1 devices programmed this session) - ").arg(n) + time;
}

// Serial numbers stored in memory: size item, location, value.
void StoreSerials(TSerialNum* s, int sizeIndex, int location, int value) {
    s->rgSerialNumMode->SetItemIndex(TSerialNum::mode_StoreInMemory);
    s->rgSerialNumSize->SetItemIndex(sizeIndex);
    s->heSerialLocation->SetValue(location);
    s->heCurrentSerial->SetValue(value);
}

std::vector<std::uint8_t> Bytes(const THexList& h, std::size_t from, std::size_t n) {
    return {h.HexData.begin() + static_cast<std::ptrdiff_t>(from),
            h.HexData.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

} // namespace

class AutoProgramTest : public QObject {
    Q_OBJECT

  private slots:
    void withoutStepsTheOptionsComeFirst() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C64"), 0, {}));
        Tmain& w = f.Start();
        QStringList shownSteps;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& dialog = dynamic_cast<TAutoProgramDialog&>(d);
            for (int i = 0; i < dialog.CheckListBox1->count(); ++i)
                shownSteps << dialog.CheckListBox1->item(i)->text();
            dialog.SetChecked(TAutoProgramDialog::ap_Program, true);
            dialog.SetChecked(TAutoProgramDialog::ap_Verify, true);
            return int(QDialog::Accepted);
        };
        Script().Calls.clear();
        Script().OperationMs = 7400;
        const int before = f.Lines().size();
        w.AutoProgram->trigger();

        QCOMPARE(f.Log.DialogTitles, QStringList{"Auto Program Options"});
        QCOMPARE(shownSteps, (QStringList{"Reload Files", "Erase All", "Program Memory",
                                          "Memory Verification", "Increment Serial Number"}));
        // The steps' times add up: each line shows the run's time so far.
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{"Auto Programming Device", "EEPROM: Programming",
                              "EEPROM: Programming Complete - 00:07", "EEPROM: Verifying",
                              "EEPROM: Verify Complete - 00:14", Complete(1, "00:14")}));
        QCOMPARE(Script().Calls, (QStringList{"Close", "Open", "WriteTiming(16)", "ProgramFlash", "Close",
                                              "Open", "WriteTiming(16)", "VerifyFlash"}));
        // The choice is kept and reaches the registry at exit.
        QVERIFY(w.ISPSettings().GetBoolean("AUTOPROGRAM", "2", false));
        QVERIFY(!w.ISPSettings().GetBoolean("AUTOPROGRAM", "0", true));
        QVERIFY(!w.InAutoProgram && !w.AutoOn);
        QCOMPARE(w.Optime(), 0);
        f.Log.DialogTitles.clear();
        w.AutoProgram->trigger();
        QVERIFY(f.Log.DialogTitles.isEmpty());
        QCOMPARE(f.LastLine(), Complete(2, "00:14"));
        QVERIFY(f.Close());
        QVERIFY(f.ReadHive().contains(
            QStringLiteral("GLOBAL\\AUTOPROGRAM]\r\n\"0\"=\"False\"\r\n\"1\"=\"False\"\r\n"
                           "\"2\"=\"True\"\r\n\"3\"=\"True\"\r\n\"4\"=\"False\"")));
    }

    // Nothing chosen, also after the options were shown: the run is refused
    // with the reason, nothing is opened and no part is counted.
    void withoutAnyStepTheRunIsRefused() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C64"), 0, {}));
        Tmain& w = f.Start();
        f.Log.OnDialog = [](QDialog&) { return int(QDialog::Accepted); };
        Script().Calls.clear();
        const int before = f.Lines().size();
        w.AutoProgram->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Auto Program Options"});
        const QString refused = QStringLiteral(
            "Auto Program: No step is chosen - tick the steps to run in Device > Auto Program Options");
        QCOMPARE(f.Lines().mid(before), QStringList{refused});
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|") + refused);
        QVERIFY(Script().Calls.isEmpty());
        QCOMPARE(w.AutoCount, 0);
        QVERIFY(!w.InAutoProgram && !w.AutoOn && !w.InOperation());

        // Once a step is chosen the next run is the first one counted.
        f.Log.OnDialog = [](QDialog& d) {
            dynamic_cast<TAutoProgramDialog&>(d).SetChecked(TAutoProgramDialog::ap_Erase, true);
            return int(QDialog::Accepted);
        };
        w.AutoProgram->trigger();
        QCOMPARE(f.LastLine(), Complete(1));
    }

    // Esc closes the options as OK does (it is the dialog's only way out),
    // keeping the ticks made.
    void escapeLeavesTheOptionsAsOkDoes() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {}));
        Tmain& w = f.Start();
        TAutoProgramDialog dialog(&w, {}); // the real modal loop
        bool stuck = false;
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.SetChecked(TAutoProgramDialog::ap_Verify, true);
            QTest::keyClick(dialog.CheckListBox1, Qt::Key_Escape);
        });
        QTimer::singleShot(3000, &dialog, [&] {
            if (!dialog.isVisible()) return;
            stuck = true;
            dialog.done(QDialog::Rejected);
        });
        dialog.Execute(false, false, w.ISPSettings());
        QVERIFY(!stuck);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(w.ISPSettings().GetBoolean("AUTOPROGRAM", "3", false));
    }

    void onlyTheSerialNumberStepThreeRuns() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {4}));
        Tmain& w = f.Start();
        StoreSerials(w.SerialNum(), 0, 0x10, 5);
        THexList& buf = w.Prjct()->FlashMemory;
        buf.SetStatus(0x10, TProgStatus(ps_verified));
        for (int run = 1; run <= 3; ++run) {
            const int before = f.Lines().size();
            w.AutoProgram->trigger();
            QCOMPARE(f.Lines().mid(before), (QStringList{"Auto Programming Device", Complete(run)}));
            QCOMPARE(Bytes(buf, 0x10, 2), (std::vector<std::uint8_t>{0x00, std::uint8_t(5 + run)}));
        }
        QCOMPARE(w.SerialNum()->CurrentSerial(), 8);
        QCOMPARE(buf.GetStatus(0x10), TProgStatus(ps_verified));
        QVERIFY(f.Log.DialogTitles.isEmpty());
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);

        // "Disabled": the number still advances, nothing is written.
        w.SerialNum()->rgSerialNumMode->SetItemIndex(TSerialNum::mode_Disabled);
        w.AutoProgram->trigger();
        QCOMPARE(w.SerialNum()->CurrentSerial(), 9);
        QCOMPARE(buf.HexData[0x11], 8);
    }

    // With the Binary base shown, 255 + 1 needs nine digits, one more than
    // the box takes by typing: the number still counts on, every part gets
    // its own.
    void serialNumbersCountOnPastTheBoxWidth() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {4}));
        Tmain& w = f.Start();
        TSerialNum* serial = w.SerialNum();
        StoreSerials(serial, 0, 0x20, 254);
        serial->RadioGroup1->SetItemIndex(0); // "Binary"
        serial->RadioGroup1Click();
        QCOMPARE(serial->heCurrentSerial->text(), QStringLiteral("11111110"));
        THexList& buf = w.Prjct()->FlashMemory;
        const std::uint8_t expected[][2] = {{0x00, 0xFF}, {0x01, 0x00}, {0x01, 0x01}, {0x01, 0x02}};
        for (const auto& bytes : expected) {
            w.AutoProgram->trigger();
            QCOMPARE(Bytes(buf, 0x20, 2), (std::vector<std::uint8_t>{bytes[0], bytes[1]}));
        }
        QCOMPARE(serial->CurrentSerial(), 258);
        QCOMPARE(serial->heCurrentSerial->text(), QStringLiteral("100000010"));
        serial->RadioGroup1->SetItemIndex(2); // "Hexadecimal"
        serial->RadioGroup1Click();
        QCOMPARE(serial->heCurrentSerial->text(), QStringLiteral("102"));
    }

    void abortDuringProgramEndsTheRun() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C64"), 0, {2, 3, 4}));
        Tmain& w = f.Start();
        StoreSerials(w.SerialNum(), 0, 0, 0x40);
        Script().Calls.clear();
        Script().OnBlock = [&](int position) {
            if (position == 128) w.ResetButton->click();
        };
        w.AutoProgram->trigger();
        QCOMPARE(f.Log.Questions, QStringList{"|Are you sure you want to cancel the operation?"});
        QCOMPARE(f.LastLine(), QStringLiteral("Operation Cancelled by user"));
        QVERIFY(!Script().Calls.contains(QStringLiteral("VerifyFlash")));
        QVERIFY(!f.Lines().join('\n').contains(QStringLiteral("Auto Program: Complete")));
        QCOMPARE(w.SerialNum()->CurrentSerial(), 0x40);
        QVERIFY(!w.InAutoProgram && !w.AutoOn && !w.InOperation());
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));

        // The next run counts the aborted one.
        Script().OnBlock = nullptr;
        Script().Chip.clear();
        w.AutoProgram->trigger();
        QCOMPARE(f.LastLine(), Complete(2));
        QCOMPARE(w.SerialNum()->CurrentSerial(), 0x41);
    }

    void aSecondRequestDuringARunIsIgnored() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C64"), 0, {2}));
        Tmain& w = f.Start();
        int requests = 0;
        Script().OnBlock = [&](int) {
            ++requests;
            w.AutoProgram->trigger(); // F5 handled during the step's event pumping
            w.AutoProgramExecute();
        };
        w.AutoProgram->trigger();
        QVERIFY(requests > 0);
        QCOMPARE(w.AutoCount, 1);
        QCOMPARE(f.Lines().filter(QStringLiteral("Auto Programming Device")).size(), 1);
        QCOMPARE(f.LastLine(), Complete(1));
    }

    void reloadWithoutAFileDoesNothingAndStepsRunInOrder() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {0, 1}));
        Tmain& w = f.Start();
        const int before = f.Lines().size();
        w.AutoProgram->trigger();
        QCOMPARE(f.Lines().mid(before), (QStringList{"Auto Programming Device", "Erase: Erasing Device",
                                                     "Erase: Complete - 00:00", Complete(1)}));
    }

    void aFailingStepStopsTheRun() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {1, 2, 3}));
        Tmain& w = f.Start();
        Script().Calls.clear();
        Script().OperationFault = [] {
            if (Script().Calls.last() == QStringLiteral("EraseDevice"))
                throw EISPException("No target", false, "Fake ISP A");
        };
        w.AutoProgram->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("Fake ISP A: No target"));
        QVERIFY(!Script().Calls.contains(QStringLiteral("ProgramFlash")));
        QVERIFY(!w.InAutoProgram && !w.AutoOn);
        QVERIFY(w.AutoProgram->isEnabled());
    }

    void optionsDialog() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {1, 4}));
        Tmain& w = f.Start();
        QList<bool> loaded;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& dialog = dynamic_cast<TAutoProgramDialog&>(d);
            for (int i = 0; i < TAutoProgramDialog::StepCount; ++i)
                loaded << dialog.Checked(i);
            dialog.SetChecked(0, true);
            // No Cancel: Esc leaves the dialog as OK does.
            dialog.reject();
            return dialog.result();
        };
        w.AutoProgramoptions->trigger();
        QCOMPARE(loaded, (QList<bool>{false, true, false, false, true}));
        QVERIFY(w.ISPSettings().GetBoolean("AUTOPROGRAM", "0", false));
        QVERIFY(w.ISPSettings().GetBoolean("AUTOPROGRAM", "4", false));

        TAutoProgramDialog dialog(&w, [](QDialog&) { return int(QDialog::Accepted); });
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Auto Program Options"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        // OK is the only button that closes it (the other one picks the
        // traceability log's file).
        QStringList buttons;
        for (const QPushButton* b : dialog.findChildren<QPushButton*>())
            buttons << b->text();
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Browse...", "OK"}));
        QCOMPARE(dialog.Button1->text(), QStringLiteral("OK"));
    }

    void autoProgramAtStartUp() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C02"), 0, {0, 1}));
        THexList image;
        image.SetSize(256);
        image.HexData[3] = 0x33;
        const QString file = f.Folder() + "/board.hex";
        QCOMPARE(TFileLoader::SaveFile(file.toStdString(), image, 1), 0);
        Tmain& w = f.Start({QStringLiteral("/A"), QStringLiteral("/L:") + file});
        QCOMPARE(f.Lines(), (QStringList{"Attempting to switch to Device:24C02 Hardware:Fake ISP A",
                                         "ISP Initializing", "Auto Programming Device",
                                         "Reloading: EEPROM Intel Hex File", "EEPROM: File Reloaded - 00:00",
                                         "Erase: Erasing Device", "Erase: Complete - 00:00", Complete(1)}));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[3], 0x33);
        QCOMPARE(w.AutoCount, 1);
    }

    // The whole sequence on the simulated unit, with the serial number of
    // each part written into it.
    void completeRunOnTheSimulatedUnit() {
        TWindowFixture f;
        f.WriteHive(Hive(QStringLiteral("24C256"), 0, {0, 1, 2, 3, 4}));
        const QString sample = QStringLiteral(NORVOISP_SOURCE_DIR "/samples/demo_24c256.hex");
        Tmain& w = f.Start({QStringLiteral("-M=Norvo ISP (SIM)"), QStringLiteral("/L:") + sample});
        auto* sim = dynamic_cast<TSmartSim*>(w.Hardwr());
        QVERIFY(sim);
        THexList file;
        file.SetSize(32768);
        QCOMPARE(TFileLoader::LoadFile(sample.toStdString(), file, 0), 0);
        StoreSerials(w.SerialNum(), 2, 0x7FF0, 0x1000);

        for (int run = 1; run <= 2; ++run) {
            const int before = f.Lines().size();
            w.AutoProgram->trigger();
            QCOMPARE(f.Lines().mid(before),
                     (QStringList{"Auto Programming Device", "Reloading: EEPROM Intel Hex File",
                                  "EEPROM: File Reloaded - 00:00", "Erase: Erasing Device",
                                  "Erase: Complete - 00:00", "EEPROM: Programming",
                                  "EEPROM: Programming Complete - 00:00", "EEPROM: Verifying",
                                  "EEPROM: Verify Complete - 00:00", Complete(run)}));
            // The part holds the file with this run's number; the buffer
            // already holds the next one.
            THexList chip;
            chip.SetSize(32768);
            w.Hardwr()->ReadFlash(chip);
            THexList want = file;
            want.HexData[0x7FF2] = 0x10;
            want.HexData[0x7FF3] = static_cast<std::uint8_t>(run - 1);
            want.HexData[0x7FF0] = 0x00;
            want.HexData[0x7FF1] = 0x00;
            QCOMPARE(chip.HexData, want.HexData);
            QCOMPARE(Bytes(w.Prjct()->FlashMemory, 0x7FF0, 4),
                     (std::vector<std::uint8_t>{0x00, 0x00, 0x10, std::uint8_t(run)}));
        }

        // A run that verifies only, against a changed buffer: the differing
        // bytes (and the serial number, one ahead of the part's) are logged
        // and shown failed, the run is not completed.
        for (int i = 0; i < 5; ++i)
            w.ISPSettings().SetSetting("AUTOPROGRAM", std::to_string(i), ss_global, i == 3);
        THexList& buf = w.Prjct()->FlashMemory;
        for (std::uint32_t a : {0x0003u, 0x0011u, 0x0012u, 0x0013u, 0x0020u})
            buf.HexData[a] = static_cast<std::uint8_t>(~buf.HexData[a]);
        const int before = f.Lines().size();
        w.AutoProgram->trigger();
        const QStringList lines = f.Lines().mid(before);
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.first(), QStringLiteral("Auto Programming Device"));
        QCOMPARE(lines[2].left(24), QStringLiteral("Verify Failed at 0003h: "));
        QCOMPARE(lines.last(), QStringLiteral("EEPROM: Verification Failed - 6 bytes had errors"));
        QCOMPARE(buf.GetStatus(0x11), TProgStatus(ps_failed));
        QCOMPARE(buf.GetStatus(0x14), TProgStatus(ps_verified));
        QCOMPARE(lines[7], QStringLiteral("Verify Failed at 7FF3h: Read 01h - Should have been 02h"));
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(w.AutoCount, 3);
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        const QString path = QStringLiteral(NORVOISP_SCREENSHOT_DIR "/auto_program_verify_failed.png");
        QVERIFY(w.grab().save(path));
        qInfo("screenshot: %s", qPrintable(path));
    }
};

QTEST_MAIN(AutoProgramTest)
#include "auto_program_test.moc"
