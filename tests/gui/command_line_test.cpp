// The command line: option letters at the second character, values from the
// fourth, letter case of the data file kept.
#include "gui/command_line.h"

#include <QTest>

Q_DECLARE_METATYPE(std::vector<std::string>)

class CommandLineTest : public QObject {
    Q_OBJECT

  private slots:
    void parse_data() {
        QTest::addColumn<std::vector<std::string>>("params");
        QTest::addColumn<bool>("autoProg");
        QTest::addColumn<bool>("loadHex");
        QTest::addColumn<bool>("modeSel");
        QTest::addColumn<QString>("hexFile");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("invalid");
        using V = std::vector<std::string>;
        QTest::newRow("nothing") << V{} << false << false << false << ""
                                 << "" << 0;
        QTest::newRow("auto program") << V{"/A"} << true << false << false << ""
                                      << "" << 0;
        QTest::newRow("auto program twice") << V{"/A", "-a"} << true << false << false << ""
                                            << "" << 0;
        QTest::newRow("auto and file")
            << V{"/A", "/L:/data/Board.Hex"} << true << true << false << "/data/Board.Hex"
            << "" << 0;
        QTest::newRow("any switch and separator")
            << V{"xlyC:\\DATA\\board.hex"} << false << true << false << "C:\\DATA\\board.hex"
            << "" << 0;
        QTest::newRow("file option alone") << V{"/L"} << false << true << false << ""
                                           << "" << 0;
        QTest::newRow("file option with separator only") << V{"/L:"} << false << true << false << ""
                                                         << "" << 0;
        QTest::newRow("hardware upper-cased") << V{"-M=Norvo ISP (SIM)"} << false << false << true << ""
                                              << "NORVO ISP (SIM)" << 0;
        QTest::newRow("later value wins") << V{"/M=A", "/m:bb"} << false << false << true << ""
                                          << "BB" << 0;
        QTest::newRow("one character") << V{"A"} << false << false << false << ""
                                       << "" << 1;
        QTest::newRow("unknown option") << V{"/X", "/A"} << true << false << false << ""
                                        << "" << 1;
        QTest::newRow("empty parameter") << V{""} << false << false << false << ""
                                         << "" << 1;
        QTest::newRow("non-ASCII file name")
            << V{"/L:/tmp/Daten-\xC3\x9C.hex"} << false << true << false << "/tmp/Daten-\xC3\x9C.hex"
            << "" << 0;
    }

    void parse() {
        QFETCH(std::vector<std::string>, params);
        QFETCH(bool, autoProg);
        QFETCH(bool, loadHex);
        QFETCH(bool, modeSel);
        QFETCH(QString, hexFile);
        QFETCH(QString, mode);
        QFETCH(int, invalid);
        const TCommandLine cl = ParseCommandLine(params);
        QCOMPARE(cl.AutoProg, autoProg);
        QCOMPARE(cl.LoadHex, loadHex);
        QCOMPARE(cl.ModeSel, modeSel);
        QCOMPARE(QString::fromStdString(cl.HexFile), hexFile);
        QCOMPARE(QString::fromStdString(cl.Mode), mode);
        QCOMPARE(cl.InvalidCount, invalid);
    }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
