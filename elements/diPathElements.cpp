#include "elements/diPathElements.h"

#include "core/baAppCmpns.h"
#include "core/baDocum.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plClipboard.h"
#include "platform/plInput.h"
#include "platform/plShell.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "text/diHyperlinks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <memory>
#include <utility>

namespace {

const QString kPathValueAttribute = QStringLiteral("Value");
const QString kStoreAbsoluteAttribute = QStringLiteral("StoreAbsolute");
const QString kShowAbsoluteAttribute = QStringLiteral("ShowAbsolute");
constexpr QChar kPathDelimiter = u'/';
constexpr QStringView kCurrentFolderPrefix = u"./";

// Palette orders.
enum : int {
    kShowAbsoluteOrder = 70,
    kShowRelativeOrder = 65,
    kStoreAbsoluteOrder = 60,
    kStoreRelativeOrder = 55,
    kChooseOrder = 100,
    kLocationOrder = 150,
    kOpenOrder = 180,
    kInsertFileNameOrder = 90,
    kInsertFolderOrder = 80,
};

// The unit's state between InitPathElementsUnit and FinalPathElementsUnit.
struct TPathElementsUnit {
    TPathPaletteItems items;
    // Desktop icons in the element-glyph list; used on the user-interface thread only.
    std::unique_ptr<TFileIconCache> icons;
};
TPathElementsUnit g_pathUnit;

// The folder of the scheme's file with its delimiter; empty without a file name.
QString SchemeFolder(const TScheme* scheme) {
    if (!scheme) return {};
    const QString& name = scheme->FileName();
    const qsizetype delimiter = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return delimiter < 0 ? QString() : name.left(delimiter + 1);
}

// An entry of a scheme's folder list as a POSIX folder with its delimiter.
QString ListFolder(const QString& entry) {
    QString folder = entry;
    folder.replace(u'\\', kPathDelimiter);
    if (!folder.isEmpty() && !folder.endsWith(kPathDelimiter)) folder += kPathDelimiter;
    return folder;
}

// Only an absolute path names a target: a relative one would be looked up in
// the program's working folder, which has nothing to do with the scheme.
bool IsAbsoluteTarget(const QString& path) { return !path.isEmpty() && QDir::isAbsolutePath(path); }

bool OnUserInterfaceThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

// ---------------------------------------------------------------------------
// TCustomPathOrFileNameElement

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomPathOrFileNameElement, TVisualElement)

TCustomPathOrFileNameElement::TCustomPathOrFileNameElement() noexcept {
    InitOptions(Options() | eoValidated);
    InitVisualOptions(VisualOptions() | voPressable | voFocusable | voAcceptsPaste);
}

TCustomPathOrFileNameElement::~TCustomPathOrFileNameElement() = default;

void TCustomPathOrFileNameElement::Create() { TVisualElement::Create(); }

// Only an element shown on a sheet listens to its scheme (to re-measure when
// the file name changes): a scheme off any sheet, as a generator's private
// copy, has no handler to drop for each path element it frees.
void TCustomPathOrFileNameElement::Listen() {
    if (m_listened || !Sheet() || !Scheme()) return;
    m_listened = Scheme();
    m_listened->AddHandler(MakeHandler<&TCustomPathOrFileNameElement::SchemeMessage>(this));
}

void TCustomPathOrFileNameElement::StopListening() {
    // A scheme freed first has cut its elements loose (Scheme() is nil then).
    if (TScheme* scheme = std::exchange(m_listened, nullptr); scheme && scheme == Scheme())
        scheme->RemoveHandler(MakeHandler<&TCustomPathOrFileNameElement::SchemeMessage>(this));
}

void TCustomPathOrFileNameElement::DetachFromSheet() {
    StopListening();
    TVisualElement::DetachFromSheet();
}

void TCustomPathOrFileNameElement::BeforeDestruction() {
    StopListening();
    TVisualElement::BeforeDestruction();
}

void TCustomPathOrFileNameElement::SchemeMessage(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == scFileNameChanged && !ShowAbsolute()) UpdateSize();
}

void TCustomPathOrFileNameElement::SetValue(const QString& value) {
    QString normalized;
    NormalizeValue(value, normalized);
    if (normalized == m_value) return;
    m_value = normalized;
    Changed();
    UpdateSize();
    UpdateCaret();
}

