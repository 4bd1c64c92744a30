#include "pascal/driver/sheetDriver.h"

#if QUILLANE_TEST_LAYER >= 5

#include "core/cuKnot.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "support/testElements.h"
#include "support/testStop.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

// Keys typed this far apart join one undo step; a pause this long starts a new one.
constexpr int64_t kKeyPauseMs = 100;
constexpr int64_t kNewStepPauseMs = 1000;

// The key that types ch: a letter's capital (with Shift for a capital), a
// printable ASCII character or Enter itself, no key for the rest.
int KeyOf(QChar ch) {
    if (ch.unicode() >= 0x80) return vkNone;
    return ch.isLetter() ? ch.toUpper().unicode() : ch.unicode();
}

// "Name[3]" as ("Name", 3); "Name" as ("Name", 0).
std::pair<QString, int> SplitStep(const QString& step) {
    static const QRegularExpression indexed(QStringLiteral("^(.*)\\[(\\d+)\\]$"));
    const QRegularExpressionMatch match = indexed.match(step);
    if (!match.hasMatch()) return {step, 0};
    return {match.captured(1), match.captured(2).toInt()};
}

// The messages of kind 2 or more in a list, each "<prefix>: <text>".
void AddSevere(QStringList& out, const TElementMessages* list, const QString& prefix) {
    for (int i = 0; list && i < list->GetCount(); ++i)
        if (list->GetItem(i)->Kind() >= mkWarning) out << prefix + QStringLiteral(": ") + list->GetItem(i)->GetText();
}

QByteArray SnapshotBytes(TScheme* scheme) {
    TNodePtr<TKnot> knot = TKnot::Create();
    scheme->SaveRootToKnot(knot.get(), fmSnapshot, 0);
    return SchemeFileBytes(*knot);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) StopTest("cannot read " + path.toStdString());
    return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        StopTest("cannot write " + path.toStdString());
}

}  // namespace

TSheetDriver::TSheetDriver(const TElementClass* rootClass, const QString& schemeName)
    : m_previousClock(TClock::Install(&m_clock)),
      m_rootClass(rootClass),
      m_schemeName(schemeName),
      m_settings(MakeSheetSettings()),
      m_sheet(m_settings.get()),
      m_scheme(std::make_unique<TScheme>(rootClass, schemeName)) {
    m_scheme->SetUndoRedo(&m_history);
    m_scheme->SetMessages(&m_messages);
    Root()->SetVisualParent(m_sheet.Root());
    m_sheet.SetActive(true);
    {
        TSheetUpdate update(&m_sheet);
        m_sheet.Root()->UpdateLayout(true, true, false, false);
    }
    m_history.Clear();
}

TSheetDriver::~TSheetDriver() {
    m_scheme.reset();
    TClock::Install(m_previousClock);
}

TVisualElement* TSheetDriver::Root() const {
    return Found(dynamic_cast<TVisualElement*>(m_scheme->Root()), "a visual root");
}

// ---------------------------------------------------------------------------
// Places

TVisualElement* TSheetDriver::FindBy(const QString& path, TStepKind kind) const {
    TSchemeSaver filer(fmFile, nullptr, foSchemeFile);
    TElement* current = Root();
    for (const QString& step : path.split(u'/', Qt::SkipEmptyParts)) {
        const auto [name, index] = SplitStep(step);
        TElement* chosen = nullptr;
        int matches = 0;
        for (TNode* c = current->FirstChild(); c && !chosen; c = c->NextSibling()) {
            auto* element = dynamic_cast<TElement*>(c);
            if (!element) continue;
            QString stepName = element->ClassName();
            if (kind == TStepKind::StoredName) element->GetStoredName(&filer, stepName);
            const bool match = stepName == name;
            if (match && matches++ == index) chosen = element;
        }
        if (!chosen) return nullptr;
        current = chosen;
    }
    return dynamic_cast<TVisualElement*>(current);
}

