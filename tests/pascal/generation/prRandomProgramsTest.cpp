// Valid program modules built at random from elements through their public
// operations (fixed seeds): each checks without a message of kind 2 or more
// and its unit compiles; the units are compiled in a few batches. The same
// modules mutated (a value emptied, a used declaration deleted) still
// generate and write their unit and report the problems. The number of
// modules grows with QUILLANE_RANDOM_PROGRAMS.

#include "prGenerationModule.h"

#include <QRandomGenerator>

namespace {

constexpr int kDefaultPrograms = 200;
constexpr int kProgramsPerBatch = 50;
constexpr int kMaxStatementDepth = 3;

const QString kInt = QStringLiteral("int");
const QString kBool = QStringLiteral("bool");
const QString kStr = QStringLiteral("str");

int ProgramCount() {
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("QUILLANE_RANDOM_PROGRAMS", &ok);
    return ok && asked > 0 ? asked : kDefaultPrograms;
}

// Builds one module of unit-level fields and routines whose bodies hold
// assignments, conditions, loops, calls, asserts and returns.
class TProgramMaker {
public:
    TProgramMaker(GenerationModule& module, quint32 seed) : m(module), m_random(seed) {}

    void Build() {
        const int fields = 2 + int(m_random.bounded(4));
        for (int i = 0; i < fields; ++i) AddUnitField(i);
        const int routines = 1 + int(m_random.bounded(4));
        for (int i = 0; i < routines; ++i) AddRoutine(i);
    }
    // The value fields that hold something, for the mutations.
    std::vector<TExpressionField*> Values;
    std::vector<TElement*> UsedFields;

private:
    struct TName {
        QString name;
        QString type;
    };

    QString Pick(const QString& type, const std::vector<TName>& names) {
        std::vector<QString> of;
        for (const TName& n : names)
            if (n.type == type) of.push_back(n.name);
        return of.empty() ? QString() : of[m_random.bounded(int(of.size()))];
    }
    QString TypeOf(int i) const { return i % 3 == 0 ? kInt : i % 3 == 1 ? kBool : kStr; }
    // A literal of the type into a value field.
    void Literal(TTextorElement* field, const QString& type) {
        if (type == kInt)
            field->SetText(QString::number(m_random.bounded(100)));
        else if (type == kBool)
            m.Add<TElement_True>(field);
        else
            m.Add<TElement_String>(field)->SetText(QStringLiteral("s%1").arg(m_random.bounded(100)));
    }
    // A value of the type: a name of that type or a literal.
    void Value(TExpressionField* field, const QString& type) {
        const QString name = Pick(type, m_names);
        if (!name.isEmpty() && m_random.bounded(2)) {
            field->SetText(name);
            if (m_fieldsByName.contains(name)) UsedFields.push_back(m_fieldsByName[name]);
        } else {
            Literal(field, type);
        }
        Values.push_back(field);
    }
    void AddUnitField(int i) {
        const QString type = TypeOf(int(m_random.bounded(3)));
        const QString name = QStringLiteral("F%1").arg(i);
        TElement_Field* field = m.Field(m.Root(), name, type);
        field->SetVisibility(m_random.bounded(2) ? TVisibility::Public : TVisibility::Private);
        if (m_random.bounded(2)) Literal(field->ValueField(), type);
        m_names.push_back({name, type});
        m_fieldsByName.insert(name, field);
    }
    void AddRoutine(int i) {
        const QString result = m_random.bounded(2) ? TypeOf(int(m_random.bounded(3))) : QString();
        const QString name = QStringLiteral("R%1").arg(i);
        TElement_Method* routine = m.Routine(m.Root(), name, result,
                                             m_random.bounded(2) ? TVisibility::Public : TVisibility::Private);
        const std::vector<TName> saved = m_names;
        QStringList parameterTypes;
        for (int p = 0, count = int(m_random.bounded(3)); p < count; ++p) {
            const QString type = TypeOf(int(m_random.bounded(3)));
            m.Parameter(routine, QStringLiteral("A%1").arg(p), type);
            parameterTypes << type;
            m_names.push_back({QStringLiteral("A%1").arg(p), type});
        }
        m.Field(m.Body(routine), QStringLiteral("Local"), kInt);
        m_names.push_back({QStringLiteral("Local"), kInt});
        Statements(m.Body(routine), 0, result);
        if (!result.isEmpty()) Value(m.Return(m.Body(routine))->Result(), result);
        m_names = saved;
        m_routines.push_back({name, parameterTypes, result});
    }
    // At least one statement: bodies of statements must not stay empty.
    void Statements(TTextorElement* body, int depth, const QString& result) {
        const int count = 1 + int(m_random.bounded(4));
        int made = 0;
        for (int s = 0; s < count; ++s) made += Statement(body, depth, result) ? 1 : 0;
        if (!made) m.Add<TElement_Inc>(body)->Value()->SetText(QStringLiteral("Local"));
    }
    bool Statement(TTextorElement* body, int depth, const QString& result) {
        switch (m_random.bounded(depth >= kMaxStatementDepth ? 4 : 7)) {
        case 0: {
            const TName target = m_names[m_random.bounded(int(m_names.size()))];
            if (target.name.startsWith(u'A')) return false;  // parameters are passed as values or const
            auto* let = m.Add<TElement_Let>(body);
            let->LeftSide()->SetText(target.name);
            Value(let->RightSide(), target.type);
            return true;
        }
        case 1: m.Add<TElement_Inc>(body)->Value()->SetText(QStringLiteral("Local")); return true;
        case 2: {
            const QString flag = Pick(kBool, m_names);
            if (flag.isEmpty()) return false;
            m.Add<TElement_Assert>(body)->Condition()->SetText(flag);
            return true;
        }
        case 3: {
            if (m_routines.empty()) return false;
            const TRoutine& callee = m_routines[m_random.bounded(int(m_routines.size()))];
            auto* call = m.Add<TElement_IdentifierInMethod>(body);
            call->Identifier()->SetText(callee.name);
            const std::vector<TIdentifierParameterValue*> values = call->ParameterValues()->Values();
            for (size_t v = 0; v < values.size() && v < size_t(callee.parameters.size()); ++v)
                Value(values[v], callee.parameters[int(v)]);
            return true;
        }
        case 4: {
            auto* branch = m.Add<TElement_IfThen>(body);
            auto* test = m.Add<TElement_Compare>(branch->Condition());
            test->SetKind(uint8_t(TCompareKind::Less));
            test->LeftSide()->SetText(QStringLiteral("Local"));
            Value(test->RightSide(), kInt);
            Statements(Text(branch->Content()), depth + 1, result);
            return true;
        }
        case 5: {
            auto* loop = m.Add<TElement_While>(body);
            auto* test = m.Add<TElement_Compare>(loop->Condition());
            test->SetKind(uint8_t(TCompareKind::Less));
            test->LeftSide()->SetText(QStringLiteral("Local"));
            test->RightSide()->SetText(QString::number(m_random.bounded(10)));
            m.Add<TElement_Inc>(Text(loop->Content()))->Value()->SetText(QStringLiteral("Local"));
            Statements(Text(loop->Content()), depth + 1, result);
            return true;
        }
        default: {
            auto* loop = m.Add<TElement_For>(body);
            loop->Counter()->SetText(QStringLiteral("Local"));
            loop->MinValue()->SetText(QStringLiteral("0"));
            Value(loop->MaxValue(), kInt);
            Statements(Text(loop->Content()), depth + 1, result);
            if (!result.isEmpty() && m_random.bounded(2)) Value(m.Return(Text(loop->Content()))->Result(), result);
            return true;
        }
        }
    }
    static TTextorElement* Text(TVisualElement* element) { return static_cast<TTextorElement*>(element); }

