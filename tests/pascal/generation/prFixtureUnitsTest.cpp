// The fixture modules of the Pascal elements, built as a user builds them,
// saved as "prm" files, loaded into private copies and generated: every unit
// compiles with Free Pascal in Delphi mode, and the small ones are compared
// with their reviewed golden units.

#include "pascal/driver/declarationsModule.h"
#include "pascal/driver/playerModule.h"
#include "pascal/driver/propertiesModule.h"
#include "pascal/driver/routinesModule.h"
#include "pascal/driver/statementsModule.h"
#include "pascal/driver/valuesModule.h"
#include "pascal/elements/prScheme.h"
#include "pascal/generator/psTestSupport.h"
#include "prGenerationTestSupport.h"

#include <QFileInfo>

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
                                           TFixtureCase{"Statements", BuildStatementsModule, true},
                                           TFixtureCase{"Properties", BuildPropertiesModule, true}),
                         [](const ::testing::TestParamInfo<TFixtureCase>& info) { return info.param.name; });

// The player and the properties module it connects to under the name "Lib",
// each generated from its own "prm" file: both units compile together, and a
// program reads and sets the playlist's properties of every kind (a setter
// that counts changes, an indexed caption, marks by index with their count,
// the lazily made track, the class property through the class and an
// instance) and resets it inside its locker.
TEST(FixturePairs, ThePlayerAndThePropertiesModuleItConnectsToCompileTogetherAndRun) {
    std::unique_ptr<TSheetDriver> library = ProgramDriver();
    BuildPropertiesModule(*library);
    std::unique_ptr<TScheme> libraryCopy = SaveAndLoadModule(*library, QStringLiteral("Lib.prm"));
    const QString libraryFile = library->FilePath(QStringLiteral("Lib.prm"));
    auto answer = [&](TScheme*, const QString& fileName, TScheme*& scheme) {
        if (QFileInfo(fileName) == QFileInfo(libraryFile)) scheme = libraryCopy.get();
    };
    std::unique_ptr<TSheetDriver> player = ProgramDriver();
    player->Scheme()->OnGetConnectedScheme = answer;
    BuildPlayerModule(*player, libraryFile);
    player->Save(TStoreMode::File, QStringLiteral("Player.prm"));
    auto playerCopy = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                                ProgramSchemeDescriptor().GetKindName());
    playerCopy->OnGetConnectedScheme = answer;
    playerCopy->LoadFromFile(player->FilePath(QStringLiteral("Player.prm")));
    const TGenerated app = Generate(playerCopy.get(), QStringLiteral("Player"));
    const TGenerated lib = Generate(libraryCopy.get(), QStringLiteral("Lib"));
    EXPECT_EQ(Lines(app.Messages), "");
    EXPECT_EQ(Lines(lib.Messages), "");
    if (!TFpcHarness::Available()) GTEST_SKIP() << "no fpc";
    TFpcHarness fpc;
    fpc.Add(QStringLiteral("Lib"), lib.Text);
    fpc.Add(QStringLiteral("Player"), app.Text);
    QString output;
    const QString failure = fpc.CompileAndRun(QStringLiteral(
        "with TPlaylist.Create do\n"
        "begin\n"
        "  Volume := 7;\n"
        "  Volume := 7;\n"
        "  WriteLn(Volume, ' ', Count);\n"
        "  Count := 3;\n"
        "  WriteLn(Marks[2], ' ', TPlaylist.MaxVolume, ' ', MaxVolume);\n"
        "  Caption[True] := 'Evening';\n"
        "  WriteLn(Caption[False], ' ', Assigned(Current), ' ', Current = Current);\n"
        "  Reset;\n"
        "  WriteLn(Volume, ' ', Count);\n"
        "  Free;\n"
        "end;"), &output);
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString() << "\n" << lib.Text.toStdString() << app.Text.toStdString();
    EXPECT_EQ(output.trimmed().toStdString(), "7 1\n2 100 100\nEvening TRUE TRUE\n0 0");
}
