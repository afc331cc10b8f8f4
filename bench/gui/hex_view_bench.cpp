// One paint of the hex view showing the largest buffer (128 KiB) at several
// scroll positions and window heights, on the offscreen platform. Each
// iteration is a synchronous repaint of the view through Qt's backing store.
#include "gui/hex_view.h"

#include <QApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

namespace {

constexpr std::uint32_t kSize = 128 * 1024;

// Counts the paints that reach the view, to show each repaint really paints.
struct TPaintCounter : QObject {
    long paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Data with every byte value and a verify result: most bytes verified, a
// sprinkling failed, the rest normal.
void Prepare(THexList& buf) {
    buf.SetSize(kSize);
    std::uint32_t state = 0;
    for (std::uint32_t i = 0; i < kSize; ++i) {
        state = state * 134775813u + 1u;
        buf.HexData[i] = static_cast<std::uint8_t>(state >> 24);
        const std::uint8_t r = static_cast<std::uint8_t>(state >> 16);
        buf.SetStatus(i, r < 16    ? TProgStatus(ps_failed)
                         : r < 200 ? TProgStatus(ps_verified)
                                   : TProgStatus(ps_normal));
    }
}

void BM_Paint(benchmark::State& state, int height, int topRow) {
    THexList buf;
    Prepare(buf);
    THexWindow view;
    view.resize(700, height);
    view.show();
    view.SetData(&buf);
    view.DoScroll(sb_thumbposition, topRow, false);
    TPaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QApplication::processEvents();
    counter.paints = 0;
    for (auto _ : state)
        view.viewport()->repaint();
    state.counters["rows"] = view.GetNumRows() + 1;
    state.counters["paints/iter"] =
        static_cast<double>(counter.paints) / static_cast<double>(state.iterations());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const int lastRow = static_cast<int>(kSize / 16);
    for (const int height : {515, 1080}) {
        for (const auto& [name, row] :
             {std::pair{"top", 0}, std::pair{"middle", lastRow / 2}, std::pair{"last page", lastRow - 60},
              std::pair{"past the end", lastRow}}) {
            const std::string label = "Paint/h" + std::to_string(height) + "/" + name;
            benchmark::RegisterBenchmark(label.c_str(), BM_Paint, height, row)->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
