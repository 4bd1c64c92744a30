#pragma once
// Element kinds for model tests of every layer from the scheme model up (see
// tests/README.md); only programs linking the scheme layer see them.

#if QUILLANE_TEST_LAYER >= 3

#include "core/cuKnot.h"
#include "scheme/diClasses.h"
#include "scheme/diFilers.h"
#include "scheme/diOperations.h"

#include <vector>

class TElement_TestLeaf : public TElement {
    T_ELEMENT_CLASS(TElement_TestLeaf)
public:
    const QString& Value() const noexcept { return m_value; }
    // Stores the value and re-evaluates (Changed).
    void SetValue(const QString& value);
    void SetRequired(bool required) { SetOptions(required ? Options() | eoRequired : Options() & ~eoRequired); }
    // Test hooks: a forced default answer (-1: the base rule), and a log that
    // receives the element number on every CheckContent.
    int ForcedDefault = -1;
    std::vector<int32_t>* CheckLog = nullptr;
    int CheckContentCount = 0;
    int MessagesChangedCount = 0;
    // Adds a kind-3 message in CheckContent when the value is "bad".
    bool GetIsFilled() override { return !m_value.isEmpty(); }
    bool GetIsDefault() override { return ForcedDefault < 0 ? TElement::GetIsDefault() : ForcedDefault != 0; }
    void CheckContent() override;
    void MessagesChanged() override { ++MessagesChangedCount; }
    void WriteText(QString& builder) override { builder += m_value; }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void RedoDependent(TKnot* snapshot) override;
    void UndoDependent(TKnot* snapshot) override;
    int RedoDependentCount = 0;
    int UndoDependentCount = 0;

private:
    QString m_value;
};

class TElement_TestOwner : public TElement {
    T_ELEMENT_CLASS(TElement_TestOwner)
public:
    TElement_TestLeaf* First() const noexcept { return m_first; }
    TElement_TestLeaf* Second() const noexcept { return m_second; }
    void Create() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;

private:
    TElement_TestLeaf* m_first = nullptr;
    TElement_TestLeaf* m_second = nullptr;
};

class TElement_TestContainer : public TElement {
    T_ELEMENT_CLASS(TElement_TestContainer)
public:
    // The test kinds: leaf, owner, container, named.
    void FillAcceptedClasses(TElementClassList& list) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
};

class TElement_TestNamed : public TElement {
    T_ELEMENT_CLASS(TElement_TestNamed)
public:
    TElement_TestNamed() noexcept { InitOptions(eoReferable); }
    const QString& Name() const noexcept { return m_name; }
    void SetName(const QString& name);
    bool GetIsFilled() override { return !m_name.isEmpty(); }
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;

private:
    QString m_name;
};

class TElement_TestRoot : public TElement_TestContainer {
    T_ELEMENT_CLASS(TElement_TestRoot)
};

// A scheme with a TElement_TestRoot named "TestModule".
std::unique_ptr<TScheme> MakeTestScheme();

// The knot of a knot text, as far as the text parses.
TNodePtr<TKnot> KnotFromText(const QString& text);

// Loads a knot into the scheme's root as opening a file does: a loader over
// the knot reporting to messages, the root's LoadFrom, the loader's Finish.
void LoadSchemeKnot(TScheme* scheme, TKnot* knot, uint8_t mode = fmFile, TElementMessages* messages = nullptr);

// The text the scheme's root saves to in the mode.
QString SchemeText(TScheme* scheme, uint8_t mode = fmFile, uint8_t options = foSchemeFile);

// Deletes an element; undo re-creates it from a snapshot, with its numbers,
// at its old place among its parent's children.
class TTestDeleteOperation : public TSchemeOperation {
public:
    explicit TTestDeleteOperation(TElement* element)
        : TSchemeOperation(element->Scheme(), false), m_number(element->Number()) {}

protected:
    void DoExecute() override {
        TElement* e = Scheme()->FindElement(m_number);
        if (!e) return;
        m_parent = static_cast<TElement*>(e->Parent())->Number();
        m_index = e->GetIndex();
        m_class = e->ElementClass();
        m_snapshot = TKnot::Create();
        e->SaveToKnot(m_snapshot.get(), fmSnapshot, 0);
        e->Free();
    }
    void DoUndo() override {
        TElement* parent = Scheme()->FindElement(m_parent);
        if (!parent) return;
        TNode* before = parent->FirstChild();
        for (int i = 0; i < m_index && before; ++i) before = before->NextSibling();
        TElement* e = TElement::CreateIn(m_class, Scheme(), parent, static_cast<TElement*>(before));
        e->LoadFromKnot(m_snapshot.get(), fmSnapshot, 0);
    }

private:
    int32_t m_number;
    int32_t m_parent = 0;
    int m_index = 0;
    const TElementClass* m_class = nullptr;
    TNodePtr<TKnot> m_snapshot;
};

#endif
