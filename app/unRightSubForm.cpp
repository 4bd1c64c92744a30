#include "app/unRightSubForm.h"

#include "core/cuCodeWriters.h"
#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "core/cuUtils.h"
#include "platform/plClock.h"
#include "platform/plSynchronize.h"
#include "scheme/diClasses.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "text/diTextor.h"
#include "text/diTextorInteractive.h"
#include "ui/diSheetForm.h"
#include "ui/baSaper.h"
#include "ui/baUtils.h"

#include <QFileInfo>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kPreviewSchemeName = QStringLiteral("RightForm");
const QString kSaverKnotName = QStringLiteral("Generation");
const QString kDefaultUnitName = QStringLiteral("Unit1");
const QString kLineBreak = QStringLiteral("\r\n");
}  // namespace

// ---------------------------------------------------------------------------
// TRightFormRootElement

T_ELEMENT_CLASS_IMPL(TRightFormRootElement, TTextorElement)

void TRightFormRootElement::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kRightFormTextorOptions);
    SetRestrictions(kRightFormTextRestrictions);
}

// ---------------------------------------------------------------------------
// TInThreadPascalGeneratorWorker

QString TInThreadPascalGeneratorWorker::GetModuleName() {
    const QString name = QFileInfo(m_thread.SnapshotFileName()).completeBaseName();
    return name.isEmpty() ? kDefaultUnitName : name;
}

void TInThreadPascalGeneratorWorker::WriteOutput() {
    if (m_thread.isInterruptionRequested() || !m_thread.m_writer) return;
    WriteModule(*m_thread.m_writer);
}

// ---------------------------------------------------------------------------
// TRightFormThread

TRightFormThread::TRightFormThread(TScheme& source, TSheet* sourceSheet, TRightFormRootElement& root,
                                   TSheet& previewSheet, TRightFormThreadHooks hooks)
    : m_source(source),
      m_sourceSheet(sourceSheet),
      m_root(root),
      m_previewSheet(previewSheet),
      m_hooks(std::move(hooks)) {}

TRightFormThread::~TRightFormThread() { StopAndWait(); }

void TRightFormThread::StopAndWait() {
    Stop();
    wait();
    // QThread::wait() synchronises inside Qt, where race detectors cannot
    // see it: the thread's last step releases this lock, taken here after it.
    const std::lock_guard ended(m_wakeLock);
}

void TRightFormThread::Request() noexcept { m_requestTime.store(TClock::Now()); }

void TRightFormThread::RequestAtOnce() noexcept { m_requestTime.store(TClock::Now() - kAtOnceMs); }

void TRightFormThread::Stop() {
    requestInterruption();
    const std::lock_guard lock(m_wakeLock);
    m_wake.notify_all();
}

void TRightFormThread::run() {
    while (WaitForPause()) {
        try {
            Pass();
        } catch (...) {
            // Nothing leaves the thread: the pass is lost, the text stays.
            LogCurrentException("The preview could not be generated");
        }
    }
    const std::lock_guard ending(m_wakeLock);
}

bool TRightFormThread::WaitForPause() {
    for (;;) {
        if (isInterruptionRequested()) return false;
        const int64_t requested = m_requestTime.load();
        if (requested != kNothingPending && std::abs(TClock::Now() - requested) >= kQuietMs && !m_editing.load()) {
            // A request landing right now is kept for the next pass.
            int64_t expected = requested;
            if (m_requestTime.compare_exchange_strong(expected, kNothingPending)) return true;
            continue;
        }
        std::unique_lock lock(m_wakeLock);
        m_wake.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return isInterruptionRequested(); });
    }
}

