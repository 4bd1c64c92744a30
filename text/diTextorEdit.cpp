#include "text/diTextorEdit.h"

#include "platform/plClock.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <cstdlib>

T_CLASS_IMPL_ABSTRACT(TTextorEditOperation, TElementOperation)

namespace {

bool IsCharsKnot(const TKnot* knot) { return knot && knot->Name() == kContentCharsName; }

QString CharsOf(const TKnot& knot) {
    const TKnotParam* value = knot.FindParam(kContentValueName);
    return value ? value->Value() : QString();
}

// A joined "Chars" knot replaces its value when written again, as the content
// writer leaves it.
void SetCharsOf(TKnot& knot, const QString& text) {
    knot.SetFlagsAdded(TKnotFlags(knot.FlagsAdded() | kfUniqueParams));
    if (TKnotParam* value = knot.FindParam(kContentValueName))
        value->SetString(text);
    else
        knot.WriteStr(kContentValueName, text);
}

bool HasChildKnots(const TKnot* knot) { return knot && knot->HasChildren(); }

TNodePtr<TKnot> NewContentRoot() {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    root->SetFlagsAdded(kfIndexed);
    return root;
}

bool IsEmptyNumeric(const TTextorNumericRange& range) noexcept { return range.Start == range.End; }

// Runs edit inside the scheme's and the textor's update brackets; the element
// reports its focused state when they are closed. The sheet holds layouts
// while the text changes, as undo and redo do: the text and what its change
// sets off (references taking a new name) lay out together, so a text holding
// both (the module's) lays out once.
template <class Edit>
void InEditBrackets(TTextorElement& element, Edit edit) {
    TSchemeUpdate scheme(element.Scheme());
    TTextor& textor = *element.Textor();
    {
        const TSheetLayoutHold held(element.Sheet());
        textor.BeginUpdate();
        try {
            edit();
        } catch (...) {
            textor.EndUpdate();
            throw;
        }
        textor.EndUpdate();
    }
    scheme.End();
    element.NotifyFocusedState();
}

// The joins of merged edits: the children of `from` move to the end of `to`
// (appended) or, last first, to its front (prepended); "Chars" knots meeting
// at the seam become one.
void AppendContent(TKnot& to, TKnot& from) {
    auto* first = static_cast<TKnot*>(from.FirstChild());
    auto* last = static_cast<TKnot*>(to.LastChild());
    if (IsCharsKnot(first) && IsCharsKnot(last)) {
        SetCharsOf(*last, CharsOf(*last) + CharsOf(*first));
        first->Free();
    }
    while (TNode* child = from.FirstChild()) child->SetParent(&to);
}

void PrependContent(TKnot& to, TKnot& from) {
    auto* last = static_cast<TKnot*>(from.LastChild());
    auto* first = static_cast<TKnot*>(to.FirstChild());
    if (IsCharsKnot(first) && IsCharsKnot(last)) {
        SetCharsOf(*first, CharsOf(*last) + CharsOf(*first));
        last->Free();
    }
    while (TNode* child = from.LastChild()) child->SetParentBefore(&to, to.FirstChild());
}

}  // namespace

TTextorNumericPosition ShiftForDeletion(TTextorNumericPosition place, const TTextorNumericRange& removed) noexcept {
    if (place.Paragraph == removed.End.Paragraph && place.Char >= removed.End.Char) {
        place.Paragraph = removed.Start.Paragraph;
        place.Char -= removed.End.Char - removed.Start.Char;
    } else if (place.Paragraph > removed.End.Paragraph) {
        place.Paragraph -= removed.End.Paragraph - removed.Start.Paragraph;
    }
    return place;
}

// ---------------------------------------------------------------------------
// TTextorEditOperation

TTextorEditOperation::TTextorEditOperation(TTextorElement* element) : TElementOperation(element, false) {}

void TTextorEditOperation::Fill(TTextorEdit edit) {
    m_edit = std::move(edit);
    m_insertedRange = {m_edit.InsertAt, m_edit.InsertAt};
}

bool TTextorEditOperation::HasContent() const { return HasChildKnots(m_edit.Content.get()); }

bool TTextorEditOperation::HasWork() const { return m_edit.Replaced.Start != m_edit.Replaced.End || HasContent(); }