void TCustomPathOrFileNameElement::SetFlag(uint8_t flag, bool on) {
    m_flags = on ? uint8_t(m_flags | flag) : uint8_t(m_flags & ~flag);
}

bool TCustomPathOrFileNameElement::AbsoluteForced() const noexcept {
    const TScheme* scheme = Scheme();
    return scheme && (scheme->Flags() & sfForceAbsolutePaths);
}

void TCustomPathOrFileNameElement::SetShowAbsolute(bool value) {
    if (value == ShowAbsoluteChosen()) return;
    SetFlag(pofShowAbsolute, value);
    UpdateSize();
    Invalidate();
}

void TCustomPathOrFileNameElement::SetStoreAbsolute(bool value) { SetFlag(pofStoreAbsolute, value); }

void TCustomPathOrFileNameElement::ChangeValue(const QString& value) {
    TSchemeOperation::Execute(MakeNode<TPathOrFileNameOperation>(this, value));
}

void TCustomPathOrFileNameElement::ChangeShowAbsolute(bool value) {
    if (value == ShowAbsoluteChosen() || (m_flags & pofShowFixed)) return;
    TSchemeOperation::Execute(MakeNode<TPathOrFileNameShowOperation>(this, value));
}

void TCustomPathOrFileNameElement::ChangeStoreAbsolute(bool value) {
    if (value == StoreAbsoluteChosen() || (m_flags & pofStoreFixed)) return;
    TSchemeOperation::Execute(MakeNode<TPathOrFileNameStoreOperation>(this, value));
}

QString TCustomPathOrFileNameElement::RelativeForm() const {
    TScheme* scheme = Scheme();
    if (!scheme || m_value.isEmpty()) return m_value;
    QString relative;
    const QStringList& folders = scheme->Strings();
    for (qsizetype i = folders.size() - 1; i >= 0; --i) {
        const QString folder = ListFolder(folders[i]);
        if (folder.isEmpty() || !m_value.startsWith(folder)) continue;
        MakeRelative(folder, m_value, relative);
        return relative;
    }
    const QString folder = SchemeFolder(scheme);
    if (folder.isEmpty()) return m_value;
    MakeRelative(folder, m_value, relative);
    return relative;
}

QString TCustomPathOrFileNameElement::DisplayedText() const { return ShowAbsolute() ? m_value : RelativeForm(); }

QString TCustomPathOrFileNameElement::ResolveStoredValue(const QString& stored) const {
    if (stored.isEmpty()) return stored;
    TScheme* scheme = Scheme();
    const QString folder = SchemeFolder(scheme);
    const QString candidate = folder.isEmpty() ? stored : ExpandRelativePath(folder, stored);
    if (!scheme || scheme->Strings().isEmpty() || Exists(candidate)) return candidate;
    const QStringList& folders = scheme->Strings();
    for (qsizetype i = folders.size() - 1; i >= 0; --i) {
        const QString listed = ListFolder(folders[i]);
        if (listed.isEmpty()) continue;
        const QString expanded = ExpandRelativePath(listed, stored);
        if (Exists(expanded)) return expanded;
    }
    return candidate;
}

bool TCustomPathOrFileNameElement::OpenTarget() {
    return !m_value.isEmpty() && OpenLocalFile(m_value) != TLinkOpening::Refused;
}

bool TCustomPathOrFileNameElement::WantsIcon() const {
    return (m_flags & pofShowIcon) && IsFilled() && Sheet() && g_pathUnit.icons && OnUserInterfaceThread();
}

int TCustomPathOrFileNameElement::GetThemeKind() const { return tekSubstitution; }

void TCustomPathOrFileNameElement::UpdateSize() {
    if (!Sheet() || IsBeingDestroyed()) return;
    Listen();
    TSheetCanvas* canvas = Sheet()->Canvas();
    const QSize size = canvas->MeasureImageText(GetThemeKind(), GetImageIndex() >= 0, DisplayedText());
    // The baseline of the text, which is centred as painted, stands on the row's.
    const int textTop = (size.height() - canvas->CodeLineHeight()) / 2;
    const int descent = size.height() - textTop - canvas->CodeLineHeight() +
                        Sheet()->Settings()->GetCodeTextAttributes()->GetDescent();
    SetBounds(Left(), Top(), size.width(), size.height(), descent);
}

