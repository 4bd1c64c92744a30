#pragma once
// Value elements: named texts and the substitutions that stand for them.
//   TCustomValueElement        a named element whose name field is a TValueNameField
//   TTextElement               a value with a text type, chosen in the palette
//                              through TTextElementTypeOperation
//   TElement_Text              a named, typed rich text ("Text")
//   TElement_Substitution      a reference, inside any text that allows
//                              letters, to a text or a built-in value, also
//                              of a connected file ("Substitution")
//
// A text that substitutes itself, directly or through other texts, is a
// cyclic reference: its name's declaration uses the substitutions inside its
// value.

#include "elements/coRoot.h"

#include <cstdint>

// What a text is for; the stored name of each is its "Type".
enum class TTextType : uint8_t {
    Text = 0,     // not written
    Caption = 1,
    Action = 2,
    Hint = 3,     // offered as "Tooltip"
    Message = 4,
    Code = 5,     // identifier words, no links, the code font
};
constexpr int kTextTypeCount = 6;

// The name field of value elements.
class TValueNameField : public TTitledNameField {
    T_ELEMENT_CLASS(TValueNameField)
protected:
    ~TValueNameField() override = default;
};

class TCustomValueElement : public TNamedElement {
    T_ELEMENT_CLASS(TCustomValueElement)
public:
    const TElementClass* GetNameFieldClass() override { return TValueNameField::StaticClass(); }

protected:
    ~TCustomValueElement() override = default;
};

class TTextElement : public TCustomValueElement {
    T_ELEMENT_CLASS(TTextElement)
public:
    TTextType Type() const noexcept { return m_type; }
    // Stores the type, shows its picture on the name, TypeChanged, and tells
    // the sheet that the edit state changed; nothing when it is the type already.
    void SetType(TTextType type);

    // ---- virtual operations ----
    virtual void TypeChanged() = 0;

    // TVisualElement: the six type items, the current one checked; applying
    // another type is one undoable step.
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // TElement: "Type" by name, not written for Text; an unknown name keeps the type.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void Create() override;

protected:
    ~TTextElement() override = default;

private:
    void ShowTypeImage();

    TTextType m_type = TTextType::Text;
};

// The value field's options set by TElement_Text.
constexpr uint32_t kTextValueTextorOptions = 0x40A01;
constexpr uint32_t kTextValueRestrictions = trAllCharacters;

class TElement_Text : public TTextElement {
    T_ELEMENT_CLASS(TElement_Text)
public:
    // A sub-element: the element tree owns it.
    TTextorElement* ValueField() const noexcept { return m_value; }

    // Code: identifier words, no links, the code font; every other type:
    // links and the comment font.
    void TypeChanged() override;
    // The links of every substitution inside the value, while it has content.
    void GetItemReferences(TNameField* field, std::vector<TReference*>& list) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void BeforeDestruction() override;
    // Description and value field.
    void Create() override;

protected:
    ~TElement_Text() override = default;

private:
    TTextorElement* m_value = nullptr;
};

class TElement_Substitution : public TReferenceElement {
    T_ELEMENT_CLASS(TElement_Substitution)
public:
    TElement_Substitution() noexcept;

    // The element whose value it stands for. Nil when the substitution counts
    // as in error: it carries an error, or it has no target (a disabled one
    // is not checked, and a text that holds an element resolves to nothing).
    TElement* ValueSource();

    // Texts and built-in values only.
    bool CanReferTo(TNamespaceItem* item) override;
    void GetHint(QString& text) override;

protected:
    ~TElement_Substitution() override = default;
};

// Sets a text's type; undoing sets the former one.
class TTextElementTypeOperation : public TElementOperation {
    T_CLASS(TTextElementTypeOperation)
public:
    TTextElementTypeOperation(TTextElement* element, TTextType type);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    TTextType m_newType;
    TTextType m_oldType = TTextType::Text;
};

// The palette items of the unit (valid between its initialisation and finalisation).
TPaletteItem* TextTypePaletteItem(TTextType type) noexcept;
TPaletteItem* TextPaletteItem() noexcept;
TPaletteItem* SubstitutionPaletteItem() noexcept;

// The palette items and the substitution's place among the inline values.
void InitValueElementsUnit();
void FinalValueElementsUnit();
