#pragma once
// The universal "Identifier": a reference to a declared name followed by one
// value per parameter of what it names. As a statement it calls a routine,
// fires an event or calls through a procedural field; in an expression it
// reads a value, calls a function, indexes an array or a string, or names an
// object or a built-in member. The values follow the parameters of the named
// declaration: a parameter added, renamed or removed adds, keeps or drops its
// value.

#include "elements/diBaseElements.h"
#include "elements/diTitled.h"
#include "pascal/elements/prExpressionElements.h"

#include <QString>

#include <memory>
#include <vector>

class TCustomIdentifierElement;
class TIdentifierParameterValues;
class TKnot;

// Values wider than this together, or one wider than kMaxValueWidthInRow,
// stand one below the other.
constexpr int kMaxValuesRowWidth = 750;
constexpr int kMaxValueWidthInRow = 300;
// Whether values of these widths stand one below the other.
bool StacksParameterValues(const std::vector<int>& widths) noexcept;

// The namespace whose parameters a call through item takes values for; nil.
TNamespace* CallParametersOf(TNamespaceItem* item);

// The reference of an identifier; required.
class TIdentifierField : public TCustomExpressionField {
    T_ELEMENT_CLASS(TIdentifierField)
public:
    TCustomIdentifierElement* Owner() const;

    // Through a field, parameter or implicit identifier: the declared type,
    // its result for a method type, and the character or element type of a
    // "str" or an array only while the index value is filled.
    void GetReferencedType(TNamespaceItem* item, TNamespaceItem* resolved, TElement* element,
                           TTypeDescriptor& descriptor) override;
    // What a statement or an expression may name.
    bool CanReferTo(TNamespaceItem* item) override;
    int GetThemeKind() const override;

    // The parameter values follow the target however it changes.
    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    void TextChanged() override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;
    void Create() override;

protected:
    ~TIdentifierField() override = default;

private:
    void TellOwner(bool always);
    TNamespaceItem* m_told = nullptr;
};

// Ties a parameter value to its parameter's item.
class TIdentifierParameterReference : public TReference {};

// The value of one parameter.
class TIdentifierParameterValue : public TExpressionField {
    T_ELEMENT_CLASS(TIdentifierParameterValue)
public:
    TIdentifierParameterReference& ParameterReference() noexcept { return m_parameter; }
    TNamespaceItem* Parameter() const noexcept { return m_parameter.Target(); }
    // Required while its parameter is an Out or In-Out parameter, or asks
    // for a not-empty value.
    void UpdateRequired();

    // Disabled as well while the parameter's declaration is.
    bool ComputeDisabled() override;
    // The parameter's name and type.
    void GetHint(QString& text) override;
    // Joined to the next value on its row, or the end of the chain.
    int GetThemeKind() const override;

protected:
    ~TIdentifierParameterValue() override = default;

private:
    TIdentifierParameterReference m_parameter;
};

// One value per parameter of what the identifier names. In a file each
// filled value is a node "Value" in the identifier's own node, its
// parameter's name in "Parameter"; the nodes are matched with the
// parameters once the whole file is read, and those that match no parameter
// are kept and written back unchanged.
class TIdentifierParameterValues : public TChildrenByNamespaceElement {
    T_ELEMENT_CLASS(TIdentifierParameterValues)
public:
    TIdentifierParameterValues() noexcept;

    std::vector<TIdentifierParameterValue*> Values();
    // The first of them (without walking them all); nil.
    TIdentifierParameterValue* FirstValue();
    // The stored values that match no parameter (yet).
    int KeptValueCount() const noexcept { return int(m_kept.size()); }
    // Follows the identifier's target.
    void TargetChanged() { FollowNamespaceAgain(); }

    TNamespace* GetNamespace() override;
    TReference* GetChildReference(TVisualElement* child) override;
    TVisualElement* CreateChildFor(TNamespaceItem* item) override;
    void LayoutChildren() override;
    const TElementClass* GetChildClass() override;
    bool AcceptsItem(TNamespaceItem* item) override;
    bool AcceptsCovers() override { return false; }
    void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument) override;
    // Each value expects its parameter's type.
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    bool ShouldSaveChild(TSchemeFiler* filer, TElement* child) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;

protected:
    ~TIdentifierParameterValues() override = default;

private:
    // Loads each empty value from the first kept node of its parameter's
    // name (one pass over the values and the nodes).
    void MatchKeptValues(TSchemeLoader* loader);
    std::vector<TNodePtr<TKnot>> m_kept;
};

class TCustomIdentifierElement : public TCustomDescribedElement, public IProgramElement {
    T_ELEMENT_CLASS(TCustomIdentifierElement)
public:
    TIdentifierField* Identifier() const noexcept { return m_identifier; }
    TIdentifierParameterValues* ParameterValues() const noexcept { return m_values; }
    // A statement calls; an expression also reads.
    virtual bool IsStatement() const = 0;
    // The field at the left, the values at its right.
    void LayOut();

    TProgramClassification GetClassification() const override { return {}; }
    // 401: the value type of the identifier field.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    void FocusFirst() override;
    void Create() override;

protected:
    ~TCustomIdentifierElement() override = default;

private:
    TIdentifierField* m_identifier = nullptr;
    TIdentifierParameterValues* m_values = nullptr;
    bool m_layingOut = false;
};

// Both are stored as "Identifier"; the container's accepted classes decide
// which one a node becomes.
class TElement_IdentifierInMethod : public TCustomIdentifierElement {
    T_ELEMENT_CLASS(TElement_IdentifierInMethod)
public:
    bool IsStatement() const override { return true; }

protected:
    ~TElement_IdentifierInMethod() override = default;
};

class TElement_IdentifierInExpression : public TCustomIdentifierElement {
    T_ELEMENT_CLASS(TElement_IdentifierInExpression)
public:
    bool IsStatement() const override { return false; }

protected:
    ~TElement_IdentifierInExpression() override = default;
};

void InitIdentifierElementsUnit();
void FinalIdentifierElementsUnit();
