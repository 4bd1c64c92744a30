#pragma once
// The dialogs as Qt widgets. On a platform without a screen (offscreen,
// minimal) nothing is shown and each dialog answers as if it was dismissed,
// so that no test can hang on a box.

#include "platform/plDialogs.h"

#include <QDialog>
#include <QMessageBox>

#include <optional>

#include <vector>

// How a flag set looks as a QMessageBox.
struct TMessageBoxLayout {
    std::vector<QMessageBox::StandardButton> Buttons;  // in the order of the flags
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
    QMessageBox::StandardButton Escape = QMessageBox::NoButton;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    bool TopMost = false;
};
TMessageBoxLayout MessageBoxLayout(unsigned flags);
// The result number of a pressed button (Cancel for none).
int MessageBoxResult(QMessageBox::StandardButton button);

class TQtDialogs : public TDialogs {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    bool BrowseForFolder(const QString& title, const QString& root, QString& folder) override;
    std::optional<TOpenWithChoice> ChooseApplication(const TOpenWithTexts& texts,
                                                     const std::vector<TDesktopApp>& apps) override;
    bool ChooseFiles(TFileDialogKind kind, const TFileDialogParams& params, QStringList& files) override;
    TSaveAnswer AskSave(const TSaveQuestion& question) override;
    // True where no one could answer a dialog (offscreen and minimal platforms).
    static bool IsHeadless();
};

class QFileDialog;

// The Qt name filters of a filter string: each entry's caption without its
// own pattern list in parentheses, then its patterns separated by spaces in
// parentheses, "*.*" as "*": "Text (*.a, *.b)|*.a;*.b" gives "Text (*.a *.b)".
QStringList QtNameFilters(const QString& filter);
// Sets a file dialog up for `kind` without showing it: the open kinds take
// existing files only (OpenMulti several), Save asks before it overwrites.
void ConfigureFileDialog(QFileDialog& dialog, TFileDialogKind kind, const TFileDialogParams& params);

// The save question: no icon, the localised buttons Save (the default),
// Do not Save and Cancel (also Escape and closing the box).
class TSaveQuestionBox : public QMessageBox {
public:
    explicit TSaveQuestionBox(const TSaveQuestion& question, QWidget* parent = nullptr);

    QAbstractButton* SaveButton() const { return m_save; }
    QAbstractButton* DontSaveButton() const { return m_dontSave; }
    QAbstractButton* CancelButton() const { return m_cancel; }
    // What the button clicked means; Cancel when none was.
    TSaveAnswer Answer() const;

private:
    QAbstractButton* m_save;
    QAbstractButton* m_dontSave;
    QAbstractButton* m_cancel;
};

class QListWidget;
class QPushButton;

// The open-with choice: the applications for the file's type and a button
// that picks any program file.
class TOpenWithDialog : public QDialog {
public:
    TOpenWithDialog(const TOpenWithTexts& texts, const std::vector<TDesktopApp>& apps, QWidget* parent = nullptr);

    QListWidget* List() const { return m_list; }
    QPushButton* OkButton() const { return m_ok; }
    const std::optional<TOpenWithChoice>& Choice() const { return m_choice; }

private:
    void ChooseCurrent();
    void BrowseProgram();

    TOpenWithTexts m_texts;
    QListWidget* m_list;
    QPushButton* m_ok;
    std::optional<TOpenWithChoice> m_choice;
};
