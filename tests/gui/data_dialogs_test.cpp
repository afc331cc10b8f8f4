// The serial number dialog and the fill dialog, on their own and from the
// main window's menus: the stored bytes, the location check, the base, the
// buttons and Enter; the fill range, value and the range error.
#include "main_window_fixture.h"

#include "gui/auto_program_dialog.h"
#include "gui/fill_dialog.h"
#include "gui/hex_edit.h"
#include "gui/radio_group.h"
#include "gui/serial_number_dialog.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

struct TSerialFixture {
    THexList Buffer;
    QStringList Messages;
    QStringList Errors;
    TSerialNum Dialog;

    explicit TSerialFixture(std::uint32_t size)
        : Dialog(nullptr, {[this] { return &Buffer; }, [this](const QString& t) { Messages << t; },
                           [this](const std::exception& e) { Errors << QString::fromUtf8(e.what()); }}) {
        Buffer.SetSize(size);
    }

    void Set(int sizeIndex, const char* typedValue, int location) {
        Dialog.rgSerialNumMode->SetItemIndex(TSerialNum::mode_StoreInMemory);
        Dialog.rgSerialNumModeClick();
        Dialog.rgSerialNumSize->SetItemIndex(sizeIndex);
        Dialog.heSerialLocation->SetValue(location);
        Dialog.heCurrentSerial->clear();
        QTest::keyClicks(Dialog.heCurrentSerial, QString::fromLatin1(typedValue));
    }

    std::vector<std::uint8_t> At(std::size_t from, std::size_t n) const {
        return {Buffer.HexData.begin() + static_cast<std::ptrdiff_t>(from),
                Buffer.HexData.begin() + static_cast<std::ptrdiff_t>(from + n)};
    }
};

QString Env(const QString& device) {
    return QStringLiteral(
               "\"LASTHARDWARE\"=\"Fake ISP A\"\r\n\"LASTDEVICE\"=\"%1\"\r\n\"LASTDEVICETYPE\"=\"0\"")
        .arg(device);
}

} // namespace

class DataDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void serialNumberBytes_data() {
        QTest::addColumn<int>("sizeIndex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("4 byte") << 2 << "1A2B3C4D" << QByteArray::fromHex("1A2B3C4D");
        QTest::newRow("2 byte") << 0 << "5" << QByteArray::fromHex("0005");
        QTest::newRow("3 byte, -1") << 1 << "FFFFFFFF" << QByteArray::fromHex("FFFFFF");
        QTest::newRow("2 byte, wider value") << 0 << "12345" << QByteArray::fromHex("1234");
    }

    void serialNumberBytes() {
        QFETCH(int, sizeIndex);
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        TSerialFixture s(256);
        s.Buffer.SetStatus(0x10, TProgStatus(ps_failed));
        s.Set(sizeIndex, typed.toLatin1().constData(), 0x10);
        // Enter in the number box performs OK.
        QTest::keyClick(s.Dialog.heCurrentSerial, Qt::Key_Return);
        QCOMPARE(s.Dialog.result(), int(QDialog::Accepted));
        const std::vector<std::uint8_t> want(stored.begin(), stored.end());
        QCOMPARE(s.At(0x10, want.size()), want);
        QCOMPARE(s.Buffer.HexData[0x10 + want.size()], 0xFF);
        QCOMPARE(s.Buffer.GetStatus(0x10), TProgStatus(ps_failed));
        QVERIFY(s.Errors.isEmpty() && s.Messages.isEmpty());
    }

    void baseChangesTheShownTextOnly() {
        TSerialFixture s(256);
        s.Set(0, "1F", 0);
        s.Dialog.RadioGroup1->Item(1)->click(); // Decimal
        QCOMPARE(s.Dialog.heCurrentSerial->text(), QStringLiteral("31"));
        QCOMPARE(s.Dialog.heCurrentSerial->NumBase(), ebDec);
        s.Dialog.RadioGroup1->Item(0)->click(); // Binary
        QCOMPARE(s.Dialog.heCurrentSerial->text(), QStringLiteral("11111"));
        s.Dialog.Button2->click();
        QCOMPARE(s.At(0, 2), (std::vector<std::uint8_t>{0x00, 0x1F}));
        // Auto Program's increment works in any base.
        s.Dialog.IncrementSerial();
        QCOMPARE(s.Dialog.heCurrentSerial->text(), QStringLiteral("100000"));
    }

