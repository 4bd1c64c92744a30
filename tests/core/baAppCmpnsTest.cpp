#include "core/baAppCmpns.h"
#include "support/testCases.h"
#include "support/testEnglish.h"
#include "support/testFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

TOpenSaveOptions OptionsByName(const QStringList& names) {
    static const QMap<QString, TOpenSaveOption> all{{"osoOpenNoAllFiles", osoOpenNoAllFiles},
                                                     {"osoSaveNoAllFiles", osoSaveNoAllFiles},
                                                     {"osoNoMergeOpenFilters", osoNoMergeOpenFilters},
                                                     {"osoDefaultFilterAll", osoDefaultFilterAll}};
    TOpenSaveOptions options;
    for (const QString& name : names) options |= all.value(name);
    return options;
}

TEST(OpenSaveDialog, FilterStringsMergeOpenEntriesByCaptionAndPlaceAllFilesByTheOptions) {
    TEnglishTexts english;
    const auto expand = [](QString filter) { return filter.replace("All", "All Files (*.*)|*.*"); };
    for (const CaseRow& c : LoadCases("core/appcmpns.txt", "Filters")) {
        TOpenSaveDialog dialog;
        dialog.Options = OptionsByName(BracketedList(c["Options"]));
        for (const QString& item : BracketedList(c["Filters"])) {
            const QStringList parts = item.split(':');
            TFileFilter& f = dialog.FileFilters.AddFilter(parts[0], parts[1]);
            f.UseForOpen = parts.value(2) != "s";
            f.UseForSave = parts.value(2) != "o";
        }
        QString defaultExt = "(unset)";
        EXPECT_EQ(dialog.OpenFilter(), expand(c["Open"])) << c.Text();
        EXPECT_EQ(dialog.SaveFilter(&defaultExt), expand(c["Save"])) << c.Text();
        EXPECT_EQ(defaultExt, c["DefaultExt"]) << c.Text();
    }
    TFileFilters filters;
    filters.AddFilter("png", "Images");
    filters.AddFilter("TXT", "");
    EXPECT_EQ(filters[0].DisplayName(), "Images (*.png)");
    EXPECT_EQ(filters[1].DisplayName(), "TXT (*.txt)");
    EXPECT_EQ(filters.FindByExt("txt"), &filters[1]);
    EXPECT_EQ(filters.FindByExt("tx"), nullptr);
}

TEST(CommandLine, FindParamMatchesByModeAndGivesOrConsumesByAction) {
    static const QMap<QString, TParamMode> modes{
        {"Mask", TParamMode::Mask}, {"Switch", TParamMode::Switch}, {"Option", TParamMode::Option}};
    static const QMap<QString, TParamAction> actions{
        {"Get", TParamAction::Get}, {"Remove", TParamAction::Remove}, {"Take", TParamAction::Take}};
    for (const CaseRow& c : LoadCases("core/appcmpns.txt", "FindParam")) {
        TCommandLine line(BracketedList(c["Params"]));
        QString value = "(none)";
        EXPECT_EQ(line.FindParam(modes[c["Mode"]], actions[c["Action"]], c.Int("Index"), c["Text"], &value),
                  c.Int("Found") == 1)
            << c.Text();
        EXPECT_EQ(value, c["Value"]) << c.Text();
        EXPECT_EQ(line.Params(), BracketedList(c["Left"])) << c.Text();
    }
    TCommandLine line({"-save", "a.prm", "Mode=fast"});
    EXPECT_TRUE(line.HasSwitch("-save"));
    EXPECT_FALSE(line.HasSwitch("-save")) << "every argument is consumed once";
    QString value;
    EXPECT_TRUE(line.GetOption("mode", value));
    EXPECT_EQ(value, "fast");
    EXPECT_TRUE(line.GetFileParam("*.PRM", value));
    EXPECT_TRUE(line.Params().isEmpty());
}

class RecentFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        recent.SetSessionFile(&session);
        recent.KnotPath = "Recent.Files";
        recent.OnReopenChange = [this] { ++changes; };
        changes = 0;
    }
    TSessionFile session;
    TRecentFiles recent;
    int changes = 0;
};

