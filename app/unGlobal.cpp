#include "app/unGlobal.h"

#include "core/cuLocalization.h"
#include "core/cuUtils.h"
#include "elements/coGeneration.h"
#include "elements/diDataElement.h"
#include "elements/diLog.h"
#include "pascal/elements/prCommon.h"
#include "platform/plPaths.h"
#include "scheme/diCanvas.h"
#include "scheme/diNaming.h"
#include "scheme/diSounds.h"
#include "ui/baPainterStyles.h"
#include "ui/baStyledPainter.h"
#include "ui/diPaletteForm.h"
#include "ui/diSheetForm.h"

#include "quillaneVersion.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

TGlobal* g_global = nullptr;

constexpr uint16_t kEnglish = 0x0409;
constexpr TColor kHyperlinkColor = MakeColor(0, 0, 255);
constexpr int kStdButtonHorzPadding = 8;

const QString kSessionExt = QStringLiteral("session");
const QString kRecentFilesExt = QStringLiteral("recentfiles");
const QString kSettingsExt = QStringLiteral("settings");

bool IsProgramFile(const QString& fileName) {
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    return !program.isEmpty() && QFileInfo(fileName).canonicalFilePath() == program;
}

const QString kQtTranslationsName = QStringLiteral("qtbase");

// Qt's own texts (the buttons of its standard dialogs, the context menus of
// edit fields) in the language: the translator installed before goes, and
// the language's "qtbase" file from Qt's translations folder comes in.
// English, or a language without a file there, leaves Qt's English.
void InstallQtTranslators(uint16_t langId, std::unique_ptr<QTranslator>& installed) {
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (langId == kEnglish) return;
    for (const TInterfaceLanguage& language : InterfaceLanguages()) {
        if (language.LangId != langId) continue;
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(language.Locale(), kQtTranslationsName, QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(translator.get()))
            installed = std::move(translator);
        return;
    }
}

// The sections the libraries make, in the order they are hung in: under
// "Sheet" unless the flag says the root (the editor windows' "SheetForm" and
// "PaletteForm", after "Naming"). "Generation" comes last: its switches
// (such as making generated files read-only) are kept like every other
// setting, though no page of the settings dialog shows them.
struct THungSection {
    TProperty* (*section)() noexcept;
    bool underRoot;
};
constexpr THungSection kHungSections[] = {
    {[]() noexcept -> TProperty* { return DataElementSettings(); }, false},
    {[]() noexcept -> TProperty* { return SoundsSettings(); }, false},
    {[]() noexcept -> TProperty* { return NamingSettings(); }, false},
    {[]() noexcept -> TProperty* { return SheetFormSettings(); }, true},
    {[]() noexcept -> TProperty* { return PaletteFormSettings(); }, true},
    {[]() noexcept -> TProperty* { return LogSettings(); }, false},
    {[]() noexcept -> TProperty* { return ProgramSettings(); }, false},
    {[]() noexcept -> TProperty* { return GenerationSettings(); }, false},
};

}  // namespace

TVersionInfo ReadVersionInfo(const QString& fileName) {
    if (!IsProgramFile(fileName)) return {};
    return {QStringLiteral(QUILLANE_COMPANY_NAME), QStringLiteral(QUILLANE_PRODUCT_NAME),
            QStringLiteral(QUILLANE_PRODUCT_VERSION)};
}

TGlobalSetup TGlobalSetup::FromProcess() {
    QStringList params = QCoreApplication::arguments();
    if (!params.isEmpty()) params.removeFirst();
    return {std::move(params), ReadVersionInfo(QCoreApplication::applicationFilePath()), QLocale::system()};
}

// ---------------------------------------------------------------------------
// TGlobal

std::unique_ptr<TGlobal> TGlobal::Create(TGlobalSetup setup) {
    Q_ASSERT_X(!g_global, "TGlobal::Create", "one data module at a time");
    std::unique_ptr<TGlobal> global(new TGlobal(std::move(setup)));
    g_global = global.get();
    global->DataModuleCreate();
    return global;
}

TGlobal::TGlobal(TGlobalSetup setup)
    : m_setup(std::move(setup)),
      m_commandLine(m_setup.Params),
      m_stStdBtn(std::make_unique<TPushStyler>()),
      m_ptrStdBtn(std::make_unique<TStyledPainter>()),
      m_stHyperlink(std::make_unique<TPushStyler>()),
      m_ptrHyperlink(std::make_unique<TStyledPainter>()) {
    for (auto [file, ext] : {std::pair{&m_sessionFile, kSessionExt}, std::pair{&m_recentFilesFile, kRecentFilesExt},
                             std::pair{&m_settingsFile, kSettingsExt}}) {
        file->SetCommandLine(&m_commandLine);
        file->CommandLineSearchExt = ext;
    }
}

TGlobal::~TGlobal() {
    DataModuleDestroy();
    InstallQtTranslators(kEnglish, m_qtTranslator);
    if (g_global == this) g_global = nullptr;
}

