#include "support/testVisualElements.h"

#if QUILLANE_TEST_LAYER >= 3

#include "core/cuKnot.h"
#include "scheme/diFilers.h"

#include <algorithm>

T_ELEMENT_CLASS_IMPL(TElement_TestBox, TVisualElement)
T_ELEMENT_CLASS_IMPL(TElement_TestDropDown, TCustomDropDownElement)
T_ELEMENT_CLASS_IMPL(TElement_TestButton, TCustomButtonElement)
T_ELEMENT_CLASS_IMPL(TElement_TestImage, TCustomSmallImageElement)

void TElement_TestBox::SetValue(const QString& value) {
    m_value = value;
    Changed();
}

void TElement_TestBox::SetRequired(bool required) {
    uint8_t o = Options() | eoValidated;
    SetOptions(required ? uint8_t(o | eoRequired) : uint8_t(o & ~eoRequired));
}

void TElement_TestBox::SetCollapsed(bool collapsed) {
    if (collapsed == Collapsed) return;
    Collapsed = collapsed;
    UpdateChildrenVisibility();
    Arrange();
}

void TElement_TestBox::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_TestBox::StaticClass() << TElement_TestDropDown::StaticClass()
         << TElement_TestButton::StaticClass() << TElement_TestImage::StaticClass();
}

// Joins the visual children of the element-tree parent, in element order.
void TElement_TestBox::TreePlacementChanged() {
    auto* parent = dynamic_cast<TVisualElement*>(Parent());
    if (!parent) {
        if (VisualParent() && !IsSheetRoot()) SetVisualParent(nullptr);
        return;
    }
    TVisualElement* before = nullptr;
    for (TNode* n = NextSibling(); n && !before; n = n->NextSibling())
        if (auto* v = dynamic_cast<TVisualElement*>(n); v && v->VisualParent() == parent) before = v;
    SetVisualParentAt(parent, before);
}

void TElement_TestBox::Arrange() {
    int top = Pad, width = 0;
    bool any = false;
    for (TVisualElement* c = FirstVisualChild(); c; c = c->NextVisualSibling()) {
        if (!c->IsVisible() || c->InheritsFrom(TMessagesSignElement::StaticClass())) continue;
        any = true;
        c->SetPosition(Pad, top);
        top += c->Height() + Gap;
        width = std::max(width, c->Width());
    }
    if (any)
        SetSize(std::max(width + 2 * Pad, PreferredWidth), top - Gap + Pad);
    else
        SetSize(PreferredWidth, PreferredHeight);
}

void TElement_TestBox::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    Note(QStringLiteral("Layout %1 %2 %3 %4").arg(force).arg(all).arg(widthChanged).arg(heightChanged));
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    Arrange();
}

void TElement_TestBox::PositionChanged() {
    Note(QStringLiteral("PositionChanged"));
    TVisualElement::PositionChanged();
}

void TElement_TestBox::BoundsChanged(const TRect&, int) { Note(QStringLiteral("BoundsChanged")); }

void TElement_TestBox::ChildBoundsChanged(TVisualElement* child, const TRect& oldRect, int oldDescent) {
    Note(QStringLiteral("ChildBoundsChanged"));
    TVisualElement::ChildBoundsChanged(child, oldRect, oldDescent);
}

void TElement_TestBox::GetCaret(int& kind, TRect& rect) {
    kind = CaretKindShown;
    rect = kind ? TRect{1, 1, Width() - 1, Height() - 1} : TRect{};
}

void TElement_TestBox::Paint(TSheetCanvas& canvas) {
    ++PaintCount;
    canvas.FillRect(GetClientRect(), Color.rgba());
    if (IsInSelectedText()) canvas.DrawSelection(GetClientRect(), Sheet() && Sheet()->Active());
}

void TElement_TestBox::KeyDown(int& key, TShiftState shift) {
    Note(QStringLiteral("KeyDown %1").arg(key));
    if (key == ConsumeKey) key = 0;
}

