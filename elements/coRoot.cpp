#include "elements/coRoot.h"

#include "core/baAppCmpns.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "scheme/diCanvas.h"
#include "scheme/diPalette.h"
#include "scheme/diSheet.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"

#include <QFileInfo>

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>

T_ELEMENT_CLASS_IMPL_ABSTRACT(TInsideValueElement, TNameElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TApplicationValueElement, TInsideValueElement)
T_ELEMENT_CLASS_IMPL(TApplicationNameValueElement, TApplicationValueElement)
T_ELEMENT_CLASS_IMPL(TApplicationVersionValueElement, TApplicationValueElement)
T_ELEMENT_CLASS_IMPL(TSchemeSourcePathValueElement, TInsideValueElement)
T_ELEMENT_CLASS_IMPL(TSchemeSourceNameValueElement, TInsideValueElement)
T_ELEMENT_CLASS_IMPL(TRoot, TTextorElement)
T_ELEMENT_CLASS_IMPL(TFileConnectionNameField, TTitledNameField)
T_ELEMENT_CLASS_IMPL(TFileConnectionFileNameField, TFileNameField)
T_ELEMENT_CLASS_IMPL(TConnectionToFile, TNamedNamespaceConnection)
T_ELEMENT_CLASS_IMPL(TElement_FileConnection, TNamedElement)

namespace {

const QString kGeneralNamespaceChild = QStringLiteral("GeneralElementsNamespace");
const QString kSourcePathChild = QStringLiteral("SourcePathValue");
const QString kSourceNameChild = QStringLiteral("SourceNameValue");
const QString kFileNameChild = QStringLiteral("FileName");
const QString kConnectionChild = QStringLiteral("ConnectionToFile");
// Only this kind of element passes into a file from a third one.
const QString kPassedFromThirdFileClass = QStringLiteral("TElement_Condition");

const QString kRootCharImages = QStringLiteral("coStdRootsCharImages");
const QString kRootSmallImages = QStringLiteral("coStdRootsSmallImages");
// Pictures of the 12 x 12 strip: the file connection's name, the built-in values.
constexpr int kConnectionCharPicture = 0;
constexpr int kInsideValueCharPicture = 1;
constexpr int kConnectionSmallPicture = 0;
constexpr int kFileConnectionItemOrder = 100;

// What the unit makes at start-up and frees at the end.
struct TRootUnit {
    TSchemeDescriptorRegistry registry;
    std::unique_ptr<TScheme> valuesScheme;
    TNodePtr<TNamespace> valuesNamespace;
    TImageStrip charImages;
    TImageStrip smallImages;
    TPaletteItem* connectionItem = nullptr;
};
std::unique_ptr<TRootUnit> g_rootUnit;

// Read by every thread; set by the application before any thread starts.
std::atomic<int> g_productNameId{strProductName};
struct TVersionText {
    std::mutex lock;
    QString text;
};
TVersionText& VersionText() {
    static TVersionText version;
    return version;
}

// The namespace of the nearest ancestor that offers one; nil.
TNamespace* NearestOwnerNamespace(TElement* element) {
    for (TElement* e = element->ParentElement(); e; e = e->ParentElement())
        if (auto* owner = dynamic_cast<INamespaceOwner*>(e)) return owner->GetNamespace();
    return nullptr;
}

QString WithTrailingDelimiter(const QString& folder) {
    return EndsWithPathDelimiter(folder) ? folder : folder + QLatin1Char('/');
}

}  // namespace

// ---------------------------------------------------------------------------
// TImageStrip

TImageStrip TImageStrip::Load(TSchemeImages& list, const QString& resource) {
    TImageStrip strip;
    const int before = list.Count();
    const int first = list.AddResourceImage(resource);
    if (list.Count() > before) strip.m_first = first;
    return strip;
}

int TImageStrip::Picture(int picture) const noexcept { return m_first < 0 ? NoImageIndex : m_first + picture; }

// ---------------------------------------------------------------------------
// TSchemeDescriptor