    void locationChecks() {
        TSerialFixture s(256);
        // Past the buffer: refused with the message, nothing written, open.
        s.Set(0, "1234", 0x101);
        s.Dialog.show();
        s.Dialog.Button2->click();
        QCOMPARE(s.Messages, QStringList{"Location is not valid! - Please enter another"});
        QVERIFY(s.Dialog.isVisible());
        QCOMPARE(s.Buffer.LastActualLocation(), 0);
        // At the size: accepted, and the store raises the range error.
        s.Dialog.heSerialLocation->SetValue(0x100);
        s.Dialog.Button2->click();
        QCOMPARE(s.Errors, QStringList{"Set Value of Address: 00000100 out of range"});
        QVERIFY(s.Dialog.isVisible());
        // One byte from the end with two bytes: the first is written.
        s.Dialog.heSerialLocation->SetValue(0xFF);
        s.Dialog.Button2->click();
        QCOMPARE(s.Errors.size(), 2);
        QCOMPARE(s.Buffer.HexData[0xFF], 0x12);
        s.Dialog.heSerialLocation->SetValue(0xFE);
        s.Dialog.Button2->click();
        QVERIFY(!s.Dialog.isVisible());
        QCOMPARE(s.At(0xFE, 2), (std::vector<std::uint8_t>{0x12, 0x34}));
    }

    void clearCancelAndDisabled() {
        TSerialFixture s(256);
        QCOMPARE(s.Dialog.windowTitle(), QStringLiteral("Serial Number Generation"));
        QCOMPARE(s.Dialog.rgSerialNumMode->ItemIndex(), int(TSerialNum::mode_Disabled));
        QCOMPARE(s.Dialog.RadioGroup1->ItemIndex(), 2);
        QVERIFY(!s.Dialog.heCurrentSerial->isEnabled());
        QVERIFY(!s.Dialog.rgSerialNumSize->isEnabled());
        QVERIFY(s.Dialog.RadioGroup1->isEnabled());
        s.Dialog.rgSerialNumMode->Item(1)->click();
        QVERIFY(s.Dialog.heCurrentSerial->isEnabled() && s.Dialog.Label2->isEnabled());
        s.Set(2, "ABC", 0x20);
        s.Dialog.Button1->click(); // Cancel
        QCOMPARE(s.Dialog.result(), int(QDialog::Rejected));
        QCOMPARE(s.Dialog.rgSerialNumMode->ItemIndex(), int(TSerialNum::mode_Disabled));
        QCOMPARE(s.Dialog.heCurrentSerial->Value(), 0);
        QCOMPARE(s.Dialog.heSerialLocation->Value(), 0);
        QVERIFY(!s.Dialog.heSerialLocation->isEnabled());
        // Disabled: OK writes nothing.
        s.Dialog.heCurrentSerial->SetValue(7);
        s.Dialog.Button2->click();
        QCOMPARE(s.Dialog.result(), int(QDialog::Accepted));
        QCOMPARE(s.Buffer.LastActualLocation(), 0);
        s.Set(0, "9", 4);
        s.Dialog.Button3->click(); // Clear
        QCOMPARE(s.Dialog.rgSerialNumMode->ItemIndex(), int(TSerialNum::mode_Disabled));
        QCOMPARE(s.Dialog.heCurrentSerial->Value(), 0);
    }

