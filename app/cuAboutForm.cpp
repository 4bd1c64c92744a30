#include "app/cuAboutForm.h"

#include "app/unGlobal.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "core/umBitmap32.h"
#include "core/umUniversalImage.h"
#include "platform/plSystemColors.h"
#include "ui/baStyledPainter.h"
#include "ui/baUserButtons.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>

#include <functional>

namespace {

constexpr char kIconResource[] = ":/rc/app/MainIcon.png";
constexpr char kLogoResource[] = ":/rc/app/Logo.png";
constexpr char kWebAddress[] = "https://www.quillane.org/";
constexpr int kIconSide = 64;
constexpr int kTopBandHeight = 97;
constexpr int kProductFontGrowth = 10;
constexpr QRgb kBandEdgeColor = qRgb(192, 192, 192);
const QRect kIconRect{20, 16, kIconSide, kIconSide};
const QRect kProductRect{104, 32, 329, 35};
const QRect kCreditsRect{24, 112, 449, 209};
const QRect kLogoRect{24, 336, 28, 20};
const QRect kOkRect{384, 336, 89, 25};

// A plain surface painted by a handler; a left click runs OnClick.
class TPaintBox : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(QPainter&, const QRect&)> OnPaint;
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (OnPaint) OnPaint(painter, rect());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
            RunGuarded("TAboutForm.pbLogoClick", OnClick);
    }
};

// The picture of a resource file; empty when it is missing or unreadable.
QImage LoadResourceImage(const char* name) {
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    TUniversalImage image;
    try {
        image.LoadFromStream(file);
    } catch (const Exception&) {
        return {};
    }
    return image.IsEmpty() ? QImage() : image.GetFirstFrame()->Image();
}

void DrawCentred(QPainter& painter, const QRect& box, const QImage& image) {
    if (image.isNull()) return;
    painter.drawImage(box.x() + (box.width() - image.width()) / 2, box.y() + (box.height() - image.height()) / 2,
                      image);
}

}  // namespace

TAboutForm::TAboutForm(QWidget* owner) : QDialog(owner) {
    setFont(QApplication::font());
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(LoadStrFmt(strAboutProduct, {LoadStr(strProductName)}));
    LoadPictures();
    CreateControls();
}

void TAboutForm::LoadPictures() {
    m_icon = LoadResourceImage(kIconResource);
    if (!m_icon.isNull() && m_icon.size() != QSize(kIconSide, kIconSide))
        m_icon = m_icon.scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QImage logo = LoadResourceImage(kLogoResource);
    if (logo.isNull()) return;
    m_logo = QImage(logo.size(), QImage::Format_ARGB32_Premultiplied);
    m_logo.fill(palette().color(QPalette::Window));
    QPainter painter(&m_logo);
    painter.drawImage(0, 0, logo);
}

void TAboutForm::CreateControls() {
    auto* band = new TPaintBox(this);
    band->setGeometry(0, 0, kClientWidth, kTopBandHeight);
    band->OnPaint = [this](QPainter& painter, const QRect& rect) { PaintTopBand(painter, rect); };

    auto* iconBox = new TPaintBox(band);
    iconBox->setGeometry(kIconRect);
    iconBox->OnPaint = [this](QPainter& painter, const QRect& rect) { DrawCentred(painter, rect, m_icon); };

    m_product = new QLineEdit(band);
    m_product->setGeometry(kProductRect);
    m_product->setFrame(false);
    m_product->setReadOnly(true);
    QFont productFont = font();
    if (productFont.pointSizeF() > 0) productFont.setPointSizeF(productFont.pointSizeF() + kProductFontGrowth);
    else productFont.setPixelSize(productFont.pixelSize() + kProductFontGrowth * 96 / 72);
    m_product->setFont(productFont);
    QPalette productPalette = m_product->palette();
    productPalette.setColor(QPalette::Base, QColor::fromRgb(GetSystemColor(TSystemColor::Window)));
    m_product->setPalette(productPalette);
    m_product->setText(LoadStr(strProductName) + QLatin1Char(' ') + ProgramVersion());

    m_credits = new QPlainTextEdit(this);
    m_credits->setGeometry(kCreditsRect);
    m_credits->setFrameShape(QFrame::NoFrame);
    m_credits->setReadOnly(true);
    m_credits->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette creditsPalette = m_credits->palette();
    creditsPalette.setColor(QPalette::Base, palette().color(QPalette::Window));
    m_credits->setPalette(creditsPalette);

    auto* logoBox = new TPaintBox(this);
    logoBox->setGeometry(kLogoRect);
    logoBox->setCursor(Qt::PointingHandCursor);
    logoBox->OnPaint = [this](QPainter& painter, const QRect& rect) { DrawCentred(painter, rect, m_logo); };
    logoBox->OnClick = [this] { OpenWebAddress(); };
    m_logoBox = logoBox;

    m_ok = new TUserWinButton(this);
    m_ok->setGeometry(kOkRect);
    m_ok->SetCaption(LoadStr(strOK));
    m_ok->SetPainter(DefaultButtonPainter());
    m_ok->SetDefault(true);
    m_ok->SetCancel(true);
    m_ok->SetModalResult(mrOk);
    m_ok->setFocus();
}

void TAboutForm::PaintTopBand(QPainter& painter, const QRect& rect) const {
    painter.fillRect(rect, QColor::fromRgb(GetSystemColor(TSystemColor::Window)));
    painter.fillRect(QRect(rect.left(), rect.top() + rect.height() - 1, rect.width(), 1), QColor::fromRgb(kBandEdgeColor));
}

void TAboutForm::SetCredits(const QString& text) {
    m_credits->setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

void TAboutForm::SetWebAddress(const QString& address) { m_logoBox->setToolTip(address); }

void TAboutForm::OpenWebAddress() { OpenURL(m_logoBox->toolTip()); }

void ShowAboutBox(QWidget* owner, const QString& credits, const QString& webAddress) {
    TAboutForm form(owner);
    form.SetCredits(credits);
    form.SetWebAddress(webAddress);
    form.exec();
}

void ShowAbout(QWidget* owner) { ShowAboutBox(owner, LoadStr(strAboutCredits), ProgramWebAddress()); }

QString ProgramVersion() {
    return Global() ? Global()->VersionInfo().ProductVersion
                    : ReadVersionInfo(QCoreApplication::applicationFilePath()).ProductVersion;
}

QIcon ProgramIcon() { return QIcon(QString::fromLatin1(kIconResource)); }

QString ProgramWebAddress() { return QString::fromLatin1(kWebAddress); }
