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

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i].trimmed();
        // The caption's own pattern list goes: Qt reads the patterns from
        // the last parentheses, and ", " would split them wrongly.
        if (caption.endsWith(QLatin1Char(')'))) {
            if (const qsizetype open = caption.lastIndexOf(QLatin1Char('(')); open >= 0)
                caption = caption.left(open).trimmed();
        }
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            if (!pattern.isEmpty()) patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty()) continue;
        const QString list = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        filters << (caption.isEmpty() ? list : caption + QLatin1Char(' ') + list);
    }
    return filters;
}

void ConfigureFileDialog(QFileDialog& dialog, TFileDialogKind kind, const TFileDialogParams& params) {
    if (!params.Title.isEmpty()) dialog.setWindowTitle(params.Title);
    const bool save = kind == TFileDialogKind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save                                 ? QFileDialog::AnyFile
                       : kind == TFileDialogKind::OpenMulti ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    const QStringList filters = QtNameFilters(params.Filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(params.DefaultExt);
    if (!params.Folder.isEmpty()) dialog.setDirectory(params.Folder);
    if (!params.FileName.isEmpty()) dialog.selectFile(params.FileName);
}

bool TQtDialogs::ChooseFiles(TFileDialogKind kind, const TFileDialogParams& params, QStringList& files) {
    if (IsHeadless()) return false;
    QFileDialog dlg(QApplication::activeWindow());
    ConfigureFileDialog(dlg, kind, params);
    TArrowCursorScope arrow;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    files = dlg.selectedFiles();
    return true;
}

TSaveAnswer TQtDialogs::AskSave(const TSaveQuestion& question) {
    if (IsHeadless()) return TSaveAnswer::Cancel;
    TSaveQuestionBox box(question, QApplication::activeWindow());
    TArrowCursorScope arrow;
    box.exec();
    return box.Answer();
}

TSaveQuestionBox::TSaveQuestionBox(const TSaveQuestion& question, QWidget* parent)
    : QMessageBox(QMessageBox::NoIcon, question.Caption, question.Text, QMessageBox::NoButton, parent) {
    m_save = addButton(question.SaveButton, QMessageBox::AcceptRole);
    m_dontSave = addButton(question.DontSaveButton, QMessageBox::DestructiveRole);
    m_cancel = addButton(question.CancelButton, QMessageBox::RejectRole);
    setDefaultButton(static_cast<QPushButton*>(m_save));
    setEscapeButton(m_cancel);
}

TSaveAnswer TSaveQuestionBox::Answer() const {
    const QAbstractButton* clicked = clickedButton();
    if (clicked == m_save) return TSaveAnswer::Save;
    if (clicked == m_dontSave) return TSaveAnswer::DontSave;
    return TSaveAnswer::Cancel;
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
