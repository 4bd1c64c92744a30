// The application list for a MIME type from a made-up XDG tree.

#include "platform/plDesktopApps.h"
#include "support/testFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class DesktopApps : public ::testing::Test {
protected:
    QTemporaryDir root;
    TXdgDirs dirs;

    void SetUp() override {
        dirs.DataDirs = {root.filePath("home"), root.filePath("system")};
        dirs.ConfigDirs = {root.filePath("config")};
        Write("system/applications/editor.desktop",
              "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nExec=editor --new %F\nIcon=ed\n");
        Write("system/applications/viewer.desktop",
              "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer\n");
        Write("system/applications/gone.desktop",
              "[Desktop Entry]\nType=Application\nName=Gone\nExec=gone %f\nHidden=true\n");
        Write("system/applications/kde/paint.desktop",
              "[Desktop Entry]\nType=Application\nName=Paint\nExec=paint %u\n");
        Write("system/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=x\n");
        Write("system/applications/mimeinfo.cache",
              "[MIME Cache]\ntext/plain=viewer.desktop;editor.desktop;gone.desktop;link.desktop;\n"
              "image/png=kde-paint.desktop;editor.desktop;\n");
        Write("home/applications/mine.desktop",
              "[Desktop Entry]\nType=Application\nName=Mine\nExec=\"/opt/my app/run\" --file=%f\n");
    }
    void Write(const QString& rel, const QByteArray& text) {
        const QString path = root.filePath(rel);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(WriteTestFile(path, text));
    }
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
    Write("config/mimeapps.list",
          "[Default Applications]\ntext/plain=mine.desktop\n"
          "[Added Associations]\ntext/plain=editor.desktop;\n"
          "[Removed Associations]\ntext/plain=viewer.desktop;\n");
    EXPECT_EQ(Ids({"text/plain"}), (QStringList{"mine.desktop", "editor.desktop"}));
    // Ancestor types add their applications after the specific ones, once each.
    EXPECT_EQ(Ids({"text/x-csrc", "text/plain"}), (QStringList{"mine.desktop", "editor.desktop"}));
}

TEST_F(DesktopApps, EntryFieldsAndExecArguments) {
    const auto apps = ListApplicationsForMimeTypes({"text/plain", "image/png"}, dirs);
    ASSERT_EQ(apps.size(), 3u);
    const TDesktopApp& editor = apps[1];
    EXPECT_EQ(editor.Icon, "ed");
    EXPECT_EQ(editor.FilePath, root.filePath("system/applications/editor.desktop"));
    EXPECT_EQ(DesktopExecArguments(editor, "/t/a b.txt"), (QStringList{"editor", "--new", "/t/a b.txt"}));
    EXPECT_EQ(DesktopExecArguments(apps[0], "/t/a.txt"), (QStringList{"viewer", "/t/a.txt"}));  // appended
    TDesktopApp mine;
    ASSERT_TRUE(ReadDesktopEntry(root.filePath("home/applications/mine.desktop"), mine));
    EXPECT_EQ(mine.Id, "mine.desktop");
    EXPECT_EQ(DesktopExecArguments(mine, "/x.txt"), (QStringList{"/opt/my app/run", "--file=/x.txt"}));
}

TEST(DesktopExecArguments, FieldCodes) {
    TDesktopApp app;
    app.Name = "App";
    app.Icon = "app-icon";
    app.FilePath = "/usr/share/applications/app.desktop";
    const std::pair<const char*, QStringList> cases[] = {
        {"app %i %c %k", {"app", "--icon", "app-icon", "App", "/usr/share/applications/app.desktop", "/f"}},
        {"app 100%% %U", {"app", "100%", "/f"}},
        {"app %d %m -x", {"app", "-x", "/f"}},  // deprecated codes vanish
        {R"("/opt/a \"q\" b" %f)", {R"(/opt/a "q" b)", "/f"}},
    };
    for (const auto& [exec, expected] : cases) {
        app.Exec = exec;
        EXPECT_EQ(DesktopExecArguments(app, "/f"), expected) << exec;
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
