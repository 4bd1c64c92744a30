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

TEST(OpenSaveDialog, FilterStringsMergeOpenEntriesByCaptionAndPlaceAllFilesByTheOptions) {
    TEnglishTexts english;
    const auto expand = [](QString filter) { return filter.replace("All", "All Files (*.*)|*.*"); };
    for (const CaseRow& c : LoadCases("core/appcmpns.txt", "Filters")) {
        TOpenSaveDialog dialog;
        const QStringList byValue{"", "osoOpenNoAllFiles", "osoSaveNoAllFiles", "", "osoNoMergeOpenFilters",
                                  "", "", "", "osoDefaultFilterAll"};
        for (const QString& name : BracketedList(c["Options"])) dialog.Options |= TOpenSaveOption(byValue.indexOf(name));
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
    const QStringList modes{"Mask", "Switch", "Option"}, actions{"Get", "Remove", "Take"};
    for (const CaseRow& c : LoadCases("core/appcmpns.txt", "FindParam")) {
        TCommandLine line(BracketedList(c["Params"]));
        QString value = "(none)";
        EXPECT_EQ(line.FindParam(TParamMode(modes.indexOf(c["Mode"])), TParamAction(actions.indexOf(c["Action"])),
                                 c.Int("Index"), c["Text"], &value),
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

TEST(RecentFiles, KeepTheNewestFirstDropTheOldestBeyondTheLimitAndTheirSessionWhenItGoes) {
    auto session = std::make_unique<TSessionFile>();
    TRecentFiles recent;
    int changes = 0;
    recent.OnReopenChange = [&changes] { ++changes; };
    recent.KnotPath = "Recent.Files";
    recent.SetSessionFile(session.get());
    for (int i = 1; i <= 33; ++i) recent.Add(QString("/f%1.prm").arg(i));
    EXPECT_EQ(changes, 34);
    QStringList names = recent.FileNames();
    ASSERT_EQ(names.size(), TRecentFiles::DefaultMaxStoredCount);
    EXPECT_EQ(names.first(), "/f33.prm");
    EXPECT_EQ(names.last(), "/f2.prm") << "the 33rd dropped the oldest";
    EXPECT_EQ(recent.ListKnot(), session->Root()->FindPath(u"Recent.Files", false));
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
    session.reset();
    EXPECT_EQ(recent.SessionFile(), nullptr);
}

// Records edited by hand: a file listed twice, a record without a name.
TEST(RecentFiles, AFileListedTwiceGoesWholeAndARecordWithoutANameIsNotListed) {
    TSessionFile session;
    TRecentFiles recent;
    recent.SetSessionFile(&session);
    const auto load = [&] {
        ASSERT_TRUE(session.Root()->LoadFromString(QStringLiteral(
            "<s>\r\n\t<File FileName=\"/a.prm\"/>\r\n\t<File/>\r\n\t<File FileName=\"/a.prm\">\r\n"
            "\t\t<SheetData Top=\"1\"/>\r\n\t</File>\r\n\t<File FileName=\"/b.prm\"/>\r\n</s>\r\n")));
    };
    load();
    EXPECT_EQ(recent.FileNames(), (QStringList{"/a.prm", "/a.prm", "/b.prm"}));
    EXPECT_FALSE(recent.Add("/a.prm")->HasChildren());
    EXPECT_EQ(recent.FileNames(), (QStringList{"/a.prm", "/b.prm"}));
    load();
    recent.Remove("/a.prm");
    EXPECT_EQ(recent.FileNames(), QStringList{"/b.prm"}) << "an open file is not recent";
}

TEST(SessionFile, LoadStatesTellMissingFailedAndLoadedAndSaveFailuresAreRecorded) {
    TEnglishTexts english;
    QTemporaryDir dir;
    TSessionFile session;
    for (const auto& [name, state] : {std::pair{dir.filePath("missing.session"), lsFileMissing},
                                      std::pair{dir.path(), lsLoadFailed}}) {
        session.FileName = name;
        session.Load();
        EXPECT_EQ(session.LoadState(), state) << name.toStdString();
    }

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
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "<app>\r\n\t<Form Left=5/>\r\n</app>\r\n") << "named after the file, no byte-order mark";
    session.FileName = dir.filePath("no/such/folder/app.session");
    session.Save();
    EXPECT_TRUE(session.SaveError().contains(session.FileName)) << session.SaveError().toStdString();
}

// The root is named after the file, which the user may name freely.
TEST(SessionFile, AFileNameThatIsNoKnotNameStillSavesAFileThatReadsBack) {
    QTemporaryDir dir;
    for (const auto& [file, root] : {std::pair<QString, QString>{"my session.session", "my_session"},
                                     {".session", "_"}, {"a<b=\"c.session", "a_b__c"}}) {
        TSessionFile session;
        session.FileName = dir.filePath(file);
        session.Root()->FindOrAddChild(QStringLiteral("Form"))->WriteInt(QStringLiteral("Left"), 5);
        session.Save();
        TSessionFile again;
        again.FileName = session.FileName;
        again.Load();
        EXPECT_EQ(again.Root()->Name(), root);
        TKnot* form = again.Root()->FindChild(u"Form");
        EXPECT_EQ(form ? form->ReadInt(u"Left", 0) : 0, 5) << file.toStdString();
    }
}

}  // namespace
