// Random expression trees of Compare, Operation, Not, True and literals,
// built as value elements, generated, compiled and run by Free Pascal: each
// result equals the same tree evaluated here. Fixed seeds; the number of
// trees grows with QUILLANE_RANDOM_TREES.

#include "prGenerationModule.h"

#include <QRandomGenerator>

#include <cstdint>
#include <vector>

namespace {

constexpr int kDefaultTrees = 160;
constexpr int kTreesPerUnit = 40;
constexpr int kMaxDepth = 4;
constexpr int kMaxLiteral = 9;

struct TTree {
    enum class Kind : uint8_t { Literal, True, Not, Compare, Operation } kind = Kind::Literal;
    int64_t literal = 0;
    uint8_t op = 0;
    std::vector<TTree> operands;
};

class TTreeMaker {
public:
    explicit TTreeMaker(quint32 seed) : m_random(seed) {}

    TTree Boolean(int depth) {
        TTree t;
        const int choice = depth >= kMaxDepth ? int(m_random.bounded(2)) : int(m_random.bounded(5));
        if (choice == 0) {
            t.kind = TTree::Kind::True;
        } else if (choice == 1) {
            t.kind = TTree::Kind::Not;
            t.operands.push_back(depth >= kMaxDepth ? Leaf() : Boolean(depth + 1));
        } else if (choice == 2) {
            t.kind = TTree::Kind::Compare;
            t.op = uint8_t(m_random.bounded(2) ? TCompareKind::And : TCompareKind::Or);
            const int count = 2 + int(m_random.bounded(3));
            for (int i = 0; i < count; ++i) t.operands.push_back(Boolean(depth + 1));
        } else {
            static constexpr TCompareKind kRelations[] = {TCompareKind::Equal, TCompareKind::Different,
                                                          TCompareKind::More,  TCompareKind::MoreOrEqual,
                                                          TCompareKind::Less,  TCompareKind::LessOrEqual};
            t.kind = TTree::Kind::Compare;
            t.op = uint8_t(kRelations[m_random.bounded(6)]);
            t.operands = {Integer(depth + 1), Integer(depth + 1)};
        }
        return t;
    }

