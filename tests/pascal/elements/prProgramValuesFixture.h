#pragma once
// A program module with declarations of every value kind, and the places a
// declaration can stand in (unit level, an object, a routine body, a record).

#include "pascal/elements/prSimpleElements.h"
#include "scheme/diPalette.h"
#include "support/testCases.h"
#include "support/testProgram.h"

#include <QString>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

inline constexpr const char* kValuesTable = "pascal/elements/values.txt";

class ProgramValues : public ::testing::Test {
protected:
    const TTestCommandClasses m_commandClasses;
    std::unique_ptr<TScheme> m_scheme = MakeTestProgramScheme();

    TElement_TestProgramRoot* Root() const { return ProgramRootOf(m_scheme.get()); }
    TNamespace* General() const { return Root()->GeneralNamespace(); }

    TElement_Field* Field(TTextorElement* place, const QString& name, const QString& type) {
        auto* field = AppendNamed<TElement_Field>(place, name);
        field->TypeField()->SetText(type);
        return field;
    }
    TElement_Field* Field(const QString& name, const QString& type) { return Field(Root(), name, type); }
    TElement_Constant* Constant(const QString& name, const QString& value) {
        auto* constant = AppendNamed<TElement_Constant>(Root(), name);
        constant->ValueField()->SetText(value);
        return constant;
    }
    // An object type at unit level (a scope of kind Object).
    TElement_TestType* Object(const QString& name) {
        auto* type = AppendNamed<TElement_TestType>(Root(), name);
        type->Kind = TDeclarationKind::Object;
        return type;
    }
    static TTextorElement* ContentOf(TNamedElementWithContent* element) {
        return static_cast<TTextorElement*>(element->Content());
    }
    // The text of a place: "Root", "Object", "Body" or "Record".
    TTextorElement* Place(const QString& place) {
        if (place == QLatin1String("Object")) return ContentOf(Object(QStringLiteral("TOwner")));
        if (place == QLatin1String("Body"))
            return AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"))->Body();
        if (place == QLatin1String("Record"))
            return ContentOf(AppendNamed<TElement_Record>(Root(), QStringLiteral("TPair")));
        return Root();
    }
    static TValueTypeKind ValueKind(TCustomExpressionField* field) {
        TTypeDescriptor descriptor;
        field->GetValueType(descriptor);
        return descriptor.Kind;
    }
    static TValueTypeKind ExpectedKind(TElement* field) {
        TTypeDescriptor descriptor;
        GetExpectedType(field, descriptor);
        return descriptor.Kind;
    }
};

// Sets the "Program" prefixes a row names for the life of the object.
class TPrefixesOfRow {
public:
    explicit TPrefixesOfRow(const CaseRow& row) {
        TProgramSettings* s = ProgramSettings();
        for (TStringProperty* p : {s->TypesPrefix(), s->ConstantsPrefix(), s->ModuleFieldsPrefix(),
                                   s->ObjectFieldsPrefix(), s->MethodFieldsPrefix()}) {
            const QByteArray key = p->Name().toLatin1();
            if (!row.Has(key.constData())) continue;
            m_changed.append({p, p->Value()});
            p->SetValue(row[key.constData()]);
        }
    }
    ~TPrefixesOfRow() {
        for (const auto& [property, value] : m_changed) property->SetValue(value);
    }
    TPrefixesOfRow(const TPrefixesOfRow&) = delete;
    TPrefixesOfRow& operator=(const TPrefixesOfRow&) = delete;

private:
    QList<std::pair<TStringProperty*, QString>> m_changed;
};

// What a palette entry shows and where: the caption id and order of the
// group or item it stands under, its caption and hint ids, flags, order and
// key letter.
struct TPaletteRow {
    const TPaletteItem* item;
    int parentCaption;
    int parentOrder;
    int caption;
    int hint;
    uint16_t flags;
    int order;
    const char* letter = "";
};

inline void ExpectPaletteRows(std::initializer_list<TPaletteRow> rows) {
    for (const TPaletteRow& row : rows) {
        SCOPED_TRACE(row.caption);
        ASSERT_NE(row.item, nullptr);
        auto* parent = dynamic_cast<const TPaletteNode*>(row.item->Parent());
        ASSERT_NE(parent, nullptr);
        EXPECT_EQ(parent->CaptionId(), row.parentCaption);
        EXPECT_EQ(parent->Order(), row.parentOrder);
        EXPECT_EQ(row.item->CaptionId(), row.caption);
        EXPECT_EQ(row.item->HintId(), row.hint);
        EXPECT_EQ(row.item->Flags(), row.flags);
        EXPECT_EQ(row.item->Order(), row.order);
        EXPECT_EQ(row.item->Letter(), QLatin1String(row.letter));
    }
}
