#include "pascal/elements/prScheme.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "pascal/elements/prStandard.h"
#include "scheme/diPalette.h"
#include "scheme/diUtils.h"

T_ELEMENT_CLASS_IMPL(TProgramRoot, TRootWithPreProcessing)

namespace {
const QString kSystemUnitChild = QStringLiteral("SystemUnitNamespaceConnection");
const QString kConstantClassName = QStringLiteral("TElement_Constant");
const QString kLibraryFolderName = QStringLiteral("VCL");
constexpr int kProgramImageIndex = 50;
constexpr int kProgramOrder = 250;

bool InsertsClassNamed(TPaletteItem* item, const QString& className) {
    auto* elementItem = dynamic_cast<TElementPaletteItem*>(item);
    return elementItem && elementItem->ElementClass() && elementItem->ElementClass()->Name() == className;
}
}  // namespace

// ---------------------------------------------------------------------------
// TProgramSchemeDescriptor

QString TProgramSchemeDescriptor::GetName() const { return LoadStr(strProgramModule); }
QString TProgramSchemeDescriptor::GetDescription() const { return LoadStr(strCreatingProgramSourceCode); }
QString TProgramSchemeDescriptor::GetUntitledName() const { return QStringLiteral("Unit1"); }
QString TProgramSchemeDescriptor::GetFileExtension() const { return QStringLiteral("prm"); }
QString TProgramSchemeDescriptor::GetKindName() const { return QStringLiteral("ProgramModule"); }
int TProgramSchemeDescriptor::GetImageIndex() const { return kProgramImageIndex; }
int TProgramSchemeDescriptor::GetOrder() const { return kProgramOrder; }
const TElementClass* TProgramSchemeDescriptor::GetRootClass() const { return TProgramRoot::StaticClass(); }

const TProgramSchemeDescriptor& ProgramSchemeDescriptor() noexcept {
    static const TProgramSchemeDescriptor descriptor;
    return descriptor;
}

QString ProgramLibraryFolder() { return GetProgramDir() + kLibraryFolderName + QLatin1Char('/'); }

// ---------------------------------------------------------------------------
// TProgramRoot

void TProgramRoot::Create() {
    TRootWithPreProcessing::Create();
    if (TScheme* scheme = Scheme()) scheme->Strings().append(ProgramLibraryFolder());
    m_systemUnit = TElement::CreateSubElement<TNamespaceConnection>(this);
    m_systemUnit->SetOwner(GeneralNamespace());
    m_systemUnit->SetTarget(StandardTypesNamespace());
}

void TProgramRoot::FillAcceptedClasses(TElementClassList& list) {
    AddItemsOnce(list, ModuleElementClasses());
    TRootWithPreProcessing::FillAcceptedClasses(list);
}

void TProgramRoot::GetChildName(TElement* child, TSchemeFiler* filer, QString& name) {
    if (child && child == m_systemUnit)
        name = kSystemUnitChild;
    else
        TRootWithPreProcessing::GetChildName(child, filer, name);
}

void TProgramRoot::AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) {
    if (InsertsClassNamed(item, kConstantClassName)) {
        info.Group = PaletteInsertGroup();
        info.Flags = uint16_t(info.Flags | pifLargeImage);
    }
    TRootWithPreProcessing::AdjustPaletteItemInfo(item, info);
}

void TProgramRoot::BeforeDestruction() {
    TRootWithPreProcessing::BeforeDestruction();
    m_systemUnit = nullptr;
}

// ---------------------------------------------------------------------------
// Unit

void InitSchemeUnit() { RegisterSchemeDescriptor(ProgramSchemeDescriptor()); }
void FinalSchemeUnit() {}
