#include "platform/plDialogs.h"

namespace {
TServiceSlot<TDialogs> g_dialogs;
}

TDialogs& TDialogs::Current() { return g_dialogs.Get(QtDialogs()); }

TDialogs* TDialogs::Install(TDialogs* dialogs) noexcept { return g_dialogs.Install(dialogs); }

int TFakeDialogs::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    Boxes.push_back({text, caption, flags});
    if (Answers.empty()) return MsgResult::Ok;
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

bool TFakeDialogs::BrowseForFolder(const QString& title, const QString& root, QString& folder) {
    FolderAsked = folder;
    FolderTitleAsked = title;
    RootAsked = root;
    if (!FolderAnswer) return false;
    folder = *FolderAnswer;
    return true;
}

std::optional<TOpenWithChoice> TFakeDialogs::ChooseApplication(const TOpenWithTexts& texts,
                                                               const std::vector<TDesktopApp>& apps) {
    TextsShown = texts;
    AppsOffered = apps;
    return OpenWithAnswer;
}

bool TFakeDialogs::ChooseFiles(TFileDialogKind kind, const TFileDialogParams& params, QStringList& files) {
    FileDialogs.push_back({kind, params});
    if (FileAnswers.empty()) return false;
    const std::optional<QStringList> answer = FileAnswers.front();
    FileAnswers.pop_front();
    if (!answer) return false;
    files = *answer;
    return true;
}

TSaveAnswer TFakeDialogs::AskSave(const TSaveQuestion& question) {
    SaveQuestions.push_back(question);
    if (SaveAnswers.empty()) return TSaveAnswer::Cancel;
    const TSaveAnswer answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}