void TRightFormThread::Pass() {
    TNodePtr<TKnot> knot = TKnot::Create(kSaverKnotName);
    bool taken = false;
    if (!Synchronize([&] { taken = TakeSnapshot(knot.get()); }) || !taken) return;
    if (isInterruptionRequested() || Overtaken()) return;
    struct TReleaseHolds {
        TRightFormThread& thread;
        ~TReleaseHolds() { thread.ReleaseHolds(); }
    } releaseHolds{*this};
    std::unique_ptr<TScheme> copy = LoadCopy(knot.get());
    if (isInterruptionRequested() || Overtaken()) return;
    auto writer = std::make_unique<TPascalCodeWriter>();
    m_writer = writer.get();
    {
        TInThreadPascalGeneratorWorker worker(*this);
        worker.Root = copy->Root();
        worker.SetEncoding(QStringConverter::Utf8);
        worker.ProcessingDateTime = QDateTime::currentDateTime();
        worker.Simplify = true;
        if (m_hooks.OnGenerating) m_hooks.OnGenerating();
        worker.Prepare();
        worker.BeforeGenerate();
        worker.Generate();
    }
    m_writer = nullptr;
    if (isInterruptionRequested() || Overtaken()) return;
    const QStringList lines = writer->Lines();
    Synchronize([&] { ShowText(lines); });
}

bool TRightFormThread::TakeSnapshot(TKnot* knot) {
    // A nested event loop may run this in the middle of a command: an open
    // update or in-place editing waits for a later pass.
    const bool editing = m_sourceSheet && m_sourceSheet->IsEditing();
    const bool inUpdate = m_source.UpdateCount() > 0 || (m_sourceSheet && m_sourceSheet->UpdateCount() > 0);
    if (editing || inUpdate) {
        Request();
        return false;
    }
    m_rootClass = m_source.RootClass();
    m_schemeName = m_source.Name();
    m_fileName = m_source.FileName();
    m_source.SaveRootToKnot(knot, fmSnapshot, 0);
    return true;
}

std::unique_ptr<TScheme> TRightFormThread::LoadCopy(TKnot* knot) {
    auto copy = std::make_unique<TScheme>(m_rootClass, m_schemeName);
    m_privateScheme = copy.get();
    copy->SetFileName(m_fileName);
    copy->OnGetConnectedScheme = [this](TScheme* sender, const QString& fileName, TScheme*& scheme) {
        AnswerConnectedScheme(sender, fileName, scheme);
    };
    TSchemeLoader loader(copy.get(), nullptr, knot, 0, fmSnapshot);
    copy->Root()->LoadFrom(&loader, knot);
    loader.Finish();
    return copy;
}

void TRightFormThread::AnswerConnectedScheme(TScheme* sender, const QString& fileName, TScheme*& scheme) {
    // The documents of connected files live on the user-interface thread.
    Synchronize([&] {
        scheme = m_source.GetConnectedScheme(fileName);
        if (!scheme) return;
        scheme->AddLink(sender);
        m_holds.push_back(scheme);
    });
}

void TRightFormThread::ReleaseHolds() {
    for (TScheme* held : m_holds) held->RemoveLink(m_privateScheme);
    m_holds.clear();
    m_privateScheme = nullptr;
}

void TRightFormThread::ShowText(const QStringList& lines) {
    QStringList shown = lines;
    if (!shown.isEmpty() && shown.back().isEmpty()) shown.pop_back();
    m_previewSheet.Cancel();
    const QPoint position = m_previewSheet.ScreenPos();
    TSchemeTextor* textor = m_root.Textor();
    TSchemeTextorInteractive* interactive = m_root.Interactive();
    // The preview is read-only, so it never edits in place: the caret the
    // user put into it (the root focused) stays where it was as well.
    const bool keepSelection = interactive && (m_root.IsEditing() || m_root.IsFocused());
    const TTextorNumericRange selection =
        keepSelection ? textor->RangeToNumeric(interactive->GetSelection()) : TTextorNumericRange{};
    textor->BeginUpdate();
    try {
        m_root.SetText(shown.join(kLineBreak));
        if (keepSelection && m_root.Interactive()) m_root.Interactive()->SetPendingSelection(selection, false, false);
    } catch (...) {
        textor->EndUpdate();
        throw;
    }
    textor->EndUpdate();
    m_previewSheet.SetScreenPosition(position);
    if (m_hooks.OnShown) m_hooks.OnShown();
}

