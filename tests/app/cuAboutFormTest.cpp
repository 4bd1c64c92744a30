// The about box: its caption, the product with the running version, its own
// icon and logo, the logo's address opened through the shell on a click,
// and OK as the default and cancel button; a picture of it for review.

#include "app/cuAboutForm.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "platform/plShell.h"
#include "support/testEnglish.h"
#include "support/testGlobal.h"
#include "ui/baUserButtons.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AboutFormTest : public ::testing::Test {
protected:
    AboutFormTest() {
        form.SetCredits(LoadStr(strAboutCredits));
        form.SetWebAddress(QStringLiteral("https://example.org/maker"));
    }

    TTestGlobal global;
    TEnglishTexts english;
    TFakeShell shell;
    TShellInstaller shellInstaller{&shell};
    TAboutForm form{nullptr};
};

TEST_F(AboutFormTest, ShowsTheProductWithItsVersionUnderItsOwnCaption) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("About\u00a0Quillane"));
    EXPECT_EQ(form.ProductBox()->text(), QStringLiteral("Quillane 1.0"));
    EXPECT_TRUE(form.ProductBox()->isReadOnly());
    EXPECT_GT(form.ProductBox()->font().pointSizeF(), form.font().pointSizeF() + 9);
    EXPECT_EQ(form.CreditsBox()->toPlainText(), LoadStr(strAboutCredits).replace("\r\n", "\n"));
    EXPECT_TRUE(form.CreditsBox()->isReadOnly());
    EXPECT_EQ(form.size(), QSize(TAboutForm::kClientWidth, TAboutForm::kClientHeight));
    EXPECT_EQ(form.Icon().size(), QSize(64, 64));
    EXPECT_FALSE(ProgramIcon().isNull());
    EXPECT_EQ(form.Logo().size(), QSize(28, 20));
    EXPECT_EQ(form.Logo().pixelColor(0, 0), form.palette().color(QPalette::Window)) << "cleared with the form colour";
    EXPECT_TRUE(form.OkButton()->IsDefault() && form.OkButton()->IsCancel());
    EXPECT_EQ(form.OkButton()->ModalResult(), mrOk);
}

TEST_F(AboutFormTest, AClickOnTheLogoOpensItsAddressInTheBrowser) {
    EXPECT_EQ(form.LogoBox()->toolTip(), QStringLiteral("https://example.org/maker"));
    EXPECT_EQ(form.LogoBox()->cursor().shape(), Qt::PointingHandCursor);
    form.show();
    QTest::mouseClick(form.ProductBox(), Qt::LeftButton);
    EXPECT_TRUE(shell.Calls.isEmpty());
    QTest::mouseClick(form.LogoBox(), Qt::LeftButton);
    EXPECT_EQ(shell.Calls, QStringList{"Execute|https://example.org/maker||"});
}

TEST_F(AboutFormTest, EnterClosesTheBoxAndAPictureIsLeftForReview) {
    form.show();
    const QImage image = form.grab().toImage();
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("about-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    QTest::keyClick(&form, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
