// The text element's commands: replacing the text, inserting palette
// elements, the find step, the drop-down list, the palette and the links (one
// unit with diTextorElement.cpp; see the header).

#include "text/diTextorElement.h"

#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "scheme/diThemes.h"
#include "scheme/diUtils.h"
#include "text/diHyperlinks.h"
#include "text/diTextorInteractive.h"

namespace {

// Link text attributes: blue (a Windows colour), underlined.
constexpr uint32_t kHyperlinkWindowsColor = 0xFF0000;

TNodePtr<TKnot> NewCommandContentRoot() {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    root->SetFlagsAdded(kfIndexed);
    return root;
}

TVisualElement* ElementOfPortion(const TPortion* portion) noexcept {
    if (!portion || portion->Kind() != TPortionKind::Element) return nullptr;
    return static_cast<const TElementPortion*>(portion)->Element();
}

TPortion* PortionBeforePlace(const TTextorPosition& place) noexcept {
    const TTextorPosition p = TTextor::Normalize(place);
    if (p.Offset > 0) return p.Portion;
    return p.Portion ? p.Portion->Prev() : p.Paragraph->LastPortion();
}

bool IsOwnLineElement(const TPortion* portion) {
    const TVisualElement* element = ElementOfPortion(portion);
    return element && ElementHasOwnLine(element);
}

// The nearest shown embedded element before place, across paragraphs.
TVisualElement* ShownElementBefore(const TTextorPosition& place) {
    const TTextorPosition p = TTextor::Normalize(place);
    TParagraph* paragraph = p.Paragraph;
    TPortion* portion = PortionBeforePlace(p);
    while (paragraph) {
        for (; portion; portion = portion->Prev())
            if (TVisualElement* element = ElementOfPortion(portion); element && element->IsVisible()) return element;
        paragraph = paragraph->Prev();
        portion = paragraph ? paragraph->LastPortion() : nullptr;
    }
    return nullptr;
}

QString FocusDataOf(const TTextorNumericRange& range) {
    return QStringLiteral("%1,%2,%3,%4")
        .arg(range.Start.Paragraph)
        .arg(range.Start.Char)
        .arg(range.End.Paragraph)
        .arg(range.End.Char);
}

// ---------------------------------------------------------------------------
// The find step through a text, one run at a time.

class TTextSearch {
public:
    TTextSearch(TTextorElement& element, const TFindData& request, bool forward)
        : m_element(element), m_textor(*element.Textor()), m_request(request), m_forward(forward) {}

    enum class TOutcome : uint8_t { Hit, Element, End };

    // Searches from at; a hit leaves its range, an element its found element.
    TOutcome Run(TTextorPosition at) {
        for (;;) {
            at = TTextor::Normalize(at);
            if (AtParagraphEdge(at)) {
                TParagraph* paragraph = m_forward ? at.Paragraph->Next() : at.Paragraph->Prev();
                if (!paragraph) return TOutcome::End;
                at = m_forward ? paragraph->StartPosition() : paragraph->EndPosition();
                continue;
            }
            if (TPortion* portion = ElementPortionAhead(at)) {
                TVisualElement* element = ElementOfPortion(portion);
                if (element) Found = element->FindFocusable(m_forward, m_request.SkipDisabled, m_request.VisibleOnly);
                if (Found) return TOutcome::Element;
                at = TTextorPosition{at.Paragraph, portion, m_forward ? 1 : 0};
                continue;
            }
            const TTextorRange run = m_textor.GetTextRun(at, m_forward, false);
            if (SearchRun(run)) return TOutcome::Hit;
            at = m_forward ? run.End : run.Start;
        }
    }

    TTextorNumericRange Hit;
    TVisualElement* Found = nullptr;

private:
    bool AtParagraphEdge(const TTextorPosition& at) const noexcept {
        if (m_forward) return !at.Portion;
        return at.Offset == 0 && !PortionBeforePlace(at);
    }

    TPortion* ElementPortionAhead(const TTextorPosition& at) const noexcept {
        TPortion* portion = m_forward ? (at.Offset == 0 ? at.Portion : nullptr) : PortionBeforePlace(at);
        return portion && portion->Kind() == TPortionKind::Element ? portion : nullptr;
    }

