#include "platform/plFileIcons.h"
#include "platform/plPaths.h"
#include "support/testEnvironment.h"
#include "support/testFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ThemeFileIcons, TypeAMissingFileByItsNameWithoutMakingAnyFile) {
    QTemporaryDir dir;
    EXPECT_EQ(TThemeFileIcons::IconNames(dir.filePath("notes.TXT")), (QStringList{"text-plain", "text-x-generic"}));
    const QString script = dir.filePath("run");  // an existing file is typed by its content
    ASSERT_TRUE(WriteTestFile(script, "#!/bin/sh\necho\n"));
    EXPECT_EQ(TThemeFileIcons::IconNames(script).value(0), "application-x-shellscript");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"run"});
}

TEST(ThemeFileIcons, DrawTheThemesIconOfTheTypeAtTheSizeAsked) {
    // A theme of its own: a red text icon and a blue folder, 16 pixels.
    QTemporaryDir dir;
    const QString theme = dir.filePath("quillane-test");
    QDir().mkpath(theme + "/16/mimetypes");
    QDir().mkpath(theme + "/16/places");
    WriteTestFile(theme + "/index.theme", "[Icon Theme]\nName=T\nDirectories=16/mimetypes,16/places\n[16/mimetypes]\n"
                                          "Size=16\nType=Fixed\n[16/places]\nSize=16\nType=Fixed\n");
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.save(theme + "/16/mimetypes/text-plain.png");
    image.fill(Qt::blue);
    image.save(theme + "/16/places/folder.png");
    const QStringList paths = QIcon::themeSearchPaths();
    const QString name = QIcon::themeName();
    QIcon::setThemeSearchPaths({dir.path()});
    QIcon::setThemeName("quillane-test");

    TThemeFileIcons icons;
    const QImage text = icons.FileIcon("/nowhere/a.txt", 16);
    EXPECT_EQ(text.size(), QSize(16, 16));
    EXPECT_EQ(text.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(icons.FileIcon("/nowhere/b.txt", 12).size(), QSize(12, 12));
    EXPECT_EQ(icons.FileIcon("/nowhere/c.txt", 32).size(), QSize(32, 32));
    EXPECT_EQ(icons.FolderIcon("/", 16).pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_TRUE(icons.FileIcon("/nowhere/d.quillane-unknown", 16).isNull());
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(name);
}

TEST(DataFolders, JoinCompanyAndProductUnderTheUsersDataFolderOrFallBackToTheProgramsFolder) {
    QTemporaryDir dir;
    const TEnvironmentScope dataHome("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(UserDataFolder(), dir.path());
    EXPECT_EQ(ApplicationDataFolder("Company", "Product"), dir.path() + "/Company/Product/");
    EXPECT_TRUE(QFileInfo(dir.filePath("Company/Product")).isDir());
    EXPECT_EQ(ApplicationDataFolder({}, "Product"), dir.path() + "/Product/");
    EXPECT_TRUE(WriteTestFile(dir.filePath("Blocked"), "a file, not a folder"));
    EXPECT_EQ(ApplicationDataFolder("Blocked", "Product"), QCoreApplication::applicationDirPath() + "/");
}

}  // namespace
