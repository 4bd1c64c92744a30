#pragma once
// The undoable edit of a text element's text: a range replaced by a content
// tree. The operation finds its element by number and keeps every place as a
// numeric position, so it stays valid when the element or its portions are
// rebuilt. Typing, and deleting backwards, within the merge interval of the
// previous edit of the same element joins that edit's undo step.

#include "core/cuKnot.h"
#include "scheme/diFilers.h"
#include "scheme/diOperations.h"
#include "text/diTextor.h"

#include <cstdint>

class TTextorElement;

// What one edit does: the range replaced (in the text before the edit), the
// place where the content goes, and the content with the loader settings to
// read it with.
struct TTextorEdit {
    TTextorNumericRange Replaced;
    TTextorNumericPosition InsertAt;
    // The attributes of inserted characters (may be none).
    TTextAttributesRef Attributes;
    // A content tree "TessalyContent"; none, or without children: nothing to insert.
    TNodePtr<TKnot> Content;
    uint8_t LoaderMode = fmSnapshot;
    uint8_t LoaderOption = 0;
    // The caret object selects what was inserted (else the caret goes to its end).
    bool SelectInserted = false;
};

// Where a place of the text before a deletion of `removed` lies after it (the
// place is not inside the removed range).
TTextorNumericPosition ShiftForDeletion(TTextorNumericPosition place, const TTextorNumericRange& removed) noexcept;

class TTextorEditOperation : public TElementOperation {
    T_CLASS(TTextorEditOperation)
public:
    // Edits closer together than this (milliseconds) may merge.
    static constexpr int64_t MergeIntervalMs = 800;

    // Made by the element's CreateEditOperation, then filled (EnterContent).
    explicit TTextorEditOperation(TTextorElement* element);
    void Fill(TTextorEdit edit);

    // Whether running it would change the text: something to remove or to insert.
    bool HasWork() const;
    // True when previous (the same class, the same element, less than the merge
    // interval before) absorbed this typing or backward deletion.
    bool MergeWith(TOperation* previous) override;

    // The edit as filled; after merging, the content holds every merged key.
    const TTextorEdit& Edit() const noexcept { return m_edit; }

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;
    // The edit on the element, inside the scheme's and the textor's update
    // brackets; nothing happens when a place no longer fits the text.
    virtual void DoEdit(TTextorElement* element);
    virtual void UndoEdit(TTextorElement* element);

private:
    bool HasContent() const;
    bool MergeTyping(TTextorEditOperation& previous);
    bool MergeBackwardDeletion(TTextorEditOperation& previous);
    // The edit proper, the brackets already open.
    void Replace(TTextorElement& element);
    void Restore(TTextorElement& element);
    void Remove(TTextorElement& element, const TTextorRange& range);
    void Insert(TTextorElement& element, const TTextorNumericPosition& at);
    void PutBack(TTextorElement& element, TKnot* content, uint8_t loaderMode, uint8_t loaderOption,
                 const TTextorNumericRange& range);
    static void SetPendingSelection(TTextorElement& element, const TTextorNumericRange& selection);

    TTextorEdit m_edit;
    int64_t m_time = 0;
    TNodePtr<TKnot> m_removed;
    TTextorNumericRange m_insertedRange;
};
