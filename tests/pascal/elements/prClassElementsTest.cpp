// Objects and their members: what a descendant sees of its ancestors, what
// is seen outside under an object's name, deep and cyclic parents, the
// derived names of members, handlers and overrides.

#include "pascal/elements/prClassElements.h"

#include "core/cuKnot.h"
#include "core/cuUndoRedo.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"
#include "scheme/diThemes.h"
#include "support/testElements.h"
#include "tests/pascal/elements/prProgramValuesFixture.h"

#include <gtest/gtest.h>

namespace {

class Objects : public ProgramValues {
protected:
    TUndoRedo m_history;
    Objects() { m_scheme->SetUndoRedo(&m_history); }
    ~Objects() override { m_scheme->SetUndoRedo(nullptr); }

    TElement_Object* Object(const QString& name, const QString& parent = QString(), TTextorElement* place = nullptr) {
        auto* object = AppendNamed<TElement_Object>(place ? place : Root(), name);
        if (!parent.isEmpty()) object->Parent()->SetText(parent);
        return object;
    }
    template <class T>
    T* Member(TElement_Object* object, const QString& name) {
        return AppendNamed<T>(ContentOf(object), name);
    }
    static bool Sees(TNamespace* ns, const QString& name) { return ns->FindItemByName(name) != nullptr; }
    static bool Sees(TElement_Object* object, const QString& name) { return Sees(object->Namespace(), name); }
    // The object named name in a loaded scheme.
    static TElement_Object* Loaded(TScheme* scheme, const QString& name) {
        TNamespaceItem* item = ProgramRootOf(scheme)->GeneralNamespace()->FindItemByName(name);
        return item ? dynamic_cast<TElement_Object*>(item->GetElement()) : nullptr;
    }
};

// The first and the last element placed in text (not one of its parts); nil.
TElement* FirstPlaced(TElement* text) {
    for (TNode* n = text->FirstChild(); n; n = n->NextSibling())
        if (auto* element = dynamic_cast<TElement*>(n); element && !element->IsSubElement()) return element;
    return nullptr;
}
TElement* LastPlaced(TElement* text) {
    for (TNode* n = text->LastChild(); n; n = n->PrevSibling())
        if (auto* element = dynamic_cast<TElement*>(n); element && !element->IsSubElement()) return element;
    return nullptr;
}

// A module of objects whose names the value rows read: TShape (class-of
// TShapeClass, constructor CreateAt, a private Area: float with Override and
// a parameter AScale, a class method Make: int, an event OnChange with a
// parameter ASender, a field FSize), TBox, a descendant with a method Grow and
// an override of Area, TForm with a handler ShapeChange of TShape.OnChange;
// at unit level a sub-object Shape, a field ShapeKind typed by the class-of
// name, and a routine Run.
class ObjectValues : public Objects {
protected:
    ObjectValues() {
        TElement_Object* shape = Object(QStringLiteral("TShape"));
        shape->ClassOfName()->SetText(QStringLiteral("TShapeClass"));
        Member<TElement_Constructor>(shape, QStringLiteral("CreateAt"));
        auto* area = Member<TElement_Method>(shape, QStringLiteral("Area"));
        area->SetVisibility(TVisibility::Private);
        area->SetDescendantsOverride(true);
        area->ResultType()->SetText(QStringLiteral("float"));
        Parameter(area->Parameters(), QStringLiteral("AScale"), QStringLiteral("int"));
        auto* make = Member<TElement_Method>(shape, QStringLiteral("Make"));
        make->SetForInstance(false);
        make->ResultType()->SetText(QStringLiteral("int"));
        auto* change = Member<TElement_Event>(shape, QStringLiteral("OnChange"));
        Parameter(change->Parameters(), QStringLiteral("ASender"), QStringLiteral("object"));
        Field(ContentOf(shape), QStringLiteral("FSize"), QStringLiteral("int"));
        TElement_Object* box = Object(QStringLiteral("TBox"), QStringLiteral("TShape"));
        m_places[QStringLiteral("Method")] = Member<TElement_Method>(box, QStringLiteral("Grow"))->Body();
        auto* override_ = AppendElement<TElement_Override>(ContentOf(box));
        override_->Method()->SetText(QStringLiteral("Area"));
        m_places[QStringLiteral("Override")] = override_->Body();
        auto* handler = Member<TElement_Handler>(Object(QStringLiteral("TForm")), QStringLiteral("ShapeChange"));
        handler->Event()->SetText(QStringLiteral("TShape.OnChange"));
        m_places[QStringLiteral("Handler")] = handler->Body();
        AppendNamed<TElement_SubObject>(Root(), QStringLiteral("Shape"))->TypeField()->SetText(QStringLiteral("TShape"));
        Field(QStringLiteral("ShapeKind"), QStringLiteral("TShapeClass"));
        m_places[QStringLiteral("Unit")] = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"))->Body();
    }
    static void Parameter(TParametersContainer* list, const QString& name, const QString& type) {
        AppendNamed<TElement_Parameter>(list, name)->TypeField()->SetText(type);
    }
    // A local field in the body a row names.
    TExpressionField* Probe(const CaseRow& row) {
        TTextorElement* body = m_places.value(row["Place"]);
        EXPECT_NE(body, nullptr) << "no place " << row["Place"].toStdString();
        return body ? Field(body, QStringLiteral("Probe"), QString())->ValueField() : nullptr;
    }
    static void ExpectType(TCustomExpressionField* value, const CaseRow& row) {
        TTypeDescriptor descriptor;
        value->GetValueType(descriptor);
        EXPECT_EQ(int(descriptor.Kind), row.Int("Kind"));
        if (!row.Has("Type")) return;
        ASSERT_NE(descriptor.TypeItem, nullptr);
        EXPECT_EQ(descriptor.TypeItem->GetName(), row["Type"]);
    }

private:
    QMap<QString, TTextorElement*> m_places;
};

}  // namespace

