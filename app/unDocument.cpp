#include "app/unDocument.h"

#include "core/cuKnot.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "elements/coRoot.h"
#include "elements/diLog.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"

#include <algorithm>

namespace {
const QString kSheetData = QStringLiteral("SheetData");

// Places the tree at the top-left corner inside the padding of the sheet's
// root, keeping its size, and shows it there.
void ShowOnSheet(TElement* tree, TSheet& sheet) {
    auto* visual = dynamic_cast<TVisualElement*>(tree);
    if (!visual) return;
    const TRect padding = sheet.Root()->GetPadding();
    visual->SetPosition(padding.Left, padding.Top);
    visual->SetVisualParent(sheet.Root());
}
}  // namespace

// ---------------------------------------------------------------------------
// TSchemeDocument

T_CLASS_IMPL_ABSTRACT(TSchemeDocument, TDocument)

TSchemeDocument::TSchemeDocument(const TSchemeDescriptor& descriptor, TSheetSettings* settings,
                                 TConnectedDocuments* connected)
    : m_descriptor(descriptor),
      m_settings(settings),
      m_sheetData(TKnot::Create(kSheetData)),
      m_logScheme(std::make_unique<TScheme>(TLogRoot::StaticClass(), QStringLiteral("Log"))) {
    m_logScheme->SetReadOnly(true);
    m_scheme = std::make_unique<TScheme>(descriptor.GetRootClass(), descriptor.GetKindName());
    if (TLogRoot* log = LogRoot()) m_scheme->SetMessages(&log->Messages());
    m_scheme->SetUndoRedo(&UndoRedo());
    if (connected)
        m_scheme->OnGetConnectedScheme = [connected](TScheme*, const QString& fileName, TScheme*& scheme) {
            scheme = connected->GetConnectedSchemeDocument(fileName);
        };
    m_scheme->AddHandler(MakeHandler<&TSchemeDocument::SchemeMessage>(this));
}

TSchemeDocument::~TSchemeDocument() {
    m_mainSheet = nullptr;
    m_sheets.clear();
    m_sheetData.reset();
    m_scheme->RemoveHandler(MakeHandler<&TSchemeDocument::SchemeMessage>(this));
    m_scheme.reset();
    m_logSheet.reset();
    m_logScheme.reset();
}

TLogRoot* TSchemeDocument::LogRoot() const noexcept { return static_cast<TLogRoot*>(m_logScheme->Root()); }

QString TSchemeDocument::GetUntitledName() const { return m_descriptor.GetUntitledName(); }

void TSchemeDocument::InitNewContent() {
    TWaitScope wait;
    m_descriptor.InitNewRoot(m_scheme.get());
}

void TSchemeDocument::LoadFromFile(const QString& fileName) { m_scheme->LoadFromFile(fileName); }

void TSchemeDocument::SaveToFile(const QString& fileName) {
    const QString oldName = m_scheme->FileName();
    try {
        m_scheme->SaveToFile(fileName);
    } catch (...) {
        m_scheme->SetFileName(oldName);
        throw;
    }
}

void TSchemeDocument::RestoreState(TKnot* knot) {
    TKnot* stored = knot->FindOrAddChild(kSheetData);
    if (m_mainSheet)
        m_mainSheet->LoadState(stored);
    else
        m_sheetData->Assign(*stored);
}

void TSchemeDocument::StoreState(TKnot* knot) {
    if (UndoRedo().CanUndo()) return;
    TKnot* stored = knot->FindOrAddChild(kSheetData);
    stored->Clear();
    stored->SetName(kSheetData);
    if (m_mainSheet)
        m_mainSheet->SaveState(stored);
    else
        stored->Assign(*m_sheetData);
}

void TSchemeDocument::ActiveChanging() {
    TDocument::ActiveChanging();
    if (!m_mainSheet && !Active()) CreateSheets();
}

