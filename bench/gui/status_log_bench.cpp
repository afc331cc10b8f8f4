// The status list taking the lines of a verify that fails on every byte of a
// 64 KiB device (65 536 "Verify Failed at ..." lines):
//   Log/...       the list alone, fed as a verify feeds it: one line per
//                 differing byte, the event queue pumped once per block as
//                 the progress report does; "max_pump_ms" is the longest
//                 single pump (how long the window stays unresponsive);
//   Verify/...    the whole window verifying a 24C512 on the simulated unit,
//                 against an unrelated buffer (every byte differs) and
//                 against the chip's own contents (no line): the difference
//                 is what the lines cost.
// Offscreen platform, Status page shown so the list really paints.
#include "buffer/test_patterns.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "programmer/isp_programmer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr int kLines = 65536;

QString Line(int address) {
    return QStringLiteral("Verify Failed at %1h: Read FFh - Should have been %2h")
        .arg(address, 4, 16, QLatin1Char('0'))
        .arg((address * 7) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

void BM_Log(benchmark::State& state, int block) {
    double maxPump = 0;
    for (auto _ : state) {
        TStatusLog log;
        log.resize(600, 400);
        log.show();
        QApplication::processEvents();
        QElapsedTimer pump;
        for (int a = 0; a < kLines; a += block) {
            for (int p = a; p < a + block; ++p)
                log.Append(Line(p));
            pump.start();
            QApplication::processEvents();
            maxPump = std::max(maxPump, pump.nsecsElapsed() / 1e6);
        }
        // The last lines reach the view and it paints its end.
        log.FlushPending();
        log.viewport()->repaint();
        if (log.model()->rowCount() != kLines) state.SkipWithError("lines lost");
    }
    state.counters["lines"] = kLines;
    state.counters["max_pump_ms"] = maxPump;
}

TUserPrompts Silent() {
    TUserPrompts p = TUserPrompts::Standard();
    p.ShowMessage = [](QWidget*, const QString&) {};
    p.ErrorBox = [](QWidget*, const QString&, const QString&) {};
    p.Beep = [] {};
    return p;
}

void BM_Verify(benchmark::State& state, bool unrelated) {
    QTemporaryDir dir;
    qputenv("NORVOISP_REGISTRY", dir.filePath(QStringLiteral("registry.reg")).toLocal8Bit());
    Tmain w({QStringLiteral("-M=Norvo ISP (SIM)")}, Silent());
    w.SetProgramFolder(dir.path());
    w.show();
    QApplication::processEvents();
    QApplication::processEvents();
    w.DeviceType->setCurrentIndex(0);
    w.DeviceSelector->setCurrentIndex(w.DeviceSelector->findText(QStringLiteral("24C512")));
    w.RunCommand([&w] { w.HardwareSelectorChange(); });
    THexList& buf = w.Prjct()->FlashMemory;
    if (buf.Size() != 65536) {
        state.SkipWithError("24C512 not selected");
        return;
    }
    // The simulated chip starts blank (0xFF); random data never holds 0xFF.
    TRandomBytes random;
    FillRandomData(buf, random, buf.Size());
    if (!unrelated) buf.Clear();
    w.ShowStatusPage();
    int lines = 0;
    for (auto _ : state) {
        w.StatusList->Clear();
        w.VerifyFlash->trigger();
        w.StatusList->FlushPending();
        w.StatusList->viewport()->repaint();
        lines = w.StatusList->model()->rowCount();
    }
    state.counters["lines"] = lines;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    for (const int block : {1, 128, 65536})
        benchmark::RegisterBenchmark(("Log/65536 lines/pump every " + std::to_string(block)).c_str(), BM_Log,
                                     block)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    benchmark::RegisterBenchmark("Verify/24C512/unrelated buffer", BM_Verify, true)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("Verify/24C512/same contents", BM_Verify, false)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
