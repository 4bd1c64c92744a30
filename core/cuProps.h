#pragma once
// Settings properties: a tree of sections whose leaves hold one typed value
// each. The tree loads itself from and saves itself to a knot tree; a leaf is
// saved only where its value differs from its default. Every change is
// announced as 1 ("changed") by the property and by each of its ancestors; an
// update bracket holds a property's announcements back. The user-interface
// thread only.

#include "core/cuNode.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <type_traits>
#include <utility>

class TKnot;

// Node message sent up from a property whose value changed (P1: the
// property), and broadcast by a section to its listeners (P1: 0).
enum : int { nmPropertyChanged = 1 };
// Node message sent through a whole settings tree, each node before its
// children, when the program starts without a settings file: sections take
// their first-run values. P1 is the application's own first-run data, which
// only the sections the application defines read.
enum : int { nmFirstRun = 2 };

class TProperty : public TNode {
    T_CLASS(TProperty)
public:
    TProperty() = default;
    explicit TProperty(QString name) : m_name(std::move(name)) {}

    // Makes a property of class T with the given name and constructor
    // arguments and appends it as the last child of parent (owned by it).
    template <class T, class... Args>
    static T* Create(TProperty* parent, const QString& name, Args&&... args);
    // The same for a root, owned by the caller.
    template <class T, class... Args>
    static TNodePtr<T> CreateRoot(const QString& name, Args&&... args);

    const QString& Name() const noexcept { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    int UpdateCount() const noexcept { return m_updateCount; }
    TProperty* ParentProperty() const noexcept { return dynamic_cast<TProperty*>(Parent()); }

    // Reads the child knot of parentKnot named Name when there is one;
    // otherwise the property and its subtree keep their values.
    virtual void LoadFrom(TKnot* parentKnot);
    // Finds or adds the child knot named Name and saves the content into it.
    virtual void SaveTo(TKnot* parentKnot);
    // Inside one update bracket each child is assigned from the child at the
    // same position of source (the two trees have the same shape).
    virtual void Assign(const TProperty& source);
    // Loads the children inside one update bracket, whose end broadcasts 1.
    virtual void LoadContent(TKnot* knot);
    // Each child, in order, saves itself into knot.
    virtual void SaveContent(TKnot* knot);

    void BeginUpdate() noexcept { ++m_updateCount; }
    // Closes the bracket and broadcasts 1, which reaches the handlers only
    // when the outermost bracket closes.
    void EndUpdate();

    // Calls the handlers only outside an update bracket; drops the call otherwise.
    void Broadcast(int msg, intptr_t p1 = 0, intptr_t p2 = 0) override;
    // Node message 1: broadcast 1.
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    // Node message 1 (with this property) up through the property and its
    // ancestors, so that each of them broadcasts 1.
    void Changed();

protected:
    ~TProperty() override = default;

private:
    QString m_name;
    int m_updateCount = 0;
};

// A leaf that holds one value, stored as the parameter "Value" of its knot.
class TOneValueProperty : public TProperty {
    T_CLASS(TOneValueProperty)
public:
    using TProperty::TProperty;

    virtual bool IsDefault() const { return false; }
    // Sets the value from the parameter without announcing it.
    virtual void ReadValue(TKnot* knot, const QString& paramName) {}
    virtual void WriteValue(TKnot* knot, const QString& paramName) const {}

    void LoadContent(TKnot* knot) override;
    // Nothing at all when the value is the default.
    void SaveTo(TKnot* parentKnot) override;

protected:
    ~TOneValueProperty() override = default;
};

class TBooleanProperty : public TOneValueProperty {
    T_CLASS(TBooleanProperty)
public:
    TBooleanProperty() = default;
    explicit TBooleanProperty(bool defaultValue) : m_value(defaultValue), m_default(defaultValue) {}

    bool Value() const noexcept { return m_value; }
    bool Default() const noexcept { return m_default; }
    void SetValue(bool value);

