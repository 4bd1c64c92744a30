#pragma once
// The find and replace dialogs: modeless windows that stay open while the
// user goes on editing. They hold the search text (and the replacement), the
// match-case option and the direction; the buttons hand the request to the
// form that opened them.

#include <QDialog>

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TFindDialog : public QDialog {
public:
    enum class TKind : bool { Find, Replace };

    explicit TFindDialog(TKind kind, QWidget* parent = nullptr);

    TKind Kind() const noexcept { return m_kind; }
    QString FindText() const;
    void SetFindText(const QString& text);
    QString ReplaceText() const;
    bool MatchCase() const;
    bool Down() const;
    void SetDown(bool down);
    // Texts from the string tables (again after a change of language).
    void SetCaptions();
    // Shown in front (also when it was open behind its window), taking the
    // keys in its search text, which is selected.
    void ShowInFront();

    QLineEdit& FindEdit() const noexcept { return *m_findEdit; }
    QLineEdit& ReplaceEdit() const noexcept { return *m_replaceEdit; }
    QPushButton& FindNextButton() const noexcept { return *m_findNext; }
    QPushButton& ReplaceButton() const noexcept { return *m_replace; }
    QPushButton& ReplaceAllButton() const noexcept { return *m_replaceAll; }

    // Find Next pressed.
    std::function<void(TFindDialog& sender)> OnFind;
    // Replace (all = false) or Replace All pressed.
    std::function<void(TFindDialog& sender, bool all)> OnReplace;

private:
    void UpdateButtons();

    TKind m_kind;
    QLabel* m_findLabel;
    QLineEdit* m_findEdit;
    QLabel* m_replaceLabel;
    QLineEdit* m_replaceEdit;
    QCheckBox* m_matchCase;
    QGroupBox* m_direction;
    QRadioButton* m_up;
    QRadioButton* m_down;
    QPushButton* m_findNext;
    QPushButton* m_replace;
    QPushButton* m_replaceAll;
    QPushButton* m_cancel;
};