void TTextorEditOperation::DoOnElement(TElement* element) {
    TElementOperation::DoOnElement(element);
    if (auto* textor = Supports<TTextorElement>(element)) DoEdit(textor);
}

void TTextorEditOperation::UndoOnElement(TElement* element) {
    TElementOperation::UndoOnElement(element);
    if (auto* textor = dynamic_cast<TTextorElement*>(element)) UndoEdit(textor);
}

// ---- merging ----

bool TTextorEditOperation::MergeWith(TOperation* previous) {
    auto* before = dynamic_cast<TTextorEditOperation*>(previous);
    if (!before || before->ClassType() != ClassType() || before->ElementNumber() != ElementNumber()) return false;
    if (std::llabs(m_time - before->m_time) >= MergeIntervalMs) return false;
    if (!MergeTyping(*before) && !MergeBackwardDeletion(*before)) return false;
    before->m_time = m_time;
    HandDependentsTo(*before);
    return true;
}

bool TTextorEditOperation::MergeTyping(TTextorEditOperation& previous) {
    if (m_removed || previous.m_removed || !HasContent() || !previous.HasContent()) return false;
    if (m_edit.InsertAt != previous.m_insertedRange.End) return false;
    const TTextAttributes* mine = m_edit.Attributes.get();
    const TTextAttributes* theirs = previous.m_edit.Attributes.get();
    if (bool(mine) != bool(theirs) || (mine && mine != theirs && !mine->Equals(*theirs))) return false;
    AppendContent(*previous.m_edit.Content, *m_edit.Content);
    previous.m_insertedRange.End = m_insertedRange.End;
    return true;
}

bool TTextorEditOperation::MergeBackwardDeletion(TTextorEditOperation& previous) {
    if (!m_removed || !previous.m_removed || HasContent() || previous.HasContent()) return false;
    if (previous.m_edit.Replaced.Start != m_edit.Replaced.End) return false;
    PrependContent(*previous.m_removed, *m_removed);
    previous.m_edit.Replaced.Start = m_edit.Replaced.Start;
    // The caret of a redo goes where the last deletion left it.
    previous.m_edit.InsertAt = m_edit.InsertAt;
    previous.m_insertedRange = m_insertedRange;
    return true;
}

// ---- doing and undoing ----

void TTextorEditOperation::DoEdit(TTextorElement* element) {
    m_time = TClock::Now();
    InEditBrackets(*element, [&] { Replace(*element); });
}

void TTextorEditOperation::UndoEdit(TTextorElement* element) {
    InEditBrackets(*element, [&] { Restore(*element); });
}

void TTextorEditOperation::Replace(TTextorElement& element) {
    TTextor& textor = *element.Textor();
    const bool hasContent = HasContent();
    TTextorRange range;
    TTextorPosition place;
    // Places that no longer fit the text (it was set without undo) do nothing.
    if (!textor.NumericToRange(m_edit.Replaced, range)) return;
    if (hasContent && !textor.NumericToPosition(m_edit.InsertAt, place)) return;
    if (range.IsEmpty() && !hasContent) return;

    TTextorNumericPosition insertAt = m_edit.InsertAt;
    if (!range.IsEmpty()) {
        Remove(element, range);
        insertAt = ShiftForDeletion(insertAt, m_edit.Replaced);
    }
    m_insertedRange = {insertAt, insertAt};
    if (hasContent) {
        try {
            Insert(element, insertAt);
        } catch (...) {
            // Refused content (an element nested too deep) inserted nothing:
            // the removed range goes back, selected as it was.
            PutBack(element, m_removed.get(), fmSnapshot, 0, m_edit.Replaced);
            throw;
        }
    }
    TTextorNumericRange selection = m_insertedRange;
    if (!m_edit.SelectInserted) selection.Start = selection.End;
    SetPendingSelection(element, selection);
}

void TTextorEditOperation::Remove(TTextorElement& element, const TTextorRange& range) {
    if (State() == osFirstExecution) {
        m_removed = NewContentRoot();
        element.SaveContent(m_removed.get(), fmSnapshot, range, 0);
    }
    element.Textor()->DeleteRange(range);
}