    bool IsDefault() const override { return m_value == m_default; }
    void ReadValue(TKnot* knot, const QString& paramName) override;
    void WriteValue(TKnot* knot, const QString& paramName) const override;
    void Assign(const TProperty& source) override;

protected:
    ~TBooleanProperty() override = default;

private:
    bool m_value = false;
    bool m_default = false;
};

class TIntegerProperty : public TOneValueProperty {
    T_CLASS(TIntegerProperty)
public:
    TIntegerProperty() = default;
    // No bounds when min equals max.
    TIntegerProperty(int defaultValue, int min, int max)
        : m_value(defaultValue), m_default(defaultValue), m_min(min), m_max(max) {}

    int Value() const noexcept { return m_value; }
    int Default() const noexcept { return m_default; }
    int Min() const noexcept { return m_min; }
    int Max() const noexcept { return m_max; }
    // Clamped into Min..Max unless Min equals Max.
    void SetValue(int value);

    bool IsDefault() const override { return m_value == m_default; }
    // An absent, non-numeric or out-of-range text gives the default.
    void ReadValue(TKnot* knot, const QString& paramName) override;
    void WriteValue(TKnot* knot, const QString& paramName) const override;
    void Assign(const TProperty& source) override;

protected:
    ~TIntegerProperty() override = default;

private:
    int m_value = 0;
    int m_default = 0;
    int m_min = 0;
    int m_max = 0;
};

class TStringProperty : public TOneValueProperty {
    T_CLASS(TStringProperty)
public:
    TStringProperty() = default;
    explicit TStringProperty(QString defaultValue) : m_value(defaultValue), m_default(std::move(defaultValue)) {}

    const QString& Value() const noexcept { return m_value; }
    const QString& Default() const noexcept { return m_default; }
    // Compared exactly.
    void SetValue(const QString& value);

    bool IsDefault() const override { return m_value == m_default; }
    void ReadValue(TKnot* knot, const QString& paramName) override;
    void WriteValue(TKnot* knot, const QString& paramName) const override;
    void Assign(const TProperty& source) override;

protected:
    ~TStringProperty() override = default;

private:
    QString m_value;
    QString m_default;
};

// One of a list of names, stored by name. The empty name is the default; a
// list without one is a programming error.
class TEnumProperty : public TOneValueProperty {
    T_CLASS(TEnumProperty)
public:
    TEnumProperty() : TEnumProperty(QStringList{QString()}) {}
    explicit TEnumProperty(QStringList names);

    int Value() const noexcept { return m_value; }
    const QStringList& Names() const noexcept { return m_names; }
    // The index of the first empty name.
    int GetDefaultIndex() const noexcept;
    // Clamped into 0..last index.
    void SetIndex(int index);

    bool IsDefault() const override { return m_names.value(m_value).isEmpty(); }
    // The first name equal to the text ignoring case; an empty or unknown text
    // gives the default index.
    void ReadValue(TKnot* knot, const QString& paramName) override;
    void WriteValue(TKnot* knot, const QString& paramName) const override;
    void Assign(const TProperty& source) override;

protected:
    ~TEnumProperty() override = default;

private:
    QStringList m_names;
    int m_value = 0;
};

template <class T, class... Args>
T* TProperty::Create(TProperty* parent, const QString& name, Args&&... args) {
    Q_ASSERT_X(parent, "TProperty::Create", "a property without parent is made with CreateRoot");
    TNodePtr<T> property = CreateRoot<T>(name, std::forward<Args>(args)...);
    property->SetParent(parent);
    return property.release();
}

template <class T, class... Args>
TNodePtr<T> TProperty::CreateRoot(const QString& name, Args&&... args) {
    static_assert(std::is_base_of_v<TProperty, T>);
    TNodePtr<T> property = MakeNode<T>(std::forward<Args>(args)...);
    property->SetName(name);
    return property;
}
