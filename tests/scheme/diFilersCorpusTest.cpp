// Replays the scheme loader's fuzzing corpus: every file loads (perhaps with
// messages) or fails with the project's exception, in file mode and in
// snapshot mode, and what loaded saves text that loads back to the same save.

#include "scheme/diFilers.h"
#include "support/testSchemeReplay.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray ReadCorpusFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SchemeCorpus, EveryFileLoadsOrFailsCleanlyAndSavesStably) {
    const QDir dir(QStringLiteral(QUILLANE_TEST_DATA "/scheme-corpus"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_GE(files.size(), 20) << "corpus missing in " << dir.path().toStdString();
    int loaded = 0, withMessages = 0;
    for (const QString& name : files) {
        const QByteArray bytes = ReadCorpusFile(dir.filePath(name));
        for (uint8_t mode : {fmFile, fmSnapshot}) {
            const TSchemeReplay replay = ReplaySchemeBytes(bytes, mode);
            if (!replay.loaded) continue;
            ++loaded;
            withMessages += replay.messages > 0;
            EXPECT_TRUE(replay.reread) << name.toStdString() << " mode " << int(mode);
            EXPECT_TRUE(replay.stable) << name.toStdString() << " mode " << int(mode) << "\nfirst:\n"
                                       << replay.first.toStdString() << "second:\n"
                                       << replay.second.toStdString();
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(withMessages, 0);
}

}  // namespace
