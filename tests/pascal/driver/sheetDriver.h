#pragma once
// TSheetDriver: a scheme edited on a headless sheet the way a user edits it.
// Places are found by paths, focused, and changed only through what a user's
// input reaches: palette items clicked or run by their Ctrl key as the palette
// form runs them, keys and characters through the sheet, undo and redo
// through the history. The check, saving (to a file or to a snapshot) and
// loading back are the editor's own; a load reports every stored node and
// attribute that nothing read. Generic over element kinds: it knows classes
// only by their names and palette items only by their captions and keys.
//
// The driver installs test doubles for the clock, the timers, the keyboard
// state, the clipboard, the shell, the dialogs and the desktop's file icons
// for its life: one driver at a time.

#if QUILLANE_TEST_LAYER >= 5

#include "core/cuUndoRedo.h"
#include "platform/plClipboard.h"
#include "platform/plClock.h"
#include "platform/plDialogs.h"
#include "platform/plFileIcons.h"
#include "platform/plInput.h"
#include "platform/plShell.h"
#include "platform/plTimer.h"
#include "scheme/diMessages.h"
#include "scheme/diSheet.h"
#include "support/testEnglish.h"
#include "support/testNaming.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TPaletteItem;
class TSheetSettings;

// Where a scheme is saved to and loaded from.
enum class TStoreMode : uint8_t {
    File,      // a scheme file, written and read as the editor does
    Snapshot,  // the snapshot form of undo steps (numbers kept), as knot text
};
inline constexpr TStoreMode kStoreModes[] = {TStoreMode::File, TStoreMode::Snapshot};
inline const char* ModeName(TStoreMode mode) { return mode == TStoreMode::File ? "file" : "snapshot"; }

// Lines of a list as one text, for comparisons whose failure shows them one a line.
inline std::string Lines(const QStringList& list) { return list.join(u'\n').toStdString(); }

// A palette button or menu entry as the palette form shows it for the focused element.
struct TPaletteEntry {
    TPaletteItem* Item = nullptr;
    QString Caption;
    QString Key;          // the Ctrl key of a button ("1", "2", ... for buttons without a letter); empty for menu entries
    bool Button = false;  // a button of a group, else an entry of another item's menu
    bool Enabled = false;
    bool Checked = false;
};

// A scheme loaded from saved bytes into a scheme of its own.
struct TLoadedScheme {
    std::unique_ptr<TScheme> Scheme;
    QStringList Unread;    // paths of the stored nodes and attributes nothing read
    QStringList Messages;  // what the load reported of kind 2 or more
    QByteArray Saved;      // the loaded scheme saved again in the same mode
};

class TSheetDriver {
public:
    // A scheme of rootClass named schemeName, shown on an active sheet of
    // unlimited size, with an undo history and a message list. Saved files go
    // to a temporary folder of the driver.
    explicit TSheetDriver(const TElementClass* rootClass, const QString& schemeName = QStringLiteral("TestModule"));
    ~TSheetDriver();
    TSheetDriver(const TSheetDriver&) = delete;
    TSheetDriver& operator=(const TSheetDriver&) = delete;

    TScheme* Scheme() const noexcept { return m_scheme.get(); }
    TVisualElement* Root() const;
    TSheet& Sheet() noexcept { return m_sheet; }
    TUndoRedo& History() noexcept { return m_history; }
    // The dialogs the elements open: set their answers before the step.
    TFakeDialogs& Dialogs() noexcept { return m_dialogs; }
    TManualClock& Clock() noexcept { return m_clock; }
    // A file name in the driver's temporary folder.
    QString FilePath(const QString& name) const { return m_folder.filePath(name); }

    // ---- places ----
    // A path of steps separated by "/", each choosing among the element
    // children (sub-elements included, in tree order) of the element before
    // it, starting at the root; the empty path is the root. In a class path
    // a step is a class name ("TElement_Text"), in a stored path the name the
    // element is stored under in a file ("Text", "Value"); "[n]" picks the
    // n-th match from 0 (without it, the first). Nil when nothing matches.
    TVisualElement* FindByClasses(const QString& path) const;
    TVisualElement* FindByStoredNames(const QString& path) const;
    // The same; the test stops when nothing matches.
    TVisualElement* Place(const QString& classPath) const;
    TVisualElement* StoredPlace(const QString& storedPath) const;

    // ---- focus ----
    // Focuses the element as a click would; a text gets its caret at the end.
    void Focus(TVisualElement* element);
    void Focus(const QString& classPath) { Focus(Place(classPath)); }
    TVisualElement* Focused() const noexcept { return m_sheet.Focused(); }

