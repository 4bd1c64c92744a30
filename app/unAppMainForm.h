#pragma once
// The main window the program makes: the main form with the Pascal preview
// of the active scheme to the right of the editing area, behind a splitter.
// The preview keeps its share of the width when the window is resized; a
// drag of the splitter sets that share.

#include "app/unMainForm.h"

class QSplitter;
class TRightSubForm;

class TAppMainForm : public TMainForm {
public:
    // The share of the width left of the preview at first.
    static constexpr double kDefaultRatio = 0.45;
    static constexpr int kSplitterWidth = 6;

    ~TAppMainForm() override;

    // Nil in batch mode.
    TRightSubForm* Preview() const noexcept { return m_preview; }
    QSplitter* Splitter() const noexcept { return m_splitter; }
    double Ratio() const noexcept { return m_ratio; }
    // The preview's width follows the ratio.
    void ApplyPreviewWidth();

protected:
    friend class TMainForm;
    // headless: made without a display (batch mode only reports on the error output).
    explicit TAppMainForm(TGlobal& global, bool headless = false) : TMainForm(global) { SetHeadless(headless); }

    // The main form's creation, then the preview and the splitter.
    void FormCreate() override;
    // The preview shows the active document's scheme.
    void ActiveDocumentChanged() override;
    // The ratio is applied whenever the splitter takes a new width: only then
    // is its width the one the window's layout gave it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SplitterMoved();

    TRightSubForm* m_preview = nullptr;
    QSplitter* m_splitter = nullptr;
    double m_ratio = kDefaultRatio;
};

// Whether the program runs without a display (the "offscreen" or "minimal" platform).
bool RunsHeadless();
// The window of a run: made, and shown unless batch mode ended the program.
std::unique_ptr<TAppMainForm> StartMainWindow(TGlobal& global);
// The exit status of the run: after batch mode 1 when a file was skipped or
// failed, else 0; otherwise the message loop's, once the window closed.
int RunMainWindow(TAppMainForm& form);
