// The generator's rules: what each kind of element becomes, where units and
// declarations go, and what the run reports. Every unit is also compiled.

#include "prGenerationModule.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diMessages.h"

#include <QDir>
#include <QTemporaryDir>

#include <functional>

namespace {

qsizetype At(const QString& text, const QString& what) { return text.indexOf(what); }
// The text of the uses clause after `clause` ("interface" or "implementation"), without line ends.
QString UsesOf(const QString& text, const QString& clause) {
    const qsizetype start = text.indexOf(clause + QStringLiteral("\n"));
    const qsizetype uses = text.indexOf(QStringLiteral("uses\n"), start);
    const qsizetype next = clause == QLatin1String("interface") ? text.indexOf(QStringLiteral("implementation"))
                                                                : text.size();
    if (start < 0 || uses < 0 || uses > next || text.mid(start, uses - start).count(u'\n') > 2) return QString();
    return text.mid(uses + 5, text.indexOf(u';', uses) - uses - 5).simplified();
}

}  // namespace

TEST_F(GenerationModule, AnUnexpectedElementIsReportedAndTheRestIsStillWritten) {
    Routine(Root(), QStringLiteral("Before"));
    // A statement does not belong at unit level (it stands there as what the root does not accept).
    TElement* statement = Root()->AddElementOfClass(TElement_Case::StaticClass(), false);
    ASSERT_TRUE(statement);
    Routine(Root(), QStringLiteral("After"));
    const TGenerated unit = CompiledUnit();
    ASSERT_EQ(unit.Messages.size(), 1);
    EXPECT_EQ(unit.Messages[0], RemoveLinkBrackets(LoadStrFmt(strUnexpectedElementType, {statement->GetTypeName()})));
    EXPECT_GE(At(unit.Text, QStringLiteral("procedure After;")), 0);
}

TEST_F(GenerationModule, UsesOfSystemAddNothingAndUnitsNeededByBothClausesStandOnlyInTheInterface) {
    AddNamed<TElement_Use>(Root(), QStringLiteral("System"));
    AddNamed<TElement_Use>(Root(), QStringLiteral("Classes"));
    AddNamed<TElement_Use>(Root(), QStringLiteral("Math"))->SetVisibility(TVisibility::Private);
    Field(Root(), QStringLiteral("Shared"), QStringLiteral("float"))->SetVisibility(TVisibility::Public);
    Field(Root(), QStringLiteral("Own"), QStringLiteral("float"));
    Add<TElement_Error>(Body(Routine(Root(), QStringLiteral("Fail"))));
    const TGenerated unit = CompiledUnit();
    EXPECT_EQ(UsesOf(unit.Text, QStringLiteral("interface")), QStringLiteral("Classes, Math")) << unit.Text.toStdString();
    EXPECT_EQ(UsesOf(unit.Text, QStringLiteral("implementation")), QStringLiteral("SysUtils"));
}

TEST_F(GenerationModule, TheUnitsThatSameErrorNullAndFloatNeed) {
    struct TRow {
        const char* what;
        std::function<void(GenerationModule&)> build;
        const char* unit;
    };
    const TRow rows[] = {
        {"Same", [](GenerationModule& m) {
             auto* f = m.Field(m.Root(), QStringLiteral("Equal"), QStringLiteral("bool"));
             m.Operator<TElement_Compare>(f->ValueField(), uint8_t(TCompareKind::Same),
                                          {QStringLiteral("'a'"), QStringLiteral("'A'")});
         }, "SysUtils"},
        {"Error", [](GenerationModule& m) { m.Add<TElement_Error>(m.Body(m.Routine(m.Root(), QStringLiteral("F")))); },
         "SysUtils"},
        {"Null", [](GenerationModule& m) {
             m.Let(m.Body(m.Routine(m.Root(), QStringLiteral("F"))), QStringLiteral("V"));
             m.Field(m.Root(), QStringLiteral("V"), QStringLiteral("variant"));
         }, "Variants"},
        {"float", [](GenerationModule& m) {
             m.Field(m.Root(), QStringLiteral("R"), QStringLiteral("float"))->SetVisibility(TVisibility::Private);
         }, "Math"},
    };
    for (const TRow& row : rows) {
        m_scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                             ProgramSchemeDescriptor().GetKindName());
        row.build(*this);
        const TGenerated unit = CompiledUnit();
        EXPECT_EQ(UsesOf(unit.Text, QStringLiteral("implementation")), QString::fromLatin1(row.unit))
            << row.what << "\n" << unit.Text.toStdString();
    }
}

