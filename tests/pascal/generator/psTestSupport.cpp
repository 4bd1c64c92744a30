#include "psTestSupport.h"

#include "core/cuCodeWriters.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

QString WriteToText(TPascalNode* node) {
    TPascalCodeWriter writer;
    node->Write(writer);
    if (!writer.Lines().isEmpty() && writer.Lines().last().isEmpty()) writer.Lines().removeLast();
    return writer.Text();
}

QString Lines(std::initializer_list<const char*> lines) {
    QString text;
    for (const char* line : lines) text += QString::fromUtf8(line) + u'\n';
    return text;
}

QString TestData(const QString& fileName) {
    QFile file(QStringLiteral(QUILLANE_TEST_DATA "/pascal/") + fileName);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

void ExpectGoldenUnit(const QString& text, const QString& name) {
    if (qEnvironmentVariableIsSet("QUILLANE_UPDATE_GOLDEN")) {
        QFile file(QStringLiteral(QUILLANE_TEST_DATA "/pascal/") + name + QStringLiteral(".pas"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return;
    }
    EXPECT_EQ(text, TestData(name + QStringLiteral(".pas")));
}

bool TFpcHarness::Available() {
    static const bool available = !QStandardPaths::findExecutable(QStringLiteral("fpc")).isEmpty();
    return available;
}

void TFpcHarness::Add(const QString& unitName, const QString& text) {
    m_units.emplace_back(unitName, text);
}

QString TFpcHarness::AddUnit(TPascalUnit* unit, bool simplify) {
    const QString text = WritePascalModule(unit, simplify);
    Add(unit->Name, text);
    return text;
}

QString TFpcHarness::CompileAndRun(const QString& body, QString* output) const {
    constexpr int compileMilliseconds = 120000;
    constexpr int runMilliseconds = 60000;
    QTemporaryDir dir;
    if (!dir.isValid()) return QStringLiteral("no temporary folder");
    auto save = [&dir](const QString& name, const QString& text) {
        QFile file(dir.filePath(name + u".pas"_s));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    };
    QStringList names;
    for (const auto& [name, text] : m_units) {
        if (!save(name, text)) return u"cannot write "_s + name;
        names << name;
    }
    const QString uses = names.isEmpty() ? QString() : u"uses "_s + names.join(u", "_s) + u";\n"_s;
    if (!save(u"QuillaneCheck"_s, u"program QuillaneCheck;\n"_s + uses + u"begin\n"_s + body + u"\nend.\n"_s))
        return u"cannot write the program"_s;
    QProcess fpc;
    fpc.setWorkingDirectory(dir.path());
    QStringList arguments = {QStringLiteral("-Mdelphi"), QStringLiteral("-Sa"), QStringLiteral("-vew"),
                             QStringLiteral("-FU") + dir.path(), QStringLiteral("-Fu") + dir.path(), u"QuillaneCheck.pas"_s};
    if (!output) arguments << QStringLiteral("-Cn");  // no linking when nothing runs
    fpc.start(QStringLiteral("fpc"), arguments);
    if (!fpc.waitForFinished(compileMilliseconds)) return QStringLiteral("fpc did not finish");
    if (fpc.exitStatus() == QProcess::NormalExit && fpc.exitCode() == 0) {
        if (!output) return QString();
        QProcess run;
        run.start(dir.filePath(QStringLiteral("QuillaneCheck")), {});
        if (!run.waitForFinished(runMilliseconds) || run.exitCode() != 0)
            return QStringLiteral("the program failed: ") + QString::fromLocal8Bit(run.readAll());
        *output = QString::fromLocal8Bit(run.readAllStandardOutput());
        return QString();
    }
    QString out = QString::fromLocal8Bit(fpc.readAllStandardOutput() + fpc.readAllStandardError());
    for (const auto& [name, text] : m_units) out += QStringLiteral("\n--- ") + name + QStringLiteral(".pas\n") + text;
    return out.isEmpty() ? QStringLiteral("fpc failed") : out;
}

QString CompiledUnit(TPascalUnit* unit, bool simplify, TFpcHarness fpc) {
    const QString text = fpc.AddUnit(unit, simplify);
    if (TFpcHarness::Available()) {
        const QString complaint = fpc.CompileAndRun(QString(), nullptr);
        EXPECT_TRUE(complaint.isEmpty()) << complaint.toStdString();
    }
    return text;
}

QStringList RunUnit(TPascalUnit* unit, const QString& body, bool simplify, QString* text) {
    TFpcHarness fpc;
    *text = fpc.AddUnit(unit, simplify);
    QString output;
    const QString failure = fpc.CompileAndRun(body, &output);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    return output.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

// ---------------------------------------------------------------------------
// Statements and expressions from descriptions

namespace {

// A word (list false) or a list of descriptions.
struct TDescription {
    QString word;
    std::vector<TDescription> items;
    bool list = false;

    // The item at `index`; an empty one past the end (an omitted part).
    const TDescription& operator[](size_t index) const {
        static const TDescription none;
        return index < items.size() ? items[index] : none;
    }
};

// The descriptions of tokens[at...] up to a closing bracket or the end.
TDescription Read(const QStringList& tokens, qsizetype& at) {
    TDescription d;
    d.list = true;
    while (at < tokens.size()) {
        const QString& token = tokens[at++];
        if (token == u")") break;
        if (token == u"(")
            d.items.push_back(Read(tokens, at));
        else
            d.items.push_back({token.startsWith(u'"') ? token.mid(1, token.size() - 2) : token, {}, false});
    }
    return d;
}

TDescription Read(const QString& text) {
    static const QRegularExpression tokenPattern(uR"(\(|\)|"[^"]*"|[^\s()]+)"_s);
    QStringList tokens;
    for (auto it = tokenPattern.globalMatch(text); it.hasNext();) tokens << it.next().captured();
    qsizetype at = 0;
    return Read(tokens, at);
}

// The words of the comparisons and operations, in the order of their kinds.
const QStringList compareWords = {u"="_s, u"<>"_s, u">"_s, u">="_s, u"<"_s, u"<="_s, u"and"_s, u"or"_s};
const QStringList operationWords = {u"+"_s, u"-"_s, u"*"_s, u"/"_s, u"div"_s};

void AddExpression(TPascalExpression* e, TPascalMethodWithImplementation* m, const TDescription& d);

// (call Name args...) in an expression or a statement list.
template <class TOwner>
auto* AddCall(TOwner* owner, TPascalMethodWithImplementation* m, const TDescription& d) {
    TPascalNamedNode* node = Declared(m, d[1].word);
    auto* call = node ? owner->AddCallTo(node) : owner->AddCall(d[1].word);
    for (size_t i = 2; i < d.items.size(); ++i) AddExpression(call->AddArgument(), m, d[i]);
    return call;
}

void AddSides(TCustomPascalTwoSideExpressionItem* item, TPascalMethodWithImplementation* m, const TDescription& d) {
    AddExpression(item->Left, m, d[1]);
    AddExpression(item->Right, m, d[2]);
    for (size_t i = 3; i < d.items.size(); ++i) AddExpression(item->AddOperand(), m, d[i]);
}

void AddExpression(TPascalExpression* e, TPascalMethodWithImplementation* m, const TDescription& d) {
    if (!d.list) {
        if (TPascalNamedNode* node = Declared(m, d.word))
            e->AddCallTo(node);
        else if (d.word == u"True" || d.word == u"False")
            e->AddBoolean(d.word == u"True");
        else
            e->AddText(d.word);
        return;
    }
    const QString& head = d[0].word;
    if (const qsizetype kind = compareWords.indexOf(head); kind >= 0) {
        AddSides(e->AddCompare(TPascalCompareKind(kind)), m, d);
    } else if (const qsizetype kind = operationWords.indexOf(head); kind >= 0) {
        AddSides(e->AddOperation(TPascalOperationKind(kind)), m, d);
    } else if (head == u"not") {
        AddExpression(e->AddNot()->Operand, m, d[1]);
    } else if (head == u"in") {
        TPascalItemInSetExpressionItem* item = e->AddItemInSet();
        AddExpression(item->Item, m, d[1]);
        AddExpression(item->SetValue, m, d[2]);
    } else if (head == u"is") {
        TPascalIsTypeExpressionItem* item = e->AddIsType();
        AddExpression(item->Value, m, d[1]);
        AddExpression(item->TypeName, m, d[2]);
    } else if (head == u"call") {
        AddCall(e, m, d);
    } else if (head == u"[]") {
        AddCall(e, m, d)->BracketKind = TPascalBracketKind::Square;
    } else if (head == u"@") {
        e->AddCallEx(u"@"_s, Declared(m, d[1].word), QString());
    } else {
        ADD_FAILURE() << "no expression " << head.toStdString();
    }
}

void AddStatements(TPascalCommands* list, TPascalMethodWithImplementation* m, const TDescription& d, size_t from = 0);

// The branches of a case or the handlers of a try: ("values" statements...).
template <class TAddItem>
void AddBranches(const TAddItem& addItem, TPascalMethodWithImplementation* m, const TDescription& d) {
    for (const TDescription& branch : d.items) {
        auto* item = addItem();
        item->Values->AddText(branch[0].word);
        AddStatements(item->Commands, m, branch, 1);
    }
}

void AddStatement(TPascalCommands* list, TPascalMethodWithImplementation* m, const TDescription& d) {
    const QString& head = d[0].word;
    if (!d.list) {
        list->AddText(d.word);
    } else if (head == u"let") {
        TPascalLet* let = list->AddLet();
        AddExpression(let->Target, m, d[1]);
        AddExpression(let->Value, m, d[2]);
    } else if (head == u"call") {
        AddCall(list, m, d);
    } else if (head == u"line") {
        list->AddText(d[1].word)->Terminated = false;
    } else if (head == u"note") {
        AddComment(list, d[1].word);
    } else if (head == u"if") {
        TPascalIf* f = list->AddIf();
        AddExpression(f->Condition, m, d[1]);
        AddStatements(f->ThenPart, m, d[2]);
        AddStatements(f->ElsePart, m, d[3]);
    } else if (head == u"while") {
        TPascalWhile* w = list->AddWhile();
        AddExpression(w->Condition, m, d[1]);
        AddStatements(w->Body, m, d[2]);
    } else if (head == u"for" || head == u"downto") {
        TPascalFor* f = list->AddFor();
        AddExpression(f->Counter, m, d[1]);
        AddExpression(f->LowValue, m, d[2]);
        AddExpression(f->HighValue, m, d[3]);
        f->Downward = head == u"downto";
        AddStatements(f->Body, m, d[4]);
    } else if (head == u"case") {
        TPascalCase* c = list->AddCase();
        AddExpression(c->Selector, m, d[1]);
        AddBranches([c] { return c->Items->AddCaseItem(); }, m, d[2]);
        AddStatements(c->ElsePart, m, d[3]);
    } else if (head == u"try-finally") {
        TPascalTryFinally* t = list->AddTryFinally();
        AddStatements(t->TryPart, m, d[1]);
        AddStatements(t->FinallyPart, m, d[2]);
    } else if (head == u"try-except") {
        TPascalTryExcept* t = list->AddTryExcept();
        AddStatements(t->TryPart, m, d[1]);
        AddBranches([t] { return t->Handlers->AddHandler(); }, m, d[2]);
        AddStatements(t->ElsePart, m, d[3]);
    } else if (head == u"ifdef") {
        TPascalIfDef* block = CreateNode<TPascalIfDef>(list);
        block->Condition->AddText(d[1].word);
        block->NewLineAtEnd = true;
        for (const TDescription& statement : d[2].items)
            CreateNode<TPascalCustomCommand>(block->ThenPart)->Text = statement.word;
    } else if (head == u"var") {
        AddVariable(m->LocalDeclarations, d[1].word, d[2].word);
    } else if (head == u"const") {
        AddConstant(m->LocalDeclarations, d[1].word, d[2].word);
    } else if (head == u"var-param") {
        m->Head->AddParameter(TPascalParamKind::Var, d[1].word, d[2].word);
    } else if (head == u"returns") {
        m->Head->Kind = TPascalMethodKind::Function;
        m->Head->ResultType->AddText(d[1].word);
    } else if (head == u"nested") {
        auto* nested = AddMethodImplementation(m->LocalDeclarations, TPascalMethodKind::Procedure, d[1].word);
        AddStatements(nested->Body, nested, d, 2);
    } else {
        ADD_FAILURE() << "no statement " << head.toStdString();
    }
}

void AddStatements(TPascalCommands* list, TPascalMethodWithImplementation* m, const TDescription& d, size_t from) {
    for (size_t i = from; i < d.items.size(); ++i) AddStatement(list, m, d.items[i]);
}

}  // namespace

TPascalNamedNode* Declared(TPascalMethodWithImplementation* routine, const QString& name) {
    if (!routine) return nullptr;
    if (name == u"Result") return routine->ResultVariable;
    if (TPascalNamedNode* local = routine->LocalDeclarations->FindNamed(name)) return local;
    for (TPascalNode* p = routine->Head->Parameters->First(); p; p = p->Next())
        if (static_cast<TPascalNamedNode*>(p)->Name == name) return static_cast<TPascalNamedNode*>(p);
    const auto* list = PascalAs<TPascalDeclarations>(routine->Parent());
    return list ? list->FindNamed(name) : nullptr;
}

void AddStatements(TPascalCommands* list, TPascalMethodWithImplementation* routine, const QString& description) {
    AddStatements(list, routine, Read(description));
}

void AddExpression(TPascalExpression* e, TPascalMethodWithImplementation* routine, const QString& description) {
    AddExpression(e, routine, Read(description)[0]);
}
