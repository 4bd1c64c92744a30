#pragma once
// The statements of a routine body: assignments (Let, Let Temp, Let if
// Different), conditions (If, Case with its items), loops (While, For, For
// Each) with Break and Continue, Rockfall (try and finally), Inc and Dec,
// Return, Assert, Error, and In Lock (the commands between a double method's
// or locker's enter and exit). Each is a titled element with the command look
// and a description; those with a body own commands containers whose scope
// sees the names of the enclosing one. Values are value fields made with the
// flags that say what may stand there; each statement answers node message
// 400 for the fields whose type it fixes.

#include "pascal/elements/prCommandsContainer.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prMethodElements.h"
#include "scheme/diCustomElements.h"
#include "scheme/diNaming.h"

#include <QList>
#include <QString>

class TPaletteItem;
class TSchemePaletteItem;

// Value flags of the statements' fields.
constexpr uint16_t kConditionFlags = afLogical | afNoConstants | afNoInstanceCreation;  // 0x601
constexpr uint16_t kMessageFlags = afStrings;                                           // 0x02
constexpr uint16_t kCounterFlags = afNumbers | afAssignTarget;                           // 0x84
constexpr uint16_t kBoundFlags = afNumbers;                                              // 0x04
constexpr uint16_t kLeftSideFlags = kDefaultAcceptFlags | afAssignTarget;
constexpr uint16_t kTempRightSideFlags = kDefaultAcceptFlags | afNoInstanceCreation;
constexpr uint16_t kCaseValueFlags = (kDefaultAcceptFlags & ~afLogical) | afNoConstants | afNoInstanceCreation;
constexpr uint16_t kCaseItemValueFlags = (kDefaultAcceptFlags & ~afLogical) | afNoInstanceCreation;
// The text option of an optional value that is shown only while filled or edited.
constexpr uint32_t kOptionalValueTextOption = 0x200;
// A section shown only while it holds something or is being edited.
constexpr uint16_t kShownWhileFilledVisualOption = 0x2000;

// The names of a statement's parts and their hints.
class TStatementParts {
public:
    void Add(TElement* child, const QString& name, int hintId);
    bool Name(const TElement* child, QString& name) const;
    bool Hint(const TElement* child, QString& text) const;

private:
    struct TPart {
        TElement* Child;
        QString Name;
        int HintId;
    };
    QList<TPart> m_parts;
};

// The shared behaviour of the titled statements on top of Base: the command
// look, a description, named parts, and sections that see the enclosing scope.
template <class Base>
class TStatementBase : public Base, public IProgramElement {
public:
    TProgramClassification GetClassification() const override { return {}; }
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override {
        if (!m_parts.Name(child, name)) Base::GetChildName(child, filer, name);
    }
    void GetChildHint(TElement* child, QString& text) override {
        if (!m_parts.Hint(child, text)) Base::GetChildHint(child, text);
    }
    void TreePlacementChanged() override;
    void Create() override;

protected:
    ~TStatementBase() override = default;
    // A value field, required when asked, with flags.
    TExpressionField* AddValue(const QString& name, int hintId, bool required, uint16_t flags);
    // One more commands container besides the body.
    TCommandsContainer* AddSection(const QString& name, bool required);
    // Marks the body required.
    void RequireBody();
    TStatementParts m_parts;
    QList<TCommandsContainer*> m_sections;
};

// ---------------------------------------------------------------------------
// Break and Continue

class TCustomCycleCommandElement : public TCustomSmallImageElement, public IProgramElement {
    T_ELEMENT_CLASS(TCustomCycleCommandElement)
public:
    // Only where a loop encloses the place inside the nearest routine.
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target);
    TProgramClassification GetClassification() const override { return {}; }

protected:
    ~TCustomCycleCommandElement() override = default;
};

class TElement_Continue : public TCustomCycleCommandElement {
    T_ELEMENT_CLASS(TElement_Continue)
public:
    int GetImageIndex() override;
    void GetHint(QString& text) override;

protected:
    ~TElement_Continue() override = default;
};

class TElement_Break : public TCustomCycleCommandElement {
    T_ELEMENT_CLASS(TElement_Break)
public:
    int GetImageIndex() override;
    void GetHint(QString& text) override;

protected:
    ~TElement_Break() override = default;
};

// Whether a loop encloses target inside the nearest routine boundary.
bool IsInsideLoop(TElement* target);

// ---------------------------------------------------------------------------
// Statements without a body