void TCustomPathOrFileNameElement::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    UpdateSize();
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
}

void TCustomPathOrFileNameElement::Paint(TSheetCanvas& canvas) {
    const TRect client = GetClientRect();
    canvas.DrawThemeFrame(GetThemeKind(), client);
    canvas.DrawImageText(GetThemeKind(), client, DisplayedText(), GetImageIndex());
}

void TCustomPathOrFileNameElement::GetCaret(int& kind, TRect& rect) {
    kind = ckDoubleFocusRect;
    rect = GetClientRect();
}

void TCustomPathOrFileNameElement::KeyDown(int& key, TShiftState shift) {
    if (key == vkReturn && ExecuteDefaultAction()) {
        key = vkNone;
        return;
    }
    TVisualElement::KeyDown(key, shift);
}

void TCustomPathOrFileNameElement::DoubleClick() {
    TVisualElement::DoubleClick();
    if (!ExecuteDefaultAction()) SystemBeep();
}

bool TCustomPathOrFileNameElement::CanDelete() { return IsFilled() && !IsReadOnly(); }

void TCustomPathOrFileNameElement::DeleteContent() {
    if (CanDelete()) ChangeValue(QString());
}

bool TCustomPathOrFileNameElement::CanCopy() { return !m_value.isEmpty(); }

void TCustomPathOrFileNameElement::Copy() {
    if (CanCopy()) TClipboard::Current().SetText(m_value);
}

bool TCustomPathOrFileNameElement::Paste() {
    TClipboard& clipboard = TClipboard::Current();
    if (IsReadOnly() || !clipboard.HasText()) return false;
    ChangeValue(clipboard.Text());
    return true;
}

void TCustomPathOrFileNameElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TVisualElement::GetPaletteItems(list);
    const TPathPaletteItems& items = g_pathUnit.items;
    if (!items.ShowAbsolute || AbsoluteForced()) return;
    list << items.ShowAbsolute << items.ShowRelative << items.StoreAbsolute << items.StoreRelative;
}

void TCustomPathOrFileNameElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    const TPathPaletteItems& items = g_pathUnit.items;
    if (item == items.ShowAbsolute || item == items.ShowRelative) {
        state.Enabled = !(m_flags & pofShowFixed);
        state.Checked = ShowAbsolute() == (item == items.ShowAbsolute);
    } else if (item == items.StoreAbsolute || item == items.StoreRelative) {
        state.Enabled = !(m_flags & pofStoreFixed);
        state.Checked = StoreAbsolute() == (item == items.StoreAbsolute);
    } else {
        TVisualElement::UpdatePaletteItemState(item, state);
    }
}

bool TCustomPathOrFileNameElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    const TPathPaletteItems& items = g_pathUnit.items;
    if (item == items.ShowAbsolute || item == items.ShowRelative) {
        ChangeShowAbsolute(item == items.ShowAbsolute);
        return true;
    }
    if (item == items.StoreAbsolute || item == items.StoreRelative) {
        ChangeStoreAbsolute(item == items.StoreAbsolute);
        return true;
    }
    return TVisualElement::ApplyPaletteItem(item, subCommand, checked);
}

void TCustomPathOrFileNameElement::CheckContent() {
    TVisualElement::CheckContent();
    if (Exists(m_value)) return;
    GetMessages()->AddElementLinkMessage(mkInvalidContent,
                                         LoadStrFmt(MissingTargetMessage(), {SanitizeMessageText(m_value)}),
                                         QString::number(Number()));
}

void TCustomPathOrFileNameElement::WriteText(QString& builder) { builder += DisplayedText(); }

QString TCustomPathOrFileNameElement::ValueAttributeName(TSchemeFiler* filer) {
    return ValueAttributeIn(filer, kPathValueAttribute);
}

