// The production line in the window: Auto Program runs with a traceability
// log chosen in its options, each part with its own serial number; the
// status bar shows the buffer's checksums.
#include "main_window_fixture.h"

#include "buffer/checksums.h"
#include "buffer/serial_number.h"
#include "formats/file_loader.h"
#include "gui/auto_program_dialog.h"
#include "gui/hex_edit.h"
#include "gui/radio_group.h"
#include "gui/serial_number_dialog.h"
#include "production/trace_log.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <set>

namespace {

// The simulated unit with a 24C02, the Auto Program steps 0 to 4 ("True" or
// "False") and a log.
QString Hive(const QStringList& steps, const QString& log) {
    QString s =
        QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\ENVIRONMENT]\r\n"
                       "\"LASTHARDWARE\"=\"Norvo ISP (SIM)\"\r\n\"LASTDEVICE\"=\"24C02\"\r\n"
                       "\"LASTDEVICETYPE\"=\"0\"\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\lumora\\NorvoISP0001\\GLOBAL\\AUTOPROGRAM]\r\n");
    for (int i = 0; i < steps.size(); ++i)
        s += QStringLiteral("\"%1\"=\"%2\"\r\n").arg(i).arg(steps[i]);
    return s + QStringLiteral("\"LOGFILE\"=\"%1\"\r\n\r\n").arg(log);
}

} // namespace

class ProductionLineTest : public QObject {
    Q_OBJECT

  private slots:
    // Twenty parts: twenty whole records, every serial number once, and
    // each record's CRC-32 is the image's with that part's number in it.
    void twentyAutoProgramRunsTwentyRecords() {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("line.jsonl"));
        TWindowFixture f;
        f.WriteHive(Hive(QStringList{"True", "False", "True", "True", "True"}, log));
        const QString sample = QStringLiteral(NORVOISP_SOURCE_DIR "/samples/config_block_24c02.hex");
        Tmain& w = f.Start({QStringLiteral("-M=Norvo ISP (SIM)"), QStringLiteral("/L:") + sample});
        TSerialNum* s = w.SerialNum();
        s->rgSerialNumMode->SetItemIndex(TSerialNum::mode_StoreInMemory);
        s->rgSerialNumSize->SetItemIndex(1); // 3 bytes
        s->heSerialLocation->SetValue(0x40);
        s->heCurrentSerial->SetValue(1000);

        // The options dialog shows the log it will write.
        TAutoProgramDialog dialog(&w, {});
        dialog.LoadOptions(w.ISPSettings());
        QCOMPARE(dialog.LogFileEdit->text(), log);
        // and keeps what the operator types there.
        dialog.LogFileEdit->setText(QStringLiteral(" /srv/other.jsonl "));
        dialog.SaveOptions(w.ISPSettings());
        QCOMPARE(w.ISPSettings().GetString("AUTOPROGRAM", "LOGFILE", ""), std::string("/srv/other.jsonl"));
        dialog.LogFileEdit->setText(log);
        dialog.SaveOptions(w.ISPSettings());

        THexList image;
        image.SetSize(256);
        QCOMPARE(TFileLoader::LoadFile(sample.toStdString(), image, 0), 0);
        for (int run = 1; run <= 20; ++run) {
            w.AutoProgram->trigger();
            QVERIFY2(f.Lines().last().startsWith(QStringLiteral("Auto Program: Complete")),
                     qPrintable(f.Lines().last()));
        }
        int skipped = -1;
        const auto records = ReadTraceLog(log.toStdString(), &skipped);
        QCOMPARE(skipped, 0);
        QCOMPARE(int(records.size()), 20);
        std::set<std::uint32_t> serials;
        for (const auto& r : records) {
            QCOMPARE(r["record"].get<std::string>(), std::string("part"));
            QCOMPARE(r["result"].get<std::string>(), std::string("passed"));
            QCOMPARE(r["program"].get<std::string>(), std::string("norvoisp"));
            QCOMPARE(r["device"].get<std::string>(), std::string("24C02"));
            QCOMPARE(r["steps"].dump(), std::string(R"(["reload","program","verify","serial"])"));
            QCOMPARE(r["file_sha256"].get<std::string>(), FileSha256(sample.toStdString()));
            const auto value = r["serial"]["value"].get<std::uint32_t>();
            serials.insert(value);
            THexList want = image;
            StoreSerialNumber(want, 0x40, static_cast<std::int32_t>(value), 1);
            QCOMPARE(r["crc32"].get<std::string>(), BufferChecksums(want).Crc32Text());
            QCOMPARE(r["serial"]["bytes"].get<std::string>(),
                     SerialNumberText(static_cast<std::int32_t>(value), 1));
            QCOMPARE(r["failed_bytes"].get<int>(), 0);
        }
        QCOMPARE(int(serials.size()), 20);
        QCOMPARE(*serials.begin(), 1000u);
        QCOMPARE(*serials.rbegin(), 1019u);

        // The status bar shows the buffer as it is now: the next part's.
        THexList next = image;
        StoreSerialNumber(next, 0x40, 1020, 1);
        QCOMPARE(w.ChecksumPanel->text(),
                 QStringLiteral("CRC-32 %1  Sum %2")
                     .arg(QString::fromStdString(BufferChecksums(next).Crc32Text()),
                          QString::fromStdString(BufferChecksums(next).Sum16Text())));
        QVERIFY(
            w.ChecksumPanel->toolTip().contains(QString::fromStdString(BufferChecksums(next).Sha256Text())));
    }

    // A run that fails is recorded as failed, with the window's warning
    // text, the first failing address and the count.
    void aFailedRunIsRecordedAsFailed() {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("line.jsonl"));
        TWindowFixture f;
        f.WriteHive(Hive(QStringList{"False", "False", "False", "True", "False"}, log));
        Tmain& w = f.Start({QStringLiteral("-M=Norvo ISP (SIM)")});
        // Verify only, against a buffer the chip does not hold.
        w.Prjct()->FlashMemory.HexData[0x21] = 0x00;
        w.Prjct()->FlashMemory.HexData[0x80] = 0x00;
        w.AutoProgram->trigger();
        QVERIFY(f.Lines().last().startsWith(QStringLiteral("EEPROM: Verification Failed")));
        const auto records = ReadTraceLog(log.toStdString());
        QCOMPARE(int(records.size()), 1);
        QCOMPARE(records[0]["result"].get<std::string>(), std::string("failed"));
        QCOMPARE(QString::fromStdString(records[0]["failure"].get<std::string>()), f.Lines().last());
        QCOMPARE(records[0]["first_failed_address"].get<int>(), 0x21);
        QCOMPARE(records[0]["failed_bytes"].get<int>(), 2);
        QVERIFY(records[0]["serial"].is_null());
    }
};

QTEST_MAIN(ProductionLineTest)
#include "production_line_test.moc"
