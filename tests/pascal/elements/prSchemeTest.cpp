// The program module as a scheme kind: the kind in the registry, and its root:
// the standard types and the application's values seen everywhere, the
// unit-level palette and methods, the connections kept in snapshots, the
// library folder, and references to the implicit identifiers across a file
// round trip.

#include "pascal/elements/prScheme.h"

#include "core/baAppCmpns.h"
#include "core/cuKnot.h"
#include "core/cuUtils.h"
#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prFieldElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prPropertyElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/elements/prStandard.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "support/testEnglish.h"
#include "support/testProgram.h"
#include "support/testStop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kSystemUnitNode = QStringLiteral("SystemUnitNamespaceConnection");
const QString kApplicationValuesNode = QStringLiteral("ApplicationInsideValuesNamespaceConnection");

TProgramRoot* ProgramRoot(TScheme* scheme) { return static_cast<TProgramRoot*>(scheme->Root()); }

class ProgramModule : public ::testing::Test {
protected:
    TEnglishTexts english;
    std::unique_ptr<TScheme> scheme = NewModule();

    static std::unique_ptr<TScheme> NewModule() {
        return std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                         ProgramSchemeDescriptor().GetKindName());
    }
    TProgramRoot* Root() const { return ProgramRoot(scheme.get()); }
    TElement_Method* Method(const QString& name) { return AppendNamed<TElement_Method>(Root(), name); }
    static TElement_Field* Field(TTextorElement* place, const QString& name, const QString& type) {
        auto* field = AppendNamed<TElement_Field>(place, name);
        field->TypeField()->SetText(type);
        return field;
    }
    static bool Offers(TVisualElement* element, TPaletteItem* item) {
        QList<TPaletteItem*> items;
        element->GetPaletteItems(items);
        return items.contains(item);
    }
    TNodePtr<TKnot> Saved(uint8_t mode) const {
        TNodePtr<TKnot> knot = TKnot::Create(scheme->Name());
        Root()->SaveToKnot(knot.get(), mode, 0);
        return knot;
    }
};

}  // namespace

TEST(ProgramKind, IsRegisteredFoundByItsExtensionAndChosenForTheStartupDocument) {
    TEnglishTexts english;
    const TSchemeDescriptor* found = nullptr;
    for (const TSchemeDescriptor* kind : SchemeDescriptors().Items())
        if (kind->GetFileExtension() == QLatin1String("prm")) found = kind;
    ASSERT_EQ(found, &ProgramSchemeDescriptor());
    EXPECT_EQ(SchemeDescriptors().StartupKind(), found);
    EXPECT_EQ(found->GetName(), QStringLiteral("Program Module"));
    EXPECT_EQ(found->GetCaption(), found->GetName());
    EXPECT_EQ(found->GetDescription(), QStringLiteral("Creating program or source code in\u00A0Pascal language."));
    EXPECT_EQ(found->GetUntitledName(), QStringLiteral("Unit1"));
    EXPECT_EQ(found->GetKindName(), QStringLiteral("ProgramModule"));
    EXPECT_EQ(found->GetImageIndex(), 50);
    EXPECT_EQ(found->GetOrder(), 250);
    EXPECT_EQ(found->GetRootClass(), TProgramRoot::StaticClass());
    EXPECT_TRUE(found->GetRootClass()->InheritsFrom(TRootWithPreProcessing::StaticClass()));
    TCommandLineOperations operations;
    found->GetCommandLineOperations(operations);
    EXPECT_TRUE(operations.isEmpty());
    EXPECT_EQ(found->GetVerbCount(), 0);
    TFileFilters filters;
    SchemeDescriptors().AddDocumentFilters(filters);
    ASSERT_GE(filters.Count(), 1);
    EXPECT_EQ(filters[0].FileExt, QStringLiteral("prm"));
    EXPECT_EQ(filters[0].Text, QStringLiteral("Program Module"));
}