    TTree Integer(int depth) {
        if (depth >= kMaxDepth || m_random.bounded(3) == 0) {
            TTree t;
            t.literal = m_random.bounded(kMaxLiteral + 1);
            return t;
        }
        static constexpr TOperationKind kOperations[] = {TOperationKind::Summ, TOperationKind::Minus,
                                                         TOperationKind::Multiply, TOperationKind::DivideInt};
        TTree t;
        t.kind = TTree::Kind::Operation;
        t.op = uint8_t(kOperations[m_random.bounded(4)]);
        const bool division = t.op == uint8_t(TOperationKind::DivideInt);
        const int count = division ? 2 : 2 + int(m_random.bounded(3));
        for (int i = 0; i < count; ++i) t.operands.push_back(Integer(depth + 1));
        // A divisor that is never zero: a literal from 1.
        if (division) t.operands[1] = TTree{TTree::Kind::Literal, 1 + int64_t(m_random.bounded(kMaxLiteral)), 0, {}};
        return t;
    }

private:
    TTree Leaf() {
        TTree t;
        t.kind = TTree::Kind::True;
        return t;
    }
    QRandomGenerator m_random;
};

int64_t EvaluateInteger(const TTree& t) {
    if (t.kind == TTree::Kind::Literal) return t.literal;
    int64_t value = EvaluateInteger(t.operands[0]);
    for (size_t i = 1; i < t.operands.size(); ++i) {
        const int64_t right = EvaluateInteger(t.operands[i]);
        switch (TOperationKind(t.op)) {
        case TOperationKind::Summ: value += right; break;
        case TOperationKind::Minus: value -= right; break;
        case TOperationKind::Multiply: value *= right; break;
        case TOperationKind::DivideInt: value /= right; break;
        case TOperationKind::Divide: break;
        }
    }
    return value;
}

bool EvaluateBoolean(const TTree& t) {
    switch (t.kind) {
    case TTree::Kind::True: return true;
    case TTree::Kind::Not: return !EvaluateBoolean(t.operands[0]);
    case TTree::Kind::Compare: break;
    default: return false;
    }
    const auto kind = TCompareKind(t.op);
    if (kind == TCompareKind::And || kind == TCompareKind::Or) {
        bool value = EvaluateBoolean(t.operands[0]);
        for (size_t i = 1; i < t.operands.size(); ++i)
            value = kind == TCompareKind::And ? value && EvaluateBoolean(t.operands[i])
                                              : value || EvaluateBoolean(t.operands[i]);
        return value;
    }
    const int64_t a = EvaluateInteger(t.operands[0]);
    const int64_t b = EvaluateInteger(t.operands[1]);
    switch (kind) {
    case TCompareKind::Equal: return a == b;
    case TCompareKind::Different: return a != b;
    case TCompareKind::More: return a > b;
    case TCompareKind::MoreOrEqual: return a >= b;
    case TCompareKind::Less: return a < b;
    default: return a <= b;
    }
}

class RandomExpressions : public GenerationModule {
protected:
    // The tree as value elements in field.
    void Fill(TTextorElement* field, const TTree& t) {
        switch (t.kind) {
        case TTree::Kind::Literal: field->SetText(QString::number(t.literal)); return;
        case TTree::Kind::True: Add<TElement_True>(field); return;
        case TTree::Kind::Not: Fill(Add<TElement_Not>(field)->Value(), t.operands[0]); return;
        case TTree::Kind::Compare: FillOperator(Add<TElement_Compare>(field), t); return;
        case TTree::Kind::Operation: FillOperator(Add<TElement_Operation>(field), t); return;
        }
    }
    void FillOperator(TCustomTwoValueOperatorElement* element, const TTree& t) {
        element->SetKind(t.op);
        for (size_t i = 2; i < t.operands.size(); ++i) element->AddValue();
        for (size_t i = 0; i < t.operands.size(); ++i) Fill(element->Values()[i], t.operands[i]);
    }
};

int TreeCount() {
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("QUILLANE_RANDOM_TREES", &ok);
    return ok && asked > 0 ? asked : kDefaultTrees;
}

}  // namespace

TEST_F(RandomExpressions, TreesRunByFreePascalEqualTheirEvaluationHere) {
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    const int trees = TreeCount();
    for (int first = 0; first < trees; first += kTreesPerUnit) {
        m_scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                             ProgramSchemeDescriptor().GetKindName());
        QStringList expected;
        QString body;
        for (int n = first; n < std::min(trees, first + kTreesPerUnit); ++n) {
            TTreeMaker maker(quint32(n + 1));
            const bool boolean = n % 2 == 0;
            const TTree tree = boolean ? maker.Boolean(0) : maker.Integer(0);
            const QString name = QStringLiteral("E%1").arg(n);
            TElement_Method* function =
                Routine(Root(), name, boolean ? QStringLiteral("bool") : QStringLiteral("int"));
            Fill(Return(Body(function))->Result(), tree);
            expected << (boolean ? (EvaluateBoolean(tree) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"))
                                 : QString::number(EvaluateInteger(tree)));
            body += QStringLiteral("WriteLn(%1);\n").arg(name);
        }
        const TGenerated unit = GenerateUnit(QStringLiteral("Trees"));
        EXPECT_EQ(Lines(unit.Messages), "") << "trees from " << first;
        TFpcHarness fpc;
        fpc.Add(QStringLiteral("Trees"), unit.Text);
        QString output;
        const QString failure = fpc.CompileAndRun(body, &output);
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        const QStringList results = output.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        ASSERT_EQ(results.size(), expected.size());
        for (int i = 0; i < results.size(); ++i)
            EXPECT_EQ(results[i], expected[i]) << "tree " << first + i << "\n" << unit.Text.toStdString();
    }
}
