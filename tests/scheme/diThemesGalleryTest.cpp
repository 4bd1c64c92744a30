// Draws every element kind of the built-in theme into one picture in the
// build folder ("theme-default-gallery.png"), so that the look can be reviewed.

#include "scheme/diThemes.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <gtest/gtest.h>

TEST(BuiltInTheme, GalleryOfEveryKindIsWritten) {
    TSheetTheme theme;
    theme.LoadFromResource(TSheetTheme::DefaultThemeResource);
    constexpr int Columns = 5, CellW = 150, CellH = 64;
    const int rows = (tekCount + Columns - 1) / Columns;
    QImage out(Columns * CellW, rows * CellH, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(0xFB, 0xFC, 0xFD));
    QPainter p(&out);
    const QFont label = theme.GetFontData(tfkElement).MakeFont();
    const QFont code = theme.GetFontData(tfkCode).MakeFont();
    p.setFont(label);
    for (int k = 0; k < tekCount; ++k) {
        const int x = (k % Columns) * CellW, y = (k / Columns) * CellH;
        p.setPen(QColor(0x6B, 0x72, 0x80));
        p.drawText(QRect(x + 8, y + 4, CellW - 16, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   TSheetTheme::ElementKindName(k));
        if (TSheetTheme::IsFrameKind(k)) {
            const TRect r{x + 8, y + 24, x + CellW - 12, y + CellH - 8};
            theme.DrawFrame(p, k, r);
            // A sample text inside the padding, as elements write their titles.
            const TRect pad = theme.GetElementData(k).Padding;
            p.setFont(code);
            p.setPen(QColor::fromRgba(theme.GetFontData(k == tekComment ? tfkComment : tfkCode).Color));
            if (k == tekComment) p.setFont(theme.GetFontData(tfkComment).MakeFont());
            p.drawText(QRect(r.Left + pad.Left, r.Top + pad.Top, r.Width() - pad.Left - pad.Right,
                             r.Height() - pad.Top - pad.Bottom),
                       Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Sample"));
            p.setFont(label);
        } else
            theme.DrawImage(p, k, x + 8, y + 28);
    }
    p.end();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("theme-default-gallery.png");
    ASSERT_TRUE(out.save(path));
    // Every cell received some pixels of its kind.
    for (int k = 0; k < tekCount; ++k) {
        const int x = (k % Columns) * CellW + 8, y = (k / Columns) * CellH + 24;
        bool painted = false;
        for (int yy = y; yy < y + 32 && !painted; ++yy)
            for (int xx = x; xx < x + 4 && !painted; ++xx) painted = out.pixel(xx, yy) != qRgb(0xFB, 0xFC, 0xFD);
        EXPECT_TRUE(painted) << TSheetTheme::ElementKindName(k).toStdString();
    }
}