    bool SearchRun(const TTextorRange& run) {
        const QString text = m_textor.GetRangeText(run);
        const int length = int(m_request.Text.size());
        const int last = int(text.size()) - length;
        for (int step = 0; step <= last; ++step) {
            const int i = m_forward ? step : last - step;
            if (!m_request.Matches(&m_element, text.mid(i, length))) continue;
            const TTextorNumericPosition start = m_textor.PositionToNumeric(run.Start);
            Hit = TTextorNumericRange{{start.Paragraph, start.Char + i}, {start.Paragraph, start.Char + i + length}};
            return true;
        }
        return false;
    }

    TTextorElement& m_element;
    TTextor& m_textor;
    const TFindData& m_request;
    const bool m_forward;
};

}  // namespace

// ---------------------------------------------------------------------------
// Replacing

void TTextorElement::ReplaceText(const std::optional<QString>& text) {
    EnterText(TEnterMode::All, {}, false, text);
    if (IsEditing()) FinishEditing();
}

bool TTextorElement::ReplaceSelection(const QString& text) {
    if (IsReadOnly() || !m_interactive) return false;
    EnterText(TEnterMode::Selection, {}, false, text);
    return true;
}

bool TTextorElement::WantsTab() const {
    return (m_restrictions & trTabs) && !(m_interactive && m_interactive->HasOption(tioCtrlTab));
}

// ---------------------------------------------------------------------------
// Inserting elements

void TTextorElement::InsertNewElement(const TElementClass* cls, TPaletteItem* item,
                                      const std::optional<TTextorRange>& range) {
    TScheme* scheme = Scheme();
    if (!scheme || !cls) return;
    const TTextorRange place = range.value_or(GetEnterRange(TEnterMode::Append, {}));
    const bool ownLine = HasTextorOption(toElementOwnLine) || (item && (item->Flags() & pifOwnLine));
    bool breakBefore = false;
    bool breakAfter = false;
    if (Textor()->AllowsParagraphs()) {
        const TTextorPosition start = TTextor::Normalize(place.Start);
        const TTextorPosition end = TTextor::Normalize(place.End);
        breakBefore = (ownLine && start != start.Paragraph->StartPosition()) ||
                      IsOwnLineElement(PortionBeforePlace(start));
        breakAfter = (ownLine && end.Portion) || IsOwnLineElement(end.Offset == 0 ? end.Portion : nullptr);
    }
    TNodePtr<TKnot> tree = NewCommandContentRoot();
    int32_t number = 0;
    {
        TSchemeUpdate update(scheme);
        TNodePtr<TElement> element(TElement::CreateIn(cls, scheme, nullptr));
        {
            const TNewElementPlaceScope inPlace(*scheme, this);
            element->InitNewTree(item);
        }
        number = element->Number();
        if (breakBefore) AddContentBreak(tree.get());
        TSchemeSaver saver(fmSnapshot, tree.get(), 0);
        element->SaveTo(&saver, tree->AddChild(element->GetTypeName()));
        if (breakAfter) AddContentBreak(tree.get());
        element.reset();  // the edit makes it again from the tree, with its number
        update.End();
    }
    EnterContent(range ? TEnterMode::Range : TEnterMode::Append, place, false, std::move(tree), fmSnapshot, 0);

    ISheet* sheet = Sheet();
    const TSheetSettings* settings = sheet ? sheet->Settings() : nullptr;
    if (IsFocused() && settings && settings->FocusNewProperty() && settings->FocusNewProperty()->Value())
        if (auto* made = dynamic_cast<TVisualElement*>(scheme->FindElement(number))) sheet->FocusDelayed(made);
    if (!m_interactive || !breakAfter) return;
    // The caret stays right after the element, before the break.
    if (m_interactive->HasPendingSelection()) {
        TTextorPosition after;
        if (!Textor()->NumericToPosition(m_interactive->PendingSelection().End, after)) return;
        const TTextorNumericPosition back = Textor()->PositionToNumeric(Textor()->StepBackward(after));
        m_interactive->SetPendingSelection(TTextorNumericRange{back, back}, false, true);
    } else {
        m_interactive->SetCaretPosition(Textor()->StepBackward(m_interactive->CaretPosition()));
    }
}

void TTextorElement::InsertElementOfClass(const TElementClass* cls, bool breakAfter,
                                          const std::optional<TTextorPosition>& position) {
    TNodePtr<TKnot> tree = NewCommandContentRoot();
    tree->AddChild(cls->GetTypeName());
    if (breakAfter) AddContentBreak(tree.get());
    InsertContent(tree.get(), fmFile, 0, position);
}