void TTextorEditOperation::Insert(TTextorElement& element, const TTextorNumericPosition& at) {
    TTextorPosition place;
    if (!element.Textor()->NumericToPosition(at, place)) return;
    const TTextorRange inserted =
        element.InsertContent(m_edit.Content.get(), m_edit.LoaderMode, m_edit.LoaderOption, place);
    m_insertedRange = element.Textor()->RangeToNumeric(inserted);
    // Redo rebuilds exactly the elements made now (their numbers included).
    if (State() == osFirstExecution && m_edit.LoaderMode != fmSnapshot) {
        m_edit.Content = NewContentRoot();
        element.SaveContent(m_edit.Content.get(), fmSnapshot, inserted, 0);
        m_edit.LoaderMode = fmSnapshot;
    }
}

// Applied after the next re-layout, without a validity test.
void TTextorEditOperation::SetPendingSelection(TTextorElement& element, const TTextorNumericRange& selection) {
    if (TSchemeTextorInteractive* caret = element.Interactive()) caret->SetPendingSelection(selection, false, true);
}

// The removed content goes back at the replaced range's start, which stays
// right after merged backward deletions (the inserted range is empty there).
void TTextorEditOperation::Restore(TTextorElement& element) {
    TTextor& textor = *element.Textor();
    const TTextorNumericPosition start = m_edit.Replaced.Start;
    TTextorRange inserted;
    TTextorPosition place;
    const bool hasInserted = !IsEmptyNumeric(m_insertedRange);
    if (hasInserted && !textor.NumericToRange(m_insertedRange, inserted)) return;
    if (!textor.NumericToPosition(start, place)) return;

    if (hasInserted) textor.DeleteRange(inserted);
    TTextorNumericRange restored{start, start};
    if (m_removed && textor.NumericToPosition(start, place)) {
        try {
            restored = textor.RangeToNumeric(element.InsertContent(m_removed.get(), fmSnapshot, 0, place));
        } catch (...) {
            PutBack(element, m_edit.Content.get(), m_edit.LoaderMode, m_edit.LoaderOption, m_insertedRange);
            throw;
        }
    }
    SetPendingSelection(element, restored);
}

// What an edit took out goes back at the range's start, selected, when its
// other half was refused: nothing is left half done.
void TTextorEditOperation::PutBack(TTextorElement& element, TKnot* content, uint8_t loaderMode, uint8_t loaderOption,
                                   const TTextorNumericRange& range) {
    TTextorPosition place;
    if (!HasChildKnots(content) || !element.Textor()->NumericToPosition(range.Start, place)) return;
    element.InsertContent(content, loaderMode, loaderOption, place);
    SetPendingSelection(element, range);
}

// ---------------------------------------------------------------------------
// TTextorElement: the undoable entry points

TNodePtr<TTextorEditOperation> TTextorElement::CreateEditOperation() {
    return MakeNode<TTextorEditOperation>(this);
}

void TTextorElement::EnterText(TEnterMode mode, const TTextorRange& range, bool selectInserted,
                               const std::optional<QString>& text) {
    TNodePtr<TKnot> content;
    if (text && !text->isEmpty()) {
        content = NewContentRoot();
        if (*text == QChar(tcReturn)) {
            content->AddChild(kContentBreakName)->SetFlagsAdded(kfSameLine);
        } else {
            content->AddChild(kContentCharsName)->WriteStr(kContentValueName, *text);
        }
    }
    EnterContent(mode, range, selectInserted, std::move(content), fmSnapshot, 0);
}

void TTextorElement::EnterContent(TEnterMode mode, const TTextorRange& range, bool selectInserted,
                                  TNodePtr<TKnot> content, uint8_t loaderMode, uint8_t loaderOption) {
    const TTextorRange replaced = GetEnterRange(mode, range);
    TTextorEdit edit;
    edit.Replaced = Textor()->RangeToNumeric(replaced);
    edit.InsertAt = edit.Replaced.Start;
    if (mode == TEnterMode::Selection && m_interactive)
        edit.Attributes = m_interactive->GetTypingAttributes();
    else if (const TPortion* portion = replaced.Start.Portion; portion && portion->HasAttributes())
        edit.Attributes = portion->AttributesRef();
    edit.Content = std::move(content);
    edit.LoaderMode = loaderMode;
    edit.LoaderOption = loaderOption;
    edit.SelectInserted = selectInserted;

    TNodePtr<TTextorEditOperation> op = CreateEditOperation();
    op->Fill(std::move(edit));
    if (!op->HasWork()) return;
    TSchemeOperation::Execute(std::move(op));
}
