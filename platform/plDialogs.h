#pragma once
// Message boxes, the file open and save dialogs, the question whether to save
// a document, the folder browser and the open-with choice, behind one small
// interface: the Qt implementation (plQtDialogs) shows real dialogs, the fake
// records the calls and answers from a script.

#include "platform/plDesktopApps.h"
#include "platform/plInstaller.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

// Message-box flags and results, numbered as the callers use them.
namespace MsgBox {
constexpr unsigned Ok = 0x0;
constexpr unsigned OkCancel = 0x1;
constexpr unsigned AbortRetryIgnore = 0x2;
constexpr unsigned YesNoCancel = 0x3;
constexpr unsigned YesNo = 0x4;
constexpr unsigned RetryCancel = 0x5;
constexpr unsigned ButtonsMask = 0xF;
constexpr unsigned IconError = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconWarning = 0x30;
constexpr unsigned IconInformation = 0x40;
constexpr unsigned IconMask = 0xF0;
constexpr unsigned DefButton2 = 0x100;
constexpr unsigned DefButton3 = 0x200;
constexpr unsigned DefButtonMask = 0xF00;
constexpr unsigned TopMost = 0x40000;
}  // namespace MsgBox

namespace MsgResult {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace MsgResult

// Texts of the open-with choice, localised by the caller.
struct TOpenWithTexts {
    QString Caption;
    QString Prompt;   // already filled with the file's name
    QString Browse;   // the button that picks any program
    QString AllFiles; // the filter of the program browser
};

// What the user chose: one of the applications listed, or a program file.
struct TOpenWithChoice {
    int AppIndex = -1;
    QString Program;
};

enum class TFileDialogKind { Open, OpenMulti, Save };

// An open or save dialog. The filter lists entries "caption|patterns", the
// patterns of one entry separated by ";":
// "Text (*.a, *.b)|*.a;*.b|All Files (*.*)|*.*".
struct TFileDialogParams {
    QString Title{};
    QString Filter{};
    QString FileName{};    // preset when not empty; may be a name without folder
    QString DefaultExt{};  // without dot: the save dialog adds it to a name without one
    QString Folder{};      // the folder the dialog starts in when not empty
};

// The question asked before a modified document is closed; texts localised
// by the caller.
struct TSaveQuestion {
    QString Text;
    QString Caption;
    QString SaveButton;      // the default
    QString DontSaveButton;
    QString CancelButton;
};

enum class TSaveAnswer { Save, DontSave, Cancel };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    virtual int MessageBox(const QString& text, const QString& caption, unsigned flags) = 0;
    // The chosen folder in `folder`; false when cancelled. `root` limits the tree when not empty.
    virtual bool BrowseForFolder(const QString& title, const QString& root, QString& folder) = 0;
    virtual std::optional<TOpenWithChoice> ChooseApplication(const TOpenWithTexts& texts,
                                                             const std::vector<TDesktopApp>& apps) = 0;
    // Open (Open, OpenMulti: existing files only) or save (Save: the
    // overwrite question included) dialogs; the chosen files, false when cancelled.
    virtual bool ChooseFiles(TFileDialogKind kind, const TFileDialogParams& params, QStringList& files) = 0;
    virtual TSaveAnswer AskSave(const TSaveQuestion& question) = 0;

    // The dialogs in use: the Qt ones unless a test installed others.
    static TDialogs& Current();
    static TDialogs* Install(TDialogs* dialogs) noexcept;
};

// The Qt dialogs (plQtDialogs), the default of TDialogs::Current.
TDialogs& QtDialogs();

class TFakeDialogs : public TDialogs {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override;
    bool BrowseForFolder(const QString& title, const QString& root, QString& folder) override;
    std::optional<TOpenWithChoice> ChooseApplication(const TOpenWithTexts& texts,
                                                     const std::vector<TDesktopApp>& apps) override;
    bool ChooseFiles(TFileDialogKind kind, const TFileDialogParams& params, QStringList& files) override;
    TSaveAnswer AskSave(const TSaveQuestion& question) override;

    struct TBox {
        QString Text, Caption;
        unsigned Flags;
    };
    std::vector<TBox> Boxes;
    std::deque<int> Answers;               // message-box results, Ok when empty
    std::optional<QString> FolderAnswer;   // nullopt: cancelled
    QString FolderAsked;                   // the folder passed in
    QString FolderTitleAsked;
    QString RootAsked;
    std::optional<TOpenWithChoice> OpenWithAnswer;
    std::vector<TDesktopApp> AppsOffered;
    TOpenWithTexts TextsShown;

    struct TFileDialogCall {
        TFileDialogKind Kind;
        TFileDialogParams Params;
    };
    std::vector<TFileDialogCall> FileDialogs;
    std::deque<std::optional<QStringList>> FileAnswers;  // nullopt (or none left): cancelled
    std::vector<TSaveQuestion> SaveQuestions;
    std::deque<TSaveAnswer> SaveAnswers;                 // Cancel when empty
};

class TDialogsInstaller : public TInstaller<TDialogs> {
public:
    using TInstaller::TInstaller;
};