TElement* TTextorElement::AddElementOfClass(const TElementClass* cls, bool breakAfter) {
    InsertElementOfClass(cls, breakAfter, std::nullopt);
    TElement* newest = nullptr;
    for (TPortion* p = Textor()->GetFirstPortion(); p; p = p->GetNextPortion())
        if (TVisualElement* element = ElementOfPortion(p); element && (!newest || element->Number() > newest->Number()))
            newest = element;
    return newest;
}

// ---------------------------------------------------------------------------
// Finding

bool TTextorElement::FindFocusableWithin(TFindMode mode, const TFindData& request, TVisualElement*& next,
                                         bool forward) {
    next = nullptr;
    if (request.Text.isEmpty()) return TCustomDropDownElement::FindFocusableWithin(mode, request, next, forward);
    TTextorPosition at = forward ? Textor()->GetStartPosition() : Textor()->GetEndPosition();
    if (m_interactive) {
        const TTextorRange selection = m_interactive->GetSelection();
        const bool skipSelection =
            mode == TFindMode::AfterSelection ||
            (mode == TFindMode::SkipMatchingSelection && !m_interactive->IsSelectionEmpty() &&
             request.Matches(this, m_interactive->GetSelectedText()));
        // Past the selection, or at its near side so that it skips no text.
        const bool fromEnd = forward ? skipSelection : !skipSelection;
        at = fromEnd ? selection.End : selection.Start;
    }
    return FindFrom(at, mode, request, next, forward);
}

std::optional<bool> TTextorElement::FindBesideChild(TVisualElement* child, TFindMode mode, const TFindData& request,
                                                    TVisualElement*& next, bool forward) {
    auto* portion = dynamic_cast<TElementPortion*>(child->TextorSlot());
    if (request.Text.isEmpty() || !portion || portion->Textor() != m_textor.get()) return std::nullopt;
    next = nullptr;
    return FindFrom(TTextorPosition{portion->Paragraph(), portion, forward ? 1 : 0}, mode, request, next, forward);
}

bool TTextorElement::FindFrom(const TTextorPosition& at, TFindMode mode, const TFindData& request,
                              TVisualElement*& next, bool forward) {
    TTextSearch search(*this, request, forward);
    switch (search.Run(at)) {
        case TTextSearch::TOutcome::Hit:
            SetFocus(FocusDataOf(search.Hit));
            return true;
        case TTextSearch::TOutcome::Element:
            next = search.Found;
            return false;
        case TTextSearch::TOutcome::End:
            break;
    }
    return TCustomDropDownElement::FindFocusableWithin(mode, request, next, forward);
}

// ---------------------------------------------------------------------------
// The drop-down list

namespace {

int CommonBeginning(const QString& a, const QString& b, Qt::CaseSensitivity cs) {
    const int n = int(std::min(a.size(), b.size()));
    int i = 0;
    while (i < n && QStringView(a).mid(i, 1).compare(QStringView(b).mid(i, 1), cs) == 0) ++i;
    return i;
}

void CollectItems(TDropDownItem* parent, std::vector<TDropDownItem*>& items) {
    for (TDropDownItem* item = parent->FirstItem(); item; item = item->NextItem()) {
        if (item->Selectable) items.push_back(item);
        CollectItems(item, items);
    }
}

TDropDownItem* MatchItem(const std::vector<TDropDownItem*>& items, const QString& text, Qt::CaseSensitivity cs) {
    for (TDropDownItem* item : items)
        if (item->Caption.compare(text, cs) == 0) return item;
    for (TDropDownItem* item : items)
        if (item->Caption.startsWith(text, cs)) return item;
    TDropDownItem* longest = nullptr;
    int longestLength = 0;
    for (TDropDownItem* item : items)
        if (const int length = CommonBeginning(item->Caption, text, cs); length > longestLength) {
            longest = item;
            longestLength = length;
        }
    return longest;
}

}  // namespace

TDropDownItem* TTextorElement::FindTextItem(TDropDownItem* root, const QString& text, bool caseSensitiveOnly) {
    std::vector<TDropDownItem*> items;
    CollectItems(root, items);
    if (TDropDownItem* item = MatchItem(items, text, Qt::CaseSensitive)) return item;
    return caseSensitiveOnly ? nullptr : MatchItem(items, text, Qt::CaseInsensitive);
}

