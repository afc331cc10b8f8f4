// Version strings read from executable files: the program's own, and files
// written here with chosen version blocks.
#include "gui/version_info.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

using TEntries = QList<QPair<QString, QString>>;

// A version block; built at run time so that this program holds no block
// besides its own.
QByteArray Block(const TEntries& entries, bool terminated = true) {
    const std::string_view magic = TFileVersionInfo::ResourceMagic();
    QByteArray b(magic.data(), static_cast<qsizetype>(magic.size()));
    for (const auto& [key, value] : entries)
        b += key.toUtf8() + '=' + value.toUtf8() + '\0';
    if (terminated) b += '\0';
    return b;
}

QString Str(const char* block, const char* name) {
    return QStringLiteral("\\StringFileInfo\\") + QLatin1String(block) + QLatin1Char('\\') +
           QLatin1String(name);
}
const QString kTranslation = QStringLiteral("\\VarFileInfo\\Translation");

QStringList AllStrings(const TFileVersionInfo& fi) {
    return {fi.CompanyName(),    fi.FileDescription(), fi.FileVersion(),      fi.InternalName(),
            fi.LegalCopyright(), fi.LegalTradeMarks(), fi.OriginalFilename(), fi.ProductName(),
            fi.ProductVersion(), fi.Comments(),        fi.CountryCode()};
}

bool AllEmpty(const TFileVersionInfo& fi) {
    const QStringList all = AllStrings(fi);
    return std::all_of(all.begin(), all.end(), [](const QString& s) { return s.isEmpty(); });
}

} // namespace

class VersionInfoTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;

    QString Write(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) return {};
        return path;
    }

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void theRunningProgramsOwnVersion() {
        const TFileVersionInfo fi;
        QCOMPARE(fi.ExecutableFile(), QCoreApplication::applicationFilePath());
        QCOMPARE(fi.FileVersion(), QStringLiteral(NORVOISP_VERSION_STRING));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"))
                    .match(fi.FileVersion())
                    .hasMatch());
        QCOMPARE(fi.ProductVersion(), fi.FileVersion());
        QCOMPARE(fi.CountryCode(), QStringLiteral("040904E4"));
        QVERIFY(!fi.ProductName().isEmpty());
        QVERIFY(!fi.FileDescription().isEmpty());
    }

    void onlyTheStringsPresentAreSet() {
        const QByteArray junk(5000, '\x7F');
        const QString path =
            Write(QStringLiteral("two.bin"),
                  junk +
                      Block({{kTranslation, QStringLiteral("040904E4")},
                             {Str("040904E4", "FileVersion"), QStringLiteral("2.3.4.5")},
                             {Str("040904E4", "FileDescription"), QStringLiteral("Test file")}}) +
                      junk);
        TFileVersionInfo fi;
        fi.SetExecutableFile(path);
        QCOMPARE(fi.ExecutableFile(), path);
        QCOMPARE(fi.CountryCode(), QStringLiteral("040904E4"));
        QCOMPARE(fi.FileVersion(), QStringLiteral("2.3.4.5"));
        QCOMPARE(fi.FileDescription(), QStringLiteral("Test file"));
        QCOMPARE(AllStrings(fi).count(QString()), 8);
    }

    void aFileWithoutVersionClearsWhatWasReadBefore() {
        TFileVersionInfo fi;
        QVERIFY(!fi.FileVersion().isEmpty());
        fi.SetExecutableFile(Write(QStringLiteral("plain.txt"), "just some text\n"));
        QVERIFY(AllEmpty(fi));
        fi.SetExecutableFile(QCoreApplication::applicationFilePath());
        QVERIFY(!fi.FileVersion().isEmpty());
        fi.SetExecutableFile(dir.filePath(QStringLiteral("missing")));
        QVERIFY(AllEmpty(fi));
        fi.SetExecutableFile(QStringLiteral("/dev/null"));
        QVERIFY(AllEmpty(fi));
        fi.SetExecutableFile(QString());
        QVERIFY(AllEmpty(fi));
    }

    void theTranslationListChoosesTheBlock_data() {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("version");
        QTest::newRow("first of two") << "040704B0 040904E4"
                                      << "040704B0"
                                      << "7.0.0.0";
        QTest::newRow("the other first") << "040904E4 040704B0"
                                         << "040904E4"
                                         << "9.0.0.0";
        QTest::newRow("lower-case digits") << "040904e4"
                                           << "040904E4"
                                           << "9.0.0.0";
        QTest::newRow("block without strings") << "041104B0"
                                               << "041104B0"
                                               << "";
        QTest::newRow("no translation") << ""
                                        << ""
                                        << "";
        QTest::newRow("malformed translation") << "0409-4E4"
                                               << ""
                                               << "";
    }
    void theTranslationListChoosesTheBlock() {
        QFETCH(QString, translation);
        QFETCH(QString, country);
        QFETCH(QString, version);
        TEntries entries{{Str("040704B0", "FileVersion"), QStringLiteral("7.0.0.0")},
                         {Str("040904E4", "FileVersion"), QStringLiteral("9.0.0.0")},
                         {Str("040904E4", "Comments"), QStringLiteral("under 040904E4")}};
        if (!translation.isEmpty()) entries.prepend({kTranslation, translation});
        TFileVersionInfo fi;
        fi.SetExecutableFile(Write(QStringLiteral("t.bin"), Block(entries)));
        QCOMPARE(fi.CountryCode(), country);
        QCOMPARE(fi.FileVersion(), version);
        QCOMPARE(fi.Comments().isEmpty(), country != QStringLiteral("040904E4"));
    }

    void damagedBlocksAreSkipped() {
        const QByteArray good = Block({{kTranslation, QStringLiteral("040904E4")},
                                       {Str("040904E4", "ProductName"), QStringLiteral("Second")}});
        const QByteArray cut = Block({{kTranslation, QStringLiteral("040904E4")},
                                      {Str("040904E4", "ProductName"), QStringLiteral("First")}},
                                     false);
        TFileVersionInfo fi;
        // An unterminated block at the end of the file is no block.
        fi.SetExecutableFile(Write(QStringLiteral("cut.bin"), QByteArray(100, 'x') + cut));
        QVERIFY(AllEmpty(fi));
        // One that runs on for more than 64 KiB is no block either; the
        // next well-formed one counts.
        fi.SetExecutableFile(Write(QStringLiteral("two.bin"), cut + QByteArray(70 * 1024, 'y') + good));
        QCOMPARE(fi.ProductName(), QStringLiteral("Second"));
        // Entries without "=" are passed over.
        const std::string_view magic = TFileVersionInfo::ResourceMagic();
        QByteArray odd(magic.data(), static_cast<qsizetype>(magic.size()));
        odd += QByteArray("no equals sign") + '\0' + kTranslation.toUtf8() + "=040904E4" + '\0' +
               Str("040904E4", "FileVersion").toUtf8() + "=1.2.3.4" + '\0' + '\0';
        fi.SetExecutableFile(Write(QStringLiteral("odd.bin"), odd));
        QCOMPARE(fi.FileVersion(), QStringLiteral("1.2.3.4"));
    }

    void aBlockDeepInALargeFileIsFound() {
        const QByteArray block = Block({{kTranslation, QStringLiteral("040904E4")},
                                        {Str("040904E4", "FileVersion"), QStringLiteral("5.6.7.8")}});
        // Straddling the 4 MiB mark of a 6 MiB file.
        QByteArray content(4 * 1024 * 1024 - 10, '\0');
        content += block;
        content += QByteArray(2 * 1024 * 1024, '\0');
        TFileVersionInfo fi;
        fi.SetExecutableFile(Write(QStringLiteral("large.bin"), content));
        QCOMPARE(fi.FileVersion(), QStringLiteral("5.6.7.8"));
    }
};

QTEST_MAIN(VersionInfoTest)
#include "version_info_test.moc"