TElement* TSchemeDescriptor::GetRoot(TScheme* scheme) const { return scheme ? scheme->Root() : nullptr; }

void TSchemeDescriptor::InitNewRoot(TScheme* scheme) const {
    if (TElement* root = GetRoot(scheme)) root->InitNewTree(nullptr);
}

void TSchemeDescriptor::FocusNewRoot(TSheet* sheet) const {
    if (sheet) sheet->FocusFirst();
}

// ---------------------------------------------------------------------------
// TSchemeDescriptorRegistry

void TSchemeDescriptorRegistry::Register(const TSchemeDescriptor& descriptor) {
    if (m_items.contains(&descriptor)) return;
    const int order = descriptor.GetOrder();
    qsizetype at = 0;
    while (at < m_items.size() && m_items[at]->GetOrder() >= order) ++at;
    m_items.insert(at, &descriptor);
}

const TSchemeDescriptor* TSchemeDescriptorRegistry::StartupKind() const {
    for (const TSchemeDescriptor* descriptor : m_items)
        if (descriptor->IsFileDialogKind() && !descriptor->IsAuxiliary()) return descriptor;
    return nullptr;
}

void TSchemeDescriptorRegistry::AddDocumentFilters(TFileFilters& filters) const {
    for (const TSchemeDescriptor* descriptor : m_items) {
        if (!descriptor->IsFileDialogKind()) continue;
        const QString ext = descriptor->GetFileExtension();
        if (!filters.FindByExt(ext)) filters.AddFilter(ext, descriptor->GetName());
    }
}

void TSchemeDescriptorRegistry::AddConnectableFilters(TFileFilters& filters) const {
    for (const TSchemeDescriptor* descriptor : m_items) {
        const TElementClass* rootClass = descriptor->GetRootClass();
        if (descriptor->IsFileDialogKind() && rootClass && rootClass->InheritsFrom(TRoot::StaticClass()))
            filters.AddFilter(descriptor->GetFileExtension(), descriptor->GetName());
    }
}

void TSchemeDescriptorRegistry::RunCommandLineOperations(const TSchemeDescriptor& descriptor, TElement* root,
                                                         TCommandLine& commandLine) {
    TCommandLineOperations operations;
    descriptor.GetCommandLineOperations(operations);
    for (const auto& [name, id] : operations) {
        if (!commandLine.HasSwitch(QLatin1Char('-') + name)) continue;
        QStringList names;
        descriptor.GetOperationParameters(id, names);
        QStringList parameters;
        for (const QString& parameter : names) {
            QString value;
            if (commandLine.GetOption(parameter, value)) parameters << parameter + QLatin1Char('=') + value;
        }
        descriptor.ExecuteOperation(root, id, parameters);
    }
}

TSchemeDescriptorRegistry& SchemeDescriptors() {
    Q_ASSERT(g_rootUnit);
    return g_rootUnit->registry;
}

void RegisterSchemeDescriptor(const TSchemeDescriptor& descriptor) { SchemeDescriptors().Register(descriptor); }

// ---------------------------------------------------------------------------
// Built-in values

int TInsideValueElement::GetImageIndex() {
    return g_rootUnit ? g_rootUnit->charImages.Picture(kInsideValueCharPicture) : NoImageIndex;
}

int TInsideValueElement::GetItemFlags() { return int(nifOverridable) | int(nifShiftOnly); }

int TApplicationValueElement::GetItemFlags() { return TInsideValueElement::GetItemFlags() | nifListedLast; }

int TApplicationValueElement::GetVisibility() { return int(TVisibility::Private); }

QString TApplicationNameValueElement::GetValueName() { return QStringLiteral("ApplicationName"); }
QString TApplicationNameValueElement::GetDescription() { return LoadStr(strApplicationName); }
QString TApplicationNameValueElement::GetValue() { return LoadStr(g_productNameId.load(std::memory_order_relaxed)); }

