#pragma once
// Elements that hold one file's worth of bytes, typically an image, with the
// file extension that says what the bytes are. They show the image (scaled
// down when wide) or a hex dump, change the image format, load from and save
// to files, exchange their data through the clipboard and are edited in an
// external program: the bytes go to a file beside the scheme, a program is
// started on it, and "Apply" reads the file back or "Cancel" drops it. Every
// change is undoable; undo records keep the data compressed.
//
// The data is an implicitly shared QByteArray: what a snapshot of the element
// stores is an owned copy of it, never the element's buffer, so that a copy
// read on another thread is not changed under it.

#include "core/cuProps.h"
#include "elements/diDataElementUtils.h"
#include "scheme/diOperations.h"
#include "scheme/diVisual.h"
#include "text/diTextorElement.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class TPaletteItem;
class TSchemeFiler;

// ---------------------------------------------------------------------------
// Settings

// What Enter, a double click and "Edit" do with the data of a kind.
enum TExternalEditorAction : int {
    eaAssociation = 0,  // open the file with the desktop's association (stored as the empty name)
    eaCustomEditor = 1, // start the editor named in "CustomEditor"
    eaNone = 2,         // no external editing
};

// One "ExternalEditor..." section: "DefaultAction" and "CustomEditor" (a
// program path, empty by default: there is no system paint program to name).
class TExternalEditorSettings : public TProperty {
    T_CLASS(TExternalEditorSettings)
public:
    TExternalEditorSettings() = default;
    void CreateProperties();
    TEnumProperty* DefaultAction() const noexcept { return m_action; }
    TStringProperty* CustomEditor() const noexcept { return m_editor; }
    TExternalEditorAction Action() const;

protected:
    ~TExternalEditorSettings() override = default;

private:
    TEnumProperty* m_action = nullptr;
    TStringProperty* m_editor = nullptr;
};

// The section "Data" with the editor sections of bitmaps, icons, cursors,
// metafiles and other data.
class TDataElementSettings : public TProperty {
    T_CLASS(TDataElementSettings)
public:
    TDataElementSettings() = default;
    void CreateProperties();
    // The section of a format number (an empty element uses the bitmaps').
    TExternalEditorSettings* EditorFor(int format) const;
    TExternalEditorSettings* Bitmaps() const noexcept { return m_bitmaps; }

protected:
    ~TDataElementSettings() override = default;

private:
    TExternalEditorSettings* m_bitmaps = nullptr;
    TExternalEditorSettings* m_icons = nullptr;
    TExternalEditorSettings* m_cursors = nullptr;
    TExternalEditorSettings* m_metafiles = nullptr;
    TExternalEditorSettings* m_other = nullptr;
};

// The shared section, made by the unit's initialisation (nullptr outside it).
TDataElementSettings* DataElementSettings() noexcept;

// ---------------------------------------------------------------------------
// TCustomDataElement

// Option bits of a data element.
enum : uint8_t {
    doImageData = 0x02,  // open dialogs show the image filters first
};

// The program external editing starts: the default of the element's settings
// section, a desktop application chosen from the Edit sub-items, or the
// open-with choice.
struct TExternalProgram {
    enum class TKind : uint8_t { Default, Chosen, OpenWith };
    TKind Kind = TKind::Default;
    QString AppId;  // Chosen: the desktop id
};

class TCustomDataElement : public TVisualElement, public IClipboardDataElement {
    T_ELEMENT_CLASS(TCustomDataElement)
public:
    TCustomDataElement() noexcept;

    const QByteArray& Data() const noexcept { return m_data; }
    const QString& DataType() const noexcept { return m_type; }
    // The format number of the type.
    int Format() const;
    uint8_t DataOptions() const noexcept { return m_dataOptions; }
    uint16_t AllowedFormats() const noexcept { return m_allowed; }
    bool IsFormatAllowed(int format) const noexcept;
    void SetAllowedFormats(uint16_t formats) noexcept { m_allowed = formats; }
    const QString& ExternalEditingFileName() const noexcept { return m_externalFile; }

    // Without undo: new data and type (re-evaluates the element).
    void SetData(const QByteArray& data, const QString& type);
    // Without undo: enters (non-empty name) or leaves the editing mode.
    void SetExternalEditingFileName(const QString& fileName);

    // Undoable changes.
    void ChangeData(const QByteArray& data, const QString& type);
    // Converts to the format; the quality warning first when filled and the
    // format is neither BMP nor PNG. Nothing when the format is current.
    void ChangeFormat(int format);
    // Reads the file (the type is its extension in lower case) as new data.
    void LoadFromFile(const QString& fileName);
    // The open dialog with the allowed formats' filters, then LoadFromFile.
    bool ChooseAndLoad();
    // The save dialog with the type's filter, then the raw bytes written.
    bool ChooseAndSave();

    // The full size of the image: stored "W" and "H" of shared data, else
    // the decoded image's, else (filled) what its header says. False when
    // unknown (the sizes are then those ReadImageSize makes up).
    bool GetImageSize(int& width, int& height);
    // The decoded image drawn at PreviewScale percent; null for data that is
    // no image. Made once per data change.
    const QImage& Preview();
    int PreviewScale();
    // Row i of the hex dump: 64 characters.
    static QString HexDumpRow(const QByteArray& data, qsizetype row);