// Snapshots (undo, redo) keep the value as it is, like filers with option
// foPathsAsIs: a snapshot read back after the scheme was saved elsewhere must
// not resolve against the new folder.
void TCustomPathOrFileNameElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (StoreAbsoluteChosen() && !(m_flags & pofStoreFixed)) knot->WriteBool(kStoreAbsoluteAttribute, true);
    if (ShowAbsoluteChosen() && !(m_flags & pofShowFixed)) knot->WriteBool(kShowAbsoluteAttribute, true);
    if (m_value.isEmpty()) return;
    const bool asIs = StoreAbsolute() || saver->HasOption(foPathsAsIs) || saver->IsSnapshot();
    knot->WriteStr(ValueAttributeName(saver), asIs ? m_value : RelativeForm());
}

void TCustomPathOrFileNameElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    if (!(m_flags & pofStoreFixed)) SetStoreAbsolute(knot->ReadBool(kStoreAbsoluteAttribute, false));
    if (!(m_flags & pofShowFixed)) SetShowAbsolute(knot->ReadBool(kShowAbsoluteAttribute, false));
    const QString stored = knot->ReadStr(ValueAttributeName(loader));
    const bool asIs = StoreAbsolute() || loader->HasOption(foPathsAsIs) || loader->IsSnapshot();
    SetValue(asIs ? stored : ResolveStoredValue(stored));
}

// ---------------------------------------------------------------------------
// TCustomPathElement

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomPathElement, TCustomPathOrFileNameElement)

bool TCustomPathElement::Exists(const QString& path) const { return IsAbsoluteTarget(path) && QFileInfo(path).isDir(); }

bool TCustomPathElement::ExecuteDefaultAction() {
    if (IsFilled() && HasNoErrors()) return OpenTarget();
    if (IsReadOnly()) return false;
    ChooseFolder();
    return true;
}

bool TCustomPathElement::ChooseFolder() {
    QString folder = Value().isEmpty() ? SchemeFolder(Scheme()) : Value();
    if (!BrowseForFolder(LoadStr(strChoosingPath), QString(), folder)) return false;
    ChangeValue(folder);
    return true;
}

int TCustomPathElement::GetImageIndex() { return WantsIcon() ? g_pathUnit.icons->GetFolderIconIndex(Value()) : -1; }

void TCustomPathElement::NormalizeValue(const QString& in, QString& out) const {
    out = in;
    if (!out.isEmpty() && !EndsWithPathDelimiter(out)) out += kPathDelimiter;
}

void TCustomPathElement::MakeRelative(const QString& folder, const QString& path, QString& out) const {
    out = MakeRelativePath(folder, path);
}

int TCustomPathElement::MissingTargetMessage() const { return strPathDoesNotExist; }

void TCustomPathElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomPathOrFileNameElement::GetPaletteItems(list);
    const TPathPaletteItems& items = g_pathUnit.items;
    if (items.ChooseFolder) list << items.ChooseFolder << items.OpenFolder;
}

void TCustomPathElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (item == g_pathUnit.items.OpenFolder)
        state.Enabled = IsFilled();
    else if (item != g_pathUnit.items.ChooseFolder)
        TCustomPathOrFileNameElement::UpdatePaletteItemState(item, state);
}

bool TCustomPathElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (item == g_pathUnit.items.ChooseFolder) {
        ChooseFolder();
        return true;
    }
    if (item == g_pathUnit.items.OpenFolder) {
        if (!OpenTarget()) SystemBeep();
        return true;
    }
    return TCustomPathOrFileNameElement::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// TCustomFileNameElement

T_ELEMENT_CLASS_IMPL_ABSTRACT(TCustomFileNameElement, TCustomPathOrFileNameElement)

bool TCustomFileNameElement::Exists(const QString& path) const {
    return IsAbsoluteTarget(path) && QFileInfo(path).isFile();
}

bool TCustomFileNameElement::ExecuteDefaultAction() {
    if (IsFilled() && HasNoErrors()) return OpenTarget();
    if (IsReadOnly()) return false;
    ChooseFile();
    return true;
}

bool TCustomFileNameElement::ChooseFile() {
    TOpenSaveDialog dialog;
    SendNodeMessage(nmGetFileDialogFilters, reinterpret_cast<intptr_t>(&dialog.FileFilters));
    if (Exists(Value())) dialog.FileName = Value();
    if (!dialog.ExecuteOpen()) return false;
    ChangeValue(dialog.FileName);
    return true;
}

