// norvoisp-screenshot: pictures of the main window at work for the
// documentation. The window starts as on a first start, with a settings hive
// in a temporary folder (the operator's settings are never read or written),
// and a new operator's steps are played through the window's own selectors
// and actions: the simulated programmer unit the start-up warning names,
// family 24C, device 24C256, load the data file, Program, Verify. The "EEPROM Memory" page is then saved as a
// PNG image, and the "Status" page as a second one when a path is given for it.
//
// Usage: norvoisp-screenshot DATAFILE EEPROM_PAGE.png [STATUS_PAGE.png]
// Run it with QT_QPA_PLATFORM=offscreen where there is no display.
// Exit codes: 0 images written, 1 a step failed, 2 bad usage or missing file.
#include "buffer/hex_list.h"
#include "catalogue/device.h"
#include "catalogue/device_list.h"
#include "gui/app_identity.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "gui/user_prompts.h"
#include "programmer/unit/smart_dongle.h"
#include "sim_kinds/sim_kinds.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// The window's widest (it keeps to 780 pixels) and a height that shows a
// good part of the memory.
constexpr int kWidth = 780;
constexpr int kHeight = 700;
const char* const kFamily = "24C";
const char* const kDevice = "24C256";

// A step that did not go as the picture needs; the message says which.
struct TStepFailure {
    QString Message;
};

[[noreturn]] void Fail(const QString& message) {
    throw TStepFailure{message};
}

// Boxes and dialogs answered without a person: the load dialog picks the
// data file, anything else is declined and remembered as a failure (a
// picture of a run that needed an answer is not the run the picture shows).
struct TUnattended {
    QString DataFile;
    QStringList Unexpected;

    TUserPrompts Prompts() {
        TUserPrompts p = TUserPrompts::Standard();
        p.ShowMessage = [this](QWidget*, const QString& text) {
            // The first start's word on the simulated unit is part of the way.
            if (text.startsWith(QStringLiteral("No programmer was found:"))) return;
            Unexpected << QStringLiteral("message: ") + text;
        };
        p.ErrorBox = [this](QWidget*, const QString& title, const QString& text) {
            Unexpected << QStringLiteral("error box: ") + title + QStringLiteral(": ") + text;
        };
        p.AskYesNo = [this](QWidget*, const QString& title, const QString& text) {
            Unexpected << QStringLiteral("question: ") + title + QStringLiteral(": ") + text;
            return false;
        };
        p.AskOkCancel = p.AskYesNo;
        p.GetSaveFileName = [this](QWidget*, const QString& title, const QString&, const QString&) {
            Unexpected << QStringLiteral("save dialog: ") + title;
            return QString();
        };
        p.GetOpenFileName = [this](QWidget*, const QString& title, const QString&, const QString&) {
            Unexpected << QStringLiteral("open dialog: ") + title;
            return QString();
        };
        p.FileDialog = [this](QWidget*, TFileRequest& request) {
            if (request.Save || request.Title != QStringLiteral("Load EEPROM")) {
                Unexpected << QStringLiteral("file dialog: ") + request.Title;
                return false;
            }
            request.FileName = DataFile;
            request.FilterIndex = 0; // auto detect
            return true;
        };
        p.ExecDialog = [this](QDialog& d) {
            Unexpected << QStringLiteral("dialog: ") + d.windowTitle();
            return int(QDialog::Rejected);
        };
        p.Beep = [] {};
        return p;
    }
};

// Lets queued work, layouts and paints run for a while.
void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QString LastLine(const Tmain& w) {
    const QStringList lines = w.StatusList->Lines();
    return lines.isEmpty() ? QString() : lines.last();
}

// The step left the window without an unexpected box, with a status line
// that starts with Expected.
void Expect(const Tmain& w, const TUnattended& prompts, const QString& step, const QString& expected) {
    if (!prompts.Unexpected.isEmpty())
        Fail(step + QStringLiteral(": ") + prompts.Unexpected.join(QStringLiteral("; ")));
    const QString last = LastLine(w);
    if (!last.startsWith(expected))
        Fail(step + QStringLiteral(": the status log ends with \"") + last +
             QStringLiteral("\", expected \"") + expected + QStringLiteral("...\""));
}