    struct TRoutine {
        QString name;
        QStringList parameters;
        QString result;
    };
    GenerationModule& m;
    QRandomGenerator m_random;
    std::vector<TName> m_names;
    QHash<QString, TElement*> m_fieldsByName;
    std::vector<TRoutine> m_routines;
};

// The messages of kind 2 or more that the module's elements hold.
QStringList Severe(TScheme* scheme) {
    QStringList severe;
    for (TNode* node : PreOrder<TNode>(scheme->Root()))
        if (auto* element = dynamic_cast<TElement*>(node); element && element->Messages())
            for (int i = 0; i < element->Messages()->GetCount(); ++i)
                if (element->Messages()->GetItem(i)->Kind() >= mkWarning)
                    severe << element->ClassName() + QStringLiteral(": ") +
                                  element->Messages()->GetItem(i)->GetText();
    return severe;
}

class RandomPrograms : public GenerationModule {
protected:
    void NewModule() {
        m_scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                             ProgramSchemeDescriptor().GetKindName());
    }
};

}  // namespace

TEST_F(RandomPrograms, ValidModulesCheckCleanAndTheirUnitsCompileInBatches) {
    const int programs = ProgramCount();
    for (int first = 0; first < programs; first += kProgramsPerBatch) {
        TFpcHarness fpc;
        for (int n = first; n < std::min(programs, first + kProgramsPerBatch); ++n) {
            NewModule();
            TProgramMaker(*this, quint32(n + 1)).Build();
            ASSERT_EQ(Lines(Severe(m_scheme.get())), "") << "module " << n;
            const QString name = QStringLiteral("Random%1").arg(n);
            const TGenerated unit = GenerateUnit(name);
            EXPECT_EQ(Lines(unit.Messages), "") << "module " << n;
            fpc.Add(name, unit.Text);
        }
        if (!TFpcHarness::Available()) continue;
        const QString failure = fpc.CompileAndRun(QString(), nullptr);
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    }
}

TEST_F(RandomPrograms, MutatedModulesStillGenerateTheirUnitAndReportTheProblems) {
    const int programs = ProgramCount() / 4;
    for (int n = 0; n < programs; ++n) {
        NewModule();
        TProgramMaker maker(*this, quint32(n + 1));
        maker.Build();
        QRandomGenerator random(quint32(n + 1));
        const bool deleteField = n % 2 == 1 && !maker.UsedFields.empty();
        if (deleteField) {
            maker.UsedFields[random.bounded(int(maker.UsedFields.size()))]->Free();
        } else if (!maker.Values.empty()) {
            maker.Values[random.bounded(int(maker.Values.size()))]->SetText(QString());
        }
        const TGenerated unit = GenerateUnit(QStringLiteral("Mutated"));
        EXPECT_TRUE(unit.Text.startsWith(QStringLiteral("unit Mutated;"))) << "module " << n;
        EXPECT_TRUE(unit.Text.trimmed().endsWith(QStringLiteral("end."))) << "module " << n;
        if (deleteField) {
            EXPECT_FALSE(unit.Messages.isEmpty()) << "module " << n << "\n" << unit.Text.toStdString();
        }
    }
}
