// Replays the icon reader's fuzzing corpus: every file either loads or fails
// with the project's exception, through the reader and the universal image.

#include "core/cuClasses.h"
#include "core/umBitmap32.h"
#include "core/umIcon.h"
#include "core/umUniversalImage.h"

#include <QBuffer>
#include <QDir>

#include <gtest/gtest.h>

namespace {

TEST(IconCorpus, EveryFileLoadsOrFailsCleanly) {
    const QDir dir(QStringLiteral(QUILLANE_TEST_DATA "/icon-corpus"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_GE(files.size(), 20) << "corpus missing in " << dir.path().toStdString();
    int loaded = 0;
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();

        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        TIconImage icon;
        try {
            icon.LoadFromStream(buffer);
        } catch (const Exception&) {
        }
        for (int i = 0; i < icon.Count(); ++i) {
            if (icon.GetPngStream(i)) continue;
            TBitmap32 bitmap;
            icon.CopyToBitmap32(i, bitmap);  // whole entries always convert
            EXPECT_EQ(bitmap.Width(), icon.Width(i)) << name.toStdString();
            EXPECT_EQ(bitmap.Height(), icon.Height(i)) << name.toStdString();
        }

        buffer.seek(0);
        TUniversalImage image;
        try {
            image.LoadFromStream(buffer);
            ++loaded;
        } catch (const Exception&) {
        }
    }
    EXPECT_GT(loaded, 0);
}

}  // namespace
