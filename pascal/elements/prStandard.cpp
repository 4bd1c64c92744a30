#include "pascal/elements/prStandard.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coRoot.h"
#include "scheme/diNaming.h"
#include "scheme/diUtils.h"

#include <algorithm>
#include <memory>
#include <vector>

T_ELEMENT_CLASS_IMPL(TStandardTypeElement, TNameElement)
T_ELEMENT_CLASS_IMPL_ABSTRACT(TObjectMemberElement, TNameElement)
T_ELEMENT_CLASS_IMPL(TObjectCreateElement, TObjectMemberElement)
T_ELEMENT_CLASS_IMPL(TObjectFreeElement, TObjectMemberElement)
T_ELEMENT_CLASS_IMPL(TObjectClassNameElement, TObjectMemberElement)
T_ELEMENT_CLASS_IMPL(TObjectClassTypeElement, TObjectMemberElement)

namespace {

const QString kStandardCharImages = QStringLiteral("prStandardCharImages");

// Pictures of "prStandardCharImages".
enum : int {
    kPictureGeneral = 0,
    kPictureObject = 1,
    kPictureObjectType = 4,
    kPictureFloat = 5,
    kPictureBool = 6,
    kPicturePointer = 7,
    kPictureStr = 8,
    kPictureCreate = 9,
    kPictureFree = 10,
};

struct TStandardTypeRow {
    const char16_t* name;
    TValueTypeKind kind;
    int hintId;
};

// In the order of the namespace's items.
constexpr TStandardTypeRow kStandardTypes[] = {
    {u"int", TValueTypeKind::Integer, strSignedInteger},
    {u"int.8", TValueTypeKind::Integer, strSignedInteger},
    {u"int.16", TValueTypeKind::Integer, strSignedInteger},
    {u"int.32", TValueTypeKind::Integer, strSignedInteger},
    {u"int.64", TValueTypeKind::Integer, strSignedInteger},
    {u"uint", TValueTypeKind::Integer, strUnsignedInteger},
    {u"uint.8", TValueTypeKind::Integer, strUnsignedInteger},
    {u"uint.16", TValueTypeKind::Integer, strUnsignedInteger},
    {u"uint.32", TValueTypeKind::Integer, strUnsignedInteger},
    {u"uint.64", TValueTypeKind::Integer, strUnsignedInteger},
    {u"index", TValueTypeKind::Index, strSimilarlyIntegerButEmpty},
    {u"bool", TValueTypeKind::Bool, strBooleanValueTrueFalse},
    {u"str", TValueTypeKind::String, strStringTypeDescription},
    {u"char", TValueTypeKind::Char, strCharacterOfTheString},
    {u"float", TValueTypeKind::Float, strFloatNumber},
    {u"datetime", TValueTypeKind::DateTime, strDateAndOrTime},
    {u"pointer", TValueTypeKind::Pointer, strPointerDataUndefinedType},
    {u"variant", TValueTypeKind::Variant, strVariantTypeDataThat},
    {u"object", TValueTypeKind::Object, strInstanceOfAnObject},
    {u"objecttype", TValueTypeKind::ObjectType, strObjectTypeDescription},
};

// What the unit makes at start-up and frees at the end; read-only meanwhile.
struct TStandardUnit {
    std::unique_ptr<TScheme> scheme;
    TNodePtr<TNamespace> types;
    TNodePtr<TNamespace> members;
    TImageStrip charImages;
    // Each standard type by its exact name: the generators ask for them by
    // these names for nearly every value, and a look-up in the namespace
    // (locked, without case) would cost more than the rest of the answer.
    struct TKnownType {
        QString name;
        TNamespaceItem* item;
        TValueTypeKind kind;
    };
    std::vector<TKnownType> known;
};
std::unique_ptr<TStandardUnit> g_standardUnit;

int StandardPicture(int picture) {
    return g_standardUnit ? g_standardUnit->charImages.Picture(picture) : NoImageIndex;
}

}  // namespace

// ---------------------------------------------------------------------------
// TStandardTypeElement

TStandardTypeElement* TStandardTypeElement::Create(const QString& name, TValueTypeKind kind, int hintId) {
    auto* element = static_cast<TStandardTypeElement*>(
        TElement::CreateSubElement(StaticClass(), StandardTypesNamespace()));
    element->m_name = name;
    element->m_kind = kind;
    element->m_hintId = hintId;
    // The name is known only now: the item is filed again under it.
    if (element->Item()) element->Item()->NotifyRenamed();
    return element;
}

int TStandardTypeElement::GetImageIndex() {
    // Case-sensitive, in this order; every other name shows the general picture.
    static const std::pair<QString, int> kPictures[] = {
        {StandardTypeName::Object, kPictureObject}, {StandardTypeName::ObjectType, kPictureObjectType},
        {StandardTypeName::Pointer, kPicturePointer}, {StandardTypeName::Bool, kPictureBool},
        {StandardTypeName::Str, kPictureStr}, {StandardTypeName::Float, kPictureFloat},
    };
    for (const auto& [name, picture] : kPictures)
        if (m_name == name) return StandardPicture(picture);
    return StandardPicture(kPictureGeneral);
}