class TElement_Assert : public TStatementBase<TTitledElement> {
    T_ELEMENT_CLASS(TElement_Assert)
public:
    TExpressionField* Condition() const noexcept { return m_condition; }
    TExpressionField* Message() const noexcept { return m_message; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Assert() override = default;

private:
    TExpressionField* m_condition = nullptr;
    TExpressionField* m_message = nullptr;
};

class TElement_Error : public TStatementBase<TTitledElement> {
    T_ELEMENT_CLASS(TElement_Error)
public:
    TExpressionField* Message() const noexcept { return m_message; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    // A String "Error" in the message.
    void InitNew(TPaletteItem* item) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_Error() override = default;

private:
    TExpressionField* m_message = nullptr;
};

// What a Return gives back, and whether nothing runs after it.
struct TReturnInfo {
    TNamespaceItem* ResultType = nullptr;
    bool IsLast = true;
};

class TElement_Return : public TStatementBase<TTitledElement> {
    T_ELEMENT_CLASS(TElement_Return)
public:
    TExpressionField* Result() const noexcept { return m_result; }
    // Climbs through the enclosing statements to the routine.
    TReturnInfo GetResultInfo();
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_Return() override = default;

private:
    TExpressionField* m_result = nullptr;
};

// The left and right side of an assignment; the right side expects the left's type.
class TElement_Let : public TStatementBase<TTitledElement> {
    T_ELEMENT_CLASS(TElement_Let)
public:
    TExpressionField* LeftSide() const noexcept { return m_left; }
    TExpressionField* RightSide() const noexcept { return m_right; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Let() override = default;

private:
    TExpressionField* m_left = nullptr;
    TExpressionField* m_right = nullptr;
};

class TIncDecElement : public TStatementBase<TTitledElement> {
    T_ELEMENT_CLASS(TIncDecElement)
public:
    TExpressionField* Value() const noexcept { return m_value; }
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TIncDecElement() override = default;
    virtual int PictureIndex() const = 0;

private:
    TExpressionField* m_value = nullptr;
};

class TElement_Inc : public TIncDecElement {
    T_ELEMENT_CLASS(TElement_Inc)
protected:
    ~TElement_Inc() override = default;
    int PictureIndex() const override;
};

class TElement_Dec : public TIncDecElement {
    T_ELEMENT_CLASS(TElement_Dec)
protected:
    ~TElement_Dec() override = default;
    int PictureIndex() const override;
};

// ---------------------------------------------------------------------------
// Statements with a body

using TCommandStatement = TStatementBase<TTitledElementWithCommandContent>;

// Let Temp and Let if Different: an assignment around a body.
class TCustomLetWithBody : public TCommandStatement {
    T_ELEMENT_CLASS(TCustomLetWithBody)
public:
    TExpressionField* LeftSide() const noexcept { return m_left; }
    TExpressionField* RightSide() const noexcept { return m_right; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TCustomLetWithBody() override = default;
    virtual int PictureIndex() const = 0;

private:
    TExpressionField* m_left = nullptr;
    TExpressionField* m_right = nullptr;
};

class TElement_LetTemp : public TCustomLetWithBody {
    T_ELEMENT_CLASS(TElement_LetTemp)
protected:
    ~TElement_LetTemp() override = default;
    int PictureIndex() const override;
};

class TElement_LetIfDifferent : public TCustomLetWithBody {
    T_ELEMENT_CLASS(TElement_LetIfDifferent)
protected:
    ~TElement_LetIfDifferent() override = default;
    int PictureIndex() const override;
};

class TElement_IfThen : public TCommandStatement {
    T_ELEMENT_CLASS(TElement_IfThen)
public:
    TExpressionField* Condition() const noexcept { return m_condition; }
    TCommandsContainer* ContentElse() const noexcept { return m_else; }
    // Whether the else-section is shown: it holds something or is being edited.
    bool ShowsElse() const;
    // Expands, focuses the else-section and selects all of it.
    void AddElse();
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void Create() override;

protected:
    ~TElement_IfThen() override = default;

private:
    TExpressionField* m_condition = nullptr;
    TCommandsContainer* m_else = nullptr;
};

class TElement_While : public TCommandStatement {
    T_ELEMENT_CLASS(TElement_While)
public:
    TExpressionField* Condition() const noexcept { return m_condition; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_While() override = default;

private:
    TExpressionField* m_condition = nullptr;
};

class TElement_Rockfall : public TCommandStatement {
    T_ELEMENT_CLASS(TElement_Rockfall)
public:
    TCommandsContainer* ContentFinally() const noexcept { return m_finally; }
    void WriteTitle(TTitleWriter& writer) override;
    void Create() override;

protected:
    ~TElement_Rockfall() override = default;

private:
    TCommandsContainer* m_finally = nullptr;
};

// The double method or locker of an In Lock.
class TDoubleMethodReferenceField : public TReferenceField {
    T_ELEMENT_CLASS(TDoubleMethodReferenceField)
public:
    bool CanReferTo(TNamespaceItem* item) override;

protected:
    ~TDoubleMethodReferenceField() override = default;
};

class TElement_InDoubleMethod : public TCommandStatement {
    T_ELEMENT_CLASS(TElement_InDoubleMethod)
public:
    TDoubleMethodReferenceField* DoubleMethod() const noexcept { return m_method; }
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_InDoubleMethod() override = default;

private:
    TDoubleMethodReferenceField* m_method = nullptr;
};

// ---------------------------------------------------------------------------
// Loops

// Shows the enclosing scope but the "Index" and "Item" of enclosing loops.
class TForElementConnection : public TNamespaceConnection {
    T_ELEMENT_CLASS(TForElementConnection)
public:
    bool AcceptsItem(TNamespaceItem* item) override;

protected:
    ~TForElementConnection() override = default;
};

// The body of For and For Each; For Each's "Index" and "Item" stand in it.
class TForElementCommandsContainer : public TCommandsContainer {
    T_ELEMENT_CLASS(TForElementCommandsContainer)
public:
    const TElementClass* GetConnectionClass() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;

protected:
    ~TForElementCommandsContainer() override = default;
};

class TCustomForElement : public TCommandStatement {
    T_ELEMENT_CLASS(TCustomForElement)
public:
    bool Backward() const noexcept { return m_backward; }
    // Re-lays the title and tells the palette.
    void SetBackward(bool value);
    TForElementCommandsContainer* Body() const;