    // ---- the palette ----
    // The buttons and menu entries the palette form shows for the focused
    // element: groups by descending order, in each the items by descending
    // order, each button followed by the entries of its menu.
    std::vector<TPaletteEntry> PaletteEntries() const;
    // Clicks the button or menu entry of that caption; false (nothing done)
    // when the palette shows none or it is disabled. Where several entries
    // share a caption (told apart by their pictures and hints), occurrence
    // counts them from 0 in the order PaletteEntries lists them.
    bool Apply(const QString& caption, int occurrence = 0);
    // Runs the button of that key as Ctrl+key does; false as the form beeps.
    bool ApplyKey(const QString& key);
    // Chooses a sub-command from the menu of the item of that caption.
    bool ApplySub(const QString& caption, const QString& subCaption);
    // Apply and ApplyKey as steps of a fixture: the test stops, naming the item, when it is refused.
    void MustApply(const QString& caption, int occurrence = 0);
    void MustApplyKey(const QString& key);

    // ---- keys ----
    // Characters typed into the focused element, each a key down, the
    // character and the key up through the sheet ("\r" is Enter). Typing
    // starts after a pause long enough to make it an undo step of its own.
    void Type(const QString& text);
    // As the Select All command: the focused element selects everything it holds.
    void SelectAll();
    // A key pressed and released; answers what the sheet left of it (vkNone: consumed).
    int Key(int key, TShiftState shift = 0);

    // ---- history ----
    // As the Undo and Redo commands: editing finished first; false when there was nothing.
    bool Undo();
    bool Redo();
    int UndoSteps() const;

    // ---- check, save, load ----
    // As "Check All": every element's messages gathered into the scheme's
    // list; answers the texts of those of kind 2 or more, each prefixed with
    // its element's class name. A text being edited checks itself when its
    // editing finishes (the focus moves on), as in the editor.
    QStringList Check();
    // The scheme saved: in file mode the bytes of the file written to
    // FilePath(fileName), in snapshot mode the knot text of the snapshot.
    QByteArray Save(TStoreMode mode, const QString& fileName = QStringLiteral("first.prm"));
    // Bytes saved in a mode loaded into a new scheme of the same root class
    // and name (a file from FilePath(fileName)), then saved again (a file to
    // FilePath("again-" + fileName)). The new scheme asks for connected files
    // through the driver's scheme's OnGetConnectedScheme.
    TLoadedScheme Load(TStoreMode mode, const QByteArray& bytes,
                       const QString& fileName = QStringLiteral("first.prm"));

private:
    // What the steps of a place path name.
    enum class TStepKind : uint8_t { ClassName, StoredName };
    TVisualElement* FindBy(const QString& path, TStepKind kind) const;
    // The target of the palette and whether its items apply to the selection in it.
    TVisualElement* PaletteTarget(bool* selectionMode = nullptr) const;
    // The palette form's handling of a click: the item run on the focused
    // element, or on the selection in it as one undo step.
    bool Run(const TPaletteEntry& entry, const QString* subCommand);
    const TPaletteEntry* EntryByCaption(const QString& caption, int occurrence = 0) const;
    // A key down, the character it types (if any) and the key up, with the keyboard state showing shift.
    int Stroke(int key, TShiftState shift, QChar typed);

    TEnglishTexts m_english;
    // The fixtures type every name themselves, as a user does who has turned
    // off naming new elements.
    TNewElementNaming m_namingOff{false};
    TManualClock m_clock;
    const TClock* m_previousClock;
    TManualTimerService m_timers;
    TTimerServiceInstaller m_timersInstalled{&m_timers};
    TFakeInputState m_input;
    TInputStateInstaller m_inputInstalled{&m_input};
    TFakeClipboard m_clipboard;
    TClipboardInstaller m_clipboardInstalled{&m_clipboard};
    TFakeShell m_shell;
    TShellInstaller m_shellInstalled{&m_shell};
    TFakeDialogs m_dialogs;
    TDialogsInstaller m_dialogsInstalled{&m_dialogs};
    TFakeFileIcons m_icons;
    TFileIconsInstaller m_iconsInstalled{&m_icons};
    QTemporaryDir m_folder;
    const TElementClass* m_rootClass;
    QString m_schemeName;
    TNodePtr<TSheetSettings> m_settings;
    TSheet m_sheet;
    TUndoRedo m_history;
    TElementMessages m_messages;
    // Freed before the sheet, the history and the message list.
    std::unique_ptr<TScheme> m_scheme;
    // Entries kept for the step that asked for them.
    mutable std::vector<TPaletteEntry> m_entries;
};

#endif
