// Where the program's own files are found: beside the executable in a build
// tree, in the data folder below the prefix when installed, and beside the
// executable when neither holds them.
#include "gui/program_folder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class ProgramFolderTest : public QObject {
    Q_OBJECT

  private slots:
    void resolve_data() {
        // Folders and empty files made below a temporary root, the
        // executable's folder and the program folder expected, all relative
        // to the root.
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<QString>("expected");
        const QString installed = QStringLiteral("prefix/bin/" NORVOISP_DATA_FROM_BIN);
        QTest::newRow("build tree") << QStringList{"build/src/gui/samples", "build/src/gui/patterns"}
                                    << QStringList{} << "build/src/gui"
                                    << "build/src/gui";
        QTest::newRow("installed") << QStringList{"prefix/bin", installed + "/samples"}
                                   << QStringList{installed + "/readme.txt"} << "prefix/bin"
                                   << QDir::cleanPath(installed);
        // An installation whose data folder lost its samples is still the
        // place of readme.txt and the help file.
        QTest::newRow("installed without samples") << QStringList{"prefix/bin", installed} << QStringList{}
                                                   << "prefix/bin" << QDir::cleanPath(installed);
        // Samples beside the executable win over a data folder below the
        // prefix.
        QTest::newRow("samples beside and data folder")
            << QStringList{"prefix/bin/samples", installed} << QStringList{} << "prefix/bin"
            << "prefix/bin";
        QTest::newRow("neither") << QStringList{"elsewhere/bin", "elsewhere/share/other"} << QStringList{}
                                 << "elsewhere/bin"
                                 << "elsewhere/bin";
        // A file named "samples" is no samples folder.
        QTest::newRow("samples is a file")
            << QStringList{"prefix/bin", installed} << QStringList{"prefix/bin/samples"} << "prefix/bin"
            << QDir::cleanPath(installed);
    }

    void resolve() {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, files);
        QFETCH(QString, exeDir);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir r(root.path());
        for (const QString& f : folders)
            QVERIFY(r.mkpath(f));
        for (const QString& f : files) {
            QFile file(r.filePath(f));
            QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
        }
        QCOMPARE(ResolveProgramFolder(r.filePath(exeDir)), r.filePath(expected));
    }
};

QTEST_GUILESS_MAIN(ProgramFolderTest)
#include "program_folder_test.moc"