// Which names of objects and their members a value takes where, and what
// each yields: "Create" and constructors, events, handlers, "Inherited",
// "Result", sub-objects, class-of names, and Self inside an object.
TEST_F(ObjectValues, ValuesTakeObjectsAndMembersByTheirFlagsAndPlaceAndYieldTheirTypes) {
    for (const CaseRow& row : LoadCases(kValuesTable, "ObjectReferences")) {
        SCOPED_TRACE(row.Text());
        TExpressionField* value = Probe(row);
        ASSERT_NE(value, nullptr);
        value->SetAcceptFlags(uint16_t(row["Flags"].toUInt(nullptr, 16)));
        if (row.kind == QLatin1String("Value")) {
            const TElementClass* cls = TElement_Self::StaticClass();
            ASSERT_EQ(row["Class"], cls->Name());
            EXPECT_EQ(cls->CanBePlacedIn(value), row.Int("Allowed") != 0);
            if (!row.Int("Allowed")) continue;
            AppendElement(value, cls);
        } else {
            value->SetText(row["Text"]);
            EXPECT_EQ(value->GetTargetItem() != nullptr, row.Int("Accepted") != 0);
            if (!row.Int("Accepted")) continue;
        }
        ExpectType(value, row);
    }
}

TEST_F(Objects, AFinalParentIsNotFoundAndAnAbstractObjectIsRefusedAsSubObjectType) {
    TElement_Object* base = Object(QStringLiteral("TBase"));
    TElement_Object* child = Object(QStringLiteral("TChild"), QStringLiteral("TBase"));
    ASSERT_NE(child->Parent()->GetTargetItem(), nullptr);
    base->SetKind(TObjectKind::Final);
    EXPECT_EQ(child->Parent()->GetTargetItem(), nullptr) << "a Final object has no descendants";
    base->SetKind(TObjectKind::Regular);
    EXPECT_NE(child->Parent()->GetTargetItem(), nullptr);

    auto* sub = Member<TElement_SubObject>(child, QStringLiteral("FItem"));
    sub->TypeField()->SetText(QStringLiteral("TBase"));
    EXPECT_NE(sub->TypeField()->GetTargetItem(), nullptr);
    base->SetKind(TObjectKind::Abstract);
    EXPECT_EQ(sub->TypeField()->GetTargetItem(), nullptr) << "an Abstract object is never created";
    sub->TypeField()->SetText(QStringLiteral("int"));
    EXPECT_EQ(sub->TypeField()->GetTargetItem(), nullptr) << "only objects";
}

TEST_F(Objects, KindIsOneUndoableStepStoredByName) {
    TElement_Object* object = Object(QStringLiteral("TShape"));
    ASSERT_TRUE(object->ApplyPaletteItem(ObjectKindPaletteItem(TObjectKind::Abstract), QString(), true));
    EXPECT_EQ(object->Kind(), TObjectKind::Abstract);
    TNodePtr<TKnot> knot = TKnot::Create();
    object->SaveToKnot(knot.get(), fmSnapshot, 0);
    EXPECT_EQ(knot->ReadStr(QStringLiteral("Kind")), QStringLiteral("Abstract"));
    m_history.Undo();
    EXPECT_EQ(object->Kind(), TObjectKind::Regular);
    m_history.Redo();
    EXPECT_EQ(object->Kind(), TObjectKind::Abstract);
    m_history.Undo();
    TNodePtr<TKnot> regular = TKnot::Create();
    object->SaveToKnot(regular.get(), fmSnapshot, 0);
    EXPECT_FALSE(regular->HasParam(QStringLiteral("Kind"))) << "Regular is not written";
    regular->WriteStr(QStringLiteral("Kind"), QStringLiteral("final"));
    object->LoadFromKnot(regular.get(), fmSnapshot, 0);
    EXPECT_EQ(object->Kind(), TObjectKind::Final) << "read ignoring case";
}

