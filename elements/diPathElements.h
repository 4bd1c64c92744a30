#pragma once
// Elements that hold a folder or a file name. The value is kept absolute in
// memory; it is shown and stored either as it is or relative to the scheme
// (the last folder of the scheme's folder list that holds it, else the
// scheme file's folder), so that a scheme moves with its files. Paths are
// POSIX paths: stored relative values with "\" are read, "/" is written,
// names compare case-sensitively. The elements check that their target
// exists, choose it through the folder browser or the open dialog, open it
// by the rule of file links (a program is never started: only its folder
// opens) and show a file in the file manager. Every change is undoable.

#include "scheme/diOperations.h"
#include "scheme/diVisual.h"
#include "text/diTextorElement.h"

#include <QString>

class TFileFilters;
class TPaletteItem;
class TSchemeFiler;

// Flags of a path or file-name element.
enum : uint8_t {
    pofShowAbsolute = 0x01,
    pofStoreAbsolute = 0x02,
    pofShowFixed = 0x04,   // the show choice cannot be changed (nor is it stored)
    pofStoreFixed = 0x08,  // the store choice cannot be changed (nor is it stored)
    pofShowIcon = 0x10,    // the desktop's folder or file icon before the text
};

// Child node message of a file-name element that is about to show the open
// dialog: p1 is the dialog's TFileFilters*, which the parent may fill.
enum : int { nmGetFileDialogFilters = nmTextorNotification250 };

// ---------------------------------------------------------------------------
// TCustomPathOrFileNameElement

class TCustomPathOrFileNameElement : public TVisualElement {
    T_ELEMENT_CLASS(TCustomPathOrFileNameElement)
public:
    TCustomPathOrFileNameElement() noexcept;

    const QString& Value() const noexcept { return m_value; }
    uint8_t Flags() const noexcept { return m_flags; }
    // The element's own choices.
    bool ShowAbsoluteChosen() const noexcept { return m_flags & pofShowAbsolute; }
    bool StoreAbsoluteChosen() const noexcept { return m_flags & pofStoreAbsolute; }
    // Whether its scheme forces every path absolute (sfForceAbsolutePaths):
    // then the show and store items are not offered.
    bool AbsoluteForced() const noexcept;
    // The choices in effect: the element's own, or forced by the scheme.
    bool ShowAbsolute() const noexcept { return ShowAbsoluteChosen() || AbsoluteForced(); }
    bool StoreAbsolute() const noexcept { return StoreAbsoluteChosen() || AbsoluteForced(); }

    // Without undo. The value is normalised; a different one is taken, the
    // element re-checked (Changed), re-measured and its caret updated.
    void SetValue(const QString& value);
    void SetShowAbsolute(bool value);
    void SetStoreAbsolute(bool value);
    // The same as undoable operations; a choice that is already current changes nothing.
    void ChangeValue(const QString& value);
    void ChangeShowAbsolute(bool value);
    void ChangeStoreAbsolute(bool value);

    // The value relative to the scheme: searched in the scheme's folder list
    // from its last entry, else relative to the scheme file's folder; the
    // value itself without a scheme or a file name.
    QString RelativeForm() const;
    // What the element shows (and its plain text): the value or its relative form.
    QString DisplayedText() const;
    // A stored value as loading reads it: expanded against the scheme file's
    // folder and, when that does not exist and the scheme has a folder list,
    // against the first folder of the list, from its last entry, under which
    // it exists.
    QString ResolveStoredValue(const QString& stored) const;

    // Opens the target with the shell: a document file with its program; a
    // folder, or the folder of any other file (a program is never started).
    // Whether anything opened.
    bool OpenTarget();

    // ---- the kind's operations ----
    virtual bool Exists(const QString& path) const = 0;
    // Enter and double click: whether anything was done.
    virtual bool ExecuteDefaultAction() = 0;
    // The desktop's icon in the element-glyph list, -1 for none. Only an
    // element shown on a sheet has one (icons are made on the sheet's thread).
    virtual int GetImageIndex() = 0;
    virtual void NormalizeValue(const QString& in, QString& out) const { out = in; }
    virtual void MakeRelative(const QString& folder, const QString& path, QString& out) const = 0;
    // Measures the displayed text (and the icon) and sets the bounds.
    virtual void UpdateSize();
    virtual int GetThemeKind() const;

    // ---- TVisualElement ----
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void Paint(TSheetCanvas& canvas) override;
    void GetCaret(int& kind, TRect& rect) override;
    // Stops listening to the scheme.
    void DetachFromSheet() override;
    void KeyDown(int& key, TShiftState shift) override;
    void DoubleClick() override;
    bool CanDelete() override;
    void DeleteContent() override;
    bool CanCopy() override;
    void Copy() override;
    bool CanCopyAsText() override { return CanCopy(); }
    void CopyAsText() override { Copy(); }
    bool Paste() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;

    // ---- TElement ----
    void Create() override;
    void BeforeDestruction() override;
    void CheckContent() override;
    void WriteText(QString& builder) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;

protected:
    ~TCustomPathOrFileNameElement() override;
    // Flags set by a kind's constructor (the fixed choices among them).
    void InitFlags(uint8_t flags) noexcept { m_flags = flags; }
    // The check's message (2693 or 2700) for a target that does not exist.
    virtual int MissingTargetMessage() const = 0;
    // Whether showing the icon is asked for and the element is filled and on a sheet.
    bool WantsIcon() const;

private:
    void SchemeMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void Listen();
    void StopListening();
    void SetFlag(uint8_t flag, bool on);
    QString ValueAttributeName(TSchemeFiler* filer);

