// Program modules connected through file connections: the connection of a
// "prm" file becomes a used unit named as the connection, and the units of
// both modules compile and run together.

#include "prGenerationModule.h"

#include "elements/coRoot.h"

#include <QDir>
#include <QTemporaryDir>

TEST_F(GenerationModule, ConnectedModulesCompileTogetherAndCallEachOther) {
    QTemporaryDir folder;
    const QString libraryFile = QDir(folder.path()).filePath(QStringLiteral("Lib.prm"));
    m_scheme->SetFileName(QDir(folder.path()).filePath(QStringLiteral("App.prm")));
    TScheme library(ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName());
    library.SetFileName(libraryFile);
    m_scheme->OnGetConnectedScheme = [&](TScheme*, const QString& name, TScheme*& answer) {
        if (name == libraryFile) answer = &library;
    };
    auto* libraryRoot = static_cast<TTextorElement*>(library.Root());
    TElement_Method* twice = Routine(libraryRoot, QStringLiteral("Twice"), QStringLiteral("int"));
    Parameter(twice, QStringLiteral("N"), QStringLiteral("int"));
    Operator<TElement_Operation>(Return(Body(twice))->Result(), uint8_t(TOperationKind::Multiply),
                                 {QStringLiteral("N"), QStringLiteral("2")});

    auto* connection = AddNamed<TElement_FileConnection>(Root(), QStringLiteral("Lib"));
    connection->FileNameField()->SetValue(QStringLiteral("Lib.prm"));
    TElement_Method* run = Routine(Root(), QStringLiteral("Run"), QStringLiteral("int"));
    auto* call = Add<TElement_IdentifierInExpression>(Return(Body(run))->Result());
    call->Identifier()->SetText(QStringLiteral("Lib.Twice"));
    ASSERT_EQ(call->ParameterValues()->Values().size(), 1u) << "the connected routine is found";
    call->ParameterValues()->Values()[0]->SetText(QStringLiteral("21"));

    library.SaveToFile(libraryFile);
    const TGenerated app = GenerateUnit(QStringLiteral("App"));
    std::unique_ptr<TScheme> libraryCopy = LoadPrivateCopy(&library);
    const TGenerated lib = Generate(libraryCopy.get(), QStringLiteral("Lib"));
    EXPECT_EQ(Lines(app.Messages), "");
    EXPECT_TRUE(app.Text.contains(QStringLiteral("uses\n  Lib;"))) << app.Text.toStdString();
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TFpcHarness fpc;
    fpc.Add(QStringLiteral("Lib"), lib.Text);
    fpc.Add(QStringLiteral("App"), app.Text);
    QString output;
    const QString failure = fpc.CompileAndRun(QStringLiteral("WriteLn(Run);"), &output);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(output.trimmed(), QStringLiteral("42"));
}
