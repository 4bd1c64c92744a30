#pragma once
// Non-visual components of the application shell: file-type filters and the
// open/save dialog made from them, the command line whose arguments are taken
// once, a knot tree kept in a file (the session), and the list of recently
// used files kept inside such a tree.
//
// Components refer to each other without owning: a component that goes
// tells its referrers (TAppComponent::acFreeing), and TComponentRef drops the
// reference.

#include "core/cuClasses.h"
#include "core/cuKnot.h"

#include <QFlags>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// ---------------------------------------------------------------------------
// Components and the references between them

class TAppComponent : public TItfObject {
public:
    // Broadcast by the destructor, both arguments 0.
    enum : int { acFreeing = 0x0AC0 };
    ~TAppComponent() override;
};

// A non-owning reference to a component that becomes nil when the
// component goes. Neither copied nor moved: the component calls it back.
template <class T>
class TComponentRef {
public:
    TComponentRef() noexcept = default;
    ~TComponentRef() { Set(nullptr); }
    TComponentRef(const TComponentRef&) = delete;
    TComponentRef& operator=(const TComponentRef&) = delete;

    T* Get() const noexcept { return m_target; }
    // Whether the reference changed.
    bool Set(T* target) {
        if (target == m_target) return false;
        if (m_target) m_target->RemoveHandler(Handler());
        m_target = target;
        if (m_target) m_target->AddHandler(Handler());
        return true;
    }

private:
    THandler Handler() noexcept { return MakeHandler<&TComponentRef::TargetMessage>(this); }
    void TargetMessage(TItfObject* sender, int msg, intptr_t, intptr_t) {
        if (msg == TAppComponent::acFreeing && sender == m_target) m_target = nullptr;
    }

    T* m_target = nullptr;
};

// ---------------------------------------------------------------------------
// File-type filters and the open/save dialog

// One kind of file: its extension without dot and its caption.
struct TFileFilter {
    QString FileExt = QStringLiteral("txt");
    QString Text;
    bool UseForOpen = true;
    bool UseForSave = true;

    // Text (or the extension in upper case when Text is empty), then
    // " (*." and the extension in lower case, then ")".
    QString DisplayName() const;
};

class TFileFilters {
public:
    // Appends a filter; the reference stays valid while the collection lives.
    TFileFilter& AddFilter(const QString& fileExt, const QString& text);
    // The first filter of that extension, regardless of case; nil when none.
    const TFileFilter* FindByExt(const QString& ext) const;
    int Count() const noexcept { return int(m_filters.size()); }
    const TFileFilter& operator[](int index) const { return m_filters.at(size_t(index)); }
    TFileFilter& operator[](int index) { return m_filters.at(size_t(index)); }
    void Clear() { m_filters.clear(); }

private:
    std::deque<TFileFilter> m_filters;
};

enum TOpenSaveOption : uint8_t {
    osoOpenNoAllFiles = 1,      // open dialogs get no "All Files" entry
    osoSaveNoAllFiles = 2,      // save dialogs get no "All Files" entry
    osoNoMergeOpenFilters = 4,  // open dialogs list each filter separately
    osoDefaultFilterAll = 8,    // open dialogs put "All Files" first instead of last
};
Q_DECLARE_FLAGS(TOpenSaveOptions, TOpenSaveOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TOpenSaveOptions)

class TOpenSaveDialog : public TAppComponent {
public:
    QString Title;
    TOpenSaveOptions Options;
    TFileFilters FileFilters;
    QString FileName;
    QStringList Files;
    QString InitialDir;  // where the dialogs start when not empty (a name with a folder starts in its own)

    // The filter of the open dialog: filters of one caption (regardless of
    // case) merged into one entry unless osoNoMergeOpenFilters.
    QString OpenFilter() const;
    // The filter of the save dialog, one entry per filter; `defaultExt` gets
    // the extension of its first entry ("" for "All Files").
    QString SaveFilter(QString* defaultExt = nullptr) const;

    // Each shows its dialog (TDialogs) and returns whether the user chose:
    // one existing file into FileName, several into Files, or the name to
    // save under into FileName (the overwrite question asked by the dialog).
    bool ExecuteOpen();
    bool ExecuteOpenMulti();
    bool ExecuteSave();

private:
    QString BuildFilter(bool forSave, QStringList* firstExts) const;
};

// ---------------------------------------------------------------------------
// The command line

// Whether text matches a file mask of "*" and "?", regardless of case.
bool MatchesMask(const QString& text, const QString& mask);