QString TApplicationVersionValueElement::GetValueName() { return QStringLiteral("ApplicationVersion"); }
QString TApplicationVersionValueElement::GetDescription() { return LoadStr(strApplicationVersion); }
QString TApplicationVersionValueElement::GetValue() { return ApplicationVersion(); }

QString TSchemeSourcePathValueElement::GetValueName() { return QStringLiteral("SourcePath"); }
QString TSchemeSourcePathValueElement::GetDescription() { return LoadStr(strPathSourceFileIts); }
QString TSchemeSourcePathValueElement::GetValue() {
    const QString fileName = Scheme() ? Scheme()->FileName() : QString();
    if (fileName.isEmpty()) return WithTrailingDelimiter(GetTempDir());
    return WithTrailingDelimiter(QFileInfo(fileName).absolutePath());
}

QString TSchemeSourceNameValueElement::GetValueName() { return QStringLiteral("SourceName"); }
QString TSchemeSourceNameValueElement::GetDescription() { return LoadStr(strSourceFileNameWithout); }
QString TSchemeSourceNameValueElement::GetValue() {
    const QString fileName = Scheme() ? Scheme()->FileName() : QString();
    return fileName.isEmpty() ? LoadStr(strUnsaved) : ExtractFileBaseName(fileName);
}

void SetApplicationNameStringId(int id) noexcept { g_productNameId.store(id, std::memory_order_relaxed); }

void SetApplicationVersion(const QString& version) {
    TVersionText& v = VersionText();
    std::lock_guard lock(v.lock);
    v.text = version;
}

QString ApplicationVersion() {
    TVersionText& v = VersionText();
    std::lock_guard lock(v.lock);
    return v.text;
}

TNamespace* ApplicationValuesNamespace() noexcept { return g_rootUnit ? g_rootUnit->valuesNamespace.get() : nullptr; }

// ---------------------------------------------------------------------------
// TRoot

void TRoot::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kRootTextorOptions);
    SetRestrictions(kRootTextRestrictions);
    m_namespace = TElement::CreateSubElement<TNamespace>(this);
    m_sourcePath = TElement::CreateSubElement<TSchemeSourcePathValueElement>(this);
    m_sourceName = TElement::CreateSubElement<TSchemeSourceNameValueElement>(this);
}

void TRoot::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (!child) {
        TTextorElement::GetChildName(child, filer, name);
    } else if (child == m_namespace) {
        name = kGeneralNamespaceChild;
    } else if (child == m_sourcePath) {
        name = kSourcePathChild;
    } else if (child == m_sourceName) {
        name = kSourceNameChild;
    } else {
        TTextorElement::GetChildName(child, filer, name);
    }
}

TRect TRoot::GetPadding() {
    ISheet* sheet = Sheet();
    return sheet ? sheet->Canvas()->GetThemePadding(tekSheet) : TTextorElement::GetPadding();
}

void TRoot::BeforeDestruction() {
    TTextorElement::BeforeDestruction();
    m_sourceName = nullptr;
    m_sourcePath = nullptr;
    m_namespace = nullptr;
}

// ---------------------------------------------------------------------------
// TFileConnectionNameField

TElement_FileConnection* TFileConnectionNameField::Connection() const noexcept {
    return dynamic_cast<TElement_FileConnection*>(Parent());
}

void TFileConnectionNameField::Create() {
    TTitledNameField::Create();
    SetNameOptions(NameOptions() | noAutoname);
    if (g_rootUnit) SetImageIndex(g_rootUnit->charImages.Picture(kConnectionCharPicture));
}

QString TFileConnectionNameField::GetAutoName() {
    TElement_FileConnection* connection = Connection();
    TFileConnectionFileNameField* field = connection ? connection->FileNameField() : nullptr;
    return field ? ExtractFileBaseName(field->FileName()) : QString();
}

void TFileConnectionNameField::TextChanged() {
    TTitledNameField::TextChanged();
    if (TElement_FileConnection* connection = Connection()) connection->NameFieldChanged();
}

