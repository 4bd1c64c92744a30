#pragma once
// The operators of values: comparisons (with And, Or and set membership) and
// arithmetic operations. Each has a left and a right value and up to seven
// additional values; its kind can be changed later within its family as one
// undo step that keeps what was typed in every value.

#include "pascal/elements/prCommon.h"
#include "pascal/elements/prExpressionElements.h"
#include "scheme/diOperations.h"
#include "scheme/diPalette.h"

#include <QString>

#include <array>
#include <cstdint>

class TKnot;

constexpr int kAdditionalValueCount = 7;
// Left, right and the additional values.
constexpr int kOperatorValueCount = 2 + kAdditionalValueCount;

enum class TCompareKind : uint8_t {
    Equal = 0,
    Same = 1,
    Different = 2,
    More = 3,
    MoreOrEqual = 4,
    Less = 5,
    LessOrEqual = 6,
    And = 7,
    Or = 8,
    In = 9,
    NotIn = 10,
};
constexpr int kCompareKindCount = 11;

enum class TOperationKind : uint8_t {
    Summ = 0,
    Minus = 1,
    Multiply = 2,
    Divide = 3,
    DivideInt = 4,
};
constexpr int kOperationKindCount = 5;

// The value field of an operator: it offers "Add Value" through its owner.
class TOperatorValueField : public TExpressionExField {
    T_ELEMENT_CLASS(TOperatorValueField)
public:
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;

protected:
    ~TOperatorValueField() override = default;
};

class TCustomTwoValueOperatorElement : public TTitledElement, public IProgramElement {
    T_ELEMENT_CLASS(TCustomTwoValueOperatorElement)
public:
    TExpressionField* LeftSide() const noexcept { return m_values[0]; }
    TExpressionField* RightSide() const noexcept { return m_values[1]; }
    // Index 0..6: the value stored as "AdditionalValue<Index + 1>".
    TExpressionField* GetAdditionalValue(int index) const;
    // Left, right, then the additional values.
    const std::array<TOperatorValueField*, kOperatorValueCount>& Values() const noexcept { return m_values; }
    int FilledAdditionalValues() const;

    uint8_t Kind() const noexcept { return m_kind; }
    // Sets the value flags of the kind, re-lays the title; nothing when equal.
    void SetKind(uint8_t kind);
    virtual int KindCount() const = 0;
    virtual bool AllowsAdditionalValues() const = 0;
    // Focuses the first empty additional value; false when all are filled.
    bool AddValue();

    TProgramClassification GetClassification() const override { return {}; }
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetChildPaletteItems(TElement* child, QList<TPaletteItem*>& list) override;
    // The kind of the palette item that made the element.
    void InitNew(TPaletteItem* item) override;
    void WriteTitle(TTitleWriter& writer) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void GetChildHint(TElement* child, QString& text) override;
    // "Kind" by its stored name (kind 0 not written), read ignoring case;
    // an unknown name reads as kind 0.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void BeforeDestruction() override;
    void Create() override;

    // The kind as stored ("" for kind 0) and back (0 for an unknown name).
    virtual QString StoredKindName(uint8_t kind) const = 0;
    uint8_t KindOfStoredName(QStringView name) const;

protected:
    ~TCustomTwoValueOperatorElement() override = default;
    // The flags of both sides for a kind.
    virtual void GetSideFlags(uint8_t kind, uint16_t& left, uint16_t& right) const = 0;
    // The kind commands of the element's family, and whether item is one (its kind into kind).
    virtual QList<TPaletteItem*> FamilyKindItems() const = 0;
    virtual bool IsKindItem(const TPaletteItem* item, uint8_t& kind) const = 0;
    virtual TNodePtr<TSchemeOperation> MakeKindOperation(uint8_t kind) = 0;
    virtual int KindPicture(uint8_t kind) const = 0;
    virtual int LeftHintId() const = 0;
    virtual int RightHintId() const = 0;
    // The value flags of the kind: both sides, the additional values those of the right.
    void UpdateValueFlags();
    // The type the holding value field expects.
    void ExpectedOfHolder(TTypeDescriptor& descriptor);

private:
    std::array<TOperatorValueField*, kOperatorValueCount> m_values{};
    uint8_t m_kind = 0;
};