TEST_F(GenerationModule, ReturnWritesExitUnlessItIsTheLastCommandOfAFunctionOutsideLoops) {
    struct TRow {
        const char* what;
        const char* result;  // the routine's result type, empty for a procedure
        bool inLoop;
        bool last;
        bool exit;
    };
    const TRow rows[] = {{"last of a function", "int", false, true, false},
                         {"in a loop of a function", "int", true, true, true},
                         {"not last", "int", false, false, true},
                         {"in a procedure", "", false, true, true}};
    int n = 0;
    for (const TRow& row : rows) {
        const QString name = QStringLiteral("R%1").arg(++n);
        TElement_Method* routine = Routine(Root(), name, QString::fromLatin1(row.result));
        TTextorElement* body = Body(routine);
        if (row.inLoop) {
            auto* loop = Add<TElement_While>(body);
            loop->Condition()->SetText(QStringLiteral("True"));
            body = Text(loop->Content());
        }
        Return(body, *row.result ? QStringLiteral("1") : QString());
        if (!row.last) Add<TElement_Inc>(body)->Value()->SetText(QStringLiteral("Result"));
    }
    const QString text = CompiledUnit().Text;
    n = 0;
    for (const TRow& row : rows) {
        const QString name = QStringLiteral("R%1").arg(++n);
        const qsizetype start = text.lastIndexOf(name + QStringLiteral(": NativeInt;")) >= 0
                                    ? text.lastIndexOf(QStringLiteral("function ") + name)
                                    : text.lastIndexOf(QStringLiteral("procedure ") + name);
        const QString routine = text.mid(start, text.indexOf(QStringLiteral("\nend;"), start) - start);
        EXPECT_EQ(routine.contains(QStringLiteral("Exit;")), row.exit) << row.what << "\n" << routine.toStdString();
        if (*row.result) {
            EXPECT_TRUE(routine.contains(QStringLiteral("Result := 1;"))) << row.what;
        }
    }
}

TEST_F(GenerationModule, ForEachOverAnArrayAStringAndANumber) {
    auto* list = AddNamed<TElement_Array>(Root(), QStringLiteral("TList"));
    list->ElementType()->SetText(QStringLiteral("int"));
    Field(Root(), QStringLiteral("Items"), QStringLiteral("TList"));
    Field(Root(), QStringLiteral("Word"), QStringLiteral("str"));
    Field(Root(), QStringLiteral("Times"), QStringLiteral("int"));
    Field(Root(), QStringLiteral("Count"), QStringLiteral("int"));
    TTextorElement* body = Body(Routine(Root(), QStringLiteral("Walk")));
    for (const char* over : {"Items", "Word", "Times"}) {
        auto* loop = Add<TElement_ForEach>(body);
        loop->Array()->SetText(QString::fromLatin1(over));
        Add<TElement_Inc>(Text(loop->Content()))->Value()->SetText(QStringLiteral("Count"));
    }
    const QString text = CompiledUnit().Text;
    for (const char* header : {"for I := Low(Items) to High(Items) do", "for J := 1 to Length(Word) do",
                               "for K := 0 to Times - 1 do"})
        EXPECT_GE(At(text, QString::fromLatin1(header)), 0) << header << "\n" << text.toStdString();
}

TEST_F(GenerationModule, UnitLevelObjectsAreCreatedInOrderAndFreedInReverse) {
    Object(QStringLiteral("TPart"));
    for (const char* name : {"A", "B"})
        AddNamed<TElement_SubObject>(Root(), QString::fromLatin1(name))->TypeField()->SetText(QStringLiteral("TPart"));
    const QString text = CompiledUnit().Text;
    const qsizetype createA = At(text, QStringLiteral("A := TPart.Create;"));
    const qsizetype createB = At(text, QStringLiteral("B := TPart.Create;"));
    const qsizetype freeA = At(text, QStringLiteral("A.Free;"));
    const qsizetype freeB = At(text, QStringLiteral("B.Free;"));
    EXPECT_TRUE(createA >= 0 && createA < createB && createB < freeB && freeB < freeA) << text.toStdString();
}

TEST_F(GenerationModule, APublicRoutineStandsInBothClausesAPrivateOneOnlyInTheImplementation) {
    Routine(Root(), QStringLiteral("Shown"));
    Routine(Root(), QStringLiteral("Hidden"), QString(), TVisibility::Private);
    const QString text = CompiledUnit().Text;
    EXPECT_EQ(text.count(QStringLiteral("procedure Shown;")), 2);
    EXPECT_EQ(text.count(QStringLiteral("procedure Hidden;")), 1);
    EXPECT_GT(At(text, QStringLiteral("procedure Hidden;")), At(text, QStringLiteral("implementation")));
}