bool TFileConnectionNameField::CanAutoName() {
    TElement_FileConnection* connection = Connection();
    return connection && connection->FileNameField() && connection->FileNameField()->IsFilled();
}

// ---------------------------------------------------------------------------
// TFileConnectionFileNameField

TFileConnectionFileNameField::TFileConnectionFileNameField() noexcept { InitOptions(Options() | eoRequired); }

TElement_FileConnection* TFileConnectionFileNameField::Connection() const noexcept {
    return dynamic_cast<TElement_FileConnection*>(Parent());
}

void TFileConnectionFileNameField::NormalizeValue(const QString& in, QString& out) const {
    out = ResolveStoredValue(in.trimmed());
}

void TFileConnectionFileNameField::Changed() {
    TFileNameField::Changed();
    if (TElement_FileConnection* connection = Connection()) connection->UpdateConnection();
}

void TFileConnectionFileNameField::CheckContent() {
    TElement_FileConnection* connection = Connection();
    const bool failed = connection && connection->ConnectFailed();
    const bool reached = connection && connection->ConnectionToFile() && connection->ConnectionToFile()->Target();
    if (!failed && !reached) {
        TFileNameField::CheckContent();
        return;
    }
    TVisualElement::CheckContent();
    if (failed)
        GetMessages()->AddElementLinkMessage(mkError, SanitizeMessageText(connection->ConnectError()),
                                             QString::number(Number()));
}

// ---------------------------------------------------------------------------
// TConnectionToFile

TConnectionToFile::TConnectionToFile() noexcept = default;

void TConnectionToFile::Create() {
    TNamedNamespaceConnection::Create();
    SetFilter(ncfPublicOnly);
}

TElement_FileConnection* TConnectionToFile::Connection() const noexcept {
    return dynamic_cast<TElement_FileConnection*>(Parent());
}

TNamespaceItem* TConnectionToFile::GetNameItem() {
    TElement_FileConnection* connection = Connection();
    TNameField* field = connection ? connection->NameField() : nullptr;
    return field ? field->Item() : nullptr;
}

bool TConnectionToFile::AcceptsItem(TNamespaceItem* item) {
    if (!TNamedNamespaceConnection::AcceptsItem(item)) return false;
    TElement* element = item->GetElement();
    TScheme* from = element ? element->Scheme() : nullptr;
    if (!from) return false;
    if (Target() && from == Target()->Scheme()) return true;
    const QString here = Scheme() ? Scheme()->FileName() : QString();
    return from->FileName() != here && element->ElementClass()->Name() == kPassedFromThirdFileClass;
}

// ---------------------------------------------------------------------------
// TElement_FileConnection

void TElement_FileConnection::Create() {
    TNamedElement::Create();
    CreateDescriptionField();
    SetStyleFlags(StyleFlags() | tsTechnical);
    m_fileNameField = static_cast<TFileConnectionFileNameField*>(
        TVisualElement::CreateSubElement(TFileConnectionFileNameField::StaticClass(), this, nullptr, this));
    m_connection = TElement::CreateSubElement<TConnectionToFile>(this);
}

const TElementClass* TElement_FileConnection::GetNameFieldClass() { return TFileConnectionNameField::StaticClass(); }

void TElement_FileConnection::UpdateConnection() {
    if (!m_connection || IsBeingDestroyed()) return;
    TScheme* scheme = Scheme();
    const QString fileName = m_fileNameField ? m_fileNameField->FileName() : QString();
    TScheme* connected = nullptr;
    bool failed = false;
    QString error;
    if (!IsEffectivelyDisabled() && scheme && scheme->OnGetConnectedScheme && !fileName.isEmpty()) {
        try {
            connected = scheme->GetConnectedScheme(fileName);
        } catch (...) {
            connected = nullptr;
            failed = true;
            error = CurrentExceptionText();
        }
    }
    auto* owner = connected ? dynamic_cast<INamespaceOwner*>(connected->Root()) : nullptr;
    TNamespace* target = owner ? owner->GetNamespace() : nullptr;
    const bool targetChanged = target != m_connection->Target();
    m_connection->SetTarget(target);
    if (!targetChanged && failed == m_connectFailed && error == m_connectError) return;
    m_connectFailed = failed;
    m_connectError = error;
    if (m_fileNameField) m_fileNameField->CheckAll();
}