class TElement_Compare : public TCustomTwoValueOperatorElement {
    T_ELEMENT_CLASS(TElement_Compare)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TCompareKind CompareKind() const noexcept { return TCompareKind(Kind()); }
    int KindCount() const override { return kCompareKindCount; }
    bool AllowsAdditionalValues() const override;
    QString StoredKindName(uint8_t kind) const override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TElement_Compare() override = default;
    void GetSideFlags(uint8_t kind, uint16_t& left, uint16_t& right) const override;
    QList<TPaletteItem*> FamilyKindItems() const override;
    bool IsKindItem(const TPaletteItem* item, uint8_t& kind) const override;
    TNodePtr<TSchemeOperation> MakeKindOperation(uint8_t kind) override;
    int KindPicture(uint8_t kind) const override;
    int LeftHintId() const override;
    int RightHintId() const override;
};

class TElement_Operation : public TCustomTwoValueOperatorElement {
    T_ELEMENT_CLASS(TElement_Operation)
public:
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TOperationKind OperationKind() const noexcept { return TOperationKind(Kind()); }
    int KindCount() const override { return kOperationKindCount; }
    bool AllowsAdditionalValues() const override { return true; }
    QString StoredKindName(uint8_t kind) const override;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;

protected:
    ~TElement_Operation() override = default;
    void GetSideFlags(uint8_t kind, uint16_t& left, uint16_t& right) const override;
    QList<TPaletteItem*> FamilyKindItems() const override;
    bool IsKindItem(const TPaletteItem* item, uint8_t& kind) const override;
    TNodePtr<TSchemeOperation> MakeKindOperation(uint8_t kind) override;
    int KindPicture(uint8_t kind) const override;
    int LeftHintId() const override;
    int RightHintId() const override;
};

// An element palette item that also carries the kind of the new operator.
class TOperatorElementPaletteItem : public TElementPaletteItem {
    T_CLASS(TOperatorElementPaletteItem)
public:
    TOperatorElementPaletteItem(uint16_t flags, int imageIndex, int captionId, int hintId, int order,
                                const TElementClass* elementClass, uint8_t kind);
    static TOperatorElementPaletteItem* Create(TNode* parent, uint16_t flags, int imageIndex, int captionId,
                                               int hintId, int order, const TElementClass* elementClass,
                                               uint8_t kind);
    uint8_t Kind() const noexcept { return m_kind; }

protected:
    ~TOperatorElementPaletteItem() override = default;

private:
    uint8_t m_kind;
};

// The contents of the nine value fields, each a content tree (nil: not taken).
struct TChangeKindOperationValues {
    std::array<TNodePtr<TKnot>, kOperatorValueCount> Contents;
    // Each field's content saved in mode.
    void Save(TCustomTwoValueOperatorElement* element, uint8_t mode);
    // Each saved content inserted into its field, loaded in mode.
    void Load(TCustomTwoValueOperatorElement* element, uint8_t mode) const;
};

// Changes an operator's kind as one step: the values are taken out, the kind
// set and the values put back under the new kind's flags (kept when refused).
class TCustomTwoValueOperatorElementChangeKindOperation : public TElementOperation {
    T_CLASS(TCustomTwoValueOperatorElementChangeKindOperation)
public:
    TCustomTwoValueOperatorElementChangeKindOperation(TCustomTwoValueOperatorElement* element, uint8_t kind);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    TChangeKindOperationValues m_before;
    TChangeKindOperationValues m_after;
    uint8_t m_newKind;
    uint8_t m_oldKind = 0;
    bool m_done = false;
};

class TCompareKindOperation : public TCustomTwoValueOperatorElementChangeKindOperation {
    T_CLASS(TCompareKindOperation)
public:
    using TCustomTwoValueOperatorElementChangeKindOperation::TCustomTwoValueOperatorElementChangeKindOperation;
};

class TOperationKindOperation : public TCustomTwoValueOperatorElementChangeKindOperation {
    T_CLASS(TOperationKindOperation)
public:
    using TCustomTwoValueOperatorElementChangeKindOperation::TCustomTwoValueOperatorElementChangeKindOperation;
};

// The unit's palette items (valid between its initialisation and finalisation).
TSchemePaletteItem* AddValuePaletteItem() noexcept;
TSchemePaletteItem* CompareKindPaletteItem(TCompareKind kind) noexcept;
TSchemePaletteItem* OperationKindPaletteItem(TOperationKind kind) noexcept;
TPaletteItem* CompareElementPaletteItem(TCompareKind kind) noexcept;
TPaletteItem* OperationElementPaletteItem(TOperationKind kind) noexcept;

void InitExpressionExElementsUnit();
void FinalExpressionExElementsUnit();