TEST_F(ProgramModule, StandardTypesResolveInMethodBodiesAndTheApplicationsValuesAtUnitLevel) {
    TElement_Method* method = Method(QStringLiteral("Run"));
    method->ResultType()->SetText(QStringLiteral("str"));
    EXPECT_NE(method->ResultType()->GetTargetItem(), nullptr);
    TElement_Method* local = AppendNamed<TElement_Method>(method->Body(), QStringLiteral("Inner"));
    for (TTextorElement* body : {static_cast<TTextorElement*>(method->Body()), static_cast<TTextorElement*>(local->Body())})
        for (const char* type : {"int", "str"}) {
            TElement_Field* field = Field(body, QStringLiteral("Local"), QString::fromLatin1(type));
            TNamespaceItem* target = field->TypeField()->GetTargetItem();
            ASSERT_NE(target, nullptr) << type;
            EXPECT_NE(dynamic_cast<TStandardTypeElement*>(target->GetElement()), nullptr) << type;
        }
    TNamespaceItem* name = Found(Root()->GetNamespace()->FindItemByName(QStringLiteral("ApplicationName")),
                                 "ApplicationName");
    EXPECT_NE(dynamic_cast<TApplicationNameValueElement*>(name->GetElement()), nullptr);
}

// Freeing a routine let go of a reference to a standard type in its local
// routine's body at the body's own cover only: the covers below kept it.
TEST_F(ProgramModule, AFreedRoutineLeavesNoReferenceOfItsLocalRoutinesBodyOnTheStandardTypes) {
    TElement_Method* method = Method(QStringLiteral("Run"));
    TElement_Method* local = AppendNamed<TElement_Method>(method->Body(), QStringLiteral("Inner"));
    Field(local->Body(), QStringLiteral("Count"), QStringLiteral("int"));
    TNamespaceItem* standard = Found(Root()->GetNamespace()->FindItemByName(QStringLiteral("int")), "int");
    ASSERT_TRUE(standard->HasReferences());
    method->Free();
    EXPECT_FALSE(standard->HasReferences());
    EXPECT_FALSE(standard->GetOriginal()->HasReferences());
}

TEST_F(ProgramModule, AUnitLevelMethodOffersNeitherTheDescendantsOptionsNorWithoutInstance) {
    TElement_Method* method = Method(QStringLiteral("Run"));
    method->SetVisibility(TVisibility::Private);
    EXPECT_EQ(FindMethodsOwner(method), static_cast<IMethodsOwner*>(Root()));
    EXPECT_TRUE(Offers(method, PrivatePaletteItem()));
    EXPECT_FALSE(Offers(method, CallPaletteItem()));
    EXPECT_FALSE(Offers(method, OverridePaletteItem()));
    EXPECT_FALSE(Offers(method, WithoutInstancePaletteItem()));
}

TEST_F(ProgramModule, TheConstantItemStandsAmongTheInsertCommandsWithALargeButtonAtUnitLevelOnly) {
    TPaletteItem* constant = Found(Palette()->FindItemForClass(TElement_Constant::StaticClass()), "Constant");
    TPaletteItem* use = Found(Palette()->FindItemForClass(TElement_Use::StaticClass()), "Use");
    TPaletteItemInfo info = constant->MakeInfo();
    Root()->AdjustPaletteItemInfo(constant, info);
    EXPECT_EQ(info.Group, static_cast<TNode*>(PaletteInsertGroup()));
    EXPECT_TRUE(info.Flags & pifLargeImage);
    EXPECT_NE(info.LargeImage, NoImageIndex) << "with a large picture of its own";

    info = use->MakeInfo();
    Root()->AdjustPaletteItemInfo(use, info);
    EXPECT_EQ(info.Group, use->Parent()) << "only the Constant item moves";
    info = constant->MakeInfo();
    Method(QStringLiteral("Run"))->Body()->AdjustPaletteItemInfo(constant, info);
    EXPECT_EQ(info.Group, constant->Parent()) << "in a body it stays where it was registered";
    EXPECT_FALSE(info.Flags & pifLargeImage);
    TPaletteItem* enumeration = Found(Palette()->FindItemForClass(TElement_Enum::StaticClass()), "Enumeration");
    info = enumeration->MakeInfo();
    Method(QStringLiteral("Run"))->Body()->AdjustPaletteItemInfo(enumeration, info);
    EXPECT_NE(info.SmallImage, NoImageIndex) << "small in a body, with a picture";
}

