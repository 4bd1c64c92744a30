#include "platform/plQtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Dialogs show the ordinary arrow even while the wait cursor is up.
class TArrowCursorScope {
public:
    TArrowCursorScope() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~TArrowCursorScope() { QGuiApplication::restoreOverrideCursor(); }
};

bool IsUnder(const QString& dir, const QString& root) {
    const QString d = QDir::cleanPath(dir), r = QDir::cleanPath(root);
    return d == r || d.startsWith(r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/'));
}
}  // namespace

TMessageBoxLayout MessageBoxLayout(unsigned flags) {
    using B = QMessageBox;
    TMessageBoxLayout l;
    switch (flags & MsgBox::ButtonsMask) {
    case MsgBox::OkCancel: l.Buttons = {B::Ok, B::Cancel}; l.Escape = B::Cancel; break;
    case MsgBox::AbortRetryIgnore: l.Buttons = {B::Abort, B::Retry, B::Ignore}; break;
    case MsgBox::YesNoCancel: l.Buttons = {B::Yes, B::No, B::Cancel}; l.Escape = B::Cancel; break;
    case MsgBox::YesNo: l.Buttons = {B::Yes, B::No}; break;
    case MsgBox::RetryCancel: l.Buttons = {B::Retry, B::Cancel}; l.Escape = B::Cancel; break;
    default: l.Buttons = {B::Ok}; l.Escape = B::Ok; break;
    }
    size_t defIndex = 0;
    if ((flags & MsgBox::DefButtonMask) == MsgBox::DefButton2) defIndex = 1;
    if ((flags & MsgBox::DefButtonMask) == MsgBox::DefButton3) defIndex = 2;
    l.Default = l.Buttons[defIndex < l.Buttons.size() ? defIndex : 0];
    switch (flags & MsgBox::IconMask) {
    case MsgBox::IconError: l.Icon = B::Critical; break;
    case MsgBox::IconQuestion: l.Icon = B::Question; break;
    case MsgBox::IconWarning: l.Icon = B::Warning; break;
    case MsgBox::IconInformation: l.Icon = B::Information; break;
    default: break;
    }
    l.TopMost = (flags & MsgBox::TopMost) != 0;
    return l;
}

int MessageBoxResult(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Abort: return MsgResult::Abort;
    case QMessageBox::Retry: return MsgResult::Retry;
    case QMessageBox::Ignore: return MsgResult::Ignore;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return MsgResult::Cancel;
    }
}

TDialogs& QtDialogs() {
    static TQtDialogs qt;
    return qt;
}

bool TQtDialogs::IsHeadless() {
    const QString platform = QGuiApplication::platformName();
    return platform.isEmpty() || platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

int TQtDialogs::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    const TMessageBoxLayout l = MessageBoxLayout(flags);
    const auto dismissed = l.Escape != QMessageBox::NoButton ? l.Escape : l.Default;
    if (IsHeadless()) return MessageBoxResult(dismissed);

    QWidget* owner = QApplication::activeWindow();
    QMessageBox box(l.Icon, caption, text, QMessageBox::NoButton, owner);
    for (auto b : l.Buttons) box.addButton(b);
    box.setDefaultButton(l.Default);
    if (l.Escape != QMessageBox::NoButton) box.setEscapeButton(l.Escape);
    // A box over a window that stays on top must stay on top as well.
    if (l.TopMost || (owner && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint)))
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    TArrowCursorScope arrow;
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    return MessageBoxResult(clicked != QMessageBox::NoButton ? clicked : dismissed);
}

bool TQtDialogs::BrowseForFolder(const QString& title, const QString& root, QString& folder) {
    if (IsHeadless()) return false;
    QFileDialog dlg(QApplication::activeWindow(), title);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    dlg.setOption(QFileDialog::DontUseNativeDialog, !root.isEmpty());
    dlg.setDirectory(!folder.isEmpty() ? folder : root.isEmpty() ? QDir::homePath() : root);
    if (!root.isEmpty()) {
        QObject::connect(&dlg, &QFileDialog::directoryEntered, &dlg, [&dlg, root](const QString& dir) {
            if (!IsUnder(dir, root)) dlg.setDirectory(root);
        });
    }
    TArrowCursorScope arrow;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    const QString chosen = dlg.selectedFiles().first();
    if (!root.isEmpty() && !IsUnder(chosen, root)) return false;
    folder = chosen;
    return true;
}

std::optional<TOpenWithChoice> TQtDialogs::ChooseApplication(const TOpenWithTexts& texts,
                                                             const std::vector<TDesktopApp>& apps) {
    if (IsHeadless()) return std::nullopt;
    TOpenWithDialog dlg(texts, apps, QApplication::activeWindow());
    TArrowCursorScope arrow;
    dlg.exec();
    return dlg.Choice();
}

TOpenWithDialog::TOpenWithDialog(const TOpenWithTexts& texts, const std::vector<TDesktopApp>& apps,
                                 QWidget* parent)
    : QDialog(parent), m_texts(texts) {
    setWindowTitle(texts.Caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(texts.Prompt, this));
    m_list = new QListWidget(this);
    for (const TDesktopApp& app : apps) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(app.Icon), app.Name, m_list);
        item->setToolTip(app.Id);
    }
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(m_list->count() > 0);
    QPushButton* browse = buttons->addButton(texts.Browse, QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TOpenWithDialog::ChooseCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &TOpenWithDialog::ChooseCurrent);
    connect(browse, &QPushButton::clicked, this, &TOpenWithDialog::BrowseProgram);
}

void TOpenWithDialog::ChooseCurrent() {
    if (m_list->currentRow() < 0) return;
    m_choice = TOpenWithChoice{m_list->currentRow(), {}};
    accept();
}

void TOpenWithDialog::BrowseProgram() {
    const QString program = QFileDialog::getOpenFileName(this, m_texts.Caption, QStringLiteral("/usr/bin"),
                                                         m_texts.AllFiles + QStringLiteral(" (*)"));
    if (program.isEmpty()) return;
    m_choice = TOpenWithChoice{-1, program};
    accept();
}
