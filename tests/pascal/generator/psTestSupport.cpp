#include "psTestSupport.h"

#include "core/cuCodeWriters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

namespace {
QString GoldenPath(const QString& name) {
    return QStringLiteral(QUILLANE_TEST_DATA "/pascal/") + name + QStringLiteral(".pas");
}
}  // namespace

QString GoldenUnit(const QString& name) {
    QFile file(GoldenPath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

void ExpectGoldenUnit(const QString& text, const QString& name) {
    if (qEnvironmentVariableIsSet("QUILLANE_UPDATE_GOLDEN")) {
        QFile file(GoldenPath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return;
    }
    EXPECT_EQ(text, GoldenUnit(name));
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

QString TFpcHarness::Compile() const {
    return CompileAndRun(QString(), nullptr);
}

QString TFpcHarness::CompileAndRun(const QString& body, QString* output) const {
    constexpr int compileMilliseconds = 120000;
    constexpr int runMilliseconds = 60000;
    QTemporaryDir dir;
    if (!dir.isValid()) return QStringLiteral("no temporary folder");
    QStringList names;
    for (const auto& [name, text] : m_units) {
        QFile file(dir.filePath(name + QStringLiteral(".pas")));
        if (!file.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write ") + file.fileName();
        file.write(text.toUtf8());
        names << name;
    }
    QString program = QStringLiteral("program QuillaneCheck;\n");
    if (!names.isEmpty()) program += QStringLiteral("uses ") + names.join(QStringLiteral(", ")) + QStringLiteral(";\n");
    program += QStringLiteral("begin\n") + body + QStringLiteral("\nend.\n");
    QFile main(dir.filePath(QStringLiteral("QuillaneCheck.pas")));
    if (!main.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the program");
    main.write(program.toUtf8());
    main.close();
    QProcess fpc;
    fpc.setWorkingDirectory(dir.path());
    QStringList arguments = {QStringLiteral("-Mdelphi"), QStringLiteral("-Sa"), QStringLiteral("-vew"),
                             QStringLiteral("-FU") + dir.path(), QStringLiteral("-Fu") + dir.path(), main.fileName()};
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

QString CompiledUnit(TPascalUnit* unit, bool simplify) {
    TFpcHarness fpc;
    const QString text = fpc.AddUnit(unit, simplify);
    EXPECT_COMPILES(fpc);
    return text;
}

// ---------------------------------------------------------------------------
// Statements from short descriptions

TPascalNamedNode* Declared(TPascalMethodWithImplementation* routine, const QString& name) {
    if (name == u"Result") return routine->ResultVariable;
    if (TPascalNamedNode* local = routine->LocalDeclarations->FindNamed(name)) return local;
    for (TPascalNode* p = routine->Head->Parameters->First(); p; p = p->Next())
        if (static_cast<TPascalNamedNode*>(p)->Name == name) return static_cast<TPascalNamedNode*>(p);
    const auto* list = PascalAs<TPascalDeclarations>(routine->Parent());
    return list ? list->FindNamed(name) : nullptr;
}

void AddValue(TPascalExpression* e, TPascalMethodWithImplementation* routine, const char* text) {
    const QString value = S(text);
    if (TPascalNamedNode* node = Declared(routine, value))
        e->AddCallTo(node);
    else if (value == u"True" || value == u"False")
        e->AddBoolean(value == u"True");
    else
        e->AddText(value);
}

void AddStatements(TPascalCommands* list, TPascalMethodWithImplementation* routine, const TStatements& statements) {
    for (const TStatement& statement : statements) statement(list, routine);
}

TStatement Text(const char* text) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation*) { list->AddText(S(text)); };
}

TStatement Let(const char* target, const char* value) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalLet* let = list->AddLet();
        AddValue(let->Target, m, target);
        AddValue(let->Value, m, value);
    };
}

TStatement Call(const char* name, std::vector<const char*> arguments) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalNamedNode* node = Declared(m, S(name));
        TPascalCallInCommands* call = node ? list->AddCallTo(node) : list->AddCall(S(name));
        for (const char* argument : arguments) AddValue(call->AddArgument(), m, argument);
    };
}

TStatement If(const char* condition, TStatements thenPart, TStatements elsePart) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalIf* f = list->AddIf();
        AddValue(f->Condition, m, condition);
        AddStatements(f->ThenPart, m, thenPart);
        AddStatements(f->ElsePart, m, elsePart);
    };
}

TStatement While(const char* condition, TStatements body) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalWhile* w = list->AddWhile();
        AddValue(w->Condition, m, condition);
        AddStatements(w->Body, m, body);
    };
}

TStatement For(const char* counter, const char* low, const char* high, TStatements body, bool downward) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalFor* f = list->AddFor();
        AddValue(f->Counter, m, counter);
        AddValue(f->LowValue, m, low);
        AddValue(f->HighValue, m, high);
        f->Downward = downward;
        AddStatements(f->Body, m, body);
    };
}

TStatement Case(const char* selector, TBranches items, TStatements elsePart) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalCase* c = list->AddCase();
        AddValue(c->Selector, m, selector);
        for (const auto& [values, statements] : items) {
            TPascalCaseItem* item = c->Items->AddCaseItem();
            item->Values->AddText(S(values));
            AddStatements(item->Commands, m, statements);
        }
        AddStatements(c->ElsePart, m, elsePart);
    };
}

TStatement TryFinally(TStatements tryPart, TStatements finallyPart) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalTryFinally* t = list->AddTryFinally();
        AddStatements(t->TryPart, m, tryPart);
        AddStatements(t->FinallyPart, m, finallyPart);
    };
}

TStatement TryExcept(TStatements tryPart, TBranches handlers, TStatements elsePart) {
    return [=](TPascalCommands* list, TPascalMethodWithImplementation* m) {
        TPascalTryExcept* t = list->AddTryExcept();
        AddStatements(t->TryPart, m, tryPart);
        for (const auto& [values, statements] : handlers) {
            TPascalTryExceptItem* handler = t->Handlers->AddHandler();
            handler->Values->AddText(S(values));
            AddStatements(handler->Commands, m, statements);
        }
        AddStatements(t->ElsePart, m, elsePart);
    };
}
