#include "core/cuProps.h"

#include "core/cuKnot.h"

#include <algorithm>

namespace {
const QString ValueParam = QStringLiteral("Value");

// Runs body inside one update bracket of p, which closes (and announces)
// also when body raises.
template <class Body>
void InUpdate(TProperty& p, Body&& body) {
    p.BeginUpdate();
    try {
        body();
    } catch (...) {
        p.EndUpdate();
        throw;
    }
    p.EndUpdate();
}

template <class T>
const T& SameClass(const TProperty& source) {
    Q_ASSERT_X(dynamic_cast<const T*>(&source), "Assign", "the two property trees differ in shape");
    return static_cast<const T&>(source);
}
}  // namespace

// ---------------------------------------------------------------------------
// TProperty

T_CLASS_IMPL(TProperty, TNode)

void TProperty::LoadFrom(TKnot* parentKnot) {
    if (!parentKnot) return;
    if (TKnot* knot = parentKnot->FindChild(m_name)) LoadContent(knot);
}

void TProperty::SaveTo(TKnot* parentKnot) { SaveContent(parentKnot->FindOrAddChild(m_name)); }

void TProperty::Assign(const TProperty& source) {
    InUpdate(*this, [&] {
        TNode* from = source.FirstChild();
        for (TNode* to = FirstChild(); to && from; to = to->NextSibling(), from = from->NextSibling())
            static_cast<TProperty*>(to)->Assign(*static_cast<const TProperty*>(from));
    });
}

void TProperty::LoadContent(TKnot* knot) {
    InUpdate(*this, [&] {
        for (TNode* child = FirstChild(); child; child = child->NextSibling())
            static_cast<TProperty*>(child)->LoadFrom(knot);
    });
}

void TProperty::SaveContent(TKnot* knot) {
    for (TNode* child = FirstChild(); child; child = child->NextSibling())
        static_cast<TProperty*>(child)->SaveTo(knot);
}

void TProperty::EndUpdate() {
    Q_ASSERT_X(m_updateCount > 0, "TProperty::EndUpdate", "no open update bracket");
    if (m_updateCount > 0) --m_updateCount;  // an unbalanced call must not silence the property for good
    Broadcast(nmPropertyChanged, 0, 0);
}

void TProperty::Broadcast(int msg, intptr_t p1, intptr_t p2) {
    if (m_updateCount == 0) TNode::Broadcast(msg, p1, p2);
}

bool TProperty::HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) {
    const bool handled = TNode::HandleNodeMessage(msg, p1, p2);
    if (msg == nmPropertyChanged) Broadcast(nmPropertyChanged, 0, 0);
    return handled;
}

void TProperty::Changed() { SendNodeMessageUp(nmPropertyChanged, reinterpret_cast<intptr_t>(this), 0); }

// ---------------------------------------------------------------------------
// TOneValueProperty

T_CLASS_IMPL_ABSTRACT(TOneValueProperty, TProperty)

void TOneValueProperty::LoadContent(TKnot* knot) {
    ReadValue(knot, ValueParam);
    TProperty::LoadContent(knot);
}

void TOneValueProperty::SaveTo(TKnot* parentKnot) {
    if (IsDefault()) return;
    TKnot* knot = parentKnot->FindOrAddChild(Name());
    WriteValue(knot, ValueParam);
    SaveContent(knot);
}

// ---------------------------------------------------------------------------
// Leaves

T_CLASS_IMPL(TBooleanProperty, TOneValueProperty)

void TBooleanProperty::SetValue(bool value) {
    if (m_value == value) return;
    m_value = value;
    Changed();
}

void TBooleanProperty::ReadValue(TKnot* knot, const QString& paramName) { m_value = knot->ReadBool(paramName, m_default); }

void TBooleanProperty::WriteValue(TKnot* knot, const QString& paramName) const { knot->WriteBool(paramName, m_value); }

void TBooleanProperty::Assign(const TProperty& source) { SetValue(SameClass<TBooleanProperty>(source).Value()); }

T_CLASS_IMPL(TIntegerProperty, TOneValueProperty)

void TIntegerProperty::SetValue(int value) {
    if (m_min != m_max) value = std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max));
    if (m_value == value) return;
    m_value = value;
    Changed();
}

void TIntegerProperty::ReadValue(TKnot* knot, const QString& paramName) {
    m_value = knot->ReadInt(paramName, m_default, m_min, m_max);
}

void TIntegerProperty::WriteValue(TKnot* knot, const QString& paramName) const { knot->WriteInt(paramName, m_value); }

void TIntegerProperty::Assign(const TProperty& source) { SetValue(SameClass<TIntegerProperty>(source).Value()); }

T_CLASS_IMPL(TStringProperty, TOneValueProperty)

void TStringProperty::SetValue(const QString& value) {
    if (m_value == value) return;
    m_value = value;
    Changed();
}

void TStringProperty::ReadValue(TKnot* knot, const QString& paramName) { m_value = knot->ReadStr(paramName, m_default); }

void TStringProperty::WriteValue(TKnot* knot, const QString& paramName) const { knot->WriteStr(paramName, m_value); }

void TStringProperty::Assign(const TProperty& source) { SetValue(SameClass<TStringProperty>(source).Value()); }

T_CLASS_IMPL(TEnumProperty, TOneValueProperty)

TEnumProperty::TEnumProperty(QStringList names) : m_names(std::move(names)) {
    Q_ASSERT_X(m_names.contains(QString()), "TEnumProperty", "an enumeration needs an empty name as its default");
    m_value = GetDefaultIndex();
}

int TEnumProperty::GetDefaultIndex() const noexcept {
    const qsizetype index = m_names.indexOf(QString());
    return index < 0 ? 0 : int(index);
}

void TEnumProperty::SetIndex(int index) {
    index = std::clamp(index, 0, std::max(0, int(m_names.size()) - 1));
    if (m_value == index) return;
    m_value = index;
    Changed();
}

void TEnumProperty::ReadValue(TKnot* knot, const QString& paramName) {
    const QString text = knot->ReadStr(paramName);
    m_value = -1;
    for (int i = 0; i < m_names.size() && m_value < 0; ++i)
        if (!text.isEmpty() && m_names[i].compare(text, Qt::CaseInsensitive) == 0) m_value = i;
    if (m_value < 0) m_value = GetDefaultIndex();
}

void TEnumProperty::WriteValue(TKnot* knot, const QString& paramName) const { knot->WriteStr(paramName, m_names.value(m_value)); }

void TEnumProperty::Assign(const TProperty& source) { SetIndex(SameClass<TEnumProperty>(source).Value()); }