void TSchemeDocument::CreateSheets() {
    TWaitScope wait;
    m_logSheet = std::make_unique<TSheet>(m_settings);
    ShowOnSheet(m_logScheme->Root(), *m_logSheet);
    m_logSheet->SetReadOnly(true);
    m_logSheet->FocusFirst();

    m_sheets.push_back(std::make_unique<TSheet>(m_settings));
    m_mainSheet = m_sheets.back().get();
    ShowOnSheet(m_descriptor.GetRoot(m_scheme.get()), *m_mainSheet);
    m_descriptor.FocusNewRoot(m_mainSheet);
    m_mainSheet->LoadState(m_sheetData.get());
    UpdateReadOnly();
}

void TSchemeDocument::SchemeMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == scReadOnlyChanged) UpdateReadOnly();
}

void TSchemeDocument::UpdateReadOnly() {
    for (const auto& sheet : m_sheets) sheet->SetReadOnly(m_scheme->ReadOnly());
}

// ---------------------------------------------------------------------------
// Scheme kinds by file extension

const TSchemeDescriptor* FindSchemeDescriptor(const QString& fileName) {
    const QString ext = ExtractFileExtNoDot(fileName);
    const QList<const TSchemeDescriptor*>& kinds = SchemeDescriptors().Items();
    for (auto it = kinds.crbegin(); it != kinds.crend(); ++it)
        if ((*it)->GetFileExtension().compare(ext, Qt::CaseInsensitive) == 0) return *it;
    return nullptr;
}

// ---------------------------------------------------------------------------
// TConnectedDocuments

TConnectedDocuments::~TConnectedDocuments() {
    m_opening = 0;
    ReleaseUnusedConnectedDocuments();
    // What is left depends on one another in a ring; the namespaces let go
    // of the connections into them as they go.
    while (!m_entries.empty()) TakeEntry(m_entries.begin()).reset();
}

std::unique_ptr<TConnectedDocuments::TEntry> TConnectedDocuments::TakeEntry(
    std::vector<std::unique_ptr<TEntry>>::iterator at) {
    std::unique_ptr<TEntry> entry = std::move(*at);
    m_entries.erase(at);
    return entry;
}

TConnectedDocuments::TEntry* TConnectedDocuments::Find(const QString& fileName) const {
    for (const auto& entry : m_entries)
        if (SameFileName(entry->fileName, fileName)) return entry.get();
    return nullptr;
}

TSchemeDocument* TConnectedDocuments::Document(const QString& fileName) const {
    const TEntry* entry = Find(fileName);
    return entry ? entry->document.get() : nullptr;
}

TScheme* TConnectedDocuments::GetConnectedSchemeDocument(const QString& fileName) {
    if (const TEntry* entry = Find(fileName)) return entry->document ? entry->document->Scheme() : nullptr;
    m_entries.push_back(std::make_unique<TEntry>(TEntry{fileName, nullptr}));
    TEntry* entry = m_entries.back().get();
    const TSchemeDescriptor* descriptor = FindSchemeDescriptor(fileName);
    if (!descriptor) return nullptr;
    // Each file of a chain opens inside the one that asked for it.
    if (m_opening >= kMaxOpeningDepth)
        throw Exception::FromId(strConnectedFilesTooDeep, {QString::number(kMaxOpeningDepth), fileName});
    auto document = std::make_unique<TSchemeDocument>(*descriptor, m_settings, this);
    {
        const TOpening opening(m_opening);
        document->Open(fileName);
    }
    entry->document = std::move(document);
    return entry->document->Scheme();
}

void TConnectedDocuments::ReleaseUnusedConnectedDocuments() {
    if (m_opening > 0) return;
    for (;;) {
        const auto unused = std::find_if(m_entries.begin(), m_entries.end(), [](const auto& entry) {
            return !entry->document || !entry->document->Scheme()->HasDependentSchemes();
        });
        if (unused == m_entries.end()) return;
        TakeEntry(unused).reset();
    }
}
