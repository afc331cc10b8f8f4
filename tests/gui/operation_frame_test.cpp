// The operation frame: status messages and their list, elapsed times,
// progress, cancellation, the exception handler, the blinking indicator and
// the status list commands.
#include "main_window_fixture.h"

#include "gui/fuse_form.h"
#include "gui/radio_group.h"
#include "gui/status_panel.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <stdexcept>

namespace {

const QString kEnv24C64 = QStringLiteral("\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"24C64\"");

// Delivers an action to the window the way a click arrives during an
// operation: queued, handled by the next pump of the message queue.
void Post(QObject* target, const char* method) {
    QMetaObject::invokeMethod(target, method, Qt::QueuedConnection);
}

QColor PanelPixel(TStatusPanel* panel) {
    const QImage img = panel->grab().toImage();
    return img.pixelColor(4 + TStatusPanel::IndicatorSize / 2, img.height() / 2);
}

} // namespace

class OperationFrameTest : public QObject {
    Q_OBJECT

  private slots:
    void statusMessageRules_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("types");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QStringList>("added");
        const int ok = Tmain::st_ok, busy = Tmain::st_busy, warn = Tmain::st_warning;
        QTest::newRow("extra info") << "A!B" << ok << "0|A" << QStringList{"A - B"};
        QTest::newRow("two marks") << "Invalid Commandline Parameter!!" << warn
                                   << "2|Invalid Commandline Parameter"
                                   << QStringList{"Invalid Commandline Parameter - !"};
        QTest::newRow("first line only") << "first\rsecond" << busy << "1|first" << QStringList{"first"};
        QTest::newRow("mark before return") << "x!y\rz" << ok << "0|x" << QStringList{"x - y"};
        QTest::newRow("first type decides") << "both" << (ok | warn) << "0|both" << QStringList{"both"};
        QTest::newRow("busy before warning") << "both" << (busy | warn) << "1|both" << QStringList{"both"};
        QTest::newRow("empty ok") << "" << ok << "0|" << QStringList{};
        QTest::newRow("no type") << "plain" << 0 << "plain" << QStringList{"plain"};
    }

    void statusMessageRules() {
        QFETCH(QString, message);
        QFETCH(int, types);
        QFETCH(QString, bar);
        QFETCH(QStringList, added);
        TWindowFixture f;
        Tmain& w = f.Start();
        const int before = f.Lines().size();
        w.SetStatusMessage(message, types);
        QCOMPARE(w.StatusMessage(), bar);
        QCOMPARE(w.StatusTextPanel->text(), bar);
        QCOMPARE(f.Lines().mid(before), added);
        QCOMPARE(f.Log.Beeps,
                 (types & (Tmain::st_ok | Tmain::st_busy)) == 0 && (types & Tmain::st_warning) ? 1 : 0);
    }

    // Each visible panel of the status bar has its own room at every window
    // width the window allows, the message panel the room the others leave;
    // no panel shows the message's type prefix.
    void statusBarPanelsDoNotOverlap() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStatusBar* bar = w.statusBar();
        const QString done = QStringLiteral("EEPROM: Programming Complete - 00:00");
        for (int width : {w.minimumWidth(), 622, w.maximumWidth()}) {
            w.resize(width, 515);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            w.SetStatusMessage(done, Tmain::st_ok);
            QList<QWidget*> shown;
            for (QWidget* c : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (c->isVisible() && c->width() > 0) shown << c;
            QVERIFY(shown.contains(w.StatusPanel));
            for (int i = 0; i < shown.size(); ++i) {
                QVERIFY2(bar->rect().contains(shown[i]->geometry()), qPrintable(QString::number(width)));
                for (int j = i + 1; j < shown.size(); ++j)
                    QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                             qPrintable(QStringLiteral("%1 px: %2 and %3")
                                            .arg(width)
                                            .arg(shown[i]->metaObject()->className(),
                                                 shown[j]->metaObject()->className())));
            }
            for (const QLabel* l : bar->findChildren<QLabel*>())
                if (l->isVisible()) QVERIFY2(!l->text().contains(QLatin1Char('|')), qPrintable(l->text()));
            if (width >= 622) QCOMPARE(w.StatusPanel->ShownText(), done);
            QVERIFY(w.StatusPanel->ShownText().startsWith(QStringLiteral("EEPROM:")));
        }
        // A line longer than the panel ends in an ellipsis; its tool tip and
        // the status list hold all of it.
        const QString longLine =
            QStringLiteral("NORVO ISP (LPT): LPT port not found or in use by another program - "
                           "to try the program without hardware, choose something else");
        w.SetStatusMessage(longLine, Tmain::st_warning);
        QVERIFY(w.StatusPanel->ShownText().endsWith(QChar(0x2026)));
        QCOMPARE(w.StatusPanel->toolTip(), longLine);
        QCOMPARE(f.LastLine(), longLine);
    }

    void elapsedTimes_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("line");
        QTest::newRow("instant") << qint64(999) << "Done - 00:00";
        QTest::newRow("seven seconds") << qint64(7400) << "Done - 00:07";
        QTest::newRow("75 seconds") << qint64(75000) << "Done - 01:15";
        QTest::newRow("over 99 minutes") << qint64(6000 * 1000 + 59999) << "Done - 100:59";
    }

    void elapsedTimes() {
        QFETCH(qint64, ms);
        QFETCH(QString, line);
        TWindowFixture f;
        Tmain& w = f.Start();
        w.StartOp(QStringLiteral("Working"));
        f.Clock += ms;
        w.EndOp(QStringLiteral("Done"));
        QCOMPARE(f.LastLine(), line);
        QCOMPARE(w.StatusMessage(), QStringLiteral("0|") + line);
    }

    void autoProgramAccumulatesItsSteps() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.AutoOn = true;
        w.StartOp(QStringLiteral("Step A"));
        f.Clock += 30000;
        w.EndOp(QStringLiteral("A"));
        w.StartOp(QStringLiteral("Step B"));
        f.Clock += 45000;
        w.EndOp(QStringLiteral("B"));
        w.AutoOn = false;
        w.EndOp(QStringLiteral("Total"));
        w.StartOp(QStringLiteral("Step D"));
        f.Clock += 5000;
        w.EndOp(QStringLiteral("D"));
        QCOMPARE(f.Lines().filter(QStringLiteral(" - 0")).mid(1),
                 (QStringList{"A - 00:30", "B - 01:15", "Total - 01:15", "D - 00:05"}));
    }

    void frameLocksAndUnlocksTheWindow() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.StartOp(QStringLiteral("Working"));
        QVERIFY(w.InOperation());
        QCOMPARE(w.StatusMessage(), QStringLiteral("1|Working"));
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Abort"));
        QVERIFY(w.ResetButton->isEnabled());
        for (QWidget* c : std::initializer_list<QWidget*>{w.DeviceType, w.DeviceSelector, w.HardwareSelector,
                                                          w.OptionsButton, w.FuseForm()})
            QVERIFY(!c->isEnabled());
        for (QAction* a : {w.ProgramFlash, w.ReadFlash, w.VerifyFlash, w.DeviceErase, w.ProgrammerStatus})
            QVERIFY(!a->isEnabled());
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

        // An empty end logs nothing but closes the frame.
        const int lines = f.Lines().size();
        w.EndOp(QString());
        QCOMPARE(f.Lines().size(), lines);
        QVERIFY(!w.InOperation());
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));
        for (QWidget* c : std::initializer_list<QWidget*>{w.DeviceType, w.DeviceSelector, w.HardwareSelector,
                                                          w.OptionsButton, w.FuseForm()})
            QVERIFY(c->isEnabled());
        QVERIFY(w.ProgramFlash->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(w.ProgressBar->format(), QStringLiteral("Ready..."));
    }

    void progressMaximumComesFromTheFirstReport() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.StartProgressOp(QStringLiteral("Working"));
        QCOMPARE(w.ProgressBar->maximum(), 1);
        QCOMPARE(w.ProgressBar->value(), 0);
        w.UpdateStatus(0, 4096);
        w.UpdateStatus(1024, 9999);
        QCOMPARE(w.ProgressBar->maximum(), 4096);
        QCOMPARE(w.ProgressBar->value(), 1024);
        w.UpdateStatus(-1, -1);
        w.UpdateStatus(-1, 5);
        QCOMPARE(w.ProgressBar->value(), 1024);
        w.EndOp(QStringLiteral("Done"));
        QCOMPARE(w.ProgressBar->value(), 0);
        QCOMPARE(w.ProgressBar->format(), QStringLiteral("Ready..."));
    }

    void abortConfirmedDuringProgram_data() {
        QTest::addColumn<bool>("withoutFigures");
        QTest::newRow("progress figures") << false;
        QTest::newRow("keep-alive reports only") << true;
    }

    void abortConfirmedDuringProgram() {
        QFETCH(bool, withoutFigures);
        TWindowFixture f;
        f.WriteEnvironment(kEnv24C64);
        Tmain& w = f.Start();
        Script().ReportWithoutFigures = withoutFigures;
        int blocks = 0;
        Script().OnBlock = [&](int) {
            if (++blocks == 10) Post(w.ResetButton, "click");
        };
        w.ProgramFlash->trigger();
        QCOMPARE(f.Log.Questions, QStringList{"|Are you sure you want to cancel the operation?"});
        // The driver stopped at the report after the click.
        QCOMPARE(blocks, 10);
        QCOMPARE(f.LastLine(), QStringLiteral("Operation Cancelled by user"));
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|Operation Cancelled by user"));
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));
        QVERIFY(!w.AbortOp);
        QVERIFY(!w.InOperation());
        QVERIFY(w.Timer1->isActive());
        if (withoutFigures) QCOMPARE(w.ProgressBar->value(), 0);
        // The next run is not aborted.
        Script().OnBlock = nullptr;
        w.ProgramFlash->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
    }

    void abortDeclinedLetsTheOperationFinish() {
        TWindowFixture f;
        f.WriteEnvironment(kEnv24C64);
        Tmain& w = f.Start();
        f.Log.AnswerYes = false;
        int blocks = 0;
        Script().OnBlock = [&](int) {
            if (++blocks == 10) Post(w.ResetButton, "click");
        };
        w.ProgramFlash->trigger();
        QCOMPARE(f.Log.Questions.size(), 1);
        QCOMPARE(blocks, 128);
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
    }

    void noCommandStartsDuringAnOperation() {
        TWindowFixture f;
        f.WriteEnvironment(kEnv24C64);
        Tmain& w = f.Start();
        Script().Calls.clear();
        bool refused = false;
        bool locked = false;
        Script().OnBlock = [&](int addr) {
            if (addr != 64 * 10) return;
            locked = !w.ReadFlash->isEnabled() && !w.DeviceErase->isEnabled() && !w.DeviceType->isEnabled() &&
                     !w.FuseForm()->isEnabled();
            // Whatever arrives while the driver pumps messages...
            Post(w.ReadFlash, "trigger");
            Post(w.DeviceErase, "trigger");
            Post(w.ProgrammerOptions, "trigger");
            QMetaObject::invokeMethod(
                &w, [&w] { w.ResetButtonClick(); }, Qt::QueuedConnection);
            QMetaObject::invokeMethod(
                &w, [&w] { emit w.DeviceSelector->activated(0); }, Qt::QueuedConnection);
            // ...and any command started directly is refused.
            refused = !w.RunCommand([] { Script().Calls << QStringLiteral("nested"); });
        };
        f.Log.AnswerYes = false;
        w.ProgramFlash->trigger();
        QVERIFY(locked);
        QVERIFY(refused);
        QCOMPARE(Script().Calls, (QStringList{"WriteTiming(16)", "ProgramFlash"}));
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
        QCOMPARE(QString::fromStdString(w.Prjct()->Device()->DeviceName()), QStringLiteral("24C64"));
    }

    void closingIsRefusedDuringAnOperation() {
        TWindowFixture f;
        f.WriteEnvironment(kEnv24C64);
        Tmain& w = f.Start();
        Script().OnBlock = [&](int addr) {
            if (addr == 64 * 5) Post(&w, "close");
        };
        w.ProgramFlash->trigger();
        QCOMPARE(f.Log.Messages, QStringList{"Can't exit while programming operation in progress"});
        QVERIFY(w.isVisible());
        QCOMPARE(f.LastLine(), QStringLiteral("EEPROM: Programming Complete - 00:00"));
        // Afterwards the window closes normally.
        QVERIFY(f.Close());
    }

    void exceptionTable_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("boxes");
        QTest::newRow("ISP error with hardware")
            << 0 << "NORVO ISP (LPT): ISP timed out during operation" << 0;
        QTest::newRow("ISP error without hardware") << 1 << "Programmer was not detected" << 0;
        QTest::newRow("serial port error") << 2 << "Fake ISP A:Communications Error (Port closed)" << 0;
        QTest::newRow("verify error") << 3 << "EEPROM: Verify failed" << 0;
        QTest::newRow("operator cancel") << 4 << "Operation Cancelled by user" << 0;
        QTest::newRow("any other") << 5 << "Error: boom" << 1;
        QTest::newRow("important ISP error") << 6 << "FAKE ISP A: Hardware fault" << 1;
    }

    void exceptionTable() {
        QFETCH(int, kind);
        QFETCH(QString, line);
        QFETCH(int, boxes);
        TWindowFixture f;
        Tmain& w = f.Start();
        Script().OperationFault = [kind] {
            switch (kind) {
            case 0:
                throw EISPException("ISP timed out during operation", false, "NORVO ISP (LPT)");
            case 1:
                throw EISPException("Programmer was not detected");
            case 2:
                throw EComError("Port closed");
            case 3:
                throw EVerifyError("EEPROM: Verify failed");
            case 4:
                throw EAbortOp();
            case 5:
                throw std::runtime_error("boom");
            default:
                throw EISPException("Hardware fault", true, "FAKE ISP A");
            }
        };
        w.DeviceErase->trigger();
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2), (QStringList{"Erase: Erasing Device", line}));
        QCOMPARE(w.StatusMessage(), QStringLiteral("2|") + line);
        QCOMPARE(f.Log.Errors.size(), boxes);
        if (boxes) QVERIFY(line.endsWith(f.Log.Errors.first()));
        QCOMPARE(f.Log.Beeps, 1);
        QVERIFY(!w.InOperation());
        QCOMPARE(w.ResetButton->text(), QStringLiteral("Reset"));
        QVERIFY(w.DeviceType->isEnabled());
        QVERIFY(w.HardwareSelector->isEnabled());
        QVERIFY(w.DeviceErase->isEnabled());
    }

    void firmwareMismatchOffersTheUpdate() {
        TWindowFixture f;
        Tmain& w = f.Start();
        Script().OperationFault = [] { throw EFirmwareMisMatch("Your ISP needs a firmware update"); };
        f.Log.AnswerOk = false;
        w.DeviceErase->trigger();
        QCOMPARE(f.LastLine(), QStringLiteral("Firmware Update Required"));
        QCOMPARE(f.Log.Questions,
                 QStringList{"Firmware Update Required|Your ISP requires a firmware update to continue, "
                             "please click OK to start the update wizard"});
        QVERIFY(!w.InOperation());
    }

    void popUpWarnings() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QVERIFY(!w.PopUpWarnings1->isChecked());
        w.FailOp(QStringLiteral("Quiet warning"));
        QVERIFY(f.Log.Messages.isEmpty());
        w.PopUpWarnings1->trigger();
        QVERIFY(w.PopUpWarnings1->isChecked());
        w.FailOp(QStringLiteral("Loud warning!detail"));
        QCOMPARE(f.Log.Messages, QStringList{"Loud warning!detail"});
        QCOMPARE(f.LastLine(), QStringLiteral("Loud warning - detail"));
    }

    void warningIndicatorBlinks() {
        TWindowFixture f;
        Tmain& w = f.Start();
        QCOMPARE(PanelPixel(w.StatusPanel), QColor(0, 255, 64));
        w.FailOp(QStringLiteral("Something failed"));
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 500);
        QCOMPARE(PanelPixel(w.StatusPanel), QColor(255, 0, 0));
        w.Timer1Timer();
        QVERIFY(!w.StatusOn());
        QCOMPARE(PanelPixel(w.StatusPanel), QColor(0, 0, 0));
        w.Timer1Timer();
        QCOMPARE(PanelPixel(w.StatusPanel), QColor(255, 0, 0));

        // A new operation stops the blinking.
        w.StartOp(QStringLiteral("Working"));
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(PanelPixel(w.StatusPanel), QColor(255, 128, 0));
        w.EndOp(QStringLiteral("Done"));
        const bool on = w.StatusOn();
        w.Timer1Timer();
        QCOMPARE(w.StatusOn(), on);

        // Clearing the list removes lines, indicator and text.
        w.FailOp(QStringLiteral("Again"));
        w.ClearStatus1->trigger();
        QVERIFY(f.Lines().isEmpty());
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.StatusMessage(), QString());
        QCOMPARE(PanelPixel(w.StatusPanel), w.StatusPanel->palette().color(QPalette::Button));
    }

    void saveStatusLog() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.SetStatusMessage(QStringLiteral("second line"), Tmain::st_ok);
        const QString file = f.Folder() + QStringLiteral("/status.log");
        f.Log.SaveFileName = file;
        w.SaveStatusLog1->trigger();
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray expected =
            (f.Lines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
        QCOMPARE(saved.readAll(), expected);
        saved.close();

        // Cancelled: the earlier file stays as it was.
        w.SetStatusMessage(QStringLiteral("third line"), Tmain::st_ok);
        f.Log.SaveFileName.clear();
        w.SaveStatusLog1->trigger();
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), expected);
    }

    void resetWhenIdle() {
        TWindowFixture f;
        Tmain& w = f.Start();
        w.FuseForm()->ResetPolarity->SetItemIndex(0);
        Script().Calls.clear();
        w.ResetButton->click();
        QVERIFY(f.Log.Questions.isEmpty());
        QCOMPARE(Script().Calls, (QStringList{"Close", "Open", "Run(0)"}));
        QCOMPARE(f.Lines().mid(f.Lines().size() - 2),
                 (QStringList{"Reset: Resetting ISP", "Reset: Complete - Programmer Detected  - 00:00"}));
    }
};

QTEST_MAIN(OperationFrameTest)
#include "operation_frame_test.moc"