// Picks an entry of a tool bar drop-down as the operator does.
void Choose(QComboBox* box, const QString& text) {
    const int i = box->findText(text, Qt::MatchFixedString);
    if (i < 0) Fail(QStringLiteral("\"") + text + QStringLiteral("\" is not offered"));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

QString DeviceName(const Tmain& w) {
    const TDevice* d = w.Prjct() ? w.Prjct()->Device() : nullptr;
    return d ? QString::fromStdString(d->DeviceName()) : QString();
}

void Save(Tmain& w, const QString& path) {
    Settle(200);
    const QImage image = w.grab().toImage();
    if (image.isNull()) Fail(QStringLiteral("the window could not be grabbed"));
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        Fail(QStringLiteral("cannot create the folder ") + info.absolutePath());
    if (!image.save(path, "PNG")) Fail(QStringLiteral("cannot write ") + path);
    std::printf("%s: %dx%d\n", qPrintable(path), image.width(), image.height());
}

void Run(const QString& dataFile, const QString& eepromPng, const QString& statusPng, const QString& folder) {
    TUnattended prompts;
    prompts.DataFile = dataFile;

    Tmain w({}, prompts.Prompts());
    // No read-me or help beside the tool to open at start-up.
    w.SetProgramFolder(folder);
    w.resize(kWidth, kHeight);
    w.show();
    QElapsedTimer started;
    started.start();
    while (!w.Initialized() && started.elapsed() < 10000)
        Settle(20);
    if (!w.Initialized()) Fail(QStringLiteral("the window did not start within 10 s"));
    // Without hardware the start-up warning names the simulated unit.
    if (!LastLine(w).contains(QString::fromLatin1(SimHardwareCaption)))
        Fail(QStringLiteral("start-up: the status log ends with \"") + LastLine(w) +
             QStringLiteral("\", which does not name the simulated unit"));
    Choose(w.HardwareSelector, QString::fromLatin1(SimHardwareCaption));
    Expect(w, prompts, QStringLiteral("programmer"), QStringLiteral("ISP Initialized: Programmer Detected."));
    if (w.SelectedHardware() != AsciiUpper(SimHardwareName))
        Fail(QStringLiteral("the programmer is \"") + w.HardwareSelector->currentText() +
             QStringLiteral("\", not the simulated unit"));

    Choose(w.DeviceType, QString::fromLatin1(kFamily));
    Choose(w.DeviceSelector, QString::fromLatin1(kDevice));
    if (!prompts.Unexpected.isEmpty())
        Fail(QStringLiteral("device selection: ") + prompts.Unexpected.join(QStringLiteral("; ")));
    if (DeviceName(w) != QString::fromLatin1(kDevice))
        Fail(QStringLiteral("the device is \"") + DeviceName(w) + QStringLiteral("\", not ") + kDevice);

    w.LoadFlash->trigger();
    Expect(w, prompts, QStringLiteral("load ") + dataFile, QStringLiteral("File Load: File loaded"));
    if (QString::fromStdString(w.Prjct()->FlashMemory.FileName()) != dataFile)
        Fail(QStringLiteral("load: the buffer holds \"") +
             QString::fromStdString(w.Prjct()->FlashMemory.FileName()) + QStringLiteral("\""));

    w.ProgramFlash->trigger();
    Expect(w, prompts, QStringLiteral("program"), QStringLiteral("EEPROM: Programming Complete"));
    w.VerifyFlash->trigger();
    Expect(w, prompts, QStringLiteral("verify"), QStringLiteral("EEPROM: Verify Complete"));
    const THexList& buffer = w.Prjct()->FlashMemory;
    for (std::uint32_t i = 0; i < buffer.Size(); ++i)
        if (buffer.GetStatus(i) != TProgStatus(ps_verified))
            Fail(QStringLiteral("verify: byte %1 is not marked verified").arg(i, 4, 16, QLatin1Char('0')));

    // The operations may have widened the window; the pictures keep one size.
    w.resize(kWidth, kHeight);
    w.ViewFlash->trigger();
    if (w.PageControl->currentWidget() != w.FlashTab) Fail(QStringLiteral("the EEPROM page is not shown"));
    Save(w, eepromPng);
    if (!statusPng.isEmpty()) {
        w.ViewStatus->trigger();
        if (w.PageControl->currentWidget() != w.StatusTab)
            Fail(QStringLiteral("the Status page is not shown"));
        Save(w, statusPng);
    }
    w.close();
    Settle(0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s DATAFILE EEPROM_PAGE.png [STATUS_PAGE.png]\n", argv[0]);
        return 2;
    }
    const QString dataFile = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    if (!QFileInfo(dataFile).isFile() || !QFileInfo(dataFile).isReadable()) {
        std::fprintf(stderr, "norvoisp-screenshot: cannot read the data file %s\n", argv[1]);
        return 2;
    }
    const QString eepromPng = QString::fromLocal8Bit(argv[2]);
    const QString statusPng = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    // The settings hive in a folder of its own, removed at the end; the
    // simulated unit with its defaults: a fresh chip, no transcript.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "norvoisp-screenshot: cannot create a temporary folder: %s\n",
                     qPrintable(folder.errorString()));
        return 1;
    }
    qputenv("NORVOISP_REGISTRY", QDir(folder.path()).filePath(QStringLiteral("registry.reg")).toLocal8Bit());
    for (const char* name : {"NORVOISP_SIM_IMAGE", "NORVOISP_SIM_TRANSCRIPT", "NORVOISP_SIM_BAUD",
                             "NORVOISP_SIM_BUS", "NORVOISP_SIM_ORG"})
        qunsetenv(name);

    QApplication app(argc, argv);
    SetApplicationIdentity();
    // One look wherever the pictures are taken.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    try {
        Run(dataFile, eepromPng, statusPng, folder.path());
    } catch (const TStepFailure& e) {
        std::fprintf(stderr, "norvoisp-screenshot: %s\n", qPrintable(e.Message));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norvoisp-screenshot: %s\n", e.what());
        return 1;
    }
    return 0;
}
