#include "elements/diLog.h"

#include "core/cuColors.h"
#include "core/cuKnot.h"
#include "platform/plInput.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"
#include "scheme/diTextorAttributes.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "text/diTextorInteractive.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <utility>

namespace {

TNodePtr<TLogSettings> g_logSettings;
TSettingsLinkHandler g_settingsLinkHandler;
TTextAttributesRef g_logText;
std::unique_ptr<TSchemeImages> g_logImages;

const QString kSignKindName = QStringLiteral("Kind");
const QString kSignNodeName = QStringLiteral("Sign");
const QString kLinkFileName = QStringLiteral("FileName");
const QString kLinkElementsName = QStringLiteral("Elements");
const QString kLinkSettingsName = QStringLiteral("Settings");
// A link run's kind (any non-zero kind is a link).
constexpr int kLogLinkKind = 1;
// The link colour (blue as the system stores colours).
constexpr uint32_t kLogLinkWindowsColor = 0xFF0000;

// The link attributes of the text attributes: blue, underlined, linking to link.
TTextAttributesRef LogLinkAttributes(const TTextAttributes* text, const QString& link) {
    TRichTextAttributes attributes;
    if (text) attributes.Assign(*text);
    attributes.SetColor(ColorFromWindows(kLogLinkWindowsColor));
    attributes.SetFontStyle(attributes.FontStyle() | tfsUnderline);
    attributes.SetLinkKind(kLogLinkKind);
    attributes.SetLink(link);
    return AcquireSharedAs<TTextAttributes>(attributes);
}

}  // namespace

// ---------------------------------------------------------------------------
// TLogSettings

T_CLASS_IMPL(TLogSettings, TProperty)

void TLogSettings::CreateProperties() {
    m_information = TProperty::Create<TBooleanProperty>(this, QStringLiteral("WriteInformation"), true);
    m_hints = TProperty::Create<TBooleanProperty>(this, QStringLiteral("WriteHints"), true);
    m_warnings = TProperty::Create<TBooleanProperty>(this, QStringLiteral("WriteWarnings"), true);
}

bool TLogSettings::Writes(uint8_t kind) const {
    switch (kind) {
    case mkInformation: return !m_information || m_information->Value();
    case mkHint: return !m_hints || m_hints->Value();
    case mkWarning: return !m_warnings || m_warnings->Value();
    default: return true;
    }
}

TLogSettings* LogSettings() noexcept { return g_logSettings.get(); }

// ---------------------------------------------------------------------------
// TElement_Sign

T_ELEMENT_CLASS_IMPL(TElement_Sign, TVisualElement)

TLogSignPicture LogSignPicture(uint8_t kind) noexcept {
    switch (kind) {
    case mkHint: return TLogSignPicture::Hint;
    case mkWarning:
    case mkValueRequired:
    case mkInvalidContent: return TLogSignPicture::Warning;
    case mkError: return TLogSignPicture::Error;
    default: return TLogSignPicture::None;
    }
}

TElement_Sign::TElement_Sign() noexcept { InitVisualOptions(VisualOptions() | voNotCopied); }

void TElement_Sign::SetKind(uint8_t kind) {
    if (m_kind == kind) return;
    m_kind = kind;
    Invalidate();
}

void TElement_Sign::Paint(TSheetCanvas& canvas) {
    const TLogSignPicture picture = LogSignPicture(m_kind);
    if (picture != TLogSignPicture::None && g_logImages) canvas.DrawListImage(QPoint(0, 0), int(picture), *g_logImages);
}

void TElement_Sign::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    SetSize(kLogSignSize, kLogSignSize);
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
}

void TElement_Sign::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (m_kind != mkInformation) knot->WriteInt(kSignKindName, m_kind);
}

void TElement_Sign::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    m_kind = uint8_t(knot->ReadInt(kSignKindName, mkInformation, 0, 255));
}

// ---------------------------------------------------------------------------
// Links

TSettingsLinkHandler InstallSettingsLinkHandler(TSettingsLinkHandler handler) {
    return std::exchange(g_settingsLinkHandler, std::move(handler));
}