TVisualElement* TSheetDriver::FindByClasses(const QString& path) const { return FindBy(path, TStepKind::ClassName); }
TVisualElement* TSheetDriver::FindByStoredNames(const QString& path) const { return FindBy(path, TStepKind::StoredName); }

TVisualElement* TSheetDriver::Place(const QString& classPath) const {
    return Found(FindByClasses(classPath), "the place \"" + classPath.toStdString() + "\"");
}

TVisualElement* TSheetDriver::StoredPlace(const QString& storedPath) const {
    return Found(FindByStoredNames(storedPath), "the stored place \"" + storedPath.toStdString() + "\"");
}

void TSheetDriver::Focus(TVisualElement* element) {
    if (auto* text = dynamic_cast<TTextorElement*>(element))
        text->FocusText(TTextFocusPlace::End);
    else
        element->SetFocus();
}

// ---------------------------------------------------------------------------
// The palette, as the palette form builds and runs it

TVisualElement* TSheetDriver::PaletteTarget(bool* selectionMode) const {
    TVisualElement* target = m_sheet.Active() ? m_sheet.Focused() : nullptr;
    if (selectionMode && target) {
        QList<TPaletteItem*> items;
        target->CollectPaletteItemsForSelection(items, *selectionMode);
    }
    return target;
}

std::vector<TPaletteEntry> TSheetDriver::PaletteEntries() const {
    std::vector<TPaletteEntry> entries;
    TVisualElement* target = PaletteTarget();
    if (!target) return entries;
    QList<TPaletteItem*> items;
    bool selectionMode = false;
    target->CollectPaletteItemsForSelection(items, selectionMode);
    std::stable_sort(items.begin(), items.end(),
                     [](const TPaletteItem* a, const TPaletteItem* b) { return a->Order() > b->Order(); });
    // The state comes from the target, or in selection mode from its first element in the selected text.
    TVisualElement* stateSource = target;
    if (selectionMode)
        for (TVisualElement* c = target->FirstVisualChild(); c; c = c->NextVisualSibling())
            if (c->IsInSelection()) {
                stateSource = c;
                break;
            }
    std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>> infos;
    for (TPaletteItem* item : items) {
        TPaletteItemInfo info = item->MakeInfo();
        target->AdjustPaletteItemInfo(item, info);
        infos.emplace_back(item, info);
    }
    auto entryFor = [&](TPaletteItem* item, const TPaletteItemInfo& info) {
        TPaletteEntry entry;
        entry.Item = item;
        entry.Caption = info.Caption;
        TPaletteItemState state;
        stateSource->GetItemState(item, state);
        entry.Enabled = item->IsEnabledFor(state, target->IsEffectivelyDisabled(), target->IsReadOnly());
        entry.Checked = state.Checked;
        return entry;
    };
    QList<TPaletteGroup*> groups;
    for (TNode* g = Palette()->FirstChild(); g; g = g->NextSibling())
        if (auto* group = dynamic_cast<TPaletteGroup*>(g)) groups << group;
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TPaletteGroup* a, const TPaletteGroup* b) { return a->Order() > b->Order(); });
    int unlettered = 0;
    for (TPaletteGroup* group : groups)
        for (const auto& [item, info] : infos) {
            if (info.Group != group) continue;
            TPaletteEntry button = entryFor(item, info);
            button.Button = true;
            button.Key = info.Letter.isEmpty() ? QString::number(++unlettered) : info.Letter;
            const size_t buttonAt = entries.size();
            entries.push_back(button);
            bool anyEntryEnabled = false;
            for (const auto& [sub, subInfo] : infos)
                if (subInfo.Group == item) {
                    entries.push_back(entryFor(sub, subInfo));
                    anyEntryEnabled = anyEntryEnabled || entries.back().Enabled;
                }
            // A button with a menu stays enabled only while an entry of its menu is.
            if (entries.size() > buttonAt + 1) entries[buttonAt].Enabled = entries[buttonAt].Enabled && anyEntryEnabled;
        }
    return entries;
}