TEST_F(RecentFilesTest, KeepTheNewestFirstAndDropTheOldestBeyondTheLimit) {
    for (int i = 1; i <= 33; ++i) recent.Add(QString("/f%1.prm").arg(i));
    EXPECT_EQ(changes, 33);
    QStringList names = recent.FileNames();
    ASSERT_EQ(names.size(), TRecentFiles::DefaultMaxStoredCount);
    EXPECT_EQ(names.first(), "/f33.prm");
    EXPECT_EQ(names.last(), "/f2.prm") << "the 33rd dropped the oldest";
    EXPECT_EQ(recent.ListKnot(), session.Root()->FindPath(u"Recent.Files", false));
    EXPECT_TRUE(recent.ListKnot()->GetFlags() & kfIndexed);

    // Adding a listed file moves it to the front with an empty record.
    recent.FindFile("/f5.prm")->AddChild("SheetData")->WriteInt("Top", 4);
    TKnot* again = recent.Add("/f5.prm");
    names = recent.FileNames();
    EXPECT_EQ(names.first(), "/f5.prm");
    EXPECT_EQ(names.count("/f5.prm"), 1);
    EXPECT_EQ(names.last(), "/f2.prm") << "the old record went, so nothing was trimmed";
    EXPECT_FALSE(again->HasChildren());
    EXPECT_EQ(recent.FindFile("/F5.prm"), nullptr) << "file names compare with case";

    changes = 0;
    recent.SetMaxStoredCount(3);
    EXPECT_EQ(recent.FileNames(), (QStringList{"/f5.prm", "/f33.prm", "/f32.prm"}));
    recent.SetMaxStoredCount(5);
    recent.Remove("/nowhere.prm");
    EXPECT_EQ(changes, 1) << "only a change that removed something is told";
    recent.Remove("/f33.prm");
    EXPECT_EQ(changes, 2);
    recent.SetMaxStoredCount(0);
    EXPECT_EQ(recent.Add("/g.prm"), nullptr);
    EXPECT_TRUE(recent.FileNames().isEmpty());
}

TEST_F(RecentFilesTest, DropTheirSessionWhenItGoes) {
    auto other = std::make_unique<TSessionFile>();
    recent.SetSessionFile(other.get());
    EXPECT_EQ(changes, 1);
    other.reset();
    EXPECT_EQ(recent.SessionFile(), nullptr);
    EXPECT_EQ(recent.Add("/a.prm"), nullptr);
}

TEST(SessionFile, LoadStatesTellMissingFailedAndLoadedAndSaveFailuresAreRecorded) {
    TEnglishTexts english;
    QTemporaryDir dir;
    TSessionFile session;
    session.FileName = dir.filePath("missing.session");
    session.Load();
    EXPECT_EQ(session.LoadState(), lsFileMissing);
    session.FileName = dir.path();
    session.Load();
    EXPECT_EQ(session.LoadState(), lsLoadFailed);

    // The argument with the extension names the file and is consumed.
    const QString file = dir.filePath("app.session");
    ASSERT_TRUE(WriteTestFile(file, "<x>\r\n\t<Form Left=5/>\r\n</x>\r\n"));
    TCommandLine line({"a.prm", QDir(QDir::currentPath()).relativeFilePath(file)});
    session.SetCommandLine(&line);
    session.CommandLineSearchExt = "session";
    session.Load();
    EXPECT_EQ(session.LoadState(), lsLoaded);
    EXPECT_EQ(session.FileName, file);
    EXPECT_EQ(line.Params(), QStringList{"a.prm"});
    EXPECT_EQ(session.Root()->FindChild(u"Form")->ReadInt(u"Left", 0), 5);

    session.Save();
    EXPECT_EQ(session.SaveError(), "");
    QFile saved(file);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "<app>\r\n\t<Form Left=5/>\r\n</app>\r\n") << "named after the file, no byte-order mark";
    session.FileName = dir.filePath("no/such/folder/app.session");
    session.Save();
    EXPECT_TRUE(session.SaveError().contains(session.FileName)) << session.SaveError().toStdString();
}

}  // namespace