QList<int> ParseLogElementNumbers(const QString& value) {
    QList<int> numbers;
    for (const QStringView part : QStringView(value).split(u',')) {
        bool ok = false;
        const int number = part.trimmed().toInt(&ok);
        if (ok) numbers.append(number);
    }
    return numbers;
}

// ---------------------------------------------------------------------------
// TLogRoot

T_ELEMENT_CLASS_IMPL(TLogRoot, TTextorElement)

TLogRoot::TLogRoot() : m_messages(std::make_unique<TElementMessages>()) {
    m_messages->OnCleared = [this](TElementMessages*) { Cleared(); };
    m_messages->OnBeforeAdd = [](TElementMessages*, TElementMessage* message, bool& accept) {
        if (g_logSettings && !g_logSettings->Writes(message->Kind())) accept = false;
    };
    m_messages->OnAdded = [this](TElementMessages*, TElementMessage* message) { AppendMessage(*message); };
}

TLogRoot::~TLogRoot() = default;

void TLogRoot::Create() {
    TTextorElement::Create();
    SetTextorOptions(TextorOptions() | kLogTextorOptions);
    SetRestrictions(kLogTextRestrictions);
}

void TLogRoot::BeforeDestruction() {
    m_messages->OnCleared = nullptr;
    m_messages->OnBeforeAdd = nullptr;
    m_messages->OnAdded = nullptr;
    TTextorElement::BeforeDestruction();
}

void TLogRoot::Cleared() {
    Textor()->Clear();
    if (OnChange) OnChange(this);
}

TNodePtr<TKnot> TLogRoot::MessageContent(const TElementMessage& message) const {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    root->SetFlagsAdded(kfIndexed);
    if (!Textor()->IsEmpty()) AddContentBreak(root.get());
    if (message.Kind() != mkInformation) {
        root->AddChild(kSignNodeName)->WriteInt(kSignKindName, message.Kind());
        root->AddChild(kContentCharsName)->WriteStr(kContentValueName, QStringLiteral(" "));
    }
    for (const TElementMessageSegment& segment : message.Segments()) {
        TKnot* chars = root->AddChild(kContentCharsName);
        chars->WriteStr(kContentValueName, segment.Text);
        switch (segment.Kind) {
        case skElements: chars->WriteStr(kLinkElementsName, segment.Value); break;
        case skFileName: chars->WriteStr(kLinkFileName, segment.Value); break;
        case skSettings: chars->WriteStr(kLinkSettingsName, segment.Value); break;
        default: break;
        }
    }
    return root;
}

void TLogRoot::AppendMessage(const TElementMessage& message) {
    if (Sheet()) m_messageSound.Play();
    TNodePtr<TKnot> content = MessageContent(message);
    TSheetUpdate update(Sheet());
    LoadAtEnd(content.get());
    update.End();
    ScrollSheetToLeftEdge();
    if (OnChange) OnChange(this);
}

void TLogRoot::ScrollSheetToLeftEdge() {
    if (auto* sheet = dynamic_cast<TSheet*>(Sheet())) sheet->SetScreenPosition(QPoint(0, sheet->ScreenPos().y()));
}

void TLogRoot::LoadAtEnd(TKnot* content) {
    TSchemeTextorInteractive* interactive = Interactive();
    const bool caretAtEnd = !interactive || interactive->CaretPosition() == Textor()->GetEndPosition();
    const TTextorNumericRange kept =
        interactive ? Textor()->RangeToNumeric(interactive->GetSelection()) : TTextorNumericRange{};
    InsertContent(content, fmFile, 0, Textor()->GetEndPosition());
    if (!interactive) return;
    if (caretAtEnd)
        interactive->SetCaretPosition(Textor()->GetEndPosition());
    else
        interactive->SetPendingSelection(kept, false, true);
}

void TLogRoot::OpenLogLink(const QString& link) {
    if (link.isEmpty()) return;
    const QChar letter = link.front();
    const QString value = link.mid(1);
    if (letter == kLogLinkElements) {
        if (OnElementsLink) OnElementsLink(this, ParseLogElementNumbers(value));
    } else if (letter == kLogLinkFile) {
        if (OnFileLink) OnFileLink(this, value);
    } else if (letter == kLogLinkSettings) {
        if (g_settingsLinkHandler)
            g_settingsLinkHandler(value);
        else
            SystemBeep();
    }
}

