// The whole window against the simulated programmer unit ("Norvo ISP (SIM)"
// from the command line): program, verify and read a 24C256, a 25C040 with
// its status register and a 93C46 in both organisations; a verify against a
// changed buffer; an abort; the reset polarity sent on a click.
#include "main_window_fixture.h"
#include "widget_actions.h"

#include "gui/fuse_form.h"
#include "gui/hex_edit.h"
#include "gui/hex_view.h"
#include "gui/port_options_dialog.h"
#include "gui/radio_group.h"
#include "gui/status_panel.h"
#include "sim_kinds/smart_sim.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace {

const QString kSim = QStringLiteral("-M=Norvo ISP (SIM)");

QString Env(const QString& device, int family) {
    return QStringLiteral("\"LASTDEVICE\"=\"%1\"\r\n\"LASTDEVICETYPE\"=\"%2\"").arg(device).arg(family);
}

void FillPattern(THexList& buf, int seed) {
    for (std::uint32_t i = 0; i < buf.Size(); ++i)
        buf.HexData[i] = static_cast<std::uint8_t>(i * 13 + seed + (i >> 8));
}

TSmartSim* Sim(Tmain& w) {
    return dynamic_cast<TSmartSim*>(w.Hardwr());
}

// How the hex cell of a byte is drawn: pixels clearly green (the verified
// colour) and pixels dark (the colour of bytes neither verified nor failed).
struct TCellInk {
    int Green = 0;
    int Dark = 0;
};

TCellInk CellInk(THexWindow* view, int index) {
    const QImage image = view->viewport()->grab().toImage();
    const int cw = view->CharWidth();
    const int lh = view->LineHeight();
    const int x = THexWindow::Xoffset + THexWindow::rectdist + 9 * cw + 3 * cw * (index % 16);
    const int y = THexWindow::rectdist + THexWindow::yoffset + (index / 16 - view->DrawFrom()) * lh;
    TCellInk ink;
    for (int py = y; py < y + lh && py < image.height(); ++py)
        for (int px = x; px < x + 2 * cw && px < image.width(); ++px) {
            const QColor c = image.pixelColor(px, py);
            if (c.green() > c.red() + 50 && c.green() > c.blue() + 50) ++ink.Green;
            if (c.red() < 70 && c.green() < 70 && c.blue() < 70) ++ink.Dark;
        }
    return ink;
}

// The program folder of a fresh installation: the shipped samples.
void CopySamples(const QString& folder) {
    const QDir from(QStringLiteral(NORVOISP_SOURCE_DIR "/samples"));
    QDir().mkpath(folder + QStringLiteral("/samples"));
    for (const QString& name : from.entryList(QDir::Files))
        QFile::copy(from.filePath(name), folder + QStringLiteral("/samples/") + name);
}

} // namespace

class SimWindowTest : public QObject {
    Q_OBJECT

  private:
    // Programs the buffer, verifies it, clears it and reads the chip back;
    // returns the status lines these three added.
    static QStringList ProgramVerifyRead(TWindowFixture& f, Tmain& w, int seed) {
        THexList& buf = w.Prjct()->FlashMemory;
        FillPattern(buf, seed);
        const std::vector<std::uint8_t> image = buf.HexData;
        const int before = f.Lines().size();
        w.ProgramFlash->trigger();
        w.VerifyFlash->trigger();
        for (std::uint32_t i = 0; i < buf.Size(); ++i)
            if (buf.GetStatus(i) != TProgStatus(ps_verified))
                return {QStringLiteral("byte %1 not verified").arg(i)};
        buf.Clear();
        w.ReadFlash->trigger();
        if (buf.HexData != image) return {QStringLiteral("read back differs")};
        return f.Lines().mid(before);
    }

    static const QStringList& Completed() {
        static const QStringList lines{"EEPROM: Programming", "EEPROM: Programming Complete - 00:00",
                                       "EEPROM: Verifying",   "EEPROM: Verify Complete - 00:00",
                                       "EEPROM: Reading",     "EEPROM: Read Complete - 00:00"};
        return lines;
    }

  private slots:
    void startsOnTheSimulatedUnit() {
        TWindowFixture f;
        Tmain& w = f.Start({kSim});
        QVERIFY(Sim(w));
        QCOMPARE(w.SelectedHardware(), std::string("NORVO ISP (SIM)"));
        QCOMPARE(w.HardwareSelector->currentText(), QStringLiteral("Simulated unit"));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized; Programmer Detected.  - 00:00"));
        // The panel's polarity ("Off") reached the unit at the end of the start-up.
        QCOMPARE(Sim(w)->Unit().ResetPolarity(), 2);
        QVERIFY(w.ProgrammerStatus->isEnabled());
    }