QString TStandardTypeElement::GetDescription() { return m_hintId ? LoadStr(m_hintId) : QString(); }

// ---------------------------------------------------------------------------
// Object members

int TObjectCreateElement::GetImageIndex() { return StandardPicture(kPictureCreate); }
QString TObjectCreateElement::GetDescription() { return LoadStr(strCreationObjectInstance); }
QString TObjectCreateElement::GetName() { return QStringLiteral("Create"); }

int TObjectFreeElement::GetImageIndex() { return StandardPicture(kPictureFree); }
QString TObjectFreeElement::GetDescription() { return LoadStr(strDestructionObjectInstance); }
QString TObjectFreeElement::GetName() { return QStringLiteral("Free"); }

QString TObjectClassNameElement::GetName() { return QStringLiteral("ClassName"); }
QString TObjectClassTypeElement::GetName() { return QStringLiteral("ClassType"); }

// ---------------------------------------------------------------------------
// Globals

TNamespace* StandardTypesNamespace() noexcept { return g_standardUnit ? g_standardUnit->types.get() : nullptr; }
TNamespace* ObjectMembersNamespace() noexcept { return g_standardUnit ? g_standardUnit->members.get() : nullptr; }
int StandardCharImageBase() noexcept { return StandardPicture(0); }

void SetTypeDescriptor(TValueTypeKind kind, TNamespaceItem* item, TNamespaceItem* typeItem,
                       TTypeDescriptor& descriptor) {
    descriptor.Kind = kind;
    descriptor.Item = item;
    descriptor.TypeItem = typeItem ? typeItem : item;
}

void GetStandardTypeDescriptor(const QString& name, TTypeDescriptor& descriptor) {
    if (g_standardUnit) {
        // The constants of StandardTypeName share their characters with the
        // known names: a first pass over the addresses answers them without
        // reading characters (names of the same length would be compared).
        const std::vector<TStandardUnit::TKnownType>& list = g_standardUnit->known;
        auto found = std::find_if(list.begin(), list.end(), [&name](const TStandardUnit::TKnownType& known) {
            return known.name.constData() == name.constData() && known.name.size() == name.size();
        });
        if (found == list.end())
            found = std::find_if(list.begin(), list.end(),
                                 [&name](const TStandardUnit::TKnownType& known) { return known.name == name; });
        if (found != list.end()) {
            SetTypeDescriptor(found->kind, found->item, found->item, descriptor);
            return;
        }
    }
    TNamespace* types = StandardTypesNamespace();
    TNamespaceItem* item = types ? types->FindItemByName(name, {}, Qt::CaseInsensitive) : nullptr;
    auto* type = item ? dynamic_cast<TStandardTypeElement*>(item->GetElement()) : nullptr;
    Q_ASSERT_X(type, "GetStandardTypeDescriptor", "not a standard type");
    SetTypeDescriptor(type ? type->Kind() : TValueTypeKind::Variant, item, item, descriptor);
}

void InitStandardUnit() {
    if (g_standardUnit) return;
    auto unit = std::make_unique<TStandardUnit>();
    unit->charImages = TImageStrip::Load(SchemeCharImages(), kStandardCharImages);
    unit->scheme = std::make_unique<TScheme>();
    unit->types.reset(TElement::CreateIn<TNamespace>(unit->scheme.get(), nullptr));
    unit->members.reset(TElement::CreateIn<TNamespace>(unit->scheme.get(), nullptr));
    g_standardUnit = std::move(unit);
    std::vector<TStandardUnit::TKnownType> known;
    for (const TStandardTypeRow& row : kStandardTypes) {
        TStandardTypeElement* type = TStandardTypeElement::Create(QString::fromUtf16(row.name), row.kind, row.hintId);
        if (type->Item()) known.push_back({type->TypeName(), type->Item(), type->Kind()});
    }
    using namespace StandardTypeName;
    for (const QString* constant : {&Int, &Index, &Bool, &Str, &Char, &Float, &Pointer, &Variant, &Object, &ObjectType})
        for (TStandardUnit::TKnownType& type : known)
            if (type.name == *constant) type.name = *constant;
    TNamespace* members = g_standardUnit->members.get();
    TElement::CreateSubElement<TObjectCreateElement>(members);
    TElement::CreateSubElement<TObjectFreeElement>(members);
    TElement::CreateSubElement<TObjectClassNameElement>(members);
    TElement::CreateSubElement<TObjectClassTypeElement>(members);
    g_standardUnit->known = std::move(known);
}

void FinalStandardUnit() {
    if (!g_standardUnit) return;
    // Each global is cleared before what it named goes.
    std::unique_ptr<TStandardUnit> unit = std::move(g_standardUnit);
    unit->members.reset();
    unit->types.reset();
    unit->scheme.reset();
}