TEST_F(Objects, ADescendantSeesAParentsPrivateMethodOnlyWithCallOrOverride) {
    TElement_Object* base = Object(QStringLiteral("TBase"));
    auto* step = Member<TElement_Method>(base, QStringLiteral("Step"));
    step->SetVisibility(TVisibility::Private);
    TElement_Object* child = Object(QStringLiteral("TChild"), QStringLiteral("TBase"));
    EXPECT_FALSE(Sees(child, QStringLiteral("Step")));
    step->SetDescendantsCall(true);
    EXPECT_TRUE(Sees(child, QStringLiteral("Step")));
    step->SetDescendantsCall(false);
    step->SetDescendantsOverride(true);
    EXPECT_TRUE(Sees(child, QStringLiteral("Step")));
    step->SetDescendantsOverride(false);
    EXPECT_FALSE(Sees(child, QStringLiteral("Step")));
    step->SetVisibility(TVisibility::Public);
    EXPECT_TRUE(Sees(child, QStringLiteral("Step"))) << "the public rule";
}

TEST_F(Objects, AThreeLevelChainSeesTheGrandparentsPublicMembersInBothOrdersAndAfterALoad) {
    for (const bool rootFirst : {true, false}) {
        SCOPED_TRACE(rootFirst ? "root first" : "root last");
        auto scheme = MakeTestProgramScheme();
        TTextorElement* root = ProgramRootOf(scheme.get());
        const QString names[] = {QStringLiteral("TRoot"), QStringLiteral("TMiddle"), QStringLiteral("TLeaf")};
        TElement_Object* objects[3] = {};
        for (int i = 0; i < 3; ++i) {
            const int at = rootFirst ? i : 2 - i;
            objects[at] = Object(names[at], at ? names[at - 1] : QString(), root);
        }
        AppendNamed<TElement_Method>(ContentOf(objects[0]), QStringLiteral("Draw"));
        auto* hidden = AppendNamed<TElement_Method>(ContentOf(objects[0]), QStringLiteral("Hidden"));
        hidden->SetVisibility(TVisibility::Private);
        const QString text = SchemeText(scheme.get());
        auto copy = MakeTestProgramScheme();
        LoadSchemeKnot(copy.get(), KnotFromText(text).get());
        for (TElement_Object* leaf : {objects[2], Loaded(copy.get(), QStringLiteral("TLeaf"))}) {
            ASSERT_NE(leaf, nullptr);
            for (const char* name : {"Draw", "Create", "Free", "ClassName", "ClassType"})
                EXPECT_TRUE(Sees(leaf, QString::fromLatin1(name))) << name;
            EXPECT_FALSE(Sees(leaf, QStringLiteral("Hidden")));
        }
        EXPECT_TRUE(objects[2]->InheritsMembersOf(objects[0]));
        EXPECT_TRUE(Loaded(copy.get(), QStringLiteral("TLeaf"))->InheritsMembersOf(Loaded(copy.get(), QStringLiteral("TRoot"))));
        EXPECT_EQ(SchemeText(copy.get()), text);
    }
}

TEST_F(Objects, OutsideTheObjectOnlyMembersUsableWithoutAnInstanceResolve) {
    TElement_Object* list = Object(QStringLiteral("TList1"));
    Member<TElement_Constructor>(list, QStringLiteral("CreateSized"));
    Member<TElement_Method>(list, QStringLiteral("Count"));
    auto* make = Member<TElement_Method>(list, QStringLiteral("Make"));
    make->SetForInstance(false);
    Member<TElement_Event>(list, QStringLiteral("OnChange"));
    for (const char* name : {"TList1.Create", "TList1.CreateSized", "TList1.Make", "TList1.OnChange",
                             "TList1.ClassName", "TList1.ClassType"})
        EXPECT_TRUE(Sees(General(), QString::fromLatin1(name))) << name;
    for (const char* name : {"TList1.Count", "TList1.Free", "Count"})
        EXPECT_FALSE(Sees(General(), QString::fromLatin1(name))) << name;
}

