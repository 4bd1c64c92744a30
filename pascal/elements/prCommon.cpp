#include "pascal/elements/prCommon.h"

#include "core/cuKnot.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "scheme/diNaming.h"
#include "scheme/diPalette.h"

#include <QVarLengthArray>

#include <memory>

T_CLASS_IMPL(TProgramSettings, TProperty)
T_ELEMENT_CLASS_IMPL(TIdentifierNameField, TTitledNameField)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TprNamedElement, TNamedElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TprNamedElementWithContent, TNamedElementWithContent)
T_ELEMENT_CLASS_IMPL(TTypeReferenceField, TReferenceField)
T_ELEMENT_CLASS_IMPL(TNamespaceConnectionToOwner, TNamespaceConnection)

namespace {

// Palette: the three groups, each with its "Other" item.
constexpr int kTypesGroupOrder = 600;
constexpr int kCommandsGroupOrder = 1500;
constexpr int kExpressionsGroupOrder = 1700;
constexpr int kOtherItemOrder = 10;
constexpr uint16_t kOtherItemFlags = pifDropDown | pifNoCaption | pifLargeImage;  // 0x3100

struct TCommonUnit {
    TNodePtr<TProgramSettings> settings;
    // Indices in ClassesGroups().
    int expressionClasses = -1;
    int commandClasses = -1;
    int classMemberClasses = -1;
    int moduleClasses = -1;
    TPaletteGroup* types = nullptr;
    TPaletteGroup* commands = nullptr;
    TPaletteGroup* expressions = nullptr;
    TPaletteItem* typesOther = nullptr;
    TPaletteItem* commandsOther = nullptr;
    TPaletteItem* expressionsOther = nullptr;
};
std::unique_ptr<TCommonUnit> g_commonUnit;

TPaletteItem* CreateOtherItem(TPaletteGroup* group) {
    return TPaletteItem::Create(group, kOtherItemFlags, NoImageIndex, strOther, strOtherHint, kOtherItemOrder);
}

// How deep type computations nest on this thread.
thread_local int t_typeChainDepth = 0;

}  // namespace

// ---------------------------------------------------------------------------
// TProgramSettings

void TProgramSettings::CreateProperties() {
    m_types = TProperty::Create<TStringProperty>(this, QStringLiteral("TypesPrefix"), QStringLiteral("T"));
    m_constants = TProperty::Create<TStringProperty>(this, QStringLiteral("ConstantsPrefix"), QString());
    m_parameters = TProperty::Create<TStringProperty>(this, QStringLiteral("ParametersPrefix"), QStringLiteral("A"));
    m_moduleFields = TProperty::Create<TStringProperty>(this, QStringLiteral("ModuleFieldsPrefix"), QString());
    m_objectFields = TProperty::Create<TStringProperty>(this, QStringLiteral("ObjectFieldsPrefix"), QStringLiteral("F"));
    m_methodFields = TProperty::Create<TStringProperty>(this, QStringLiteral("MethodFieldsPrefix"), QString());
    m_events = TProperty::Create<TStringProperty>(this, QStringLiteral("EventsPrefix"), QStringLiteral("On"));
    TakeCopy();
}

void TProgramSettings::TakeCopy() {
    const std::lock_guard lock(m_copyLock);
    for (const TStringProperty* prefix :
         {m_types, m_constants, m_parameters, m_moduleFields, m_objectFields, m_methodFields, m_events})
        if (prefix) m_copy.insert(prefix, prefix->Value());
}

QString TProgramSettings::PrefixValue(const TStringProperty* prefix) const {
    const std::lock_guard lock(m_copyLock);
    return m_copy.value(prefix);
}

bool TProgramSettings::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    const bool handled = TProperty::HandleNodeMessage(msg, p1, p2);
    if (msg == nmPropertyChanged) TakeCopy();
    return handled;
}

TProgramSettings* ProgramSettings() noexcept { return g_commonUnit ? g_commonUnit->settings.get() : nullptr; }

QString ProgramPrefix(TStringProperty* (TProgramSettings::*prefix)() const) {
    TProgramSettings* settings = ProgramSettings();
    return settings ? settings->PrefixValue((settings->*prefix)()) : QString();
}