TDropDownItem* TTextorElement::FillDropDown(TDropDownItem* root) {
    if (HasEmbeddedElement()) return nullptr;
    return FindTextItem(root, GetText(), HasVisualOption(voCaseSensitiveList));
}

bool TTextorElement::SelectDropDownItem(TDropDownItem* item) {
    if (!item || IsReadOnly()) return false;
    ReplaceText(item->Caption);
    return true;
}

// ---------------------------------------------------------------------------
// The palette

bool TTextorElement::ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) {
    if (TTextorElement* owner = DelegateOwner())
        if (owner->ApplyPaletteItem(item, subCommand, checked)) return true;
    auto* elementItem = dynamic_cast<TElementPaletteItem*>(item);
    TElementClassList accepted;
    if (elementItem) GetAcceptedClasses(accepted);
    if (!elementItem || !accepted.contains(elementItem->ElementClass()))
        return TCustomDropDownElement::ApplyPaletteItem(item, subCommand, checked);
    const TElementClass* cls = elementItem->ElementClass();
    const TTextorPosition caret = m_interactive ? m_interactive->CaretPosition() : Textor()->GetEndPosition();
    if (const TElementClass* second = elementItem->SecondClass()) {
        const TVisualElement* before = ShownElementBefore(caret);
        if (before && before->ElementClass() == cls) cls = second;
    }
    std::optional<TTextorRange> range;
    if (m_interactive) range = m_interactive->GetSelection();
    InsertNewElement(cls, item, range);
    return true;
}

void TTextorElement::GetPaletteItems(QList<TPaletteItem*>& list) {
    TCustomDropDownElement::GetPaletteItems(list);
    TTextorElement* owner = DelegateOwner();
    if (!owner) return;
    QList<TPaletteItem*> items;
    owner->GetPaletteItems(items);
    for (TPaletteItem* item : items)
        if (!dynamic_cast<TElementPaletteItem*>(item) && !(item->Flags() & pifNotDelegated)) AddItemOnce(list, item);
}

void TTextorElement::FillAcceptedClasses(TElementClassList& list) {
    if (TTextorElement* owner = DelegateOwner()) {
        owner->FillAcceptedClasses(list);
        return;
    }
    TCustomDropDownElement::FillAcceptedClasses(list);
    if (!HasTextorOption(toRichContent)) return;
    TClassesGroups& groups = ClassesGroups();
    AddItemsOnce(list, groups.GetGroup(cgRichTextElements));
    if (m_restrictions & trLetters) AddItemsOnce(list, groups.GetGroup(cgInlineValueElements));
}

// ---------------------------------------------------------------------------
// Links

TTextAttributesRef TTextorElement::MakeHyperlinkAttributes(const QString& word) const {
    TRichTextAttributes link;
    if (const TTextAttributes* text = GetTextAttributes()) link.Assign(*text);
    link.SetColor(ColorFromWindows(kHyperlinkWindowsColor));
    link.SetFontStyle(link.FontStyle() | tfsUnderline);
    link.SetLinkKind(kHyperlinkKind);
    link.SetLink(word);
    return AcquireSharedAs<TTextAttributes>(link);
}

void TTextorElement::BeforeParagraphLayout(TParagraph* paragraph) {
    if (TTextorElement* owner = DelegateOwner()) owner->BeforeParagraphLayout(paragraph);
    if (!HasTextorOption(toHyperlinks) || !Sheet() || !paragraph->FirstPortion()) return;
    const bool restructured =
        MarkHyperlinks(paragraph, [this](const QString& word) { return MakeHyperlinkAttributes(word); });
    // Portions the caret object points at may be gone: without a pending
    // selection it starts again from the text start.
    if (restructured && m_interactive && !m_interactive->HasPendingSelection()) m_changedBeforeLayout = true;
}

void TTextorElement::ActivateLink(const TTextorPosition& position) {
    if (TTextorElement* owner = DelegateOwner()) {
        owner->ActivateLink(position);
        return;
    }
    if (!HasTextorOption(toHyperlinks)) return;
    const TTextorPosition at = TTextor::Normalize(position);
    const TPortion* portion = at.Portion;
    if ((!portion || !portion->Attributes() || portion->Attributes()->LinkKind() == 0) && at.Offset == 0)
        portion = PortionBeforePlace(at);
    const TTextAttributes* attributes = portion ? portion->Attributes() : nullptr;
    if (attributes && attributes->LinkKind() != 0 && !attributes->Link().isEmpty()) OpenHyperlink(attributes->Link());
}