void TElement_FileConnection::NameFieldChanged() {
    TNamedElement::NameFieldChanged();
    if (m_connection && NameField()) m_connection->SetPrefix(NameField()->GetText());
}

void TElement_FileConnection::WriteTitle(TTitleWriter& writer) {
    TNamedElement::WriteTitle(writer);
    if (NameField()) writer.AddField(NameField(), TTitleAlign::Centre);
    if (m_fileNameField) writer.AddField(m_fileNameField, TTitleAlign::Centre);
}

void TElement_FileConnection::FocusFirst() {
    if (m_fileNameField)
        m_fileNameField->FocusFirst();
    else
        TNamedElement::FocusFirst();
}

void TElement_FileConnection::EffectiveDisabledChanged() {
    TNamedElement::EffectiveDisabledChanged();
    UpdateConnection();
}

void TElement_FileConnection::GetChildHint(TElement* child, QString& text) {
    if (child && child == m_fileNameField)
        text = LoadStr(strExternalFileName);
    else
        TNamedElement::GetChildHint(child, text);
}

void TElement_FileConnection::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_fileNameField)
        name = kFileNameChild;
    else if (child && child == m_connection)
        name = kConnectionChild;
    else
        TNamedElement::GetChildName(child, filer, name);
}

bool TElement_FileConnection::HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) {
    if (msg == nmGetFileDialogFilters && p1 && g_rootUnit) {
        g_rootUnit->registry.AddConnectableFilters(*reinterpret_cast<TFileFilters*>(p1));
        return true;
    }
    return TNamedElement::HandleChildMessage(child, msg, p1, p2);
}

void TElement_FileConnection::TreePlacementChanged() {
    TNamedElement::TreePlacementChanged();
    if (m_connection && !IsBeingDestroyed()) m_connection->SetOwner(NearestOwnerNamespace(this));
}

void TElement_FileConnection::BeforeDestruction() {
    if (m_connection) m_connection->SetTarget(nullptr);
    TNamedElement::BeforeDestruction();
    m_connection = nullptr;
    m_fileNameField = nullptr;
}

TPaletteItem* FileConnectionPaletteItem() noexcept { return g_rootUnit ? g_rootUnit->connectionItem : nullptr; }

// ---------------------------------------------------------------------------
// The unit

void InitRootUnit() {
    g_rootUnit = std::make_unique<TRootUnit>();
    g_rootUnit->charImages = TImageStrip::Load(SchemeCharImages(), kRootCharImages);
    g_rootUnit->smallImages = TImageStrip::Load(SchemeSmallImages(), kRootSmallImages);
    if (PaletteOtherAdditionalItem())
        g_rootUnit->connectionItem = TElementPaletteItem::Create(
            PaletteOtherAdditionalItem(), 0, g_rootUnit->smallImages.Picture(kConnectionSmallPicture),
            strFileConnection, strFileConnectionHint, kFileConnectionItemOrder, TElement_FileConnection::StaticClass());
    // The application values: a namespace of their own in a scheme of their own.
    g_rootUnit->valuesScheme = std::make_unique<TScheme>();
    g_rootUnit->valuesNamespace.reset(TElement::CreateIn<TNamespace>(g_rootUnit->valuesScheme.get(), nullptr));
    TElement::CreateSubElement<TApplicationNameValueElement>(g_rootUnit->valuesNamespace.get());
    TElement::CreateSubElement<TApplicationVersionValueElement>(g_rootUnit->valuesNamespace.get());
}

void FinalRootUnit() {
    if (!g_rootUnit) return;
    g_rootUnit->valuesNamespace.reset();
    g_rootUnit->valuesScheme.reset();
    g_rootUnit.reset();
    SetApplicationVersion(QString());
}