bool TCustomFileNameElement::ShowLocation() {
    if (!Exists(Value())) return false;
    TWaitScope wait;
    return ShellResult::Succeeded(TShell::Current().ShowItem(Value()));
}

int TCustomFileNameElement::GetImageIndex() { return WantsIcon() ? g_pathUnit.icons->GetFileIconIndex(Value()) : -1; }

void TCustomFileNameElement::MakeRelative(const QString& folder, const QString& path, QString& out) const {
    out = MakeRelativePath(folder, path);
    if (out.startsWith(kCurrentFolderPrefix)) out.remove(0, kCurrentFolderPrefix.size());
}

int TCustomFileNameElement::MissingTargetMessage() const { return strFileDoesNotExist; }

void TCustomFileNameElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomPathOrFileNameElement::GetPaletteItems(list);
    const TPathPaletteItems& items = g_pathUnit.items;
    if (items.ChooseFile) list << items.ChooseFile << items.Location << items.OpenFile;
}

void TCustomFileNameElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    const TPathPaletteItems& items = g_pathUnit.items;
    if (item == items.Location || item == items.OpenFile)
        state.Enabled = IsFilled();
    else if (item != items.ChooseFile)
        TCustomPathOrFileNameElement::UpdatePaletteItemState(item, state);
}

bool TCustomFileNameElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    const TPathPaletteItems& items = g_pathUnit.items;
    if (item == items.ChooseFile) {
        ChooseFile();
        return true;
    }
    if (item == items.Location || item == items.OpenFile) {
        const bool done = item == items.Location ? ShowLocation() : OpenTarget();
        if (!done) SystemBeep();
        return true;
    }
    return TCustomPathOrFileNameElement::ApplyPaletteItem(item, subCommand, checked);
}

// ---------------------------------------------------------------------------
// The concrete kinds

namespace {
// The kind's hint followed by the inherited one.
void JoinHints(int kindHint, QString& text) {
    const QString inherited = text;
    text = LoadStr(kindHint);
    if (!inherited.isEmpty()) text += QLatin1Char(' ') + inherited;
}
}  // namespace

T_ELEMENT_CLASS_IMPL(TElement_Path, TCustomPathElement)

TElement_Path::TElement_Path() noexcept {
    InitOptions(Options() | eoRequired);
    InitVisualOptions(VisualOptions() | voCanDisable);
}

void TElement_Path::GetHint(QString& text) {
    TCustomPathElement::GetHint(text);
    JoinHints(strPathElementHint, text);
}

T_ELEMENT_CLASS_IMPL(TElement_FileName, TCustomFileNameElement)

TElement_FileName::TElement_FileName() noexcept {
    InitOptions(Options() | eoRequired);
    InitVisualOptions(VisualOptions() | voCanDisable);
}

void TElement_FileName::GetHint(QString& text) {
    TCustomFileNameElement::GetHint(text);
    JoinHints(strFileNameElementHint, text);
}

T_ELEMENT_CLASS_IMPL(TFileNameField, TCustomFileNameElement)

TFileNameField::TFileNameField() noexcept { InitOptions(Options() | eoStoredInParentNode); }

int TFileNameField::GetThemeKind() const { return tekField; }

// ---------------------------------------------------------------------------
// Operations

T_CLASS_IMPL_ABSTRACT(TPathOrFileNameOperation, TElementOperation)

TPathOrFileNameOperation::TPathOrFileNameOperation(TCustomPathOrFileNameElement* element, const QString& newValue)
    : TElementOperation(element, true), m_newValue(newValue) {}

void TPathOrFileNameOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element);
    if (!path) return;
    m_oldValue = path->Value();
    path->SetValue(m_newValue);
}

void TPathOrFileNameOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element)) path->SetValue(m_oldValue);
}

T_CLASS_IMPL_ABSTRACT(TPathOrFileNameShowOperation, TElementOperation)

TPathOrFileNameShowOperation::TPathOrFileNameShowOperation(TCustomPathOrFileNameElement* element,
                                                           bool newShowAbsolute)
    : TElementOperation(element, false), m_newShowAbsolute(newShowAbsolute) {}

void TPathOrFileNameShowOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element);
    if (!path) return;
    m_oldShowAbsolute = path->ShowAbsoluteChosen();
    path->SetShowAbsolute(m_newShowAbsolute);
}

void TPathOrFileNameShowOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element)) path->SetShowAbsolute(m_oldShowAbsolute);
}

T_CLASS_IMPL_ABSTRACT(TPathOrFileNameStoreOperation, TElementOperation)

TPathOrFileNameStoreOperation::TPathOrFileNameStoreOperation(TCustomPathOrFileNameElement* element,
                                                             bool newStoreAbsolute)
    : TElementOperation(element, false), m_newStoreAbsolute(newStoreAbsolute) {}

void TPathOrFileNameStoreOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element);
    if (!path) return;
    m_oldStoreAbsolute = path->StoreAbsoluteChosen();
    path->SetStoreAbsolute(m_newStoreAbsolute);
}

void TPathOrFileNameStoreOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* path = dynamic_cast<TCustomPathOrFileNameElement*>(element)) path->SetStoreAbsolute(m_oldStoreAbsolute);
}

// ---------------------------------------------------------------------------
// The unit

const TPathPaletteItems& PathPaletteItems() noexcept { return g_pathUnit.items; }

void InitPathElementsUnit() {
    TPathPaletteItems& items = g_pathUnit.items;
    TPaletteGroup* options = PaletteOptionsGroup();
    constexpr uint16_t choiceFlags = pifToggle | pifChangesElement;
    items.ShowAbsolute = TSchemePaletteItem::Create(options, choiceFlags, NoImageIndex, strShowAbsolute,
                                                    strShowAbsolutePath, kShowAbsoluteOrder);
    items.ShowRelative = TSchemePaletteItem::Create(options, choiceFlags, NoImageIndex, strShowRelative,
                                                    strShowPathRelativeDocument, kShowRelativeOrder);
    items.StoreAbsolute = TSchemePaletteItem::Create(options, choiceFlags, NoImageIndex, strStoreAbsolute,
                                                     strStoreAbsolutePath, kStoreAbsoluteOrder);
    items.StoreRelative = TSchemePaletteItem::Create(options, choiceFlags, NoImageIndex, strStoreRelative,
                                                     strStorePathRelativeDocument, kStoreRelativeOrder);
    TPaletteGroup* actions = PaletteActionsGroup();
    items.ChooseFolder = TSchemePaletteItem::Create(actions, pifChangesElement, NoImageIndex, strChoose,
                                                    strChoosePathFileSystem, kChooseOrder);
    items.OpenFolder = TSchemePaletteItem::Create(actions, 0, NoImageIndex, strOpen, strOpenFolder, kOpenOrder);
    items.ChooseFile =
        TSchemePaletteItem::Create(actions, pifChangesElement, NoImageIndex, strChoose, strChooseFile, kChooseOrder);
    items.Location = TSchemePaletteItem::Create(actions, 0, NoImageIndex, strLocation, strOpenWindowsExplorerSelect,
                                                kLocationOrder);
    items.OpenFile = TSchemePaletteItem::Create(actions, 0, NoImageIndex, strOpen, strOpenFile, kOpenOrder);
    items.InsertFileName = TElementPaletteItem::Create(PaletteOtherAdditionalItem(), 0, NoImageIndex, strFileName,
                                                       strFileNameHint, kInsertFileNameOrder,
                                                       TElement_FileName::StaticClass());
    items.InsertFolder = TElementPaletteItem::Create(PaletteOtherAdditionalItem(), 0, NoImageIndex, strFolder,
                                                     strFolderHint, kInsertFolderOrder, TElement_Path::StaticClass());
    TClassesGroups::TGroup& inlineValues = ClassesGroups().GetGroup(cgInlineValueElements);
    AddItemOnce(inlineValues, TElement_FileName::StaticClass());
    AddItemOnce(inlineValues, TElement_Path::StaticClass());
    g_pathUnit.icons = std::make_unique<TFileIconCache>(SchemeCharImages());
}

void FinalPathElementsUnit() {
    RemoveItems(ClassesGroups().GetGroup(cgInlineValueElements),
                {TElement_FileName::StaticClass(), TElement_Path::StaticClass()});
    g_pathUnit = TPathElementsUnit();
}
