// Replays the scheme loader's fuzzing corpus: every file loads (perhaps with
// messages) or fails with the project's exception, in file mode and in
// snapshot mode, and what loaded saves text that loads back to the same save.

#include "scheme/diFilers.h"
#include "support/testCorpus.h"
#include "support/testSchemeReplay.h"

#include <gtest/gtest.h>

namespace {

TEST(SchemeCorpus, EveryFileLoadsOrFailsCleanlyAndSavesStably) {
    int loaded = 0, withMessages = 0;
    const int files = ReplayCorpus("scheme-corpus", [&](const QByteArray& bytes) {
        for (uint8_t mode : {fmFile, fmSnapshot}) {
            const TSchemeReplay replay = ReplaySchemeBytes(bytes, mode);
            if (!replay.loaded) continue;
            ++loaded;
            withMessages += replay.messages > 0;
            EXPECT_TRUE(replay.reread) << "mode " << int(mode);
            EXPECT_TRUE(replay.stable) << "mode " << int(mode) << "\nfirst:\n"
                                       << replay.first.toStdString() << "second:\n"
                                       << replay.second.toStdString();
        }
    });
    EXPECT_GE(files, 20);
    EXPECT_GT(loaded, 0);
    EXPECT_GT(withMessages, 0);
}

}  // namespace
