#include "platform/plFileIcons.h"
#include "platform/plPaths.h"
#include "support/testFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// An icon theme of its own in a temporary folder, in use while it lives.
class TTestIconTheme {
public:
    TTestIconTheme() : m_paths(QIcon::themeSearchPaths()), m_name(QIcon::themeName()) {
        const QString theme = m_dir.filePath("icons/quillane-test");
        QDir().mkpath(theme + "/16x16/mimetypes");
        QDir().mkpath(theme + "/16x16/places");
        WriteTestFile(theme + "/index.theme",
                      "[Icon Theme]\nName=Test\nDirectories=16x16/mimetypes,16x16/places\n\n"
                      "[16x16/mimetypes]\nSize=16\nType=Fixed\n\n[16x16/places]\nSize=16\nType=Fixed\n");
        Save(theme + "/16x16/mimetypes/text-plain.png", Qt::red);
        Save(theme + "/16x16/places/folder.png", Qt::blue);
        QIcon::setThemeSearchPaths({m_dir.filePath("icons")});
        QIcon::setThemeName("quillane-test");
    }
    ~TTestIconTheme() {
        QIcon::setThemeSearchPaths(m_paths);
        QIcon::setThemeName(m_name);
    }

private:
    static void Save(const QString& path, QColor colour) {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        image.save(path);
    }

    QTemporaryDir m_dir;
    QStringList m_paths;
    QString m_name;
};

TEST(ThemeFileIcons, TypeAMissingFileByItsNameWithoutMakingAnyFile) {
    QTemporaryDir dir;
    EXPECT_EQ(TThemeFileIcons::IconNames(dir.filePath("notes.TXT")), (QStringList{"text-plain", "text-x-generic"}));
    // An existing file is typed by its content.
    const QString script = dir.filePath("run");
    ASSERT_TRUE(WriteTestFile(script, "#!/bin/sh\necho\n"));
    EXPECT_EQ(TThemeFileIcons::IconNames(script).value(0), "application-x-shellscript");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"run"});
}

TEST(ThemeFileIcons, DrawTheThemesIconOfTheTypeAtTheSizeAsked) {
    TTestIconTheme theme;
    TThemeFileIcons icons;
    const QImage text = icons.FileIcon("/nowhere/a.txt", 16);
    ASSERT_EQ(text.size(), QSize(16, 16));
    EXPECT_EQ(text.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(icons.FileIcon("/nowhere/b.txt", 12).size(), QSize(12, 12));
    EXPECT_EQ(icons.FileIcon("/nowhere/c.txt", 32).size(), QSize(32, 32));
    EXPECT_EQ(icons.FolderIcon("/", 16).pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_TRUE(icons.FileIcon("/nowhere/d.quillane-unknown", 16).isNull());
}

// The user's data folder follows XDG_DATA_HOME for the length of a test.
class TDataHome {
public:
    explicit TDataHome(const QString& path) : m_had(qEnvironmentVariableIsSet("XDG_DATA_HOME")), m_old(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    ~TDataHome() {
        if (m_had)
            qputenv("XDG_DATA_HOME", m_old);
        else
            qunsetenv("XDG_DATA_HOME");
    }

private:
    bool m_had;
    QByteArray m_old;
};

TEST(DataFolders, JoinCompanyAndProductUnderTheUsersDataFolderOrFallBackToTheProgramsFolder) {
    QTemporaryDir dir;
    TDataHome home(dir.path());
    EXPECT_EQ(UserDataFolder(), dir.path());
    EXPECT_EQ(ApplicationDataFolder("Company", "Product"), dir.path() + "/Company/Product/");
    EXPECT_TRUE(QFileInfo(dir.filePath("Company/Product")).isDir());
    EXPECT_EQ(ApplicationDataFolder({}, "Product"), dir.path() + "/Product/");
    ASSERT_TRUE(WriteTestFile(dir.filePath("Blocked"), "a file, not a folder"));
    EXPECT_EQ(ApplicationDataFolder("Blocked", "Product"), QCoreApplication::applicationDirPath() + "/");
}

}  // namespace