void TElement_TestBox::KeyPress(QChar& ch) { Note(QStringLiteral("KeyPress %1").arg(ch.unicode())); }

void TElement_TestBox::MouseDown(QPoint p, TMouseButton button, TShiftState shift, int clicks) {
    Note(QStringLiteral("MouseDown %1,%2").arg(p.x()).arg(p.y()));
    TVisualElement::MouseDown(p, button, shift, clicks);
}

void TElement_TestBox::MouseMove(QPoint p, TShiftState) { Note(QStringLiteral("MouseMove %1,%2").arg(p.x()).arg(p.y())); }

void TElement_TestBox::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    m_value = knot->ReadStr(QStringLiteral("Value"));
    TElementClassList classes;
    bool filled = false;
    for (TKnot* k = knot->GetFirstChild(); k; k = k->GetNextSibling()) {
        TElement* child = CreateChildFromNode(loader, k, nullptr, classes, filled);
        if (auto* v = dynamic_cast<TVisualElement*>(child); v && !v->VisualParent()) v->SetVisualParent(this);
    }
    CheckAll();
}

void TElement_TestBox::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (!m_value.isEmpty()) knot->WriteStr(QStringLiteral("Value"), m_value);
    for (TNode* n = FirstChild(); n; n = n->NextSibling())
        if (auto* e = dynamic_cast<TElement*>(n); e && !e->IsSubElement()) SaveChildToNode(saver, knot, e);
}

void TElement_TestDropDown::Create() {
    TCustomDropDownElement::Create();
    SetSize(60, 16);
}

TDropDownItem* TElement_TestDropDown::FillDropDown(TDropDownItem* root) {
    TDropDownItem* preselect = nullptr;
    auto add = [&](TDropDownItem* parent, const QString& caption) {
        TDropDownItem* item = parent->AddItem(-1, caption);
        if (caption == Value) preselect = item;
        return item;
    };
    add(root, QStringLiteral("Alpha"));
    TDropDownItem* beta = add(root, QStringLiteral("Beta"));
    add(beta, QStringLiteral("Beta 1"));
    add(beta, QStringLiteral("Beta 2 with a much longer caption"));
    TDropDownItem* gamma = add(root, QStringLiteral("Gamma"));
    add(gamma, QStringLiteral("Gamma 1"));
    add(root, QStringLiteral("Refused"));
    add(root, QStringLiteral("Locked"))->Selectable = false;
    return preselect;
}

bool TElement_TestDropDown::SelectDropDownItem(TDropDownItem* item) {
    if (!item || item->Caption == QStringLiteral("Refused")) return false;
    Value = item->Caption;
    return true;
}

void TElement_TestButton::Create() {
    TCustomButtonElement::Create();
    SetSize(20, 14);
}

std::unique_ptr<TScheme> MakeVisualTestScheme() {
    return std::make_unique<TScheme>(TElement_TestBox::StaticClass(), QStringLiteral("TestModule"));
}

TNodePtr<TSheetSettings> MakeSheetSettings() {
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    settings->CreateProperties();
    return settings;
}

TSheetFixture::TSheetFixture(const TElementClass* rootClass, const QString& name)
    : scheme(std::make_unique<TScheme>(rootClass, name)), root(static_cast<TElement_TestBox*>(scheme->Root())) {
    scheme->SetUndoRedo(&history);
    scheme->SetMessages(&messages);
    root->SetVisualParent(sheet.Root());
}

int TSheetFixture::Key(int key, TShiftState shift) {
    sheet.KeyDown(key, shift);
    return key;
}

void TSheetFixture::Layout() {
    TSheetUpdate update(&sheet);
    sheet.Root()->UpdateLayout(true, true, false, false);
}

TElement_TestBox* AddBox(TElement* parent, int width, int height) {
    auto* box = TElement::CreateIn<TElement_TestBox>(parent->Scheme(), parent);
    box->PreferredWidth = width;
    box->PreferredHeight = height;
    box->Arrange();
    return box;
}

#endif
