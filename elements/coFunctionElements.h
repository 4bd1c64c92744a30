#pragma once
// Value elements that compute their value while a generator runs; they sit
// inside texts and the generator puts their value in their place.
//   TElement_ProcessingDateTime   the run's date and time, formatted by the mask
//   TElement_Replacement          Content with the FindValue pieces replaced by
//                                 ReplaceValue (all, the first or the last one)
//   TElement_IsEmpty              whether the Value is empty
// The replacement's options change through undoable operations.

#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"

#include <cstdint>

class QDateTime;

// Which pieces of the content a replacement replaces.
enum class TReplaceMode : uint8_t {
    All = 0,  // not written
    First = 1,
    Last = 2,
};
constexpr int kReplaceModeCount = 3;

// A rich-text part of a function element, with the hint its owner gives it.
class TFunctionField : public TTextorElement {
    T_ELEMENT_CLASS(TFunctionField)
public:
    TFunctionField() noexcept = default;

    void SetHintId(int id) noexcept { m_hintId = id; }
    // The hint the owner gave; none without one.
    void GetHint(QString& text) override;

protected:
    ~TFunctionField() override = default;

private:
    int m_hintId = 0;
};

// A part that must be filled (element option 0x80).
class TRequiredFunctionField : public TFunctionField {
    T_ELEMENT_CLASS(TRequiredFunctionField)
public:
    TRequiredFunctionField() noexcept;

protected:
    ~TRequiredFunctionField() override = default;
};

class TElement_ProcessingDateTime : public TCustomDateTimeMaskElement {
    T_ELEMENT_CLASS(TElement_ProcessingDateTime)
public:
    // Required, and can be disabled.
    TElement_ProcessingDateTime() noexcept;

    // The value for a run that started at `processing`.
    QString ValueAt(const QDateTime& processing) const { return FormatDateTime(processing); }

    int GetThemeKind() const override;
    void GetHint(QString& text) override;

protected:
    ~TElement_ProcessingDateTime() override = default;
};

class TElement_Replacement : public TTitledElement {
    T_ELEMENT_CLASS(TElement_Replacement)
public:
    TElement_Replacement() noexcept = default;

    // Sub-elements: the element tree owns them.
    TFunctionField* Content() const noexcept { return m_content; }
    TFunctionField* FindValue() const noexcept { return m_findValue; }
    TFunctionField* ReplaceValue() const noexcept { return m_replaceValue; }

    TReplaceMode Mode() const noexcept { return m_mode; }
    bool CaseInsensitive() const noexcept { return m_caseInsensitive; }
    // Each re-lays the title out and tells the sheet that the edit state
    // changed; nothing when the value is that one already.
    void SetMode(TReplaceMode mode);
    void SetCaseInsensitive(bool value);

    // TVisualElement: the three mode items and the case item, the current
    // ones checked; applying one that changes the element is one undoable step.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    // TElement: "Mode" ("First" or "Last", read ignoring case; absent means
    // All, an unknown word keeps the mode) and "CaseInsensitive" "1", each
    // written only when it is not the default.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;
    void Create() override;

protected:
    ~TElement_Replacement() override = default;

private:
    void OptionChanged();

    TFunctionField* m_content = nullptr;
    TFunctionField* m_findValue = nullptr;
    TFunctionField* m_replaceValue = nullptr;
    TReplaceMode m_mode = TReplaceMode::All;
    bool m_caseInsensitive = false;
};

class TElement_IsEmpty : public TTitledElement {
    T_ELEMENT_CLASS(TElement_IsEmpty)
public:
    TElement_IsEmpty() noexcept = default;

    // A sub-element: the element tree owns it.
    TFunctionField* Value() const noexcept { return m_value; }

    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;
    // Description and value field.
    void Create() override;

protected:
    ~TElement_IsEmpty() override = default;

private:
    TFunctionField* m_value = nullptr;
};

// The text options each part adds (restrictions trAllCharacters for all).
constexpr uint32_t kReplacementContentTextorOptions = 0x40881;
constexpr uint32_t kReplacementValueTextorOptions = 0x20481;
constexpr uint32_t kIsEmptyValueTextorOptions = 0x40811;

// Sets a replacement's mode; undoing sets the former one.
class TReplacementElementModeOperation : public TElementOperation {
    T_CLASS(TReplacementElementModeOperation)
public:
    TReplacementElementModeOperation(TElement_Replacement* element, TReplaceMode mode);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    TReplaceMode m_newMode;
    TReplaceMode m_oldMode = TReplaceMode::All;
};

// Sets whether a replacement ignores the letter case; undoing sets the former value.
class TReplacementElementCaseInsensitiveOperation : public TElementOperation {
    T_CLASS(TReplacementElementCaseInsensitiveOperation)
public:
    TReplacementElementCaseInsensitiveOperation(TElement_Replacement* element, bool value);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newValue;
    bool m_oldValue = false;
};

// The palette items of the unit and the class group of emptiness tests
// (valid between its initialisation and finalisation).
TPaletteItem* ReplaceModePaletteItem(TReplaceMode mode) noexcept;
TPaletteItem* CaseInsensitivePaletteItem() noexcept;
TPaletteItem* IsEmptyPaletteItem() noexcept;
TPaletteItem* ReplacementPaletteItem() noexcept;
TPaletteItem* ProcessingDateTimePaletteItem() noexcept;
// The index in ClassesGroups() of the group that holds TElement_IsEmpty; -1 outside.
int IsEmptyClassesGroup() noexcept;

// The palette items; the processing date and the replacement join the inline
// values, the emptiness test a group of its own.
void InitFunctionElementsUnit();
void FinalFunctionElementsUnit();