// ---------------------------------------------------------------------------
// Classification

TProgramClassification ClassifyElement(const TElement* element) {
    if (!element) return {};
    if (auto* program = Supports<const IProgramElement>(element)) return program->GetClassification();
    // The standard types and object members live in the standard unit's scheme only.
    const TNamespace* types = StandardTypesNamespace();
    if (!types || element->Scheme() != types->Scheme()) return {};
    if (ClassAs<TStandardTypeElement>(element)) return {TDeclarationKind::StandardType};
    if (ClassAs<TObjectCreateElement>(element)) return {TDeclarationKind::BuiltInCreate};
    if (ClassAs<TObjectFreeElement>(element)) return {TDeclarationKind::BuiltInFree};
    if (ClassAs<TObjectClassNameElement>(element)) return {TDeclarationKind::BuiltInClassName};
    if (ClassAs<TObjectClassTypeElement>(element)) return {TDeclarationKind::BuiltInClassType};
    return {};
}

TDeclarationKind DeclarationKindOf(TNamespaceItem* item) {
    return item ? DeclarationKindOf(item->GetElement()) : TDeclarationKind::None;
}

IMethodsOwner* FindMethodsOwner(TElement* element) {
    for (TElement* e = element ? element->ParentOrNewPlace() : nullptr; e; e = e->ParentElement())
        if (auto* owner = dynamic_cast<IMethodsOwner*>(e)) return owner;
    return nullptr;
}

void AddElementItems(TElementItems& items, std::initializer_list<TElementItemRow> rows) {
    for (const TElementItemRow& row : rows) {
        const bool large = row.flags & pifLargeImage;
        const int small = large ? row.otherPicture : row.picture;
        TElementPaletteItem* item = TElementPaletteItem::Create(row.parent, row.flags, small,
                                                                large ? row.picture : row.otherPicture, row.caption,
                                                                row.hint, row.order, row.cls);
        items.append({row.cls, item});
    }
}