TEST_F(ProgramModule, SnapshotsHoldBothRootConnectionsAndACopyResolvesThroughThem) {
    Field(Root(), QStringLiteral("Count"), QStringLiteral("int"));
    const TNodePtr<TKnot> file = Saved(fmFile);
    EXPECT_EQ(file->FindChild(kSystemUnitNode), nullptr);
    EXPECT_EQ(file->FindChild(kApplicationValuesNode), nullptr);
    const TNodePtr<TKnot> snapshot = Saved(fmSnapshot);
    for (const QString& node : {kSystemUnitNode, kApplicationValuesNode})
        EXPECT_NE(snapshot->FindChild(node), nullptr) << node.toStdString();

    std::unique_ptr<TScheme> copy = NewModule();
    ProgramRoot(copy.get())->LoadFromKnot(snapshot.get(), fmSnapshot, 0);
    TProgramRoot* copyRoot = ProgramRoot(copy.get());
    EXPECT_EQ(copyRoot->SystemUnitConnection()->Number(), Root()->SystemUnitConnection()->Number());
    EXPECT_EQ(copyRoot->SystemUnitConnection()->Target(), StandardTypesNamespace());
    auto* field = Found(dynamic_cast<TElement_Field*>(copyRoot->GetNamespace()
                                                          ->FindItemByName(QStringLiteral("Count"))
                                                          ->GetElement()),
                        "the copied field");
    EXPECT_NE(field->TypeField()->GetTargetItem(), nullptr);
}

// The folder was joined with a backslash, which names no folder here.
TEST_F(ProgramModule, ListsTheLibraryFolderBesideTheProgramJoinedWithThePathSeparator) {
    EXPECT_EQ(scheme->Strings(), QStringList{GetProgramDir() + QStringLiteral("VCL/")});
    EXPECT_EQ(ProgramLibraryFolder(), GetProgramDir() + QStringLiteral("VCL/"));
}

TEST_F(ProgramModule, AReferenceToResultSurvivesAFileRoundTripUnderNewNumbers) {
    TElement_Method* method = Method(QStringLiteral("Total"));
    method->ResultType()->SetText(QStringLiteral("float"));
    TElement_Field* copy = Field(method->Body(), QStringLiteral("Copy"), QStringLiteral("float"));
    copy->ValueField()->SetText(QStringLiteral("Result"));
    ASSERT_NE(copy->ValueField()->GetTargetItem(), nullptr);

    QTemporaryDir folder;
    const QString fileName = folder.filePath(QStringLiteral("Unit1.prm"));
    scheme->SaveToFile(fileName);
    std::unique_ptr<TScheme> loaded = NewModule();
    loaded->LoadFromFile(fileName);
    auto* total = Found(dynamic_cast<TElement_Method*>(ProgramRoot(loaded.get())
                                                           ->GetNamespace()
                                                           ->FindItemByName(QStringLiteral("Total"))
                                                           ->GetElement()),
                        "the loaded method");
    EXPECT_NE(total->Number(), method->Number());
    auto* loadedCopy = Found(dynamic_cast<TElement_Field*>(total->Body()
                                                               ->Namespace()
                                                               ->FindItemByName(QStringLiteral("Copy"))
                                                               ->GetElement()),
                             "the loaded field");
    TNamespaceItem* target = Found(loadedCopy->ValueField()->GetTargetItem(), "Result after the load");
    EXPECT_EQ(target, total->Body()->Namespace()->FindItemByName(QStringLiteral("Result")));

    TNodePtr<TKnot> root = TKnot::Create();
    ASSERT_TRUE(root->LoadFromFile(fileName));
    EXPECT_EQ(root->Name(), QStringLiteral("ProgramModule"));
}