    // External editing (one undo step): an empty element becomes a grey PNG,
    // the data goes to a new file "File<n>.<type>" beside the scheme (the
    // temporary folder when unsaved), the mode is entered and the program
    // started; its result comes later and only a failure shows. In the
    // mode, the program starts again on the file (written again when it is
    // gone).
    void StartExternalEditing(const TExternalProgram& program);
    // Reads the file back as new data, deletes it and leaves the mode (one
    // undo step). A file that cannot be read changes nothing and says so.
    void ApplyExternalEditing();
    // Deletes the file and leaves the mode (undoable).
    void CancelExternalEditing();
    // Whether `fileName` may be read or deleted as this element's file of
    // external editing: a regular file (no link) named File<digits>.<letters
    // and digits> in the scheme's folder or the temporary folder.
    bool IsOwnEditingFile(const QString& fileName) const;
    // The settings section of the element's format.
    TExternalEditorSettings* EditorSettings() const;
    // Enter and double click: whether anything was done.
    bool ExecuteDefaultAction();

    // IClipboardDataElement: the element-data formats, else a picture
    // (stored as PNG when that is allowed, else as BMP).
    bool PasteFromClipboard(bool undoable) override;
    // Whether the clipboard holds element data or a picture.
    static bool ClipboardHasImageData();

    // ---- TVisualElement ----
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void Paint(TSheetCanvas& canvas) override;
    TRect GetPadding() override;
    void GetCaret(int& kind, TRect& rect) override;
    void GetHint(QString& text) override;
    void KeyDown(int& key, TShiftState shift) override;
    void DoubleClick() override;
    bool CanDelete() override;
    void DeleteContent() override;
    bool CanCopy() override;
    void Copy() override;
    bool CanPaste() override;
    bool Paste() override;
    void ExternalEditingChanged() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;

    // ---- TElement ----
    bool GetIsFilled() override { return !m_data.isEmpty(); }
    // The sheet hears that the edit and focus state changed.
    void FilledChanged() override;
    void Changed() override;
    void CheckContent() override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;

protected:
    ~TCustomDataElement() override = default;
    void InitDataOptions(uint8_t options) noexcept { m_dataOptions = options; }

private:
    void PreparePreview();
    void UpdateSize();
    QString EditingFolder() const;
    QString WriteEditingFile();
    void LaunchEditor(const TExternalProgram& program, const QString& fileName);
    // Leaves the mode (undoable) and tells why the file was not touched.
    void RefuseEditingFile(const QString& fileName);

    QByteArray m_data;
    QString m_type;
    uint8_t m_dataOptions = 0;
    uint16_t m_allowed = kAllImageFormats;
    bool m_previewPrepared = false;
    QImage m_preview;  // premultiplied, at the preview scale
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_previewScale = 100;
    int m_storedWidth = 0;   // "W" and "H" of shared data
    int m_storedHeight = 0;
    QString m_externalFile;
};

// An image in a comment or a text (node name "Image"); an empty one paints
// the theme frame "FrameDot".
class TElement_Image : public TCustomDataElement {
    T_ELEMENT_CLASS(TElement_Image)
public:
    TElement_Image() noexcept;
    void Paint(TSheetCanvas& canvas) override;

protected:
    ~TElement_Image() override = default;
};

// ---------------------------------------------------------------------------
// Operations

// A change of the data: the old data (compressed) and type are recorded on
// the first run and come back on undo.
class TCustomDataChangeOperation : public TElementOperation {
    T_CLASS(TCustomDataChangeOperation)
public:
    explicit TCustomDataChangeOperation(TCustomDataElement* element);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;
    // The change itself.
    virtual void ChangeElement(TCustomDataElement* element) = 0;

private:
    bool m_recorded = false;
    QByteArray m_oldData;  // compressed
    QString m_oldType;
};

// New data (compressed here) and type; without data the element empties.
class TDataNewDataOperation : public TCustomDataChangeOperation {
    T_CLASS(TDataNewDataOperation)
public:
    TDataNewDataOperation(TCustomDataElement* element, const QByteArray& data, const QString& type);

protected:
    void ChangeElement(TCustomDataElement* element) override;

private:
    QByteArray m_newData;  // compressed
    QString m_newType;
};

// Conversion to another format.
class TDataNewDataFormatOperation : public TCustomDataChangeOperation {
    T_CLASS(TDataNewDataFormatOperation)
public:
    TDataNewDataFormatOperation(TCustomDataElement* element, int format);

protected:
    void ChangeElement(TCustomDataElement* element) override;

private:
    int m_format;
};

// Entering or leaving the external editing mode.
class TDataExternalEditingModeOperation : public TElementOperation {
    T_CLASS(TDataExternalEditingModeOperation)
public:
    TDataExternalEditingModeOperation(TCustomDataElement* element, const QString& newFileName);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    QString m_newFileName;
    QString m_oldFileName;
};

// The data converted to a format: BMP, JPEG, GIF, PNG and TIFF through the
// image codecs (icons and cursors, and the empty case, first drawn on white),
// ICO and CUR built from the full-size image scaled to at most 256 pixels
// (a cursor's hot spot at 0, 0), metafiles and unknown formats empty.
QByteArray ConvertData(const QByteArray& data, int sourceFormat, int targetFormat);

// The palette items of the unit (valid between its initialisation and finalisation).
struct TDataPaletteItems {
    TSubExecutablePaletteItem* Edit = nullptr;
    TSchemePaletteItem* Apply = nullptr;
    TSchemePaletteItem* Cancel = nullptr;
    TSchemePaletteItem* LoadFromFile = nullptr;
    TSchemePaletteItem* SaveToFile = nullptr;
    TSchemePaletteItem* Bmp = nullptr;
    TSchemePaletteItem* Ico = nullptr;
    TSchemePaletteItem* Cur = nullptr;
    TSchemePaletteItem* Png = nullptr;
    TSchemePaletteItem* Gif = nullptr;
    TSchemePaletteItem* Jpeg = nullptr;
};
const TDataPaletteItems& DataPaletteItems() noexcept;

// The settings section, the palette items, TElement_Image as what comments
// paste and embed.
void InitDataElementUnit();
void FinalDataElementUnit();