TEST_F(GenerationModule, SimplifyRunsOnlyWhenAsked) {
    Add<TElement_While>(Body(Routine(Root(), QStringLiteral("Idle"))));
    EXPECT_TRUE(CompiledUnit().Text.contains(QStringLiteral("while False do")));
    EXPECT_FALSE(CompiledUnit(QStringLiteral("Generated"), true).Text.contains(QStringLiteral("while")));
}

TEST_F(GenerationModule, AnOutputFileIsWrittenOverAnOlderOneAndReportedCreatedByEachRun) {
    Routine(Root(), QStringLiteral("Run"));
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("Written.pas"));
    for (const QString& old : {QString(), QStringLiteral("older text")}) {
        if (!old.isEmpty()) {
            QFile older(path);
            ASSERT_TRUE(older.open(QIODevice::WriteOnly));
            older.write(old.toUtf8());
        }
        std::unique_ptr<TScheme> copy = LoadPrivateCopy(m_scheme.get());
        TElementMessages messages;
        TPascalUnitGeneratorWorker worker;
        worker.Root = copy->Root();
        worker.OutputFileName = path;
        worker.SetMessages(&messages);
        worker.Prepare();
        worker.Generate();
        ASSERT_EQ(messages.GetCount(), 1);
        EXPECT_EQ(messages.GetItem(0)->GetText(), RemoveLinkBrackets(LoadStrFmt(strFileCreated, {path})));
        EXPECT_EQ(worker.WrittenFiles(), QStringList{path});
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("unit Written;"));
}

TEST_F(GenerationModule, ObjectMembersEventsNotificationsLockersDoubleMethodsAndOverridesCompile) {
    TElement_Object* base = Object(QStringLiteral("TBase"));
    TElement_Method* work = Routine(Members(base), QStringLiteral("Work"), QStringLiteral("int"), TVisibility::Private);
    work->SetDescendantsOverride(true);
    Return(Body(work), QStringLiteral("1"));
    auto* change = AddNamed<TElement_Event>(Members(base), QStringLiteral("OnChange"));
    AddNamed<TElement_Parameter>(change->Parameters(), QStringLiteral("AValue"))
        ->TypeField()
        ->SetText(QStringLiteral("int"));
    AddNamed<TElement_Locker>(Members(base), QStringLiteral("Update"));
    AddNamed<TElement_Notification>(Members(base), QStringLiteral("OnReady"))
        ->Locker()
        ->SetText(QStringLiteral("Update"));
    AddNamed<TElement_DoubleMethod>(Members(base), QStringLiteral("Process"));
    TElement_Object* child = Object(QStringLiteral("TChild"), QStringLiteral("TBase"));
    auto* again = Add<TElement_Override>(Members(child));
    again->Method()->SetText(QStringLiteral("Work"));
    auto* sum = Add<TElement_Operation>(Return(again->Body())->Result());
    Add<TElement_IdentifierInExpression>(sum->LeftSide())->Identifier()->SetText(QStringLiteral("Inherited"));
    sum->RightSide()->SetText(QStringLiteral("1"));
    const TGenerated unit = CompiledUnit();
    EXPECT_EQ(Lines(unit.Messages), "");
    for (const char* line : {"TBaseOnChangeEvent = procedure(Sender: TObject; AValue: NativeInt) of object;",
                             "property OnChange: TBaseOnChangeEvent read FOnChange write FOnChange;",
                             "property OnReady: TNotifyEvent read FOnReady write FOnReady;",
                             "function Work: NativeInt; override;", "Result := inherited Work + 1;"})
        EXPECT_GE(At(unit.Text, QString::fromLatin1(line)), 0) << line << "\n" << unit.Text.toStdString();
}

TEST_F(GenerationModule, ACaseOnAnOrdinalWithConstantLabelsIsACaseStatementOtherwiseIfs) {
    Field(Root(), QStringLiteral("Count"), QStringLiteral("int"));
    Field(Root(), QStringLiteral("Limit"), QStringLiteral("int"));
    Field(Root(), QStringLiteral("Name"), QStringLiteral("str"));
    struct TRow {
        const char* selector;
        const char* label;
        bool caseStatement;
    };
    const TRow rows[] = {{"Count", "1", true}, {"Count", "Limit", false}, {"Name", "Name", false}};
    TTextorElement* body = Body(Routine(Root(), QStringLiteral("Choose")));
    for (const TRow& row : rows) {
        auto* choice = Add<TElement_Case>(body);
        choice->Value()->SetText(QString::fromLatin1(row.selector));
        auto* item = Add<TElement_CaseItem>(Text(choice->Content()));
        item->Value()->SetText(QString::fromLatin1(row.label));
        Add<TElement_Inc>(Text(item->Content()))->Value()->SetText(QStringLiteral("Count"));
    }
    const QString text = CompiledUnit().Text;
    EXPECT_EQ(text.count(QStringLiteral("case Count of")), 1) << text.toStdString();
    EXPECT_GE(At(text, QStringLiteral("if Count = Limit then")), 0) << text.toStdString();
    EXPECT_GE(At(text, QStringLiteral("if Name = Name then")), 0) << text.toStdString();
}