// Every implicit identifier, referred to from a local declaration of the
// section that sees it, in an object of a new module: after a file round
// trip each reference finds its identifier again, under new numbers.
TEST_F(ProgramModule, ReferencesToResultIndexItemAValueAndAIndexSurviveAFileRoundTripUnderNewNumbers) {
    auto* bag = AppendNamed<TElement_Object>(Root(), QStringLiteral("TBag"));
    auto* members = static_cast<TTextorElement*>(bag->Content());
    auto* size = AppendNamed<TElement_Property>(members, QStringLiteral("Size"));
    size->TypeField()->SetText(QStringLiteral("int"));
    auto* items = AppendNamed<TElement_PropertyArray>(members, QStringLiteral("Items"));
    items->TypeField()->SetText(QStringLiteral("int"));
    auto* walk = AppendNamed<TElement_Method>(members, QStringLiteral("Walk"));
    TElement_Field* name = Field(walk->Body(), QStringLiteral("Name"), QStringLiteral("str"));
    ASSERT_NE(name->TypeField()->GetTargetItem(), nullptr) << "str in a method body of an object";
    auto* each = AppendElement<TElement_ForEach>(walk->Body());
    each->Array()->SetText(QStringLiteral("Name"));
    struct TRow {
        const char* copy;
        TTextorElement* section;
        const char* type;
        const char* identifier;
    };
    const TRow rows[] = {
        {"CopyResult", size->ReadSection(), "int", "Result"}, {"CopyValue", size->WriteSection(), "int", "AValue"},
        {"CopyIndex", items->ReadSection(), "index", "AIndex"}, {"CopyLoopIndex", each->Body(), "index", "Index"},
        {"CopyItem", each->Body(), "char", "Item"},
    };
    std::vector<int32_t> numbers;
    for (const TRow& row : rows) {
        TElement_Field* copy = Field(row.section, QString::fromLatin1(row.copy), QString::fromLatin1(row.type));
        copy->ValueField()->SetText(QString::fromLatin1(row.identifier));
        TNamespaceItem* target = copy->ValueField()->GetTargetItem();
        ASSERT_NE(target, nullptr) << row.identifier << " before the save";
        numbers.push_back(target->GetElement()->Number());
        ASSERT_NE(copy->TypeField()->GetTargetItem(), nullptr) << row.type << " resolves in the object's sections";
    }

    QTemporaryDir folder;
    const QString fileName = folder.filePath(QStringLiteral("Unit1.prm"));
    scheme->SaveToFile(fileName);
    std::unique_ptr<TScheme> loaded = NewModule();
    loaded->LoadFromFile(fileName);
    QHash<QString, TElement_Field*> copies;
    for (TNode* node : PreOrder<TNode>(loaded->Root()))
        if (auto* field = dynamic_cast<TElement_Field*>(node)) copies.insert(field->NameField()->GetText(), field);
    for (size_t i = 0; i < std::size(rows); ++i) {
        TElement_Field* copy = copies.value(QString::fromLatin1(rows[i].copy));
        ASSERT_NE(copy, nullptr) << rows[i].copy;
        TNamespaceItem* target = copy->ValueField()->GetTargetItem();
        ASSERT_NE(target, nullptr) << rows[i].identifier << " after the load";
        EXPECT_EQ(target->GetName(), QString::fromLatin1(rows[i].identifier));
        EXPECT_EQ(target, FindOwnerNamespace(copy)->FindItemByName(QString::fromLatin1(rows[i].identifier)))
            << rows[i].identifier << " of its own section";
        EXPECT_NE(target->GetElement()->Number(), numbers[i]) << rows[i].identifier;
    }
}