    const TElementClass* GetContentClass() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    // "Backward"="1" when set.
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;

protected:
    ~TCustomForElement() override = default;
    // The loop's small picture, Backward added.
    int LoopPicture(int forward) const;

private:
    bool m_backward = false;
};

class TElement_For : public TCustomForElement {
    T_ELEMENT_CLASS(TElement_For)
public:
    TExpressionField* Counter() const noexcept { return m_counter; }
    TExpressionField* MinValue() const noexcept { return m_min; }
    TExpressionField* MaxValue() const noexcept { return m_max; }
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    // The maximum: a Difference whose right side reads "1".
    void InitNew(TPaletteItem* item) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_For() override = default;

private:
    TExpressionField* m_counter = nullptr;
    TExpressionField* m_min = nullptr;
    TExpressionField* m_max = nullptr;
};

class TElement_ForEach;

// What a For Each runs over: an array property, a field or parameter of an
// integer, index, "str" or array type, or an enumeration.
class TForEachArrayField : public TReferenceField {
    T_ELEMENT_CLASS(TForEachArrayField)
public:
    bool CanReferTo(TNamespaceItem* item) override;
    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    void TextChanged() override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;

protected:
    ~TForEachArrayField() override = default;

private:
    void TellLoop();
};

class TElement_ForEach : public TCustomForElement {
    T_ELEMENT_CLASS(TElement_ForEach)
public:
    TForEachArrayField* Array() const noexcept { return m_array; }
    TFieldElementLocalIndex* LocalIndex() const noexcept { return m_index; }
    TFieldElementLocalItem* LocalItem() const noexcept { return m_item; }
    // "Item" gets the type of what the loop runs over, or none (then unregistered).
    void ArrayChanged();
    // The type "Item" gets from target; nil for none.
    static TNamespaceItem* ItemTypeOf(TNamespaceItem* target);

    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_ForEach() override = default;

private:
    TForEachArrayField* m_array = nullptr;
    TFieldElementLocalIndex* m_index = nullptr;
    TFieldElementLocalItem* m_item = nullptr;
};

// ---------------------------------------------------------------------------
// Case

// The items of a Case: Case Items besides the inherited classes.
class TCaseItemsContainer : public TTitledTextContainer {
    T_ELEMENT_CLASS(TCaseItemsContainer)
public:
    void FillAcceptedClasses(TElementClassList& list) override;
    void Create() override;

protected:
    ~TCaseItemsContainer() override = default;
};

class TElement_Case : public TStatementBase<TTitledElementWithContent> {
    T_ELEMENT_CLASS(TElement_Case)
public:
    TExpressionField* Value() const noexcept { return m_value; }
    TCommandsContainer* ContentElse() const noexcept { return m_else; }
    const TElementClass* GetContentClass() override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_Case() override = default;

private:
    TExpressionField* m_value = nullptr;
    TCommandsContainer* m_else = nullptr;
};

class TElement_CaseItem : public TCommandStatement {
    T_ELEMENT_CLASS(TElement_CaseItem)
public:
    TExpressionField* Value() const noexcept { return m_value; }
    // The Case the item stands in; nil.
    TElement_Case* OwnerCase() const;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void WriteTitle(TTitleWriter& writer) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TElement_CaseItem() override = default;

private:
    TExpressionField* m_value = nullptr;
};

// Switches Backward of a loop.
class TForBackwardOperation : public TMethodOptionOperation {
    T_CLASS(TForBackwardOperation)
public:
    using TMethodOptionOperation::TMethodOptionOperation;

protected:
    int Get(TElement* element) const override;
    void Set(TElement* element, int value) const override;
};

TSchemePaletteItem* BackwardPaletteItem() noexcept;
TSchemePaletteItem* AddElsePaletteItem() noexcept;
// The large picture of the Let item (also on commands that add a setter); NoImageIndex outside.
int LetLargePicture() noexcept;

void InitCommandElementsUnit();
void FinalCommandElementsUnit();