const TPaletteEntry* TSheetDriver::EntryByCaption(const QString& caption, int occurrence) const {
    m_entries = PaletteEntries();
    for (const TPaletteEntry& entry : m_entries)
        if (entry.Caption == caption && occurrence-- == 0) return &entry;
    return nullptr;
}

bool TSheetDriver::Run(const TPaletteEntry& entry, const QString* subCommand) {
    auto* item = dynamic_cast<TSchemePaletteItem*>(entry.Item);
    if (!entry.Enabled || !item) return false;
    if (!subCommand && entry.Button && (item->Flags() & pifDropDown)) return false;  // it only opens its menu
    // The button's checked state after the click: a toggle turns over, a radio button goes down.
    bool checked = entry.Checked;
    if (item->Flags() & pifToggle) checked = !entry.Checked;
    if (item->Flags() & pifRadio) checked = true;
    bool selectionMode = false;
    TVisualElement* target = PaletteTarget(&selectionMode);
    if (!target) return false;
    m_sheet.FinishEditing();
    auto* sub = dynamic_cast<TSubExecutablePaletteItem*>(item);
    if (!selectionMode) {
        if (subCommand && sub)
            sub->ApplySub(target, *subCommand);
        else
            item->ExecuteFor(target, checked);
        return true;
    }
    QList<TElement*> list;
    for (TVisualElement* c = target->FirstVisualChild(); c; c = c->NextVisualSibling())
        if (c->IsInSelection()) list << c;
    std::optional<TSheetUpdate> update;
    if (!(item->Flags() & pifWithoutUpdate)) update.emplace(&m_sheet);
    TOperationGroupScope group(m_scheme.get());
    if (subCommand && sub)
        sub->ApplySubToList(list, *subCommand);
    else
        item->ExecuteForList(list, checked);
    group.End();
    if (update) update->End();
    return true;
}

bool TSheetDriver::Apply(const QString& caption, int occurrence) {
    const TPaletteEntry* entry = EntryByCaption(caption, occurrence);
    return entry && Run(*entry, nullptr);
}

bool TSheetDriver::ApplyKey(const QString& key) {
    m_entries = PaletteEntries();
    for (const TPaletteEntry& entry : m_entries)
        if (entry.Button && entry.Key == key) return Run(entry, nullptr);
    return false;
}

bool TSheetDriver::ApplySub(const QString& caption, const QString& subCaption) {
    const TPaletteEntry* entry = EntryByCaption(caption);
    auto* sub = entry ? dynamic_cast<TSubExecutablePaletteItem*>(entry->Item) : nullptr;
    TVisualElement* target = PaletteTarget();
    if (!sub || !target) return false;
    QList<std::pair<QString, QString>> subItems;
    sub->FillSubItems(target, subItems);
    for (const auto& [shown, command] : subItems)
        if (shown == subCaption) return Run(*entry, &command);
    return false;
}

void TSheetDriver::MustApply(const QString& caption, int occurrence) {
    if (!Apply(caption, occurrence))
        StopTest("the palette item \"" + caption.toStdString() + "\" (" + std::to_string(occurrence) + ") was refused");
}

void TSheetDriver::MustApplyKey(const QString& key) {
    if (!ApplyKey(key)) StopTest("the palette key \"" + key.toStdString() + "\" was refused");
}

// ---------------------------------------------------------------------------
// Keys and history

int TSheetDriver::Stroke(int key, TShiftState shift, QChar typed) {
    m_input.Modifiers = shift;
    int down = key;
    m_sheet.KeyDown(down, shift);
    if (!typed.isNull()) m_sheet.KeyPress(typed);
    int up = key;
    m_sheet.KeyUp(up, shift);
    m_input.Modifiers = 0;
    return down;
}

