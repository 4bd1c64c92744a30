#pragma once
// The log: the sheet on which the editor reports messages (information,
// hints, warnings, errors) from checking and generating. TLogRoot is a
// read-mostly rich text that receives the messages of one TElementMessages
// list and writes each as a paragraph with a small kind sign (TElement_Sign)
// and links to elements, files or settings pages. TLogSettings ("Log") lets
// the user suppress information, hints or warnings.
//
// A link's target is the link text of its attributes: one letter and the
// value: "E" and comma-separated element numbers, "F" and a file name, "S"
// and a settings page path. The log's links are its own: hyperlink detection
// never runs over its text.

#include "core/cuProps.h"
#include "scheme/diMessages.h"
#include "scheme/diSounds.h"
#include "text/diTextorElement.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TBooleanProperty;

// ---------------------------------------------------------------------------
// TLogSettings

// The section "Log": "WriteInformation", "WriteHints", "WriteWarnings" (each on by default).
class TLogSettings : public TProperty {
    T_CLASS(TLogSettings)
public:
    TLogSettings() = default;
    // Adds the leaves; call once after construction.
    void CreateProperties();

    TBooleanProperty* WriteInformation() const noexcept { return m_information; }
    TBooleanProperty* WriteHints() const noexcept { return m_hints; }
    TBooleanProperty* WriteWarnings() const noexcept { return m_warnings; }
    // Whether a message of kind is written: kinds 0 to 2 by their setting, the others always.
    bool Writes(uint8_t kind) const;

protected:
    ~TLogSettings() override = default;

private:
    TBooleanProperty* m_information = nullptr;
    TBooleanProperty* m_hints = nullptr;
    TBooleanProperty* m_warnings = nullptr;
};

// The shared section, made by the unit's initialisation; nullptr outside the
// unit's lifetime. The application hangs it under "Sheet" and takes it out
// again before freeing that tree: the unit's finalisation frees it.
TLogSettings* LogSettings() noexcept;

// ---------------------------------------------------------------------------
// TElement_Sign

// Which sign a message kind shows.
enum class TLogSignPicture : int8_t { None = -1, Hint = 0, Warning = 1, Error = 2 };
TLogSignPicture LogSignPicture(uint8_t kind) noexcept;

// The side of a sign's square, in pixels: the size of the log's image list.
constexpr int kLogSignSize = 9;
// The resource strip of the sign pictures, in the order of TLogSignPicture.
inline const QString kLogImagesResource = QStringLiteral("diLogImages");

// The small picture of a message kind at the start of a log paragraph; stored as "Kind".
class TElement_Sign : public TVisualElement {
    T_ELEMENT_CLASS(TElement_Sign)
public:
    TElement_Sign() noexcept;

    uint8_t Kind() const noexcept { return m_kind; }
    void SetKind(uint8_t kind);

    void Paint(TSheetCanvas& canvas) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;

protected:
    ~TElement_Sign() override = default;

private:
    uint8_t m_kind = mkInformation;
};

// ---------------------------------------------------------------------------
// TLogRoot

// The text options and restrictions of the log.
constexpr uint32_t kLogTextorOptions = 0x11100009;
constexpr uint32_t kLogTextRestrictions = 0x6F;
// The colour of a visited link, as the system stores colours (dark red).
constexpr uint32_t kVisitedLinkWindowsColor = 0x000080;
// The sound played when a message is written on a sheet.
inline const QString sndLogMessage = QStringLiteral("diLogMessageSound");

// The letters that start a link text.
inline constexpr QChar kLogLinkElements = u'E';
inline constexpr QChar kLogLinkFile = u'F';
inline constexpr QChar kLogLinkSettings = u'S';

// Called for a click on a settings link, with the page path.
using TSettingsLinkHandler = std::function<void(const QString& path)>;
// Installs the process-wide handler (the main form does; empty: none) and
// answers the previous one. Without a handler a settings link beeps.
TSettingsLinkHandler InstallSettingsLinkHandler(TSettingsLinkHandler handler);

// The element numbers of an "E" link value: the comma-separated parts that are numbers.
QList<int> ParseLogElementNumbers(const QString& value);

class TLogRoot : public TTextorElement {
    T_ELEMENT_CLASS(TLogRoot)
public:
    using ChangeEvent = std::function<void(TLogRoot* sender)>;
    using ElementsLinkEvent = std::function<void(TLogRoot* sender, const QList<int>& numbers)>;
    using FileLinkEvent = std::function<void(TLogRoot* sender, const QString& fileName)>;

    TLogRoot();

    // The list whose events drive the log (owned).
    TElementMessages& Messages() noexcept { return *m_messages; }
    bool TextChangedByClick() const noexcept { return m_textChangedByClick; }

    ChangeEvent OnChange;
    ElementsLinkEvent OnElementsLink;
    FileLinkEvent OnFileLink;

    // Writes the message as the last paragraph.
    void AppendMessage(const TElementMessage& message);
    // Opens the target of the link text ("E", "F" or "S" and the value).
    void OpenLogLink(const QString& link);

    void ActivateLink(const TTextorPosition& position) override;
    // A click on a link opens it (the log's links work without hyperlink detection).
    void ConfigureInteractive() override;
    // The padding of the theme kind "Sheet".
    TRect GetPadding() override;
    TTextAttributesRef GetNodeTextAttributes(TKnot* knot) override;
    TTextAttributes* GetTextAttributes() const override;
    void TextChanged() override;
    void Create() override;
    void FillAcceptedClasses(TElementClassList& list) override;
    void BeforeDestruction() override;

protected:
    ~TLogRoot() override;

private:
    void Cleared();
    TNodePtr<TKnot> MessageContent(const TElementMessage& message) const;
    void LoadAtEnd(TKnot* content);
    // The sheet shows its left edge, at its current vertical position.
    void ScrollSheetToLeftEdge();
    // The clicked run gets the visited colour unless it has it.
    void MarkVisited(TPortion* portion);

    std::unique_ptr<TElementMessages> m_messages;
    const TSchemeSound m_messageSound{sndLogMessage};  // found once, played per message
    bool m_textChangedByClick = false;
};

// The shared attributes of every log (the system's general font) and the
// sign pictures, made at start-up.
void InitLogUnit();
void FinalLogUnit();
