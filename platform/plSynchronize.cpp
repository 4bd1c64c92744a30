#include "platform/plSynchronize.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace {
// How often a waiting worker looks at its stop request.
constexpr std::chrono::milliseconds kStopPollInterval{20};

// Posting through Qt's event queue orders the call after the worker's
// preparations, but in a way that race detectors cannot see; this lock makes
// the hand-over explicit.
std::mutex g_handOver;

struct TSyncState {
    std::mutex lock;
    std::condition_variable done;
    bool started = false;
    bool finished = false;
    bool cancelled = false;
    std::exception_ptr error;
};
}  // namespace

bool Synchronize(const std::function<void()>& call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        call();
        return true;
    }
    auto state = std::make_shared<TSyncState>();
    std::unique_lock handOver(g_handOver);
    QMetaObject::invokeMethod(app, [state, call] {
        { std::lock_guard received(g_handOver); }
        {
            std::lock_guard guard(state->lock);
            if (state->cancelled) return;
            state->started = true;
        }
        std::exception_ptr error;
        try {
            call();
        } catch (...) {
            // Nothing passes the event loop: the worker raises it again.
            error = std::current_exception();
        }
        std::lock_guard guard(state->lock);
        state->error = error;
        state->finished = true;
        state->done.notify_all();
    }, Qt::QueuedConnection);
    handOver.unlock();
    std::unique_lock guard(state->lock);
    while (!state->finished) {
        if (!state->started && QThread::currentThread()->isInterruptionRequested()) {
            state->cancelled = true;
            return false;
        }
        state->done.wait_for(guard, kStopPollInterval);
    }
    if (state->error) std::rethrow_exception(state->error);
    return true;
}