    void eeprom24C256() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C256"), 0));
        Tmain& w = f.Start({kSim});
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C256"));
        QCOMPARE(w.Prjct()->FlashMemory.Size(), 32768u);
        QCOMPARE(ProgramVerifyRead(f, w, 1), Completed());
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);
        QCOMPARE(w.StatusMessage(), QStringLiteral("0|EEPROM: Read Complete - 00:00"));

        // Screenshot of the window after a verify: every byte verified.
        w.VerifyFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Verify Complete - 00:00"));
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        const QString path = QStringLiteral(NORVOISP_SCREENSHOT_DIR "/main_window_after_verify.png");
        QVERIFY(w.grab().save(path));
        qInfo("screenshot: %s", qPrintable(path));
    }

    void eeprom25C040WithStatusRegister() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("25C040"), 1));
        Tmain& w = f.Start({kSim});
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("25C040"));
        QCOMPARE(ProgramVerifyRead(f, w, 2), Completed());

        TBaseFuseForm* panel = w.FuseForm();
        QVERIFY(!panel->WPEN->isEnabled()); // below 1024 bytes
        w.ViewFuses->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ClickItem(panel->BP, 1);
        QCOMPARE(panel->StatusReg->text(), QStringLiteral("00000100 04h"));
        w.ProgramFuses->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("STATUS REGISTER: Programmed  - 00:00"));
        panel->SetStatusReg(0);
        w.ReadFuses->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("STATUS REGISTER: Read Complete - 00:00"));
        QCOMPARE(panel->BP->ItemIndex(), 1);
        QVERIFY(panel->StatusReg->text().endsWith(QStringLiteral("04h")));
        QCOMPARE(w.PageControl->currentWidget(), w.FusesTab);
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        QVERIFY(w.grab().save(QStringLiteral(NORVOISP_SCREENSHOT_DIR "/main_window_status_register.png")));

        // With a quarter protected, programming new data fails to verify there.
        FillPattern(w.Prjct()->FlashMemory, 9);
        w.ProgramFlash->trigger();
        w.VerifyFlash->trigger();
        QCOMPARE(f.LastLine(),
                 QStringLiteral("EEPROM: Verification Failed - Block protection may be enabled"));
        QCOMPARE(w.Prjct()->FlashMemory.GetStatus(511), TProgStatus(ps_failed));
        QCOMPARE(w.Prjct()->FlashMemory.GetStatus(0), TProgStatus(ps_verified));

        // Protection off again: the data goes in.
        ClickItem(panel->BP, 0);
        w.ProgramFuses->trigger();
        QCOMPARE(ProgramVerifyRead(f, w, 3), Completed());
    }

    void eeprom93C46InBothOrganisations() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("93C46"), 2));
        Tmain& w = f.Start({kSim});
        TBaseFuseForm* panel = w.FuseForm();
        QCOMPARE(panel->ModeIndex(), 1);
        QCOMPARE(Sim(w)->ProgMode(), 16);
        QCOMPARE(ProgramVerifyRead(f, w, 4), Completed());

        w.ViewFuses->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ClickItem(panel->Mode, 0);
        QCOMPARE(panel->DevicePageSize->Value(), 8);
        QCOMPARE(SmartDongle::PageSize, 8);
        QCOMPARE(ProgramVerifyRead(f, w, 5), Completed());
        QCOMPARE(Sim(w)->ProgMode(), 8);
    }

    void verifyAgainstAChangedBuffer() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02"), 0));
        Tmain& w = f.Start({kSim});
        THexList& buf = w.Prjct()->FlashMemory;
        FillPattern(buf, 7);
        w.ProgramFlash->trigger();
        buf.HexData[0x05] = 0x00;
        buf.HexData[0x80] = 0x11;
        w.ViewStatus->trigger();
        w.VerifyFlash->trigger();
        const QStringList lines = f.Lines();
        QCOMPARE(lines.mid(lines.size() - 4),
                 (QStringList{"EEPROM: Verifying",
                              QString::asprintf("Verify Failed at 0005h: Read %02Xh - Should have been 00h",
                                                unsigned(std::uint8_t(5 * 13 + 7))),
                              QString::asprintf("Verify Failed at 0080h: Read %02Xh - Should have been 11h",
                                                unsigned(std::uint8_t(0x80 * 13 + 7))),
                              "EEPROM: Verification Failed - 2 bytes had errors"}));
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|EEPROM: Verification Failed - 2 bytes had errors"));
        QCOMPARE(buf.GetStatus(0x05), TProgStatus(ps_failed));
        QCOMPARE(buf.GetStatus(0x80), TProgStatus(ps_failed));
        QCOMPARE(buf.GetStatus(0x06), TProgStatus(ps_verified));
        QCOMPARE(w.PageControl->currentWidget(), w.FlashTab);

        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        const QString path = QStringLiteral(NORVOISP_SCREENSHOT_DIR "/main_window_verify_failed.png");
        QVERIFY(w.grab().save(path));
        qInfo("screenshot: %s", qPrintable(path));
    }

    void abortDuringProgram() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C256"), 0));
        Tmain& w = f.Start({kSim});
        FillPattern(w.Prjct()->FlashMemory, 1);
        // The click arrives while the driver reports its progress.
        QTimer::singleShot(0, w.ResetButton, [&w] { w.ResetButton->click(); });
        w.ProgramFlash->trigger();
        QCOMPARE(f.Log.Questions, QStringList{"|Are you sure you want to cancel the operation?"});
        QCOMPARE(f.LastLine(), QStringLiteral("Operation Cancelled by user"));
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));
        QVERIFY(w.Timer1->isActive());
        // The unit is usable afterwards.
        w.ResetButton->click();
        QCOMPARE(f.LastLine(), QStringLiteral("Reset: Complete - Programmer Detected  - 00:00"));
        QCOMPARE(ProgramVerifyRead(f, w, 1), Completed());
    }

    // The demo file loaded as an operator loads it, programmed and verified:
    // every byte the file supplied turns green as the empty ones do, on the
    // screen and in the buffer.
    void loadedFileProgrammedAndVerifiedShowsEveryByteVerified() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C256"), 0));
        Tmain& w = f.Start({kSim});
        w.resize(780, 600);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        f.Log.OnFileDialog = [](TFileRequest& r) {
            r.FileName = QStringLiteral(NORVOISP_SOURCE_DIR "/samples/demo_24c256.hex");
            return true;
        };
        w.LoadFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (Intel Hex-32) - 00:00"));
        THexList& buf = w.Prjct()->FlashMemory;
        // (Byte 0 holds the cursor, drawn in its own colours.)
        QVERIFY(buf.HexData[0x0001] != 0xFF); // from the file
        QCOMPARE(buf.HexData[0x0040], 0xFF);  // not in the file
        for (int i : {0x0001, 0x0040, 0x0101})
            QVERIFY2(CellInk(w.FlashViewer, i).Dark > 0 && CellInk(w.FlashViewer, i).Green == 0,
                     qPrintable(QString::number(i)));

        // Program leaves the colours as they were; Verify marks every byte.
        w.ProgramFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
        QCOMPARE(buf.GetStatus(0x0000), TProgStatus(ps_normal));
        w.VerifyFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Verify Complete - 00:00"));
        for (std::uint32_t i = 0; i < buf.Size(); ++i)
            QCOMPARE(buf.GetStatus(i), TProgStatus(ps_verified));
        for (int i : {0x0001, 0x003F, 0x0040, 0x00FF, 0x0101, 0x0150}) {
            const TCellInk ink = CellInk(w.FlashViewer, i);
            QVERIFY2(
                ink.Green > 0 && ink.Dark == 0,
                qPrintable(QStringLiteral("byte %1: %2 green, %3 dark").arg(i).arg(ink.Green).arg(ink.Dark)));
        }
    }

    // A first start on a machine without hardware, as a new user meets it:
    // the warning names the simulated unit; choosing it, the part and the
    // sample the load dialog opens on, the shortcuts the menu shows program
    // and verify it. No box asks anything on the way.
    void firstStartWithoutHardwareLeadsToAProgrammedPart() {
        TWindowFixture f;
        CopySamples(f.Folder());
        Tmain& w = f.StartWithoutSettings();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QString caption = QStringLiteral("Simulated unit");
        QVERIFY2(f.LastLine().contains(QStringLiteral("choose \"") + caption +
                                       QStringLiteral("\" under Programmer")),
                 qPrintable(f.LastLine()));
        // The status bar shows the warning's start, its tool tip all of it.
        QVERIFY(w.StatusPanel->toolTip().endsWith(QStringLiteral("under Programmer")));

        QVERIFY(Choose(w.HardwareSelector, caption));
        QVERIFY(Sim(w));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized: Programmer Detected.   - 00:00"));
        QVERIFY(Choose(w.DeviceSelector, QStringLiteral("24C256")));
        QCOMPARE(w.Prjct()->FlashMemory.Size(), 32768u);

        // Ctrl+O opens the load dialog on the samples folder; the user picks
        // the one sample for this part from it.
        QString folder;
        f.Log.OnFileDialog = [&folder](TFileRequest& r) {
            folder = r.Folder;
            const QStringList fits = QDir(r.Folder).entryList({QStringLiteral("*24c256*")}, QDir::Files);
            if (fits.size() != 1) return false;
            r.FileName = QDir(r.Folder).filePath(fits.first());
            return true;
        };
        QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(folder, QDir(f.Folder()).filePath(QStringLiteral("samples")));
        QCOMPARE(f.LastLine(), QStringLiteral("File Load: File loaded (Intel Hex-32) - 00:00"));
        QVERIFY(w.windowTitle().endsWith(QStringLiteral("demo_24c256.hex")));

        // The shortcuts the Device menu shows.
        QCOMPARE(w.ProgramFlash->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6));
        QTest::keyClick(&w, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
        QTest::keyClick(&w, Qt::Key_F6);
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Verify Complete - 00:00"));
        THexList chip;
        chip.SetSize(32768);
        w.Hardwr()->ReadFlash(chip);
        QCOMPARE(chip.HexData, w.Prjct()->FlashMemory.HexData);
        // The one box on the way was the first start's word on the
        // simulated unit.
        QVERIFY(f.Log.Errors.isEmpty());
        QVERIFY(f.Log.Questions.isEmpty());
        QCOMPARE(f.Log.Messages.size(), 1);
        QVERIFY(f.Log.Messages[0].contains(caption));

        // The next start comes back to the simulated unit and the part.
        QVERIFY(f.Close());
        Tmain& again = f.StartWithoutSettings();
        QVERIFY(Sim(again));
        QCOMPARE(again.DeviceSelector->currentText(), QStringLiteral("24C256"));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized; Programmer Detected.  - 00:00"));
        QCOMPARE(f.Log.Messages.size(), 1);
    }

    void polarityClickSendsItToTheUnit() {
        TWindowFixture f;
        Tmain& w = f.Start({kSim});
        w.ViewFuses->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ClickItem(w.FuseForm()->ResetPolarity, 0);
        QCOMPARE(Sim(w)->Unit().ResetPolarity(), 0);
        ClickItem(w.FuseForm()->ResetPolarity, 1);
        QCOMPARE(Sim(w)->Unit().ResetPolarity(), 1);
    }

    void hardwareChangesFromTheSelector() {
        TWindowFixture f;
        Tmain& w = f.Start({kSim});
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("NORVO ISP (LPT)")));
        QCOMPARE(QString::fromStdString(w.Hardwr()->HardwareName()), QStringLiteral("NORVO ISP (LPT)"));
        QVERIFY(f.LastLine().startsWith(
            QStringLiteral("NORVO ISP (LPT): LPT port not found or in use by another program - ")));
        QVERIFY(!w.InOperation());
        QVERIFY(w.HardwareSelector->isEnabled());
        // The simulated unit stays offered, and takes over again.
        QVERIFY(Choose(w.HardwareSelector, QStringLiteral("Simulated unit")));
        QVERIFY(Sim(w));
        QCOMPARE(f.LastLine(), QStringLiteral("ISP Initialized: Programmer Detected.   - 00:00"));
    }

    void optionsAndInformation() {
        TWindowFixture f;
        Tmain& w = f.Start({kSim});
        // The port dialog: a new write delay, stored by the driver.
        QStringList ports;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& dialog = static_cast<Tfispgold&>(d);
            for (int i = 0; i < dialog.PortSelector->count(); ++i)
                ports << dialog.PortSelector->itemText(i);
            dialog.EEtime->SetValue(9);
            return int(QDialog::Accepted);
        };
        w.OptionsButton->click();
        QCOMPARE(f.Log.DialogTitles, QStringList{"ISP Configuration"});
        QVERIFY(!ports.isEmpty());
        QVERIFY(ports.first().startsWith(QStringLiteral("COM")));
        QCOMPARE(f.LastLine(), QStringLiteral("Options Set; Programmer Detected  - 00:00"));
        QCOMPARE(w.ISPSettings().GetInteger("NORVO ISP (SIM)", "EEPROMtime", 0), 9);
        // Cancelled: nothing changes, no error is reported, and the line
        // says so (the serial kind takes a cancel without raising).
        f.Log.OnDialog = [](QDialog& d) {
            static_cast<Tfispgold&>(d).EEtime->SetValue(33);
            return int(QDialog::Rejected);
        };
        w.OptionsButton->click();
        QCOMPARE(f.LastLine(), QStringLiteral("Options Cancelled - 00:00"));
        QCOMPARE(w.ISPSettings().GetInteger("NORVO ISP (SIM)", "EEPROMtime", 0), 9);
        f.Log.DialogTitles.clear();
        QString text;
        f.Log.OnDialog = [&](QDialog& d) {
            text = d.findChild<QPlainTextEdit*>()->toPlainText();
            return int(QDialog::Rejected);
        };
        w.ProgrammerStatus->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Information"});
        QVERIFY(text.contains(QStringLiteral("Programmer ID: VORIZORUV")));
        QVERIFY(text.contains(QStringLiteral("Device Selected: 24C00")));
        QCOMPARE(f.LastLine(), QStringLiteral("Status: Operation Complete - 00:00"));
    }
};

QTEST_MAIN(SimWindowTest)
#include "sim_window_test.moc"
