// Start-up as the user waits for it: the program spawned offscreen until its
// sheet first paints the start-up document (the probe the environment
// variable QUILLANE_FIRST_PAINT_PROBE enables writes a line then), against a
// bare main window with a menu bar and two text views, linked against the
// same Qt modules and loading the same plugins, spawned the same way until
// its first text view paints.
//
// Both sides are spawned in turns within one run, so that whatever else the
// machine does at a moment slows both alike: first one uncounted spawn of
// each (the first start after a build reads its files from disk), then
// kSpawnsPerSide rounds, the side that goes first changing every round. The
// figures are medians, which a few spawns slowed by other processes do not
// move. Each spawn gets a data folder of its own; only the time from the
// spawn to the line counts, so making the folder and ending the process stay
// outside on both sides.

#include "benchSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

namespace {

constexpr int kSpawnsPerSide = 21;
constexpr double kMedian = 0.5;
constexpr int kWaitMs = 60000;
const QByteArray kFirstPaintLine = QByteArrayLiteral("first-paint");

// Milliseconds from the spawn to the first-paint line; negative when none came.
double TimeToFirstPaint(const QString& program) {
    QTemporaryDir data;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    environment.insert(QStringLiteral("QUILLANE_FIRST_PAINT_PROBE"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    QByteArray output;
    double elapsed = -1;
    while (process.waitForReadyRead(kWaitMs)) {
        output += process.readAllStandardOutput();
        if (output.contains(kFirstPaintLine)) {
            elapsed = double(timer.nsecsElapsed()) / 1e6;
            break;
        }
    }
    process.kill();
    process.waitForFinished();
    return elapsed;
}

struct TSide {
    QString program;
    std::vector<double> samples;
};

// Spawns the side once and keeps the time; false when it never painted.
bool Spawn(TSide& side) {
    const double ms = TimeToFirstPaint(side.program);
    if (ms < 0) return false;
    side.samples.push_back(ms);
    return true;
}

void BM_StartupVsBareMainWindow(benchmark::State& state) {
    TSide ours{QStringLiteral(QUILLANE_PROGRAM), {}};
    TSide peer{QStringLiteral(QUILLANE_BARE_PEER), {}};
    for (auto _ : state) {
        if (!Spawn(ours) || !Spawn(peer)) {
            state.SkipWithError("no first paint");
            return;
        }
        ours.samples.clear();
        peer.samples.clear();
        for (int round = 0; round < kSpawnsPerSide; ++round) {
            TSide& first = round % 2 == 0 ? ours : peer;
            TSide& second = round % 2 == 0 ? peer : ours;
            if (!Spawn(first) || !Spawn(second)) {
                state.SkipWithError("no first paint");
                return;
            }
        }
        state.SetIterationTime(QuillanePercentile(ours.samples, kMedian) / 1000.0);
    }
    const double peerMedian = QuillanePercentile(peer.samples, kMedian);
    state.counters["peer_median_ms"] = peerMedian;
    state.counters["ratio"] = QuillanePercentile(ours.samples, kMedian) / peerMedian;
    QuillaneLatencySamples(state, "median_ms", std::move(ours.samples), kMedian);
}
BENCHMARK(BM_StartupVsBareMainWindow)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_LATENCY(startup_first_paint_ms, "BM_StartupVsBareMainWindow/iterations:1/manual_time", "median_ms");
QUILLANE_RATIO_COUNTER(startup_vs_bare_qmainwindow, "BM_StartupVsBareMainWindow/iterations:1/manual_time", "ratio");