void TGlobal::DataModuleCreate() {
    if (TLocalization* localization = Localization()) {
        localization->SetFallbackLanguage(kEnglish);
        localization->SetLanguage(localization->FallbackLanguage());
    }
    SetUpButtonLooks();
    m_settings = TSettings::CreateTree();
    HangSections();
    SetSessionFileNames();
    m_settingsFile.Load();
    m_recentFilesFile.Load();
    m_sessionFile.Load();
    LoadSettings();
    m_settingsFile.Root()->Clear();
    m_settings->General()->Language()->AddHandler(LanguageHandler());
    SettingsChanged(nullptr, nmPropertyChanged, 0, 0);
    // From here on each change is written at once.
    m_settings->AddHandler(TreeHandler());
}

void TGlobal::DataModuleDestroy() {
    if (!m_settings) return;
    m_settings->RemoveHandler(TreeHandler());
    m_settings->General()->Language()->RemoveHandler(LanguageHandler());
    for (auto it = m_hungSections.rbegin(); it != m_hungSections.rend(); ++it) (*it)->SetParent(nullptr);
    m_hungSections.clear();
    m_settings.reset();
}

void TGlobal::SetUpButtonLooks() {
    const QFont messageFont = QApplication::font();

    TPushStyler& button = *m_stStdBtn;
    button.SetFont(messageFont);
    button.SetMode(smThemeStdBtn);
    button.SetOptions(soAllowFrameDefault | soLargeSigns);
    TPainterStyles& looks = button.Styles();
    looks.Adapt().SetEdgeOuter(ekRaised);
    looks.Adapt().SetEdgeInner(ekRaised);
    looks.Checked().SetEdgeOuter(ekLowered);
    looks.Checked().SetEdgeInner(ekLowered);
    looks.Checked().SetFillKind(fkDither);
    looks.Disabled().SetCaptionShade(okYes);
    looks.Disabled().SetImageEffects(pieDisable);
    looks.Focused().SetOptions(psoFocusRect);
    m_ptrStdBtn->SetPadding(TRect{kStdButtonHorzPadding, 0, kStdButtonHorzPadding, 0});
    m_ptrStdBtn->SetStyler(m_stStdBtn.get());

    TPushStyler& link = *m_stHyperlink;
    QFont linkFont = messageFont;
    linkFont.setUnderline(true);
    link.SetFont(linkFont);
    link.SetFontColor(kHyperlinkColor);
    link.SetCursor(Qt::PointingHandCursor);
    link.Styles().Disabled().SetImageEffects(pieDisable);
    link.Styles().Focused().SetOptions(psoFocusRect);
    m_ptrHyperlink->SetStyler(m_stHyperlink.get());
}

void TGlobal::HangSections() {
    for (const THungSection& hung : kHungSections) {
        TProperty* section = hung.section();
        if (!section) continue;  // its unit did not start
        section->SetParent(hung.underRoot ? static_cast<TProperty*>(m_settings.get()) : m_settings->Sheet());
        m_hungSections.push_back(section);
    }
}

void TGlobal::SetSessionFileNames() {
    const TVersionInfo& version = m_setup.Version;
    const QString folder = version.CompanyName.isEmpty() || version.ProductName.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                               : ApplicationDataFolder(version.CompanyName, version.ProductName);
    const QString base = folder + ExtractFileBaseName(QCoreApplication::applicationFilePath()) + QLatin1Char('.');
    for (TSessionFile* file : {&m_sessionFile, &m_recentFilesFile, &m_settingsFile})
        file->FileName = base + file->CommandLineSearchExt;
}

void TGlobal::LoadSettings() {
    if (m_settingsFile.LoadState() != lsFileMissing) {
        // A damaged file gives what could be read.
        m_settings->LoadContent(m_settingsFile.Root());
        return;
    }
    TFirstRun firstRun{m_setup.UserLocale};
    m_settings->BroadcastNodeMessage(nmFirstRun, reinterpret_cast<intptr_t>(&firstRun), 0, true, true);
    m_settingsNeedSaving = true;
}

void TGlobal::SaveSettings() {
    TKnot* root = m_settingsFile.Root();
    m_settings->SaveContent(root);
    m_settingsFile.Save();
    root->Clear();
    m_settingsNeedSaving = false;
}

void TGlobal::SaveAtShutdown() {
    m_sessionFile.Save();
    m_recentFilesFile.Save();
    if (m_settingsNeedSaving) SaveSettings();
}

void TGlobal::SettingsChanged(TItfObject*, int msg, intptr_t, intptr_t) {
    TLocalization* localization = Localization();
    if (msg != nmPropertyChanged || !localization) return;
    uint16_t langId = 0;
    if (!LanguageNameToLangId(m_settings->General()->Language()->Value(), langId))
        langId = localization->FallbackLanguage();
    localization->SetLanguage(langId);
    InstallQtTranslators(langId, m_qtTranslator);
}

void TGlobal::SettingsTreeChanged(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == nmPropertyChanged) SaveSettings();
}

TGlobal* Global() noexcept { return g_global; }

TStyledPainter* DefaultButtonPainter() noexcept { return g_global ? &g_global->ptrStdBtn() : nullptr; }