TEST_F(Objects, AnObjectWithoutANameShowsNoMembersOutside) {
    TElement_Object* list = Object(QStringLiteral("TList"));
    Member<TElement_Constructor>(list, QStringLiteral("Make"));
    ASSERT_TRUE(Sees(General(), QStringLiteral("TList.Make")));
    list->NameField()->SetText(QString());
    EXPECT_FALSE(Sees(General(), QStringLiteral("Make"))) << "no member unprefixed";
    EXPECT_FALSE(Sees(General(), QStringLiteral(".Make")));
    EXPECT_FALSE(Sees(General(), QStringLiteral("Create")));
    list->NameField()->SetText(QStringLiteral("TItems"));
    EXPECT_TRUE(Sees(General(), QStringLiteral("TItems.Make")));
}

TEST_F(Objects, AFieldTypedByTheClassOfNameOffersCreateAndConstructors) {
    TElement_Object* list = Object(QStringLiteral("TList"));
    list->ClassOfName()->SetText(QStringLiteral("TListClass"));
    Member<TElement_Constructor>(list, QStringLiteral("Make"));
    Field(QStringLiteral("Kind"), QStringLiteral("TListClass"));
    Field(QStringLiteral("Item"), QStringLiteral("TList"));
    EXPECT_TRUE(Sees(General(), QStringLiteral("Kind.Create")));
    EXPECT_TRUE(Sees(General(), QStringLiteral("Kind.Make")));
    EXPECT_FALSE(Sees(General(), QStringLiteral("Item.Create")));
    EXPECT_TRUE(Sees(General(), QStringLiteral("Item.Free")));
    EXPECT_EQ(list->ClassOfName()->GetAutoName(), QStringLiteral("TListClass"));
}

TEST_F(Objects, ASubObjectOffersClassNameAndClassTypeButNeitherCreateNorFree) {
    TElement_Object* item = Object(QStringLiteral("TItem"));
    item->ClassOfName()->SetText(QStringLiteral("TItemClass"));
    Member<TElement_Method>(item, QStringLiteral("Paint"));
    auto* sub = AppendNamed<TElement_SubObject>(Root(), QStringLiteral("FItem"));
    sub->TypeField()->SetText(QStringLiteral("TItem"));
    for (const char* name : {"FItem.ClassName", "FItem.ClassType", "FItem.Paint"})
        EXPECT_TRUE(Sees(General(), QString::fromLatin1(name))) << name;
    for (const char* name : {"FItem.Create", "FItem.Free"})
        EXPECT_FALSE(Sees(General(), QString::fromLatin1(name))) << name;
}

TEST_F(Objects, CyclicParentsEndAndAreReportedAsACycle) {
    TElement_Object* a = Object(QStringLiteral("TA"), QStringLiteral("TB"));
    TElement_Object* b = Object(QStringLiteral("TB"), QStringLiteral("TA"));
    TElement_Object* self = Object(QStringLiteral("TSelf"), QStringLiteral("TSelf"));
    for (TElement_Object* object : {a, b, self}) {
        EXPECT_EQ(object->ParentState(), TParentState::Cycle);
        EXPECT_TRUE(object->Parent()->Link()->IsOnCycle());
        EXPECT_TRUE(Sees(object, QStringLiteral("Free"))) << "the built-in members stay";
    }
    Member<TElement_Method>(a, QStringLiteral("Run"));
    EXPECT_FALSE(Sees(b, QStringLiteral("Run")));
    a->Parent()->SetText(QString());
    EXPECT_EQ(a->ParentState(), TParentState::None);
    EXPECT_EQ(b->ParentState(), TParentState::Connected);
    EXPECT_TRUE(Sees(b, QStringLiteral("Run")));
}

// A file of count objects, each a descendant of the one after it (the last
// is the root), so that names are looked up backwards while it loads.
static QString ChainText(int count) {
    QString text = QStringLiteral("<ProgramModule FormatVersion=\"1.1\">\n");
    for (int i = 0; i < count; ++i) {
        const QString parent = i + 1 < count ? QStringLiteral(" Parent=\"TLink%1\"").arg(i + 1) : QString();
        text += QStringLiteral("\t<Object Name=\"TLink%1\"%2/>\n").arg(i).arg(parent);
    }
    return text + QStringLiteral("</ProgramModule>\n");
}