void TLogRoot::ActivateLink(const TTextorPosition& position) {
    const TTextorPosition at = TTextor::Normalize(position);
    TPortion* portion = at.Portion;
    if ((!portion || !portion->Attributes() || portion->Attributes()->LinkKind() == 0) && at.Offset == 0 &&
        at.Paragraph) {
        TPortion* before = nullptr;
        for (TPortion* p = at.Paragraph->FirstPortion(); p && p != at.Portion; p = p->Next()) before = p;
        portion = before;
    }
    const TTextAttributes* attributes = portion ? portion->Attributes() : nullptr;
    if (!attributes || attributes->LinkKind() == 0) return;
    m_textChangedByClick = false;
    OpenLogLink(attributes->Link());
    if (!m_textChangedByClick) MarkVisited(portion);
}

void TLogRoot::ConfigureInteractive() {
    TTextorElement::ConfigureInteractive();
    Interactive()->SetOptions(Interactive()->Options() | tioClickLink);
}

TRect TLogRoot::GetPadding() {
    ISheet* sheet = Sheet();
    return sheet ? sheet->Canvas()->GetThemePadding(tekSheet) : TTextorElement::GetPadding();
}

void TLogRoot::MarkVisited(TPortion* portion) {
    const TColor visited = ColorFromWindows(kVisitedLinkWindowsColor);
    const auto* rich = dynamic_cast<const TRichTextAttributes*>(portion->Attributes());
    if (!rich || rich->Color() == visited) return;
    TRichTextAttributes copy;
    copy.Assign(*rich);
    copy.SetColor(visited);
    TSheetUpdate update(Sheet());
    portion->SetAttributes(AcquireSharedAs<TTextAttributes>(copy));
    Textor()->Relayout(false);
    update.End();
    m_textChangedByClick = false;
}

TTextAttributesRef TLogRoot::GetNodeTextAttributes(TKnot* knot) {
    const TTextAttributes* text = GetTextAttributes();
    if (const QString file = knot->ReadStr(kLinkFileName); !file.isEmpty())
        return LogLinkAttributes(text, kLogLinkFile + file);
    if (const QString elements = knot->ReadStr(kLinkElementsName); !elements.isEmpty())
        return LogLinkAttributes(text, kLogLinkElements + elements);
    if (const QString settings = knot->ReadStr(kLinkSettingsName); !settings.isEmpty())
        return LogLinkAttributes(text, kLogLinkSettings + settings);
    return TTextorElement::GetNodeTextAttributes(knot);
}

TTextAttributes* TLogRoot::GetTextAttributes() const {
    return g_logText ? g_logText.get() : TTextorElement::GetTextAttributes();
}

void TLogRoot::TextChanged() {
    m_textChangedByClick = true;
    TTextorElement::TextChanged();
}

void TLogRoot::FillAcceptedClasses(TElementClassList& list) {
    TTextorElement::FillAcceptedClasses(list);
    list.append(TElement_Sign::StaticClass());
}

// ---------------------------------------------------------------------------
// The unit

void InitLogUnit() {
    g_logSettings = TProperty::CreateRoot<TLogSettings>(QStringLiteral("Log"));
    g_logSettings->CreateProperties();
    g_logImages = std::make_unique<TSchemeImages>(kLogSignSize, kLogSignSize);
    g_logImages->AddResourceImage(kLogImagesResource);
    // The system's general font exists only once the application object does.
    if (!QGuiApplication::instance()) return;
    const QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    TRichTextAttributes text;
    text.SetFontName(font.family());
    if (font.pointSize() > 0) text.SetFontSize(font.pointSize());
    g_logText = AcquireSharedAs<TTextAttributes>(text);
}

void FinalLogUnit() {
    g_logText.reset();
    g_logImages.reset();
    g_settingsLinkHandler = nullptr;
    g_logSettings.reset();
}
