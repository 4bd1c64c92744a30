// Start-up as the user waits for it: the program spawned offscreen until its
// sheet first paints the start-up document (the probe the environment
// variable QUILLANE_FIRST_PAINT_PROBE enables writes a line then), against a
// bare main window with a menu bar and two text views, linked against the
// same Qt modules, spawned the same way until its first text view paints.
// Each spawn gets a data folder of its own; only the time from the spawn to
// the line counts (manual time), so making the folder and ending the process
// stay outside on both sides.

#include "benchSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kSpawnsPerRun = 5;
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

void RunSpawns(benchmark::State& state, const QString& program) {
    std::vector<double> samples;
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < kSpawnsPerRun; ++i) {
            const double ms = TimeToFirstPaint(program);
            if (ms < 0) {
                state.SkipWithError("no first paint");
                return;
            }
            samples.push_back(ms);
            total += ms;
        }
        state.SetIterationTime(total / 1000.0);
    }
    QuillaneLatencySamples(state, "median_ms", samples, 0.5);
}

void BM_StartupFirstPaint(benchmark::State& state) { RunSpawns(state, QStringLiteral(QUILLANE_PROGRAM)); }
BENCHMARK(BM_StartupFirstPaint)->UseManualTime()->Iterations(1)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

void BM_BareMainWindowFirstPaint(benchmark::State& state) { RunSpawns(state, QStringLiteral(QUILLANE_BARE_PEER)); }
BENCHMARK(BM_BareMainWindowFirstPaint)->UseManualTime()->Iterations(1)->Apply(QuillaneFastestOf<3>)->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_LATENCY(startup_first_paint_ms, "BM_StartupFirstPaint/iterations:1/repeats:3/manual_time", "median_ms");
QUILLANE_RATIO(startup_vs_bare_qmainwindow, "BM_StartupFirstPaint/iterations:1/repeats:3/manual_time",
               "BM_BareMainWindowFirstPaint/iterations:1/repeats:3/manual_time");