TEST_F(Objects, ADeepParentChainLoadedFromAFileIsRefusedBeyondTheLimitAndNeverOverflowsTheStack) {
    constexpr int kCount = 10000;
    auto scheme = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(scheme.get(), KnotFromText(ChainText(kCount)).get(), fmFile, &messages);
    TElement_Object* root = Loaded(scheme.get(), QStringLiteral("TLink%1").arg(kCount - 1));
    TElement_Object* last = Loaded(scheme.get(), QStringLiteral("TLink0"));
    TElement_Object* deepest = Loaded(scheme.get(), QStringLiteral("TLink%1").arg(kCount - 1 - kMaxParentDepth));
    TElement_Object* beyond = Loaded(scheme.get(), QStringLiteral("TLink%1").arg(kCount - 2 - kMaxParentDepth));
    ASSERT_TRUE(root && last && deepest && beyond);
    EXPECT_EQ(deepest->ParentState(), TParentState::Connected);
    EXPECT_EQ(beyond->ParentState(), TParentState::TooDeep);
    EXPECT_EQ(last->ParentState(), TParentState::TooDeep);
    AppendNamed<TElement_Method>(ContentOf(root), QStringLiteral("Grow"));
    EXPECT_TRUE(Sees(deepest, QStringLiteral("Grow"))) << "a member of the root reaches the limit";
    EXPECT_FALSE(Sees(last, QStringLiteral("Grow")));
    EXPECT_TRUE(Sees(last, QStringLiteral("ClassName")));
    last->Parent()->CheckAll();
    ASSERT_NE(last->Parent()->Messages(), nullptr);
    EXPECT_EQ(last->Parent()->Messages()->GetCount(), 1) << "refused with a message";
}

// A file of count objects on one cycle of parents.
static QString CycleText(int count) {
    QString text = QStringLiteral("<ProgramModule FormatVersion=\"1.1\">\n");
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("\t<Object Name=\"TLink%1\" Parent=\"TLink%2\"/>\n").arg(i).arg((i + 1) % count);
    return text + QStringLiteral("</ProgramModule>\n");
}

// A cycle within the depth limit is a cycle; a longer one is refused as too
// deep as well. Either loads, ends, and its parents report the cycle.
TEST_F(Objects, CyclicParentsLoadedFromAFileEndAndAreReportedAsACycle) {
    struct TCycleCase {
        int count;
        TParentState state;
    };
    for (const TCycleCase& c : {TCycleCase{1, TParentState::Cycle}, TCycleCase{3, TParentState::Cycle},
                                TCycleCase{kMaxParentDepth + 1, TParentState::Cycle},
                                TCycleCase{10000, TParentState::TooDeep}}) {
        auto scheme = MakeTestProgramScheme();
        LoadSchemeKnot(scheme.get(), KnotFromText(CycleText(c.count)).get());
        for (int i : {0, c.count / 2, c.count - 1}) {
            TElement_Object* object = Loaded(scheme.get(), QStringLiteral("TLink%1").arg(i));
            ASSERT_NE(object, nullptr) << c.count;
            EXPECT_EQ(object->ParentState(), c.state) << c.count << " " << i;
            EXPECT_TRUE(object->Parent()->Link()->IsOnCycle()) << c.count << " " << i;
            EXPECT_TRUE(Sees(object, QStringLiteral("Free"))) << "the built-in members stay";
        }
    }
}

TEST_F(Objects, AChainWithinTheLimitCarriesARootMemberToTheLastDescendant) {
    auto scheme = MakeTestProgramScheme();
    const QString text = ChainText(kMaxParentDepth + 1);
    LoadSchemeKnot(scheme.get(), KnotFromText(text).get());
    TElement_Object* root = Loaded(scheme.get(), QStringLiteral("TLink%1").arg(kMaxParentDepth));
    TElement_Object* last = Loaded(scheme.get(), QStringLiteral("TLink0"));
    ASSERT_TRUE(root && last);
    AppendNamed<TElement_Method>(ContentOf(root), QStringLiteral("Grow"));
    EXPECT_EQ(last->ParentState(), TParentState::Connected);
    EXPECT_TRUE(Sees(last, QStringLiteral("Grow")));
}

TEST_F(Objects, MembersDeriveTheirGeneratedNames) {
    TElement_Object* object = Object(QStringLiteral("TButton"));
    struct TEventCase {
        const char* name;
        const char* shortName;
        const char* doName;
    };
    for (const TEventCase& c : {TEventCase{"OnChange", "Change", "DoChange"}, TEventCase{"onChange", "onChange", "DoonChange"},
                                TEventCase{"On", "", "Do"}, TEventCase{"Click", "Click", "DoClick"}}) {
        auto* event = Member<TElement_Event>(object, QString::fromLatin1(c.name));
        EXPECT_EQ(event->GetShortName(), QString::fromLatin1(c.shortName)) << c.name;
        EXPECT_EQ(event->GetDoMethodName(), QString::fromLatin1(c.doName)) << c.name;
    }
    auto* paint = Member<TElement_DoubleMethod>(object, QStringLiteral("Paint"));
    EXPECT_EQ(paint->GetEnterMethodName(), QStringLiteral("BeforePaint"));
    EXPECT_EQ(paint->GetExitMethodName(), QStringLiteral("AfterPaint"));
    auto* update = Member<TElement_Locker>(object, QStringLiteral("Update"));
    EXPECT_EQ(update->GetEnterMethodName(), QStringLiteral("BeginUpdate"));
    EXPECT_EQ(update->GetExitMethodName(), QStringLiteral("EndUpdate"));
    EXPECT_EQ(update->GetCounterFieldName(), QStringLiteral("FUpdateCount"));
    EXPECT_EQ(update->ContentFirstEnter()->NextSibling(), update->ContentEnter()) << "stored in the title's order";
    EXPECT_EQ(update->ContentExit()->NextSibling(), update->ContentLastExit());
    CaseRow row;
    row.values.insert(QStringLiteral("ObjectFieldsPrefix"), QStringLiteral("m_"));
    const TPrefixesOfRow prefixes(row);
    EXPECT_EQ(update->GetCounterFieldName(), QStringLiteral("m_UpdateCount"));
}

