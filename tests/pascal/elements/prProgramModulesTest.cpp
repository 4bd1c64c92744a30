// The fixture modules built as a user builds them, on the program root of a
// real program module: each checks clean, and saves, loads with nothing
// unread and no warning, and saves again byte for byte as a "prm" file and
// as a snapshot.

#include "pascal/driver/declarationsModule.h"
#include "pascal/driver/propertiesModule.h"
#include "pascal/driver/routinesModule.h"
#include "pascal/driver/statementsModule.h"
#include "pascal/driver/valuesModule.h"
#include "pascal/elements/prScheme.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

struct TModuleCase {
    const char* name;
    void (*build)(TSheetDriver& driver);
};

class ProgramModules : public ::testing::TestWithParam<TModuleCase> {
protected:
    TSheetDriver driver{ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName()};
};

}  // namespace

TEST_P(ProgramModules, BuiltOnTheProgramRootCheckCleanAndSaveLoadAndSaveAgainByteForByteInBothModes) {
    GetParam().build(driver);
    EXPECT_EQ(Lines(driver.Check()), "");
    for (TStoreMode mode : kStoreModes) {
        const QByteArray saved = driver.Save(mode);
        const TLoadedScheme loaded = driver.Load(mode, saved);
        EXPECT_EQ(Lines(loaded.Unread), "") << ModeName(mode);
        EXPECT_EQ(Lines(loaded.Messages), "") << ModeName(mode);
        EXPECT_EQ(loaded.Saved.toStdString(), saved.toStdString()) << ModeName(mode);
        EXPECT_EQ(dynamic_cast<TProgramRoot*>(loaded.Scheme->Root()) != nullptr, true) << ModeName(mode);
    }
    EXPECT_TRUE(driver.Save(TStoreMode::File).contains("<ProgramModule FormatVersion=\"1.1\""));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ProgramModules,
                         ::testing::Values(TModuleCase{"Routines", BuildRoutinesModule},
                                           TModuleCase{"Values", BuildValuesModule},
                                           TModuleCase{"Declarations", BuildDeclarationsModule},
                                           TModuleCase{"LocalDeclarations", BuildLocalDeclarationsModule},
                                           TModuleCase{"Statements", BuildStatementsModule},
                                           TModuleCase{"Properties", BuildPropertiesModule}),
                         [](const ::testing::TestParamInfo<TModuleCase>& info) { return info.param.name; });

// The properties module as a "prm" file, reviewed by hand against the stored
// names of its elements: building it gives the file byte for byte, and the
// file loads with nothing unread and no warning and saves back byte for byte.
TEST(ProgramModuleGoldens, ThePropertiesModuleIsItsGoldenFileAndTheFileSavesBackByteForByte) {
    QFile file(QStringLiteral(QUILLANE_TEST_DATA "/pascal/modules/Properties.prm"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    const QByteArray golden = file.readAll();
    TSheetDriver driver{ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName()};
    BuildPropertiesModule(driver);
    EXPECT_EQ(driver.Save(TStoreMode::File).toStdString(), golden.toStdString());
    const TLoadedScheme loaded = driver.Load(TStoreMode::File, golden);
    EXPECT_EQ(Lines(loaded.Unread), "");
    EXPECT_EQ(Lines(loaded.Messages), "");
    EXPECT_EQ(loaded.Saved.toStdString(), golden.toStdString());
}