    QString m_value;
    uint8_t m_flags = pofShowIcon;
    // The scheme whose notifications the element listens to (only while on a sheet).
    TScheme* m_listened = nullptr;
};

// ---------------------------------------------------------------------------
// Folders and files

class TCustomPathElement : public TCustomPathOrFileNameElement {
    T_ELEMENT_CLASS(TCustomPathElement)
public:
    // Opens the folder when filled without errors; otherwise, unless
    // read-only, the folder browser.
    bool ExecuteDefaultAction() override;
    // The folder browser titled "Choosing Path", starting at the value or the
    // scheme's folder; a chosen folder is set (undoable). Whether one was chosen.
    bool ChooseFolder();

    bool Exists(const QString& path) const override;
    int GetImageIndex() override;
    // A non-empty path ends with a delimiter.
    void NormalizeValue(const QString& in, QString& out) const override;
    void MakeRelative(const QString& folder, const QString& path, QString& out) const override;
    // Filled when the relative form is not empty, which is when the value is
    // not: the relative form of a path is never empty ("./" at the least).
    bool GetIsFilled() override { return !Value().isEmpty(); }

    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;

protected:
    ~TCustomPathElement() override = default;
    int MissingTargetMessage() const override;
};

class TCustomFileNameElement : public TCustomPathOrFileNameElement {
    T_ELEMENT_CLASS(TCustomFileNameElement)
public:
    // Opens the file (or its folder) when filled without errors; otherwise,
    // unless read-only, the open dialog.
    bool ExecuteDefaultAction() override;
    // The open dialog with the filters the parent adds (node message
    // nmGetFileDialogFilters), starting at the value when that file exists;
    // a chosen file is set (undoable). Whether one was chosen.
    bool ChooseFile();
    // Shows the existing file selected in the file manager; whether the shell took it.
    bool ShowLocation();

    bool Exists(const QString& path) const override;
    int GetImageIndex() override;
    // Relative to folder, without a leading "./".
    void MakeRelative(const QString& folder, const QString& path, QString& out) const override;
    bool GetIsFilled() override { return !Value().isEmpty(); }

    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;

protected:
    ~TCustomFileNameElement() override = default;
    int MissingTargetMessage() const override;
};

// A folder in a text (node name "Path"): required, can be disabled.
class TElement_Path : public TCustomPathElement {
    T_ELEMENT_CLASS(TElement_Path)
public:
    TElement_Path() noexcept;
    void GetHint(QString& text) override;

protected:
    ~TElement_Path() override = default;
};

// A file name in a text (node name "FileName"): required, can be disabled.
class TElement_FileName : public TCustomFileNameElement {
    T_ELEMENT_CLASS(TElement_FileName)
public:
    TElement_FileName() noexcept;
    void GetHint(QString& text) override;

protected:
    ~TElement_FileName() override = default;
};

// A file name stored in its parent's node and drawn as a field (the file of
// a file connection).
class TFileNameField : public TCustomFileNameElement {
    T_ELEMENT_CLASS(TFileNameField)
public:
    TFileNameField() noexcept;
    int GetThemeKind() const override;

protected:
    ~TFileNameField() override = default;
};

// ---------------------------------------------------------------------------
// Operations

// A new value.
class TPathOrFileNameOperation : public TElementOperation {
    T_CLASS(TPathOrFileNameOperation)
public:
    TPathOrFileNameOperation(TCustomPathOrFileNameElement* element, const QString& newValue);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    QString m_newValue;
    QString m_oldValue;
};

// Showing the value absolute or relative.
class TPathOrFileNameShowOperation : public TElementOperation {
    T_CLASS(TPathOrFileNameShowOperation)
public:
    TPathOrFileNameShowOperation(TCustomPathOrFileNameElement* element, bool newShowAbsolute);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newShowAbsolute;
    bool m_oldShowAbsolute = false;
};

// Storing the value absolute or relative.
class TPathOrFileNameStoreOperation : public TElementOperation {
    T_CLASS(TPathOrFileNameStoreOperation)
public:
    TPathOrFileNameStoreOperation(TCustomPathOrFileNameElement* element, bool newStoreAbsolute);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newStoreAbsolute;
    bool m_oldStoreAbsolute = false;
};

// ---------------------------------------------------------------------------
// The unit

// The palette items of the unit, valid between its initialisation and finalisation.
struct TPathPaletteItems {
    TSchemePaletteItem* ShowAbsolute = nullptr;
    TSchemePaletteItem* ShowRelative = nullptr;
    TSchemePaletteItem* StoreAbsolute = nullptr;
    TSchemePaletteItem* StoreRelative = nullptr;
    TSchemePaletteItem* ChooseFolder = nullptr;
    TSchemePaletteItem* OpenFolder = nullptr;
    TSchemePaletteItem* ChooseFile = nullptr;
    TSchemePaletteItem* Location = nullptr;
    TSchemePaletteItem* OpenFile = nullptr;
    TElementPaletteItem* InsertFileName = nullptr;
    TElementPaletteItem* InsertFolder = nullptr;
};
const TPathPaletteItems& PathPaletteItems() noexcept;

// The palette items, the two insertable kinds in the inline value classes,
// and the cache of desktop icons in the element-glyph list (freed at the end).
void InitPathElementsUnit();
void FinalPathElementsUnit();