TEST_F(Objects, AHandlerSuggestsItsNameAndSeesTheParametersOfItsEvent) {
    TElement_Object* button = Object(QStringLiteral("TButton"));
    auto* click = Member<TElement_Event>(button, QStringLiteral("OnClick"));
    AppendNamed<TElement_Parameter>(click->Parameters(), QStringLiteral("ASender"))->TypeField()->SetText(
        QStringLiteral("int"));
    auto* notify = Member<TElement_Notification>(button, QStringLiteral("OnPaint"));
    ASSERT_NE(notify, nullptr);
    TElement_Object* form = Object(QStringLiteral("TForm"));
    auto* handler = Member<TElement_Handler>(form, QString());
    EXPECT_FALSE(handler->NameField()->CanAutoName());
    handler->Event()->SetText(QStringLiteral("TButton.OnClick"));
    ASSERT_NE(handler->Event()->GetTargetItem(), nullptr) << "an event of another object";
    EXPECT_EQ(handler->NameField()->GetAutoName(), QStringLiteral("ButtonClick"));
    EXPECT_TRUE(Sees(handler->Body()->Namespace(), QStringLiteral("ASender")));
    handler->Event()->SetText(QStringLiteral("TButton.OnPaint"));
    EXPECT_NE(handler->Event()->GetTargetItem(), nullptr);
    EXPECT_FALSE(Sees(handler->Body()->Namespace(), QStringLiteral("ASender"))) << "a notification has none";
    handler->Event()->SetText(QStringLiteral("TButton.OnClick"));
    EXPECT_TRUE(Sees(handler->Body()->Namespace(), QStringLiteral("ASender")));
    handler->Event()->SetText(QStringLiteral("OnClick"));
    EXPECT_EQ(handler->Event()->GetTargetItem(), nullptr) << "an event only through its object's name";
}

TEST_F(Objects, AnOverrideCallsInheritedAndTakesTheResultTypeOfItsMethod) {
    TElement_Object* base = Object(QStringLiteral("TBase"));
    auto* area = Member<TElement_Method>(base, QStringLiteral("Area"));
    area->SetVisibility(TVisibility::Private);
    area->ResultType()->SetText(QStringLiteral("float"));
    AppendNamed<TElement_Parameter>(area->Parameters(), QStringLiteral("AScale"))->TypeField()->SetText(
        QStringLiteral("int"));
    TElement_Object* child = Object(QStringLiteral("TChild"), QStringLiteral("TBase"));
    auto* override_ = AppendElement<TElement_Override>(ContentOf(child));
    EXPECT_EQ(override_->Method()->GetThemeKind(), tekNamePrivate) << "framed as a private name";
    TNamespace* body = override_->Body()->Namespace();
    EXPECT_TRUE(Sees(body, QStringLiteral("Inherited")));
    override_->Method()->SetText(QStringLiteral("Area"));
    EXPECT_EQ(override_->Method()->GetTargetItem(), nullptr) << "Override is off";
    area->SetDescendantsOverride(true);
    override_->Method()->SetText(QStringLiteral("Area"));
    ASSERT_NE(override_->Method()->GetTargetItem(), nullptr);
    EXPECT_TRUE(Sees(body, QStringLiteral("AScale")));
    TNamespaceItem* result = body->FindItemByName(QStringLiteral("Result"));
    ASSERT_NE(result, nullptr);
    auto* resultElement = dynamic_cast<TCustomFieldElement*>(result->GetElement());
    ASSERT_NE(resultElement, nullptr);
    ASSERT_NE(resultElement->TypeItem(), nullptr);
    EXPECT_EQ(resultElement->TypeItem()->GetName(), QStringLiteral("float"));
    auto* own = AppendNamed<TElement_Method>(ContentOf(child), QStringLiteral("Own"));
    own->SetVisibility(TVisibility::Private);
    own->SetDescendantsOverride(true);
    override_->Method()->SetText(QStringLiteral("Own"));
    EXPECT_EQ(override_->Method()->GetTargetItem(), nullptr) << "a method of an ancestor only";
    EXPECT_FALSE(Sees(body, QStringLiteral("Result")));
    EXPECT_FALSE(Sees(body, QStringLiteral("AScale")));
}

