#include "core/baAppCmpns.h"

#include "core/cuCodeWriters.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

TAppComponent::~TAppComponent() { Broadcast(acFreeing); }

// ---------------------------------------------------------------------------
// Filters and the dialog

QString TFileFilter::DisplayName() const {
    const QString caption = Text.isEmpty() ? FileExt.toUpper() : Text;
    return caption + QStringLiteral(" (*.") + FileExt.toLower() + QLatin1Char(')');
}

TFileFilter& TFileFilters::AddFilter(const QString& fileExt, const QString& text) {
    TFileFilter& filter = m_filters.emplace_back();
    filter.FileExt = fileExt;
    filter.Text = text;
    return filter;
}

const TFileFilter* TFileFilters::FindByExt(const QString& ext) const {
    for (const TFileFilter& f : m_filters)
        if (f.FileExt.compare(ext, Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

namespace {
// One entry of a dialog's filter: a caption and the extensions it lists.
struct TFilterGroup {
    QString Key;
    QStringList Exts;  // lower case
};

QString GroupEntry(const TFilterGroup& group) {
    QStringList patterns;
    for (const QString& ext : group.Exts) patterns << QStringLiteral("*.") + ext;
    return FormatCode(u"%s (%s)|%s", {group.Key, patterns.join(QStringLiteral(", ")), patterns.join(QLatin1Char(';'))});
}

QString AllFilesEntry() { return FormatCode(u"%s (*.*)|*.*", {LoadStr(strAllFiles)}); }
}  // namespace

QString TOpenSaveDialog::BuildFilter(bool forSave, QStringList* firstExts) const {
    const bool merge = !forSave && !Options.testFlag(osoNoMergeOpenFilters);
    std::vector<TFilterGroup> groups;
    for (int i = 0; i < FileFilters.Count(); ++i) {
        const TFileFilter& f = FileFilters[i];
        if (!(forSave ? f.UseForSave : f.UseForOpen)) continue;
        const QString key = f.Text.isEmpty() ? f.FileExt.toUpper() : f.Text;
        auto group = groups.end();
        if (merge)
            group = std::find_if(groups.begin(), groups.end(),
                                 [&](const TFilterGroup& g) { return g.Key.compare(key, Qt::CaseInsensitive) == 0; });
        if (group == groups.end()) group = groups.insert(groups.end(), TFilterGroup{key, {}});
        group->Exts << f.FileExt.toLower();
    }

    const bool allFirst = !forSave && Options.testFlag(osoDefaultFilterAll) && !Options.testFlag(osoOpenNoAllFiles);
    const bool allLast = forSave ? !Options.testFlag(osoSaveNoAllFiles)
                                 : !Options.testFlag(osoOpenNoAllFiles) && !Options.testFlag(osoDefaultFilterAll);
    QStringList entries;
    if (allFirst) entries << AllFilesEntry();
    for (const TFilterGroup& g : groups) {
        entries << GroupEntry(g);
        if (firstExts) *firstExts << g.Exts.first();
    }
    if (allLast) {
        entries << AllFilesEntry();
        if (firstExts) *firstExts << QString();
    }
    return entries.join(QLatin1Char('|'));
}

QString TOpenSaveDialog::OpenFilter() const { return BuildFilter(false, nullptr); }

QString TOpenSaveDialog::SaveFilter(QString* defaultExt) const {
    QStringList firstExts;
    const QString filter = BuildFilter(true, &firstExts);
    if (defaultExt) *defaultExt = firstExts.value(0);
    return filter;
}

bool TOpenSaveDialog::ExecuteOpen() {
    QStringList files;
    if (!TDialogs::Current().ChooseFiles(TFileDialogKind::Open, {Title, OpenFilter(), FileName, {}, InitialDir}, files))
        return false;
    FileName = files.value(0);
    return true;
}

bool TOpenSaveDialog::ExecuteOpenMulti() {
    QStringList files;
    if (!TDialogs::Current().ChooseFiles(TFileDialogKind::OpenMulti, {Title, OpenFilter(), FileName, {}, InitialDir},
                                         files))
        return false;
    Files = files;
    return true;
}

bool TOpenSaveDialog::ExecuteSave() {
    QString defaultExt;
    const QString filter = SaveFilter(&defaultExt);
    QStringList files;
    if (!TDialogs::Current().ChooseFiles(TFileDialogKind::Save, {Title, filter, FileName, defaultExt, InitialDir},
                                         files))
        return false;
    FileName = files.value(0);
    return true;
}

// ---------------------------------------------------------------------------
// The command line

namespace {
// Backtracks only to the last "*": linear for masks with few stars.
bool MatchFrom(QStringView text, QStringView mask) {
    qsizetype t = 0, m = 0, starMask = -1, starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == QLatin1Char('*')) {
            starMask = m++;
            starText = t;
        } else if (m < mask.size() &&
                   (mask[m] == QLatin1Char('?') || mask[m].toCaseFolded() == text[t].toCaseFolded())) {
            ++m;
            ++t;
        } else if (starMask >= 0) {
            m = starMask + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*')) ++m;
    return m == mask.size();
}

QString Unquoted(const QString& value) {
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

// Whether param matches in mode; the value it gives.
bool ParamMatches(TParamMode mode, const QString& param, const QString& text, QString& value) {
    switch (mode) {
    case TParamMode::Mask:
        value = param;
        return MatchesMask(param, text);
    case TParamMode::Switch:
        value = param;
        return param.compare(text, Qt::CaseInsensitive) == 0;
    case TParamMode::Option: {
        const qsizetype eq = param.indexOf(QLatin1Char('='));
        if (eq < 0 || QStringView(param).left(eq).compare(text, Qt::CaseInsensitive) != 0) return false;
        value = Unquoted(param.mid(eq + 1));
        return true;
    }
    }
    return false;
}
}  // namespace

bool MatchesMask(const QString& text, const QString& mask) { return MatchFrom(text, mask); }

TCommandLine::TCommandLine() : m_params(QCoreApplication::arguments().mid(1)) {}

bool TCommandLine::FindParam(TParamMode mode, TParamAction action, int index, const QString& text, QString* value) {
    for (qsizetype i = 0; i < m_params.size(); ++i) {
        QString found;
        if (!ParamMatches(mode, m_params[i], text, found) || index-- > 0) continue;
        if (value && action != TParamAction::Remove) *value = found;
        if (action != TParamAction::Get) m_params.removeAt(i);
        return true;
    }
    return false;
}

bool TCommandLine::GetFileParam(const QString& mask, QString& value, int index) {
    return FindParam(TParamMode::Mask, TParamAction::Take, index, mask, &value);
}

bool TCommandLine::HasSwitch(const QString& name) {
    return FindParam(TParamMode::Switch, TParamAction::Take, 0, name, nullptr);
}

bool TCommandLine::GetOption(const QString& name, QString& value) {
    return FindParam(TParamMode::Option, TParamAction::Take, 0, name, &value);
}

// ---------------------------------------------------------------------------
// The session file

TSessionFile::TSessionFile() : m_root(TKnot::Create()) { m_root->SetFlags(kfSettingsFile); }

TSessionFile::~TSessionFile() = default;

void TSessionFile::Load() {
    QString argument;
    if (CommandLine() && !CommandLineSearchExt.isEmpty() &&
        CommandLine()->GetFileParam(QStringLiteral("*.") + CommandLineSearchExt, argument))
        FileName = QDir::cleanPath(QFileInfo(argument).absoluteFilePath());
    try {
        m_root->LoadFromFile(FileName);
        m_loadState = lsLoaded;
    } catch (const Exception&) {
        m_loadState = QFileInfo::exists(FileName) ? lsLoadFailed : lsFileMissing;
    }
}

namespace {
// The root is named after the file. A character no knot name may hold (a
// space, a quote, "<", ...) becomes "_", and an empty name "_", so that the
// file reads back.
QString RootNameFor(const QString& fileName) {
    QString name = ExtractFileBaseName(fileName);
    for (QChar& c : name)
        if (!TKnot::IsValidName(QStringView(&c, 1))) c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("_") : name;
}
}  // namespace

void TSessionFile::Save() {
    try {
        m_root->SetName(RootNameFor(FileName));
        m_root->SaveToFile(FileName, TKnotEncoding::Ansi);
        m_saveError.clear();
    } catch (const Exception& e) {
        m_saveError = e.Text();
    }
}

// ---------------------------------------------------------------------------
// Recently used files

namespace {
const QString& FileKnotName() {
    static const QString name = QStringLiteral("File");
    return name;
}
const QString& FileNameParam() {
    static const QString name = QStringLiteral("FileName");
    return name;
}

TKnot* NextKnotOf(TNode* node) { return static_cast<TKnot*>(node->NextSibling()); }

bool IsFileKnot(const TKnot* knot) { return knot->Name() == FileKnotName(); }
}  // namespace

void TRecentFiles::SetSessionFile(TSessionFile* sessionFile) {
    m_sessionFile.Set(sessionFile);
    ReopenChanged();
}

void TRecentFiles::SetMaxStoredCount(int count) {
    m_maxStoredCount = count;
    if (Trim()) ReopenChanged();
}

TKnot* TRecentFiles::ListKnot() const {
    TSessionFile* session = SessionFile();
    if (!session) return nullptr;
    TKnot* list = KnotPath.isEmpty() ? session->Root() : session->Root()->FindPath(KnotPath, true);
    if (list) list->SetFlagsAdded(TKnotFlags(list->FlagsAdded() | kfIndexed));
    return list;
}

TKnot* TRecentFiles::FindFile(const QString& fileName) const {
    TKnot* list = ListKnot();
    if (!list) return nullptr;
    for (TKnot* k = static_cast<TKnot*>(list->FirstChild()); k; k = NextKnotOf(k)) {
        const TKnotParam* param = IsFileKnot(k) ? k->FindParam(FileNameParam()) : nullptr;
        if (param && SameFileName(param->Value(), fileName)) return k;
    }
    return nullptr;
}

bool TRecentFiles::FreeRecords(const QString& fileName) const {
    bool freed = false;
    while (TKnot* record = FindFile(fileName)) {
        record->Free();
        freed = true;
    }
    return freed;
}

TKnot* TRecentFiles::Add(const QString& fileName) {
    TKnot* list = ListKnot();
    if (!list || m_maxStoredCount < 1) return nullptr;
    FreeRecords(fileName);
    TKnot* record = list->AddChild(FileKnotName());
    record->WriteStr(FileNameParam(), fileName);
    record->SetParentBefore(list, list->FirstChild());
    Trim();
    ReopenChanged();
    return record;
}

void TRecentFiles::Remove(const QString& fileName) {
    if (FreeRecords(fileName)) ReopenChanged();
}

QStringList TRecentFiles::FileNames() const {
    QStringList names;
    if (TKnot* list = ListKnot())
        for (TKnot* k = static_cast<TKnot*>(list->FirstChild()); k; k = NextKnotOf(k))
            if (const QString name = IsFileKnot(k) ? k->ReadStr(FileNameParam()) : QString(); !name.isEmpty())
                names << name;
    return names;
}

bool TRecentFiles::Trim() const {
    TKnot* list = ListKnot();
    if (!list) return false;
    // The first sibling to go: the one after the last record kept.
    TNode* cut = list->FirstChild();
    for (int kept = 0; cut && kept < m_maxStoredCount; cut = cut->NextSibling())
        if (IsFileKnot(static_cast<TKnot*>(cut))) ++kept;
    if (m_maxStoredCount < 1) {
        while (cut && !IsFileKnot(static_cast<TKnot*>(cut))) cut = cut->NextSibling();
    }
    if (!cut) return false;
    while (TNode* last = list->LastChild()) {
        const bool wasCut = last == cut;
        last->Free();
        if (wasCut) break;
    }
    return true;
}

void TRecentFiles::ReopenChanged() const {
    if (OnReopenChange) OnReopenChange();
}
