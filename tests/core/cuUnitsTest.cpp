#include "core/cuUnits.h"

#include "core/cuClasses.h"

#include <gtest/gtest.h>

namespace {

// Three units that log their set-up and clean-up.
struct UnitsTest : ::testing::Test {
    QStringList log;
    void AddUnits(TUnitRegistry& units) {
        for (const char* name : {"a", "b", "c"}) {
            const QString n = QString::fromLatin1(name);
            units.Add(n, [this, n] { log << "init " + n; }, [this, n] { log << "final " + n; });
        }
    }
};

TEST_F(UnitsTest, InitialisesInOrderOnceFinalisesInReverseAndStopsAtARaisingUnit) {
    TUnitRegistry units;
    units.Add("first", [this] { log << "init first"; });
    units.InitializeAll();
    AddUnits(units);  // added later: initialised by the next call
    units.InitializeAll();
    units.InitializeAll();  // nothing is initialised twice
    EXPECT_EQ(units.InitializedNames(), QStringList({"first", "a", "b", "c"}));
    units.FinalizeAll();
    units.FinalizeAll();
    EXPECT_EQ(log, QStringList({"init first", "init a", "init b", "init c", "final c", "final b", "final a"}));
    EXPECT_TRUE(units.InitializedNames().isEmpty());
    // A unit whose initialisation raises stays uninitialised, and so do those after it.
    TUnitRegistry failing;
    failing.Add("bad", [] { throw Exception("no"); }, [this] { log << "final bad"; });
    AddUnits(failing);
    log.clear();
    EXPECT_THROW(failing.InitializeAll(), Exception);
    EXPECT_TRUE(failing.InitializedNames().isEmpty());
    failing.FinalizeAll();
    EXPECT_TRUE(log.isEmpty());
}

// Destruction finalises what is still initialised, last first. Regression: a
// finalisation that raised escaped the registry's destructor (the program
// ended) and the units before it were never finalised.
TEST_F(UnitsTest, RaisingFinalisationDoesNotStopTheOthers) {
    {
        TUnitRegistry units;
        AddUnits(units);
        units.Add("bad", {}, [] { throw Exception("no"); });
        units.InitializeAll();
        log.clear();
    }
    EXPECT_EQ(log, QStringList({"final c", "final b", "final a"}));
}

}  // namespace