    void serialNumbersFromTheMenu() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        f.Log.OnDialog = [&](QDialog& d) {
            auto* s = dynamic_cast<TSerialNum*>(&d);
            if (!s) return int(QDialog::Rejected);
            s->rgSerialNumMode->Item(1)->click();
            s->heSerialLocation->SetValue(0x100);
            s->heCurrentSerial->SetValue(0x42);
            s->Button2->click();
            s->heSerialLocation->SetValue(0x80);
            s->Button2->click();
            return s->result();
        };
        w.SerialNumbers1->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Serial Number Generation"});
        // The range error of the first OK is logged like any command's.
        QVERIFY(f.Lines().contains(QStringLiteral("Set Value of Address: 00000100 out of range")));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0x80], 0x00);
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0x81], 0x42);
        QVERIFY(!w.InOperation());
    }

    void fillFromTheMenu_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("firstChanged");
        QTest::addColumn<int>("lastChanged");
        QTest::addColumn<std::uint8_t>("stored");
        QTest::addColumn<QString>("error");
        QTest::newRow("whole buffer") << -1 << -1 << 0xAA << 0 << 0xFF << std::uint8_t(0xAA) << QString();
        QTest::newRow("16 bytes") << 0x10 << 0x1F << 0 << 0x10 << 0x1F << std::uint8_t(0) << QString();
        QTest::newRow("start above end") << 0x20 << 0x10 << 0 << -1 << -1 << std::uint8_t(0) << QString();
        QTest::newRow("low eight bits") << 0 << 3 << 0x1FF << 0 << 3 << std::uint8_t(0xFF) << QString();
        QTest::newRow("end past the buffer") << 0xF0 << 0x100 << 0x77 << 0xF0 << 0xFF << std::uint8_t(0x77)
                                             << QStringLiteral("Set Value of Address: 00000100 out of range");
    }

    void fillFromTheMenu() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, value);
        QFETCH(int, firstChanged);
        QFETCH(int, lastChanged);
        QFETCH(std::uint8_t, stored);
        QFETCH(QString, error);
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        THexList& buf = w.Prjct()->FlashMemory;
        buf.Fill(0, 255, 0x5C);
        buf.SetStatus(0x10, TProgStatus(ps_verified));
        QString shownStart, shownEnd;
        f.Log.OnDialog = [&](QDialog& d) {
            auto& fill = dynamic_cast<TFillDialog&>(d);
            shownStart = fill.StartAddr->text();
            shownEnd = fill.EndAddr->text();
            if (start >= 0) fill.StartAddr->SetValue(start);
            if (end >= 0) fill.EndAddr->SetValue(end);
            fill.FillByte->SetValue(value);
            fill.Button1->click();
            return fill.result();
        };
        w.Fill1->trigger();
        QCOMPARE(f.Log.DialogTitles, QStringList{"Fill"});
        QCOMPARE(shownStart, QStringLiteral("0"));
        QCOMPARE(shownEnd, QStringLiteral("FF"));
        for (int i = 0; i < 256; ++i)
            QCOMPARE(buf.HexData[std::size_t(i)],
                     i >= firstChanged && i <= lastChanged ? stored : std::uint8_t(0x5C));
        QCOMPARE(buf.GetStatus(0x10), TProgStatus(ps_verified));
        if (error.isEmpty())
            QVERIFY(f.Lines().filter(QStringLiteral("out of range")).isEmpty());
        else
            QCOMPARE(f.LastLine(), error);
    }

    void fillDialogKeepsItsValueAndCancelChangesNothing() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        TFillDialog* fill = w.FillDialog();
        QCOMPARE(fill->windowTitle(), QStringLiteral("Fill"));
        f.Log.OnDialog = [&](QDialog&) {
            fill->FillByte->SetValue(0x3C);
            fill->Button2->click();
            return fill->result();
        };
        w.Fill1->trigger();
        QCOMPARE(w.Prjct()->FlashMemory.LastActualLocation(), 0);
        // Opened again: the value is still there; the Fill button has the
        // focus, so Enter fills.
        f.Log.OnDialog = [&](QDialog&) {
            fill->show();
            if (!QTest::qWaitForWindowExposed(fill)) return -2;
            fill->activateWindow();
            if (QApplication::focusWidget() != fill->Button1) return -1;
            QTest::keyClick(fill->Button1, Qt::Key_Return);
            return fill->result();
        };
        w.Fill1->trigger();
        QCOMPARE(fill->FillByte->text(), QStringLiteral("3C"));
        QCOMPARE(w.Prjct()->FlashMemory.HexData[0], 0x3C);
        QCOMPARE(w.Prjct()->FlashMemory.HexData[255], 0x3C);
    }

    // The three dialogs as the operator sees them, for review.
    void screenshots() {
        TWindowFixture f;
        f.WriteEnvironment(Env(QStringLiteral("24C02")));
        Tmain& w = f.Start();
        QVERIFY(QDir().mkpath(QStringLiteral(NORVOISP_SCREENSHOT_DIR)));
        w.SerialNum()->rgSerialNumMode->Item(1)->click();
        w.SerialNum()->heCurrentSerial->SetValue(0x1234);
        w.FillDialog()->FormShow();
        TAutoProgramDialog options(&w, {});
        options.SetChecked(TAutoProgramDialog::ap_Program, true);
        const QList<QPair<QDialog*, const char*>> dialogs{
            {w.SerialNum(), "serial_numbers"}, {w.FillDialog(), "fill"}, {&options, "auto_program_options"}};
        for (const auto& [dialog, name] : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QVERIFY(dialog->grab().save(QStringLiteral(NORVOISP_SCREENSHOT_DIR "/dialog_%1.png").arg(name)));
            dialog->hide();
        }
    }
};

QTEST_MAIN(DataDialogsTest)
#include "data_dialogs_test.moc"