// A new override calls the parent's method; one whose call was deleted (or
// that was saved without it) stays without it: nothing puts it back, and it
// checks clean, so that an override may replace the parent's work entirely.
TEST_F(Objects, ANewOverrideCallsInheritedAndOneWithoutTheCallStaysWithoutIt) {
    TElement_Object* base = Object(QStringLiteral("TBase"));
    auto* area = Member<TElement_Method>(base, QStringLiteral("Area"));
    area->SetVisibility(TVisibility::Private);
    area->SetDescendantsOverride(true);
    TElement_Object* child = Object(QStringLiteral("TChild"), QStringLiteral("TBase"));
    ContentOf(child)->InsertNewElement(TElement_Override::StaticClass(), ClassMemberPaletteItem(TElement_Override::StaticClass()),
                                       std::nullopt);
    auto* override_ = dynamic_cast<TElement_Override*>(LastPlaced(ContentOf(child)));
    ASSERT_NE(override_, nullptr);
    override_->Method()->SetText(QStringLiteral("Area"));
    auto* call = dynamic_cast<TElement_IdentifierInMethod*>(FirstPlaced(override_->Body()));
    ASSERT_NE(call, nullptr) << "the body starts with the call";
    EXPECT_EQ(call->Identifier()->GetText(), QStringLiteral("Inherited"));
    ASSERT_NE(call->Identifier()->GetTargetItem(), nullptr);
    EXPECT_EQ(call->Identifier()->GetTargetItem()->GetElement(), override_->Inherited());
    m_history.Undo();
    EXPECT_EQ(LastPlaced(ContentOf(child)), nullptr) << "inserted with its call as one step";

    auto* bare = AppendElement<TElement_Override>(ContentOf(child));
    bare->Method()->SetText(QStringLiteral("Area"));
    EXPECT_EQ(FirstPlaced(bare->Body()), nullptr) << "only a new override gets the call";
    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(SchemeText(m_scheme.get())).get(), fmFile, &messages);
    TElement_Object* loaded = Loaded(copy.get(), QStringLiteral("TChild"));
    ASSERT_NE(loaded, nullptr);
    auto* loadedOverride = dynamic_cast<TElement_Override*>(FirstPlaced(ContentOf(loaded)));
    ASSERT_NE(loadedOverride, nullptr);
    EXPECT_EQ(FirstPlaced(loadedOverride->Body()), nullptr) << "a load adds no call";
    for (TNode* node : PreOrder<TNode>(loadedOverride))
        if (auto* element = dynamic_cast<TElement*>(node)) {
            element->CheckAll();
            if (TElementMessages* own = element->Messages()) {
                EXPECT_EQ(own->GetCount(), 0) << element->ElementClass()->Name().toStdString();
            }
        }
}

// The connection that shows an object's members under its name did not mark
// what it passed as seen from outside, so a value or a statement could fire
// another object's event.
TEST_F(Objects, AnotherObjectsEventIsNeitherAValueNorACallButAHandlersEvent) {
    Member<TElement_Event>(Object(QStringLiteral("TButton")), QStringLiteral("OnClick"));
    TElement_Field* probe = Field(QStringLiteral("Probe"), QStringLiteral("int"));
    probe->ValueField()->SetText(QStringLiteral("TButton.OnClick"));
    EXPECT_EQ(probe->ValueField()->GetTargetItem(), nullptr);
    auto* run = AppendNamed<TElement_TestRoutine>(Root(), QStringLiteral("Run"));
    auto* call = AppendElement<TElement_IdentifierInMethod>(run->Body());
    call->Identifier()->SetText(QStringLiteral("TButton.OnClick"));
    EXPECT_EQ(call->Identifier()->GetTargetItem(), nullptr);
    auto* handler = Member<TElement_Handler>(Object(QStringLiteral("TForm")), QStringLiteral("ButtonClick"));
    handler->Event()->SetText(QStringLiteral("TButton.OnClick"));
    EXPECT_NE(handler->Event()->GetTargetItem(), nullptr);
}

