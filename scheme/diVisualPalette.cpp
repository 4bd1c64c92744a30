// Palette commands of visual elements and the application of scheme palette
// items to elements.

#include "scheme/diPalette.h"
#include "scheme/diVisual.h"

#include <QSet>

bool TVisualElement::ApplyItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (!item) return false;
    if (item->Flags() & pifWithoutUpdate) return ApplyPaletteItem(item, subCommand, checked);
    TSheetUpdate update(m_sheet);
    return ApplyPaletteItem(item, subCommand, checked);
}

bool TVisualElement::ApplyPaletteItem(TPaletteItem* item, const QString&, bool checked) {
    if (!dynamic_cast<TDisablePaletteItem*>(item) || !(m_voptions & voCanDisable)) return false;
    if (checked != IsDisabled()) DisableWithOperation(this, checked);
    return true;
}

void TVisualElement::UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) {
    if (dynamic_cast<TDisablePaletteItem*>(item)) state.Checked = IsDisabled();
}

void TVisualElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    if ((m_voptions & voCanDisable) && PaletteDisableItem()) list.append(PaletteDisableItem());
    TPalette* palette = Palette();
    if (!palette) return;
    TElementClassList accepted;
    GetAcceptedClasses(accepted);
    if (accepted.isEmpty()) return;
    QSet<TNode*> added;
    palette->ForEach(
        [&](TNode* node) {
            auto* item = dynamic_cast<TElementPaletteItem*>(node);
            if (!item || !accepted.contains(item->ElementClass())) return;
            // The palette nodes that contain the item come first, each once.
            QList<TNode*> chain;
            for (TNode* n = item; n && n != palette; n = n->Parent()) chain.prepend(n);
            for (TNode* n : chain)
                if (!added.contains(n)) {
                    added.insert(n);
                    if (auto* p = dynamic_cast<TPaletteItem*>(n)) list.append(p);
                }
        },
        false, true);
}

void TVisualElement::CollectPaletteItems(QList<TPaletteItem*>& list) {
    GetPaletteItems(list);
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->GetChildPaletteItems(this, list);
}

namespace {
// Drops every item that has children (a sub-palette) but none of them listed.
void DropEmptyGroups(QList<TPaletteItem*>& list) {
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        TPaletteItem* item = list[i];
        if (!item->HasChildren()) continue;
        bool holdsListed = false;
        for (TPaletteItem* other : list)
            if (other != item && item->IsAncestorOf(other)) {
                holdsListed = true;
                break;
            }
        if (!holdsListed) list.removeAt(i);
    }
}
}  // namespace

void TVisualElement::CollectPaletteItemsForSelection(QList<TPaletteItem*>& list, bool& fromSelection) {
    list.clear();
    fromSelection = false;
    if (m_voptions & voTextContainer) {
        int selected = 0;
        for (TVisualElement* c = m_firstVisualChild; c; c = c->m_nextVisualSibling) {
            if (!c->IsInSelection()) continue;
            QList<TPaletteItem*> items;
            c->CollectPaletteItems(items);
            if (selected++ == 0) {
                list = items;
            } else {
                for (qsizetype i = list.size() - 1; i >= 0; --i)
                    if (!items.contains(list[i])) list.removeAt(i);
            }
            if (list.isEmpty()) break;
        }
        if (selected > 0) {
            list.removeIf([](TPaletteItem* i) { return i->Flags() & pifNotForSelection; });
            if (selected > 1) list.removeIf([](TPaletteItem* i) { return i->Flags() & pifNotForCombined; });
            DropEmptyGroups(list);
            fromSelection = true;
            AdjustPaletteItems(list);
            return;
        }
    }
    CollectPaletteItems(list);
    list.removeIf([](TPaletteItem* i) { return i->Flags() & pifSelectedInTextOnly; });
}

void TVisualElement::AdjustPaletteItemInfo(TPaletteItem* item, TPaletteItemInfo& info) {
    if (IsSubElement())
        if (TElement* p = ParentElement()) p->AdjustChildPaletteItemInfo(this, item, info);
}