enum class TParamMode {
    Mask,    // a file name matching a mask
    Switch,  // a switch equal to the text, regardless of case
    Option,  // "name=value" whose name equals the text, regardless of case
};
enum class TParamAction {
    Get,     // gives the value
    Remove,  // removes the parameter
    Take,    // gives the value and removes the parameter
};

class TCommandLine : public TAppComponent {
public:
    // The program's arguments (QCoreApplication::arguments() without the program).
    TCommandLine();
    explicit TCommandLine(QStringList params) : m_params(std::move(params)) {}

    const QStringList& Params() const noexcept { return m_params; }

    // The index-th (from 0) parameter that matches in `mode`; its value is
    // the parameter itself (Mask, Switch) or what follows the first "="
    // without enclosing double quotes (Option). Whether one was found.
    bool FindParam(TParamMode mode, TParamAction action, int index, const QString& text, QString* value);
    // The wrappers take what they find: each argument is consumed once.
    bool GetFileParam(const QString& mask, QString& value, int index = 0);
    bool HasSwitch(const QString& name);
    bool GetOption(const QString& name, QString& value);

private:
    QStringList m_params;
};

// ---------------------------------------------------------------------------
// The session file

enum TSessionLoadState : uint8_t {
    lsNotLoaded = 0,
    lsFileMissing = 1,
    lsLoadFailed = 2,
    lsLoaded = 3,
};

// A knot tree loaded from and saved to its file. Failures are recorded, not
// raised: LoadState tells how loading went, SaveError why saving failed.
class TSessionFile : public TAppComponent {
public:
    TSessionFile();
    ~TSessionFile() override;

    QString FileName;
    // With a command line, the first argument matching "*." and this
    // extension names the file (and is consumed).
    QString CommandLineSearchExt;
    TCommandLine* CommandLine() const noexcept { return m_commandLine.Get(); }
    void SetCommandLine(TCommandLine* commandLine) { m_commandLine.Set(commandLine); }

    TKnot* Root() const noexcept { return m_root.get(); }
    TSessionLoadState LoadState() const noexcept { return m_loadState; }
    // The reason the last save failed; empty after a good one.
    const QString& SaveError() const noexcept { return m_saveError; }

    void Load();
    // Names the root after the file (without folder and extension) and
    // writes it in the system's code page without byte-order mark.
    void Save();

private:
    TNodePtr<TKnot> m_root;
    TComponentRef<TCommandLine> m_commandLine;
    TSessionLoadState m_loadState = lsNotLoaded;
    QString m_saveError;
};

// ---------------------------------------------------------------------------
// Recently used files

// The list knot (at KnotPath under the session's root) holds one child
// "File" per file, most recent first, with the parameter "FileName" and
// whatever the file's document stored in it.
class TRecentFiles : public TAppComponent {
public:
    static constexpr int DefaultMaxStoredCount = 32;

    TRecentFiles() = default;

    QString KnotPath;  // empty: the root itself
    std::function<void()> OnReopenChange;

    TSessionFile* SessionFile() const noexcept { return m_sessionFile.Get(); }
    // Fires OnReopenChange.
    void SetSessionFile(TSessionFile* sessionFile);
    int MaxStoredCount() const noexcept { return m_maxStoredCount; }
    // Trims the list; fires OnReopenChange when something went.
    void SetMaxStoredCount(int count);

    // The list knot (made when missing, marked kfIndexed); nil without a session.
    TKnot* ListKnot() const;
    // The record of a file (SameFileName); nil when none.
    TKnot* FindFile(const QString& fileName) const;
    // A fresh, empty record at the front (older ones of the file go with
    // everything stored in them), the list trimmed; fires OnReopenChange. Nil
    // without a list knot or with MaxStoredCount below 1.
    TKnot* Add(const QString& fileName);
    // Frees the file's records (a list edited by hand may hold several);
    // fires OnReopenChange when there was one.
    void Remove(const QString& fileName);
    // The files listed, most recent first; a record without a name is left out.
    QStringList FileNames() const;

private:
    // Keeps the first MaxStoredCount records and frees every later sibling;
    // whether anything went.
    bool Trim() const;
    // Frees every record of the file; whether there was one.
    bool FreeRecords(const QString& fileName) const;
    void ReopenChanged() const;

    TComponentRef<TSessionFile> m_sessionFile;
    int m_maxStoredCount = DefaultMaxStoredCount;
};
