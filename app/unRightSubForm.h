#pragma once
// The preview beside the edit form: the Pascal unit that the shown program
// module generates, kept current while the user edits.
//   TRightFormRootElement           the preview's root: one read-only text
//   TRightFormThread                waits for a pause in the editing, takes a
//                                   snapshot on the user-interface thread,
//                                   generates from a private copy and hands
//                                   the text back
//   TInThreadPascalGeneratorWorker  the unit generator of one pass
//   TRightSubForm                   the sub-form: the preview's scheme, sheet
//                                   and sheet form, and the running thread
//
// The thread touches the shown scheme only inside its calls on the
// user-interface thread (plSynchronize); the request time and the editing
// flag are the only data both threads use, each one atomic value.

#include "pascal/generation/prPascalUnitGenerator.h"
#include "text/diTextorElement.h"

#include <QThread>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TKnot;
class TScheme;
class TSheet;
class TSheetForm;
class TSheetSettings;

// Textor options and text restrictions of the preview's root: every
// character class allowed, no leading-letter rule.
constexpr uint32_t kRightFormTextorOptions = 0x11101010;
constexpr uint32_t kRightFormTextRestrictions = 127;

class TRightFormRootElement : public TTextorElement {
    T_ELEMENT_CLASS(TRightFormRootElement)
public:
    TRightFormRootElement() = default;
    void Create() override;
};

class TRightFormThread;

// What a thread calls besides its work; tests watch and slow passes with them.
struct TRightFormThreadHooks {
    // On the thread, in every pass before generation.
    std::function<void()> OnGenerating;
    // On the user-interface thread, after a text was shown.
    std::function<void()> OnShown;
};

// The generator of one pass: the unit is named after the file name the
// snapshot saw ("Unit1" without one) and is written into the thread's
// writer unless the thread is being stopped.
class TInThreadPascalGeneratorWorker : public TPascalUnitGeneratorWorker {
public:
    explicit TInThreadPascalGeneratorWorker(TRightFormThread& thread) : m_thread(thread) {}

protected:
    QString GetModuleName() override;
    void WriteOutput() override;

private:
    TRightFormThread& m_thread;
};

class TRightFormThread : public QThread {
public:
    // Checks for a pause this often.
    static constexpr int kPollMs = 55;
    // The pause after the last change before a pass starts.
    static constexpr int64_t kQuietMs = 220;
    // A request this far back is served at once.
    static constexpr int64_t kAtOnceMs = 24 * 60 * 60 * 1000;
    // RequestTime when nothing is pending.
    static constexpr int64_t kNothingPending = 0;

    // Shows the source scheme (whose root the sheet shows) in the preview
    // root on the preview sheet. None of them is owned.
    TRightFormThread(TScheme& source, TSheet* sourceSheet, TRightFormRootElement& root, TSheet& previewSheet,
                     TRightFormThreadHooks hooks = {});
    // Stops and waits.
    ~TRightFormThread() override;

    // A change: a pass starts after the quiet time.
    void Request() noexcept;
    // A pass starts at the next check.
    void RequestAtOnce() noexcept;
    int64_t RequestTime() const noexcept { return m_requestTime.load(); }
    // Kept by the source sheet's notifications (user-interface thread).
    void SetEditing(bool editing) noexcept { m_editing.store(editing); }
    // Asks the thread to stop and wakes it; a wait then returns promptly.
    void Stop();
    // Stops the thread and waits until it ended.
    void StopAndWait();

    // One pass on the calling thread: the loop runs it; a benchmark calls it
    // on a thread never started (the calls on the user-interface thread then
    // run directly).
    void Pass();
    // The file name of the source when the snapshot was taken.
    const QString& SnapshotFileName() const noexcept { return m_fileName; }
protected:
    void run() override;

private:
    friend class TInThreadPascalGeneratorWorker;

    // Waits for a request older than the quiet time outside in-place editing;
    // false when asked to stop.
    bool WaitForPause();
    // On the user-interface thread: the source saved into the knot, or a
    // later try asked for while editing or inside an update.
    bool TakeSnapshot(TKnot* knot);
    std::unique_ptr<TScheme> LoadCopy(TKnot* knot);
    void AnswerConnectedScheme(TScheme* sender, const QString& fileName, TScheme*& scheme);
    void ReleaseHolds();
    bool Overtaken() const noexcept { return m_requestTime.load() != kNothingPending; }
    // On the user-interface thread.
    void ShowText(const QStringList& lines);

    TScheme& m_source;
    TSheet* m_sourceSheet;
    TRightFormRootElement& m_root;
    TSheet& m_previewSheet;
    const TRightFormThreadHooks m_hooks;
    std::atomic<int64_t> m_requestTime{kNothingPending};
    std::atomic<bool> m_editing{false};
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    // Thread-owned during a pass.
    const TElementClass* m_rootClass = nullptr;
    QString m_schemeName;
    QString m_fileName;
    TPascalCodeWriter* m_writer = nullptr;
    // Connected schemes the private copy was given: each keeps a link to it
    // until the pass ends, so that its document is not released meanwhile.
    std::vector<TScheme*> m_holds;
    TScheme* m_privateScheme = nullptr;
};

class TRightSubForm : public QWidget {
public:
    TRightSubForm(TSheetSettings* settings, QWidget* parent = nullptr);
    ~TRightSubForm() override;

    // The scheme shown and the sheet that shows it (nil: none). A running
    // thread is stopped and waited for before anything changes.
    void SetScheme(TScheme* scheme, TSheet* sheet);
    TScheme* Scheme() const noexcept { return m_scheme; }

    TScheme& PreviewScheme() const noexcept { return *m_previewScheme; }
    TSheet& PreviewSheet() const noexcept { return *m_previewSheet; }
    TSheetForm& SheetForm() const noexcept { return *m_sheetForm; }
    TRightFormRootElement& Root() const;
    // Nil without a scheme.
    TRightFormThread* Thread() const noexcept { return m_thread.get(); }
    // The text shown.
    QString Text() const;
    // Given to each thread the form starts.
    TRightFormThreadHooks Hooks;

private:
    void UndoRedoMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void SchemeMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void SheetMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void Unhook();

    std::unique_ptr<TScheme> m_previewScheme;
    std::unique_ptr<TSheet> m_previewSheet;
    TSheetForm* m_sheetForm;
    TScheme* m_scheme = nullptr;
    TSheet* m_sheet = nullptr;
    std::unique_ptr<TRightFormThread> m_thread;
};