TEST_F(Objects, LegacyNodeNamesLoadAsTheirElements) {
    TElement_Object* form = Object(QStringLiteral("TForm"), QStringLiteral("TBase"));
    Object(QStringLiteral("TBase"));
    AppendElement<TElement_Override>(ContentOf(form));
    Member<TElement_Handler>(form, QStringLiteral("Click"));
    QString text = SchemeText(m_scheme.get());
    ASSERT_TRUE(text.contains(QStringLiteral("<Handler")) && text.contains(QStringLiteral("<Override")));
    QString legacy = text;
    legacy.replace(QStringLiteral("<Object"), QStringLiteral("<Class")).replace(QStringLiteral("</Object>"), QStringLiteral("</Class>"));
    legacy.replace(QStringLiteral("<Handler"), QStringLiteral("<EventHandler")).replace(QStringLiteral("</Handler>"), QStringLiteral("</EventHandler>"));
    legacy.replace(QStringLiteral("<Override"), QStringLiteral("<MethodOverride")).replace(QStringLiteral("</Override>"), QStringLiteral("</MethodOverride>"));
    auto copy = MakeTestProgramScheme();
    TElementMessages messages;
    LoadSchemeKnot(copy.get(), KnotFromText(legacy).get(), fmFile, &messages);
    EXPECT_EQ(messages.GetCount(), 0);
    EXPECT_EQ(SchemeText(copy.get()), text);
}

TEST_F(Objects, TheUnitRegistersEveryMemberKindAndItsPaletteItems) {
    for (const TElementClass* cls :
         {TElement_Constructor::StaticClass(), TElement_Handler::StaticClass(), TElement_Override::StaticClass(),
          TElement_SubObject::StaticClass(), TElement_Event::StaticClass(), TElement_Notification::StaticClass(),
          TElement_Locker::StaticClass(), TElement_DoubleMethod::StaticClass()}) {
        EXPECT_TRUE(ClassMemberElementClasses().contains(cls)) << cls->GetTypeName().toStdString();
    }
    EXPECT_TRUE(ModuleElementClasses().contains(TElement_Object::StaticClass()));
    EXPECT_TRUE(ModuleElementClasses().contains(TElement_SubObject::StaticClass()));
    EXPECT_TRUE(CommandElementClasses().contains(TElement_SubObject::StaticClass()));
    const TPaletteNode* ins = PaletteInsertGroup();
    const TPaletteNode* types = TypesPaletteGroup();
    const TPaletteNode* other = PaletteOtherInsertItem();
    const TPaletteNode* options = PaletteOptionsGroup();
    const auto item = [](const TElementClass* cls) { return ClassMemberPaletteItem(cls); };
    const auto kind = [](TObjectKind k) { return ObjectKindPaletteItem(k); };
    ExpectPaletteRows({
        {ObjectPaletteItem(), types->CaptionId(), types->Order(), 8000, 8001, 0x142, 500},
        {item(TElement_SubObject::StaticClass()), ins->CaptionId(), ins->Order(), 8032, 8033, 0x142, 750},
        {item(TElement_Notification::StaticClass()), ins->CaptionId(), ins->Order(), 8020, 8021, 0x42, 195},
        {item(TElement_Event::StaticClass()), ins->CaptionId(), ins->Order(), 8017, 8018, 0x42, 190},
        {item(TElement_Handler::StaticClass()), ins->CaptionId(), ins->Order(), 8023, 8024, 0x42, 180},
        {item(TElement_DoubleMethod::StaticClass()), ins->CaptionId(), ins->Order(), 8015, 8016, 0x42, 160},
        {item(TElement_Locker::StaticClass()), ins->CaptionId(), ins->Order(), 8013, 8014, 0x42, 150},
        {item(TElement_Override::StaticClass()), ins->CaptionId(), ins->Order(), 8026, 8027, 0x42, 140},
        {item(TElement_Constructor::StaticClass()), other->CaptionId(), other->Order(), 8030, 8031, 0x42, 160},
        {kind(TObjectKind::Abstract), 8004, 1100, 8007, 0, 0x540, 10},
        {kind(TObjectKind::Regular), 8004, 1100, 8005, 0, 0x540, 8},
        {kind(TObjectKind::Final), 8004, 1100, 8009, 0, 0x540, 6},
        {WithoutInstancePaletteItem(), options->CaptionId(), options->Order(), 8011, 8012, 0x340, 5},
    });
    EXPECT_EQ(ObjectPaletteItem()->LargeImage(), ClassLargePicture(0));
    EXPECT_EQ(item(TElement_SubObject::StaticClass())->LargeImage(), ClassLargePicture(4));
    EXPECT_EQ(WithoutInstancePaletteItem()->LargeImage(), ClassLargePicture(2));
    const std::pair<const TElementClass*, int> small[] = {
        {TElement_Notification::StaticClass(), 8}, {TElement_Event::StaticClass(), 3},
        {TElement_Handler::StaticClass(), 5},      {TElement_DoubleMethod::StaticClass(), 7},
        {TElement_Locker::StaticClass(), 7},       {TElement_Override::StaticClass(), 4},
        {TElement_Constructor::StaticClass(), 0}};
    for (const auto& [cls, picture] : small) EXPECT_EQ(item(cls)->SmallImage(), ClassSmallPicture(picture));
}