// ---------------------------------------------------------------------------
// TRightSubForm

TRightSubForm::TRightSubForm(TSheetSettings* settings, QWidget* parent)
    : QWidget(parent),
      m_previewScheme(std::make_unique<TScheme>(TRightFormRootElement::StaticClass(), kPreviewSchemeName)),
      m_previewSheet(std::make_unique<TSheet>(settings)),
      m_sheetForm(new TSheetForm(this)) {
    m_previewScheme->SetReadOnly(true);
    auto* visual = dynamic_cast<TVisualElement*>(m_previewScheme->Root());
    const TRect padding = m_previewSheet->Root()->GetPadding();
    visual->SetPosition(padding.Left, padding.Top);
    visual->SetVisualParent(m_previewSheet->Root());
    m_previewSheet->SetReadOnly(true);
    m_previewSheet->FocusFirst();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_sheetForm);
    m_sheetForm->AttachSheet(m_previewScheme.get(), m_previewSheet.get());
    m_sheetForm->RangeBox().SetBorderStyle(bsNone);
}

TRightSubForm::~TRightSubForm() {
    SetScheme(nullptr, nullptr);
    m_sheetForm->AttachSheet(nullptr, nullptr);
    delete m_sheetForm;
    m_previewSheet.reset();
    m_previewScheme.reset();
}

TRightFormRootElement& TRightSubForm::Root() const {
    return *static_cast<TRightFormRootElement*>(m_previewScheme->Root());
}

QString TRightSubForm::Text() const { return Root().GetText(); }

void TRightSubForm::Unhook() {
    if (m_thread) {
        m_thread->StopAndWait();
        m_thread.reset();
    }
    if (m_scheme) {
        if (TUndoRedo* undo = m_scheme->UndoRedo()) undo->RemoveHandler(MakeHandler<&TRightSubForm::UndoRedoMessage>(this));
        m_scheme->RemoveHandler(MakeHandler<&TRightSubForm::SchemeMessage>(this));
    }
    if (m_sheet) m_sheet->RemoveHandler(MakeHandler<&TRightSubForm::SheetMessage>(this));
}

void TRightSubForm::SetScheme(TScheme* scheme, TSheet* sheet) {
    if (scheme == m_scheme && sheet == m_sheet) return;
    Unhook();
    m_scheme = scheme;
    m_sheet = sheet;
    if (!m_scheme) return;
    if (TUndoRedo* undo = m_scheme->UndoRedo()) undo->AddHandler(MakeHandler<&TRightSubForm::UndoRedoMessage>(this));
    m_scheme->AddHandler(MakeHandler<&TRightSubForm::SchemeMessage>(this));
    if (m_sheet) m_sheet->AddHandler(MakeHandler<&TRightSubForm::SheetMessage>(this));
    m_thread = std::make_unique<TRightFormThread>(*m_scheme, m_sheet, Root(), *m_previewSheet, Hooks);
    m_thread->SetEditing(m_sheet && m_sheet->IsEditing());
    m_thread->RequestAtOnce();
    m_thread->start();
}

void TRightSubForm::UndoRedoMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (!m_thread) return;
    if (msg == TUndoRedo::urExecuted || msg == TUndoRedo::urUndone || msg == TUndoRedo::urRedone) m_thread->Request();
}

void TRightSubForm::SchemeMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    // A new file name renames the unit: no need to wait for the next edit.
    if (m_thread && msg == scFileNameChanged) m_thread->RequestAtOnce();
}

void TRightSubForm::SheetMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (!m_thread) return;
    if (msg == snEditState || msg == snFocus || msg == snFocusedState) m_thread->SetEditing(m_sheet->IsEditing());
}
