#pragma once
// The about box: the program's icon on a white band with its name and
// version, a read-only credits text, a small logo that opens the maker's web
// page in the browser, and OK.

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class TUserWinButton;

class TAboutForm : public QDialog {
public:
    static constexpr int kClientWidth = 489;
    static constexpr int kClientHeight = 377;

    explicit TAboutForm(QWidget* owner);

    // The text of the credits box.
    void SetCredits(const QString& text);
    // The address the logo opens; it is also the logo's tip.
    void SetWebAddress(const QString& address);

    QLineEdit* ProductBox() const noexcept { return m_product; }
    QPlainTextEdit* CreditsBox() const noexcept { return m_credits; }
    QWidget* LogoBox() const noexcept { return m_logoBox; }
    TUserWinButton* OkButton() const noexcept { return m_ok; }
    // The icon (64 x 64) and the logo as loaded; the logo is empty when its resource is.
    const QImage& Icon() const noexcept { return m_icon; }
    const QImage& Logo() const noexcept { return m_logo; }

private:
    void CreateControls();
    void LoadPictures();
    void PaintTopBand(QPainter& painter, const QRect& rect) const;
    void OpenWebAddress();

    QImage m_icon;
    QImage m_logo;  // on the form's colour
    QLineEdit* m_product = nullptr;
    QPlainTextEdit* m_credits = nullptr;
    QWidget* m_logoBox = nullptr;
    TUserWinButton* m_ok = nullptr;
};

// Shows the about box modally for owner with the credits and the logo's address.
void ShowAboutBox(QWidget* owner, const QString& credits, const QString& webAddress);
// The program's own about box: its credits and its home page.
void ShowAbout(QWidget* owner);
// The program's own icon (for its windows).
QIcon ProgramIcon();
// The program's version: the data module's version information while it
// lives, else the program file's.
QString ProgramVersion();
// The maker's web page the logo opens.
QString ProgramWebAddress();