int TSheetDriver::Key(int key, TShiftState shift) { return Stroke(key, shift, QChar()); }

void TSheetDriver::Type(const QString& text) {
    int64_t pause = kNewStepPauseMs;
    for (QChar ch : text) {
        m_clock.Advance(pause);
        m_timers.Advance(pause);
        pause = kKeyPauseMs;
        Stroke(KeyOf(ch), ch.isUpper() ? ssShift : 0, ch);
    }
}

void TSheetDriver::SelectAll() {
    if (TVisualElement* focused = m_sheet.Focused(); focused && focused->CanSelectAll()) focused->SelectAll();
}

bool TSheetDriver::Undo() {
    m_sheet.FinishEditing();
    if (!m_history.CanUndo()) return false;
    m_history.Undo();
    return true;
}

bool TSheetDriver::Redo() {
    m_sheet.FinishEditing();
    if (!m_history.CanRedo()) return false;
    m_history.Redo();
    return true;
}

int TSheetDriver::UndoSteps() const { return m_history.UndoList()->ChildCount(); }

// ---------------------------------------------------------------------------
// Check, save, load

QStringList TSheetDriver::Check() {
    m_scheme->BeginMessages();
    for (TNode* node : PreOrder<TNode>(m_scheme->Root()))
        if (auto* element = dynamic_cast<TElement*>(node); element && element->Messages())
            m_messages.AddFrom(*element->Messages());
    m_scheme->EndMessages();
    QStringList severe;
    for (TNode* node : PreOrder<TNode>(m_scheme->Root()))
        if (auto* element = dynamic_cast<TElement*>(node))
            AddSevere(severe, element->Messages(), element->ClassName());
    return severe;
}

QByteArray TSheetDriver::Save(TStoreMode mode, const QString& fileName) {
    if (mode == TStoreMode::Snapshot) return SnapshotBytes(m_scheme.get());
    const QString path = FilePath(fileName);
    m_scheme->SaveToFile(path);
    return FileBytes(path);
}

TLoadedScheme TSheetDriver::Load(TStoreMode mode, const QByteArray& bytes, const QString& fileName) {
    TLoadedScheme loaded;
    loaded.Scheme = std::make_unique<TScheme>(m_rootClass, m_schemeName);
    // Connected files are asked for as the driver's scheme asks for them.
    loaded.Scheme->OnGetConnectedScheme = m_scheme->OnGetConnectedScheme;
    TElementMessages messages;
    loaded.Scheme->SetMessages(&messages);
    // The knot is read as the scheme's own loading reads it, and kept to ask what was left unread.
    TNodePtr<TKnot> knot = TKnot::Create();
    if (mode == TStoreMode::File) {
        const QString path = FilePath(fileName);
        WriteBytes(path, bytes);
        loaded.Scheme->SetFileName(path);
        knot->LoadFromFile(path);
    } else {
        knot->LoadFromBytes(bytes);
    }
    LoadSchemeKnot(loaded.Scheme.get(), knot.get(), mode == TStoreMode::File ? fmFile : fmSnapshot, &messages);
    QList<TKnot*> nodes;
    QList<TKnotParam*> params;
    knot->CollectUnread(&nodes, &params, false);
    for (TKnot* node : nodes) loaded.Unread << node->GetPath();
    for (TKnotParam* param : params) loaded.Unread << param->GetPath();
    AddSevere(loaded.Messages, &messages, QStringLiteral("load"));
    if (mode == TStoreMode::Snapshot) {
        loaded.Saved = SnapshotBytes(loaded.Scheme.get());
    } else {
        const QString again = FilePath(QStringLiteral("again-") + fileName);
        loaded.Scheme->SaveToFile(again);
        loaded.Saved = FileBytes(again);
    }
    loaded.Scheme->SetMessages(nullptr);
    return loaded;
}

#endif
