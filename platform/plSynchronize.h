#pragma once
// Runs a call on the user-interface thread for a worker thread and waits for
// it. The wait gives up when the worker (a QThread) is asked to stop before
// the call started, so that a user-interface thread blocked in QThread::wait()
// never deadlocks against it; a call given up is skipped when it is finally
// dispatched. On the user-interface thread itself (or without an application)
// the call runs at once.

#include <functional>

// Whether the call ran. What the call raises on the user-interface thread is
// raised again on the calling thread.
bool Synchronize(const std::function<void()>& call);
