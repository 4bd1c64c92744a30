#pragma once
// Test doubles for names, namespaces and connections:
//   TElement_TestScope  a namespace that holds declarations, scopes and links
//                       as children
//   TElement_TestDecl   declares "Name" in its parent scope; flags,
//                       visibility, enabled state and the references its
//                       declaration uses are set by the test
//   TElement_TestLink   a connection fed into its parent scope
//   TNamingRecorder     writes every notification of a namespace as text
// Compiled into every test program; only programs linking the scheme layer see them.

#if QUILLANE_TEST_LAYER >= 3

#include "scheme/diNaming.h"

#include <QStringList>

#include <memory>
#include <vector>

class TElement_TestDecl;

// Answers what its declaration says.
class TTestDeclItem : public TNamespaceOwnItem {
public:
    explicit TTestDeclItem(TElement* element) : TNamespaceOwnItem(element) {}
    TElement_TestDecl* Decl() const;
    QString GetName() override;
    int GetItemFlags() override;
    int GetVisibility() override;
    bool IsEnabled() override;
    bool NeedsUniqueName() override;
    void GetUsedReferences(std::vector<TReference*>& list) override;
    void StateChanged() override {
        ++StateChanges;
        TNamespaceOwnItem::StateChanged();
    }
    int StateChanges = 0;
};

class TElement_TestScope : public TNamespace {
    T_ELEMENT_CLASS(TElement_TestScope)
public:
    QString Label;
    void FillAcceptedClasses(TElementClassList& list) override;
};

class TElement_TestDecl : public TElement {
    T_ELEMENT_CLASS(TElement_TestDecl)
public:
    QString Name;
    int Flags = 0;
    int Visibility = 0;
    bool Enabled = true;
    bool Unique = true;
    std::vector<TReference*> Used;

    TTestDeclItem* Item() const noexcept { return m_item.get(); }
    // Renames and announces it.
    void Rename(const QString& name);
    void Renumber(int32_t number) { SetNumber(number); }

    void TreePlacementChanged() override;
    void NumberChanged(int32_t oldNumber) override;
    void BeforeDestruction() override;

private:
    TNamespaceOwnItemPtr<TTestDeclItem> m_item;
};

class TElement_TestLink : public TNamespaceConnection {
    T_ELEMENT_CLASS(TElement_TestLink)
public:
    void Renumber(int32_t number) { SetNumber(number); }
    void TreePlacementChanged() override;
};

// A reference that counts its calls.
class TTestReference : public TReference {
public:
    int TargetChanges = 0;
    int CycleChanges = 0;
    void TargetChanged() override { ++TargetChanges; }
    void CycleStateChanged() override { ++CycleChanges; }
};

class TNamingRecorder {
public:
    explicit TNamingRecorder(TNamespace* ns);
    ~TNamingRecorder();
    // Entries "<code> <item name>", with " <former path>" for 102.
    QStringList Log;
    void Clear() { Log.clear(); }
    void OnNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2);

private:
    TNamespace* m_ns;
};

// A scheme whose root is a scope labelled "Root".
std::unique_ptr<TScheme> MakeScopeScheme();
// A scope, declaration or link made under parent (a declaration is named
// before it is placed, so it registers once with its name).
TElement_TestScope* AddScope(TElement* parent, const QString& label);
TElement_TestDecl* AddDecl(TElement* parent, const QString& name, int flags = 0);
TElement_TestLink* AddLink(TElement* parent, TNamespace* target, const QString& prefix = QString(), bool lazy = false);

// The naming setting "FillEnabled" (new elements get a default name) set for
// the scope's life and put back after it.
class TNewElementNaming {
public:
    explicit TNewElementNaming(bool on) : m_was(NamingSettings()->FillEnabled()->Value()) {
        NamingSettings()->FillEnabled()->SetValue(on);
    }
    ~TNewElementNaming() { NamingSettings()->FillEnabled()->SetValue(m_was); }
    TNewElementNaming(const TNewElementNaming&) = delete;
    TNewElementNaming& operator=(const TNewElementNaming&) = delete;

private:
    bool m_was;
};

#endif
