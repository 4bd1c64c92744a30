#pragma once
// The edit form: the editing area of the main window. The palette form at
// the top, the active scheme's sheet form in the middle and the log's sheet
// form at the bottom (the edit area, TEditArea), with the palette getting the
// sheet form's keys before the sheet does. The main window creates it once
// and attaches the active document's scheme to it; its layout (palette shown,
// log height) lives in the session.

#include <QWidget>

class TEditArea;
class TKnot;
class TPaletteForm;
class TPaletteFormSettings;
class TScheme;
class TSheet;
class TSheetForm;

class TEditForm : public QWidget {
public:
    // paletteSettings: the "PaletteForm" section (nil: everything shown).
    explicit TEditForm(QWidget* parent = nullptr, TPaletteFormSettings* paletteSettings = nullptr);
    ~TEditForm() override;

    // The scheme and its sheet and the log's scheme and sheet; all nil detaches.
    void AttachScheme(TScheme* scheme, TSheet* sheet, TScheme* logScheme, TSheet* logSheet);
    void LoadLayout(TKnot* knot);
    void SaveLayout(TKnot* knot) const;
    // The same padding on all four sides, with frames around the sheet and
    // the log areas (0: none).
    void SetInnerMargin(int pixels);
    int InnerMargin() const noexcept;

    TPaletteForm& PaletteForm() const noexcept { return *m_paletteForm; }
    TEditArea& EditArea() const noexcept { return *m_editArea; }
    TSheetForm& SheetForm() const;
    TSheetForm& LogForm() const;

private:
    TPaletteForm* m_paletteForm;
    TEditArea* m_editArea;
};
