// The application list for a MIME type from a made-up XDG tree.

#include "platform/plDesktopApps.h"
#include "support/testCases.h"

#include <gtest/gtest.h>

namespace {

// The made-up tree is data/platform/xdg; its user preferences (config) are
// read only where a test asks for them.
class DesktopApps : public ::testing::Test {
protected:
    const QString root = QStringLiteral(QUILLANE_TEST_DATA "/platform/xdg/");
    TXdgDirs dirs{{root + "home", root + "system"}, {}};

    QStringList Ids(const QStringList& mimes) const {
        QStringList ids;
        for (const TDesktopApp& app : ListApplicationsForMimeTypes(mimes, dirs)) ids << app.Id;
        return ids;
    }
};

TEST_F(DesktopApps, CacheOrderWithoutHiddenOrNonApplicationsAfterTheUsersPreferences) {
    EXPECT_EQ(Ids({"text/plain"}), (QStringList{"viewer.desktop", "editor.desktop"}));
    EXPECT_EQ(Ids({"image/png"}), (QStringList{"kde-paint.desktop", "editor.desktop"}));
    EXPECT_EQ(Ids({"application/x-none"}), QStringList());
    dirs.ConfigDirs = {root + "config"};
    EXPECT_EQ(Ids({"text/plain"}), (QStringList{"mine.desktop", "editor.desktop"}));
    // Ancestor types add their applications after the specific ones, once each.
    EXPECT_EQ(Ids({"text/x-csrc", "text/plain"}), (QStringList{"mine.desktop", "editor.desktop"}));
}

TEST_F(DesktopApps, EntryFieldsAndExecArguments) {
    const auto apps = ListApplicationsForMimeTypes({"text/plain", "image/png"}, dirs);
    ASSERT_EQ(apps.size(), 3u);
    const TDesktopApp& editor = apps[1];
    EXPECT_EQ(editor.Icon, "ed");
    EXPECT_EQ(editor.FilePath, root + "system/applications/editor.desktop");
    EXPECT_EQ(DesktopExecArguments(editor, "/t/a b.txt"), (QStringList{"editor", "--new", "/t/a b.txt"}));
    EXPECT_EQ(DesktopExecArguments(apps[0], "/t/a.txt"), (QStringList{"viewer", "/t/a.txt"}));  // appended
    TDesktopApp mine;
    ASSERT_TRUE(ReadDesktopEntry(root + "home/applications/mine.desktop", mine));
    EXPECT_EQ(mine.Id, "mine.desktop");
    EXPECT_EQ(DesktopExecArguments(mine, "/x.txt"), (QStringList{"/opt/my app/run", "--file=/x.txt"}));
}

TEST(DesktopExecArguments, FieldCodes) {
    TDesktopApp app;
    app.Name = "App";
    app.Icon = "app-icon";
    app.FilePath = "/usr/share/applications/app.desktop";
    for (const CaseRow& c : LoadCases("platform/shell.txt", "ExecFieldCodes")) {
        app.Exec = c["Exec"];
        EXPECT_EQ(DesktopExecArguments(app, "/f"), BracketedList(c["Expected"])) << c.Text();
    }
    app.Exec = "app %f";
    EXPECT_EQ(DesktopExecArguments(app, {}), QStringList{"app"});
}

TEST(MimeTypesOfFile, SpecificTypeThenAncestors) {
    const QStringList types = MimeTypesOfFile("/nowhere/file.c");
    ASSERT_FALSE(types.isEmpty());
    EXPECT_EQ(types.first(), "text/x-csrc");
    EXPECT_TRUE(types.contains("text/plain"));
}

}  // namespace
