// The window with the "CH341A (USB)" kind on the emulated board
// (NORVOISP_CH341_SIM=1): chosen in the drop-down, program, verify and read,
// its options dialog and its information. Run twice: on the emulated
// board, and on the computer's USB, which ctest then puts on the stand-in
// libusb with the board behind it (NORVOISP_LIBUSB_CHIP fills its socket).
#include "common/temp_dir.h"
#include "main_window_fixture.h"
#include "standin_control.h"
#include "widget_actions.h"

#include "gui/hex_edit.h"
#include "gui/options_form_dialog.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "sim_kinds/sim_ch341_bus.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <optional>

namespace {

const QString kBoard = QStringLiteral("-M=CH341A (USB)");

TCh341A* Board(Tmain& w) {
    return dynamic_cast<TCh341A*>(w.Hardwr());
}

} // namespace

class Ch341WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (!OnLibUsbStandIn()) qputenv("NORVOISP_CH341_SIM", "1");
    }
    void cleanupTestCase() { qunsetenv("NORVOISP_CH341_SIM"); }

    void chosenInTheDropDownItProgramsVerifiesAndReads() {
        TScopedEnv socket("NORVOISP_LIBUSB_CHIP", "24C256");
        TWindowFixture f;
        f.WriteEnvironment(QStringLiteral("\"LASTDEVICE\"=\"24C256\"\r\n\"LASTDEVICETYPE\"=\"0\""));
        Tmain& w = f.Start();
        QVERIFY(w.HardwareSelector->findText(QStringLiteral("CH341A (USB)")) >= 0);
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("CH341A (USB)")));
        QVERIFY(Board(w));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized: Programmer Detected.   - 00:00"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C256"));

        THexList& buf = w.Prjct()->FlashMemory;
        for (std::uint32_t i = 0; i < buf.Size(); ++i)
            buf.HexData[i] = static_cast<std::uint8_t>(i * 5 + (i >> 8));
        const std::vector<std::uint8_t> image = buf.HexData;
        const int before = f.Lines().size();
        w.ProgramFlash->trigger();
        w.VerifyFlash->trigger();
        buf.Clear();
        w.ReadFlash->trigger();
        QCOMPARE(f.Lines().mid(before),
                 (QStringList{"EEPROM: Programming", "EEPROM: Programming Complete - 00:00",
                              "EEPROM: Verifying", "EEPROM: Verify Complete - 00:00", "EEPROM: Reading",
                              "EEPROM: Read Complete - 00:00"}));
        QVERIFY(buf.HexData == image);
        // On the stand-in the replies came through libusb.
        if (OnLibUsbStandIn()) QVERIFY(LibUsbStandInStats().in_with_data > 100);

        // Screenshot of the window on the board, for review.
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        QVERIFY(w.grab().save(QStringLiteral(NORVOISP_SCREENSHOT_DIR "/ch341a_window_after_read.png")));
    }

    void aBoardPulledOutIsReportedAndFoundAgain() {
        TScopedEnv socket("NORVOISP_LIBUSB_CHIP", "93C46");
        TWindowFixture f;
        f.WriteEnvironment(QStringLiteral("\"LASTDEVICE\"=\"93C46\"\r\n\"LASTDEVICETYPE\"=\"2\""));
        Tmain& w = f.Start({kBoard});
        QVERIFY(Board(w));
        auto* bus = dynamic_cast<TSimCh341Bus*>(Board(w)->UsbBus());
        QVERIFY(bus || OnLibUsbStandIn());
        THexList& buf = w.Prjct()->FlashMemory;
        for (std::uint32_t i = 0; i < buf.Size(); ++i)
            buf.HexData[i] = static_cast<std::uint8_t>(i * 3);
        w.ProgramFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));

        {
            // Out part way through the next programming, in again after it.
            std::optional<TScopedEnv> unplug;
            if (bus)
                bus->Emulator().Faults().UnplugAfterOutBytes = bus->Emulator().Stats().OutBytes + 500;
            else
                unplug.emplace("NORVOISP_LIBUSB_UNPLUG", "20");
            w.ProgramFlash->trigger();
            const QString all = f.Lines().join(QLatin1Char('\n')) + f.Log.Errors.join(QLatin1Char('\n'));
            QVERIFY2(
                all.contains(QStringLiteral("CH341A disconnected during the operation: plug it in again")),
                qPrintable(all));
            if (bus) bus->Emulator().Replug();
        }
        w.VerifyFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Verify Complete - 00:00"));
    }

    void optionsDialogStoresTheChoices() {
        TScopedEnv socket("NORVOISP_LIBUSB_CHIP", "24C02");
        TWindowFixture f;
        Tmain& w = f.Start({kBoard});
        QStringList boards;
        bool fiveVolts = false;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& dialog = static_cast<TOptionsFormDialog&>(d);
            QComboBox* board = dialog.ListField("board");
            for (int i = 0; i < board->count(); ++i)
                boards << board->itemText(i);
            fiveVolts = dialog.NoteField("voltage")->text().contains(QStringLiteral("5 V"));
            board->setCurrentIndex(1);
            dialog.RadioField("speed", 1)->setChecked(true);
            dialog.NumberField("time")->SetValue(300); // kept to 8 bits, as the unit's dialog does
            return int(QDialog::Accepted);
        };
        w.OptionsButton->click();
        QCOMPARE(f.Log.DialogTitles, QStringList{"CH341A Configuration"});
        QCOMPARE(boards, (QStringList{"The first CH341A found", "USB bus 1, port 1"}));
        QVERIFY(fiveVolts);
        QCOMPARE(f.LastLine(), QStringLiteral("Options Set; Programmer Detected  - 00:00"));
        QCOMPARE(w.ISPSettings().GetString("CH341A (USB)", "USBPATH", ""), std::string("1-1"));
        QCOMPARE(w.ISPSettings().GetInteger("CH341A (USB)", "I2CSpeed", 0), 100);
        QCOMPARE(w.ISPSettings().GetInteger("CH341A (USB)", "EEPROMtime", 0), 44);
        QCOMPARE(Board(w)->I2CSpeedKHz, 100);

        // A board chosen before and not plugged in now stays the choice.
        Board(w)->UsbPath = "3-2";
        QString shown;
        f.Log.OnDialog = [&](QDialog& d) {
            shown = static_cast<TOptionsFormDialog&>(d).ListField("board")->currentText();
            return int(QDialog::Rejected);
        };
        w.OptionsButton->click();
        QCOMPARE(shown, QStringLiteral("3-2 (not plugged in)"));
        QCOMPARE(f.LastLine(), QStringLiteral("Options Cancelled - 00:00"));
    }

    void informationListsTheBoard() {
        TScopedEnv socket("NORVOISP_LIBUSB_CHIP", "24C02");
        TWindowFixture f;
        Tmain& w = f.Start({kBoard});
        QString text;
        f.Log.OnDialog = [&](QDialog& d) {
            text = d.findChild<QPlainTextEdit*>()->toPlainText();
            return int(QDialog::Rejected);
        };
        w.ProgrammerStatus->trigger();
        QVERIFY2(text.contains(QStringLiteral("Boards Found: USB bus 1, port 1")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("I2C Speed: 400 kHz")));
    }
};

QTEST_MAIN(Ch341WindowTest)
#include "ch341_window_test.moc"
