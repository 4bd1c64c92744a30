// The fixture modules of the Pascal elements, built as a user builds them,
// saved as "prm" files, loaded into private copies and generated: every unit
// compiles with Free Pascal in Delphi mode, and the small ones are compared
// with their reviewed golden units.

#include "pascal/driver/declarationsModule.h"
#include "pascal/driver/routinesModule.h"
#include "pascal/driver/statementsModule.h"
#include "pascal/driver/valuesModule.h"
#include "pascal/generator/psTestSupport.h"
#include "prGenerationTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TFixtureCase {
    const char* name;  // the module's file name and unit name
    void (*build)(TSheetDriver& driver);
    bool golden;
};

class FixtureUnits : public ::testing::TestWithParam<TFixtureCase> {};

}  // namespace

TEST_P(FixtureUnits, LoadedFromTheirFileGenerateOnAPrivateCopyAndCompile) {
    const TFixtureCase& fixture = GetParam();
    const QString name = QString::fromLatin1(fixture.name);
    std::unique_ptr<TSheetDriver> driver = ProgramDriver();
    fixture.build(*driver);
    std::unique_ptr<TScheme> scheme = SaveAndLoadModule(*driver, name + QStringLiteral(".prm"));
    const TGenerated generated = Generate(scheme.get(), name);
    EXPECT_EQ(Lines(generated.Messages), "");
    if (fixture.golden) ExpectGoldenUnit(generated.Text, QStringLiteral("Generated") + name);
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TFpcHarness fpc;
    fpc.Add(name, generated.Text);
    const QString complaint = fpc.CompileAndRun(QString(), nullptr);
    EXPECT_TRUE(complaint.isEmpty()) << complaint.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureUnits,
                         ::testing::Values(TFixtureCase{"Routines", BuildRoutinesModule, true},
                                           TFixtureCase{"Values", BuildValuesModule, true},
                                           TFixtureCase{"Declarations", BuildDeclarationsModule, false},
                                           TFixtureCase{"LocalDeclarations", BuildLocalDeclarationsModule, true},
                                           TFixtureCase{"Statements", BuildStatementsModule, true}),
                         [](const ::testing::TestParamInfo<TFixtureCase>& info) { return info.param.name; });
