// The "ISP Configuration" dialog: port preselection and parsing, the EEPROM
// time, the clock speed that survives Cancel, an empty port list.
#include "gui/port_options_dialog.h"

#include "catalogue/device_list.h"
#include "gui/hex_edit.h"
#include "main_window_fixture.h"
#include "programmer/unit/smart_parallel.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

// Runs the dialog with a scripted operator.
struct TRun {
    std::function<void(Tfispgold&)> Operator;
    int Result = QDialog::Accepted;
};

std::unique_ptr<Tfispgold> Dialog(TRun& run, const char* device = "24C64") {
    TDevice* d = DeviceList().GetNewDeviceInstance(device, TProgrammerSupport{pk_eisp});
    auto dialog = std::make_unique<Tfispgold>(nullptr, d, [&run](QDialog& dlg) {
        if (run.Operator) run.Operator(static_cast<Tfispgold&>(dlg));
        return run.Result;
    });
    return dialog;
}

} // namespace

class PortOptionsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SmartDongle::ClockSpeed = 1; }

    void portNumber_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("number");
        QTest::newRow("LPT2") << "LPT2" << 2;
        QTest::newRow("COM12") << "COM12" << 12;
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("not a number") << "ttyUSB0" << -1;
        QTest::newRow("too short") << "LPT" << -1;
        QTest::newRow("sign") << "COM+1" << -1;
    }

    void portNumber() {
        QFETCH(QString, entry);
        QFETCH(int, number);
        QCOMPARE(Tfispgold::PortNumber(entry), number);
    }

    void preselection_data() {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("index");
        QTest::newRow("LPT2 of three") << QStringList{"LPT1", "LPT2", "LPT3"} << 1 << 1;
        QTest::newRow("no match: first") << QStringList{"LPT1", "LPT2"} << 4 << 0;
        QTest::newRow("COM12") << QStringList{"COM1", "COM3", "COM12"} << 11 << 2;
        QTest::newRow("odd entry stays listed") << QStringList{"ttyUSB0", "COM2"} << 1 << 1;
    }

    void preselection() {
        QFETCH(QStringList, ports);
        QFETCH(int, selected);
        QFETCH(int, index);
        TRun run;
        int shown = -2;
        run.Operator = [&](Tfispgold& d) { shown = d.PortSelector->currentIndex(); };
        auto d = Dialog(run);
        for (const QString& p : ports)
            d->SetupPortsLpt(p.toStdString());
        QVERIFY(d->Execute(selected, 0, 0, 0));
        QCOMPARE(shown, index);
        QCOMPARE(d->GetPortLpt(), index);
    }

    void chosenComPort() {
        TRun run;
        run.Operator = [](Tfispgold& d) { d.PortSelector->setCurrentIndex(1); };
        auto d = Dialog(run);
        for (const char* p : {"COM1", "COM3", "COM12"})
            d->SetupPortsLpt(p);
        QVERIFY(d->Execute(11, 0, 0, 0));
        QCOMPARE(d->GetPort(), 2);
    }

    void serialEntriesShowTheirDevices() {
        TRun run;
        QStringList shown;
        QString tip;
        int preselected = -1;
        run.Operator = [&](Tfispgold& d) {
            for (int i = 0; i < d.PortSelector->count(); ++i)
                shown << d.PortSelector->itemText(i);
            tip = d.PortSelector->itemData(1, Qt::ToolTipRole).toString();
            preselected = d.PortSelector->currentIndex();
            d.PortSelector->setCurrentIndex(1);
        };
        auto d = Dialog(run);
        d->SetComPortPaths([](int n) -> std::string {
            if (n == 1) return "/dev/ttyS0";
            if (n == 12) return "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
            return {};
        });
        // What the system says of each device follows its path.
        d->SetComPortDescriptions([](const std::string& Path) -> std::string {
            return Path.find("FTDI") != std::string::npos
                       ? "FT232R USB UART (FTDI), USB 0403:6001, serial A1B2C3"
                       : "";
        });
        for (const char* p : {"COM1", "COM12", "COM5", "ttyUSB0"})
            d->SetupPortsLpt(p);
        QVERIFY(d->Execute(11, 0, 0, 0));
        QCOMPARE(shown, (QStringList{"COM1 = /dev/ttyS0",
                                     "COM12 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0  "
                                     "(FT232R USB UART (FTDI), USB 0403:6001, serial A1B2C3)",
                                     "COM5", "ttyUSB0"}));
        QCOMPARE(tip, QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\n"
                                     "FT232R USB UART (FTDI), USB 0403:6001, serial A1B2C3"));
        QCOMPARE(preselected, 1);
        QCOMPARE(d->GetPort(), 11);
        QCOMPARE(d->Entry(1), QStringLiteral("COM12"));
    }

    void serialKindShowsItsPortTable() {
        // The window's dialog for the serial kind: COM1 (a device that is
        // not there, so the start-up open fails at once) and COM7 as the
        // settings name them; devices found on this computer may follow.
        TWindowFixture f;
        f.WriteHive(
            QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                           "\"LASTHARDWARE\"=\"Norvo ISP (COM)\"\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\COMPORTS]\r\n"
                           "\"COM1\"=\"/nonexistent/norvo-tty\"\r\n"
                           "\"COM7\"=\"/nonexistent/norvo-usb\"\r\n\r\n"));
        Tmain& w = f.Start();
        QStringList shown;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& dialog = static_cast<Tfispgold&>(d);
            for (int i = 0; i < dialog.PortSelector->count(); ++i)
                shown << dialog.PortSelector->itemText(i);
            return int(QDialog::Rejected);
        };
        w.OptionsButton->click();
        QCOMPARE(f.Log.DialogTitles, QStringList{"ISP Configuration"});
        QVERIFY(shown.size() >= 2);
        QCOMPARE(shown.mid(0, 1), QStringList{"COM1 = /nonexistent/norvo-tty"});
        QVERIFY2(shown.contains(QStringLiteral("COM7 = /nonexistent/norvo-usb")),
                 qPrintable(shown.join(", ")));
    }

    void eepromTime_data() {
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("plain") << 7 << 7;
        QTest::newRow("300 mod 256") << 300 << 44;
        QTest::newRow("zero: device default") << 0 << 0;
    }

    void eepromTime() {
        QFETCH(int, typed);
        QFETCH(int, stored);
        TRun run;
        run.Operator = [typed](Tfispgold& d) { d.EEtime->SetValue(typed); };
        auto d = Dialog(run);
        d->SetupPortsLpt("LPT1");
        QVERIFY(d->Execute(0, 0, 3, 12));
        QCOMPARE(int(d->GetEEPROMTime()), stored);
        QCOMPARE(int(d->GetFlashTime()), 3);
    }

    void shownValues() {
        TRun run;
        int shownTime = -1;
        bool medium = false;
        run.Operator = [&](Tfispgold& d) {
            shownTime = d.EEtime->Value();
            medium = d.Medium->isChecked();
        };
        SmartDongle::ClockSpeed = 16;
        auto d = Dialog(run);
        d->SetupPortsLpt("LPT1");
        QVERIFY(d->Execute(0, 0, 0, 12));
        QCOMPARE(shownTime, 12);
        QVERIFY(medium);
        QCOMPARE(d->windowTitle(), QStringLiteral("ISP Configuration"));
    }

    void clockSpeedSurvivesCancel() {
        TRun run;
        run.Result = QDialog::Rejected;
        run.Operator = [](Tfispgold& d) { d.Slow->setChecked(true); };
        SmartDongle::ClockSpeed = 16;
        auto d = Dialog(run);
        d->SetupPortsLpt("LPT1");
        QVERIFY(!d->Execute(0, 0, 0, 0));
        QCOMPARE(SmartDongle::ClockSpeed, 32);
    }

    // At the size it opens with, every text of the dialog shows whole: the
    // wrapped help texts get the height they need at their width, the
    // others their width.
    void everyTextShowsWholeAtTheOpeningSize() {
        TRun run;
        QStringList clipped;
        run.Operator = [&](Tfispgold& d) {
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            for (const QLabel* l : d.findChildren<QLabel*>()) {
                const bool whole = l->wordWrap() ? l->height() >= l->heightForWidth(l->width())
                                                 : l->width() >= l->sizeHint().width();
                if (!whole)
                    clipped << QStringLiteral("%1 (%2x%3)")
                                   .arg(l->text().left(30))
                                   .arg(l->width())
                                   .arg(l->height());
            }
            d.hide();
        };
        auto d = Dialog(run);
        d->SetupPortsLpt("LPT1");
        d->Execute(0, 0, 0, 0);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    }

    void emptyListRefusesOk() {
        TRun run;
        bool okEnabled = true;
        run.Operator = [&](Tfispgold& d) { okEnabled = d.Button1->isEnabled(); };
        auto d = Dialog(run);
        QVERIFY(!d->Execute(0, 0, 0, 0));
        QVERIFY(!okEnabled);
        QCOMPARE(d->GetPortLpt(), -1);
        QCOMPARE(d->GetPort(), -1);
    }
};

QTEST_MAIN(PortOptionsDialogTest)
#include "port_options_dialog_test.moc"