TPaletteItem* FindElementItem(const TElementItems& items, const TElementClass* cls) noexcept {
    for (const auto& [c, item] : items)
        if (c == cls) return item;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Type aliases and depth

TNamespaceItem* FinalAliasTarget(TNamespaceItem* aliasItem) {
    // The aliases passed, to stop at any that comes again (not only the first).
    QVarLengthArray<TElement*, kMaxTypeChainDepth> passed;
    TNamespaceItem* item = aliasItem;
    while (item) {
        TElement* element = item->GetElement();
        auto* alias = Supports<ITypeAliasElement>(element);
        if (!alias) return item == aliasItem ? nullptr : item;
        if (passed.contains(element) || passed.size() >= kMaxTypeChainDepth) return nullptr;
        passed.append(element);
        item = alias->GetRefTypeItem();
    }
    return nullptr;
}

TNamespaceItem* ResolveTypeAlias(TNamespaceItem* item) {
    if (!item || !Supports<ITypeAliasElement>(item->GetElement())) return item;
    return FinalAliasTarget(item);
}

TTypeChainDepth::TTypeChainDepth() noexcept { ++t_typeChainDepth; }
TTypeChainDepth::~TTypeChainDepth() { --t_typeChainDepth; }
bool TTypeChainDepth::Exceeded() const noexcept { return t_typeChainDepth > kMaxTypeChainDepth; }

// ---------------------------------------------------------------------------
// Element bases

void TIdentifierNameField::Create() {
    TTitledNameField::Create();
    SetRestrictions(kIdentifierRestrictions);
}

const TElementClass* TprNamedElement::GetNameFieldClass() { return TIdentifierNameField::StaticClass(); }

const TElementClass* TprNamedElementWithContent::GetNameFieldClass() { return TIdentifierNameField::StaticClass(); }

void TprNamedElementWithContent::FocusFirst() { TNamedElement::FocusFirst(); }

void TprNamedElement::TreePlacementChanged() {
    TNamedElement::TreePlacementChanged();
    if (!IsBeingDestroyed()) UpdateVisibilityMode();
}

void TprNamedElementWithContent::TreePlacementChanged() {
    TNamedElementWithContent::TreePlacementChanged();
    if (!IsBeingDestroyed()) UpdateVisibilityMode();
}

bool TTypeReferenceField::CanReferTo(TNamespaceItem* item) {
    return item && dynamic_cast<ITypeElement*>(item->GetElement());
}

TNamespaceItem* MainNameItem(TElement* element) {
    if (auto* named = ClassAs<TNamedElement>(element)) return named->NameField() ? named->NameField()->Item() : nullptr;
    if (auto* name = ClassAs<TNameElement>(element)) return name->Item();
    return nullptr;
}

bool IsSecondaryNameItem(TNamespaceItem* item) {
    auto* named = item ? dynamic_cast<TNamedElement*>(item->GetElement()) : nullptr;
    return named && item->GetNameElement() != named->NameField();
}

bool IsSeenThroughOwnerConnection(TNamespaceItem* item) {
    return item && item->IsThroughConnectionClass(TNamespaceConnectionToOwner::StaticClass());
}

// ---------------------------------------------------------------------------
// Groups

TClassesGroups::TGroup& ExpressionElementClasses() { return ClassesGroups().GetGroup(g_commonUnit->expressionClasses); }
TClassesGroups::TGroup& CommandElementClasses() { return ClassesGroups().GetGroup(g_commonUnit->commandClasses); }
TClassesGroups::TGroup& ClassMemberElementClasses() {
    return ClassesGroups().GetGroup(g_commonUnit->classMemberClasses);
}
TClassesGroups::TGroup& ModuleElementClasses() { return ClassesGroups().GetGroup(g_commonUnit->moduleClasses); }

TPaletteGroup* TypesPaletteGroup() noexcept { return g_commonUnit ? g_commonUnit->types : nullptr; }
TPaletteGroup* CommandsPaletteGroup() noexcept { return g_commonUnit ? g_commonUnit->commands : nullptr; }
TPaletteGroup* ExpressionsPaletteGroup() noexcept { return g_commonUnit ? g_commonUnit->expressions : nullptr; }
TPaletteItem* TypesOtherItem() noexcept { return g_commonUnit ? g_commonUnit->typesOther : nullptr; }
TPaletteItem* CommandsOtherItem() noexcept { return g_commonUnit ? g_commonUnit->commandsOther : nullptr; }
TPaletteItem* ExpressionsOtherItem() noexcept { return g_commonUnit ? g_commonUnit->expressionsOther : nullptr; }

// ---------------------------------------------------------------------------
// Value types

void GetExpectedType(TElement* field, TTypeDescriptor& descriptor) {
    GetStandardTypeDescriptor(StandardTypeName::Variant, descriptor);
    if (field) field->SendNodeMessage(nmGetExpectedType, reinterpret_cast<intptr_t>(&descriptor), 0);
}

// ---------------------------------------------------------------------------
// Option attributes

void WriteOptionFlag(TKnot* knot, const QString& name, bool value, bool defaultValue) {
    if (value != defaultValue) knot->WriteBool(name, value);
}

bool ReadOptionFlag(TKnot* knot, const QString& name, bool defaultValue) {
    return knot->ReadBool(name, defaultValue);
}

void WriteOptionKind(TKnot* knot, const QString& name, int kind, const QStringList& names, int defaultKind) {
    if (kind != defaultKind && kind >= 0 && kind < names.size()) knot->WriteStr(name, names.at(kind));
}

int ReadOptionKind(TKnot* knot, const QString& name, const QStringList& names, int defaultKind) {
    TKnotParam* param = knot->FindParam(name);
    if (!param) return defaultKind;
    return param->ReadView([&names](QStringView stored) {
        for (qsizetype i = 0; i < names.size(); ++i)
            if (stored.compare(names.at(i), Qt::CaseInsensitive) == 0) return int(i);
        return 0;
    });
}

// ---------------------------------------------------------------------------
// Number literals

namespace {
bool IsDecimalDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool IsHexDigit(QChar c) {
    return IsDecimalDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}
// The end of the run of characters from i that pass test.
qsizetype SkipWhile(QStringView text, qsizetype i, bool (*test)(QChar)) {
    while (i < text.size() && test(text.at(i))) ++i;
    return i;
}
qsizetype SkipSign(QStringView text, qsizetype i) {
    return i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')) ? i + 1 : i;
}
}  // namespace

TNumberLiteral ClassifyNumberLiteral(QStringView text) {
    qsizetype i = SkipSign(text, 0);
    if (i < text.size() && text.at(i) == QLatin1Char('$')) {
        const qsizetype end = SkipWhile(text, i + 1, IsHexDigit);
        return end > i + 1 && end == text.size() ? TNumberLiteral::Integer : TNumberLiteral::None;
    }
    qsizetype end = SkipWhile(text, i, IsDecimalDigit);
    if (end == i) return TNumberLiteral::None;
    bool isFloat = false;
    if (end < text.size() && text.at(end) == QLatin1Char('.')) {
        const qsizetype fraction = SkipWhile(text, end + 1, IsDecimalDigit);
        if (fraction == end + 1) return TNumberLiteral::None;
        end = fraction;
        isFloat = true;
    }
    if (end < text.size() && (text.at(end) == QLatin1Char('e') || text.at(end) == QLatin1Char('E'))) {
        const qsizetype digits = SkipSign(text, end + 1);
        const qsizetype exponent = SkipWhile(text, digits, IsDecimalDigit);
        if (exponent == digits) return TNumberLiteral::None;
        end = exponent;
        isFloat = true;
    }
    if (end != text.size()) return TNumberLiteral::None;
    return isFloat ? TNumberLiteral::Float : TNumberLiteral::Integer;
}

// ---------------------------------------------------------------------------
// Naming routines

bool StartsWithText(const QString& s, const QString& prefix) {
    return !prefix.isEmpty() && prefix.size() <= s.size() && s.startsWith(prefix, Qt::CaseSensitive);
}

bool HasTypesPrefix(const QString& name) { return StartsWithText(name, ProgramPrefix(&TProgramSettings::TypesPrefix)); }

QString CapitalizeFirst(const QString& s) {
    if (s.isEmpty()) return s;
    // A first character outside the basic plane is a surrogate pair.
    const qsizetype first = s.at(0).isHighSurrogate() && s.size() > 1 ? 2 : 1;
    return s.left(first).toUpper() + s.mid(first);
}

TElement* GetDeclarationContainer(TElement* element) {
    for (TElement* e = element ? element->ParentOrNewPlace() : nullptr; e; e = e->ParentElement())
        if (ScopeKindOf(e) != TScopeKind::None) return e;
    return nullptr;
}

QString FieldPrefixIn(TElement* container) {
    switch (ScopeKindOf(container)) {
    case TScopeKind::CommandsContainer:
        return ProgramPrefix(&TProgramSettings::MethodFieldsPrefix);
    case TScopeKind::Object:
        return ProgramPrefix(&TProgramSettings::ObjectFieldsPrefix);
    case TScopeKind::ProgramRoot:
        return ProgramPrefix(&TProgramSettings::ModuleFieldsPrefix);
    case TScopeKind::Record:
    case TScopeKind::None:
        break;
    }
    return QString();
}

// ---------------------------------------------------------------------------
// The unit

void InitCommonUnit() {
    if (g_commonUnit) return;
    auto unit = std::make_unique<TCommonUnit>();
    unit->settings = TProperty::CreateRoot<TProgramSettings>(QStringLiteral("Program"));
    unit->settings->CreateProperties();
    TClassesGroups& groups = ClassesGroups();
    unit->expressionClasses = groups.AddGroup();
    unit->commandClasses = groups.AddGroup();
    unit->classMemberClasses = groups.AddGroup();
    unit->moduleClasses = groups.AddGroup();
    if (TPalette* palette = Palette()) {
        unit->types = TPaletteGroup::Create(palette, strTypes, kTypesGroupOrder);
        unit->typesOther = CreateOtherItem(unit->types);
        unit->commands = TPaletteGroup::Create(palette, strCommands, kCommandsGroupOrder);
        unit->commandsOther = CreateOtherItem(unit->commands);
        unit->expressions = TPaletteGroup::Create(palette, strExpressions, kExpressionsGroupOrder);
        unit->expressionsOther = CreateOtherItem(unit->expressions);
    }
    g_commonUnit = std::move(unit);
}

void FinalCommonUnit() {
    // The class groups and palette entries belong to their registries.
    g_commonUnit.reset();
}