// The fields the generator adds to an object follow the "ObjectFieldsPrefix"
// setting; an empty prefix still keeps an event's field apart from its property.
TEST_F(GenerationModule, GeneratedObjectFieldsFollowTheObjectFieldsPrefix) {
    struct TRow {
        const char* prefix;
        const char* eventField;
        const char* counterField;
    };
    const TRow rows[] = {{"F", "FOnChange", "FUpdateCount"},
                         {"M_", "M_OnChange", "M_UpdateCount"},
                         {"", "FOnChange", "UpdateCount"}};
    TStringProperty* prefix = ProgramSettings()->ObjectFieldsPrefix();
    const QString saved = prefix->Value();
    for (const TRow& row : rows) {
        prefix->SetValue(QString::fromLatin1(row.prefix));
        m_scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                             ProgramSchemeDescriptor().GetKindName());
        TElement_Object* object = Object(QStringLiteral("TBase"));
        AddNamed<TElement_Event>(Members(object), QStringLiteral("OnChange"));
        AddNamed<TElement_Locker>(Members(object), QStringLiteral("Update"));
        const QString text = CompiledUnit().Text;
        const QString event = QString::fromLatin1(row.eventField);
        EXPECT_GE(At(text, QStringLiteral("read %1 write %1;").arg(event)), 0) << row.prefix << text.toStdString();
        EXPECT_GE(At(text, QString::fromLatin1(row.counterField) + QStringLiteral(": NativeInt;")), 0)
            << row.prefix << text.toStdString();
    }
    prefix->SetValue(saved);
}

// A worker that writes the same file twice reports the second write as a
// replacement (a warning) and lists the file once.
TEST_F(GenerationModule, TheSameOutputFileWrittenTwiceByOneWorkerIsReportedReplaced) {
    Routine(Root(), QStringLiteral("Run"));
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QStringLiteral("Twice.pas"));
    std::unique_ptr<TScheme> copy = LoadPrivateCopy(m_scheme.get());
    TElementMessages messages;
    TPascalUnitGeneratorWorker worker;
    worker.Root = copy->Root();
    worker.OutputFileName = path;
    worker.SetMessages(&messages);
    worker.Prepare();
    worker.Generate();
    worker.Generate();
    ASSERT_EQ(messages.GetCount(), 2);
    EXPECT_EQ(messages.GetItem(0)->GetText(), RemoveLinkBrackets(LoadStrFmt(strFileCreated, {path})));
    EXPECT_EQ(messages.GetItem(1)->GetText(), RemoveLinkBrackets(LoadStrFmt(strFileReplaced, {path})));
    EXPECT_EQ(messages.GetItem(1)->Kind(), mkWarning);
    EXPECT_EQ(worker.WrittenFiles(), QStringList{path});
}

// Preparing finds the name fields through the private copy's index, not by
// walking its tree: every identifier name field of the copy, at any depth,
// must come out narrowed to Pascal identifiers, and one holding a character
// no identifier takes must be in error.
TEST_F(GenerationModule, PreparingNarrowsEveryIdentifierNameFieldOfTheCopy) {
    TElement_Method* run = Routine(Root(), QStringLiteral("Run"));
    Parameter(run, QStringLiteral("Count"), QStringLiteral("int"));
    Field(Root(), QStringLiteral("Total"), QStringLiteral("int"));
    Field(Members(Object(QStringLiteral("TThing"))), QStringLiteral("Size"), QStringLiteral("int"));
    Routine(Root(), QStringLiteral("Odd$Name"));
    std::unique_ptr<TScheme> copy = LoadPrivateCopy(m_scheme.get());
    EXPECT_TRUE(copy->ForEachIndexed([](TElement*) {})) << "a private copy numbers every element";
    TPascalUnitGeneratorWorker worker;
    worker.Root = copy->Root();
    worker.Prepare();
    int names = 0;
    for (TNode* node : PreOrder<TNode>(copy->Root())) {
        auto* name = ClassAs<TIdentifierNameField>(node);
        if (!name) continue;
        ++names;
        EXPECT_EQ(name->TextRestrictions(), kPascalNameRestrictions) << name->GetText().toStdString();
        EXPECT_EQ(name->HasNoErrors(), name->GetText() != QStringLiteral("Odd$Name")) << name->GetText().toStdString();
    }
    EXPECT_GE(names, 5);
}
