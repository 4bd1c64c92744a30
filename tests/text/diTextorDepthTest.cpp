// Rich texts nested in rich texts: no path that puts elements into a text
// makes the document deeper than the loader reads back, and a document at the
// deepest level allowed is saved, read back, laid out, edited and freed.

#include "core/cuStringIds.h"
#include "platform/plClipboard.h"
#include "support/testElements.h"
#include "support/testRaise.h"
#include "support/testVisualElements.h"
#include "text/diTextorElement.h"
#include "text/diTextorInteractive.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A rich text that holds rich texts of its own kind.
class TElement_DepthText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_DepthText)
public:
    void Create() override {
        TTextorElement::Create();
        SetTextorOptions(toRichContent);
    }
    void FillAcceptedClasses(TElementClassList& list) override { list << StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_DepthText, TTextorElement)

// Counts the first-row changes told to it (node message 11).
template <class Base>
class TFirstRowCounting : public Base {
public:
    int Told = 0;
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override {
        if (msg == nmFirstRowHeightChanged) ++Told;
        return Base::HandleNodeMessage(msg, p1, p2);
    }
};

class TElement_DepthRoot : public TFirstRowCounting<TElement_TestBox> {
    T_ELEMENT_CLASS(TElement_DepthRoot)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_DepthText::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_DepthRoot, TElement_TestBox)

class TElement_CountingText : public TFirstRowCounting<TElement_DepthText> {
    T_ELEMENT_CLASS(TElement_CountingText)
};
T_ELEMENT_CLASS_IMPL(TElement_CountingText, TElement_DepthText)

namespace {

constexpr int kLimit = TSchemeLoader::MaxNesting;

// A content tree of `levels` texts, each holding its level's number and the next one.
TNodePtr<TKnot> NestedContent(int levels, int firstLevel = 1) {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    TKnot* level = root.get();
    for (int i = 0; i < levels; ++i) {
        level = level->AddChild(TElement_DepthText::StaticClass()->GetTypeName());
        level->AddChild(kContentCharsName)->WriteStr(kContentValueName, QStringLiteral("level %1").arg(firstLevel + i));
    }
    return root;
}

// The innermost text of a chain.
TTextorElement* Deepest(TTextorElement* text) {
    while (auto* inner = dynamic_cast<TTextorElement*>(text->LastVisualChild())) text = inner;
    return text;
}

// What a text holds, in the stored form.
QString ContentOf(TTextorElement* text) {
    TNodePtr<TKnot> tree = TKnot::Create(kContentRootName);
    text->SaveContent(tree.get(), fmSnapshot, std::nullopt, 0);
    return tree->SaveToString();
}

class TextorDepth : public ::testing::Test {
protected:
    // A text on the root holding texts down to level `levels` (it stands at level 1).
    TTextorElement* AddChain(int levels, TSheetFixture& on) {
        auto* outer = TElement::CreateIn<TElement_DepthText>(on.scheme.get(), on.root);
        outer->SetVisualParent(on.root);
        outer->SetText(QStringLiteral("level 1"));
        if (levels > 1) outer->InsertContent(NestedContent(levels - 1, 2).get(), fmFile, 0, std::nullopt);
        return outer;
    }
    TTextorElement* AddChain(int levels) { return AddChain(levels, fixture); }

    TSheetFixture fixture{TElement_DepthRoot::StaticClass()};
    TFakeClipboard clipboard;
    TClipboardInstaller installer{&clipboard};
};

// Two pastes of a fragment the loader could read each made a document it
// could not: the level of the place a fragment goes to counts.
TEST_F(TextorDepth, PasteCountsTheLevelOfThePlaceItGoesTo) {
    const struct {
        int place;     // the level of the text pasted into
        int fragment;  // how deep the pasted texts nest
        bool accepted;
    } cases[] = {
        {kLimit - 1, 1, true}, {kLimit - 1, 2, false}, {kLimit / 2, kLimit / 2, true},
        {kLimit / 2, kLimit / 2 + 1, false}, {1, kLimit - 1, true}, {1, kLimit, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.place << " + " << c.fragment);
        TSheetFixture target{TElement_DepthRoot::StaticClass()};
        TTextorElement* place = Deepest(AddChain(c.place, target));
        clipboard.SetText(NestedContent(c.fragment)->SaveToString());
        EXPECT_EQ(RaisedId([&] { place->Paste(); }), c.accepted ? -1 : strNestingTooDeep);
        EXPECT_EQ(target.scheme->DeepestNestingLevel(), c.accepted ? c.place + c.fragment : c.place);
    }
}

// At the deepest level every way of putting an element into the text is
// refused, and the text, its selection and the history stay as they were.
TEST_F(TextorDepth, EveryPathThatNestsRefusesTheLevelPastTheLimitAndChangesNothing) {
    TTextorElement* deepest = Deepest(AddChain(kLimit));
    ASSERT_EQ(fixture.scheme->DeepestNestingLevel(), kLimit);
    fixture.Layout();
    deepest->FocusText(TTextFocusPlace::End);
    TTextorRange selected;
    ASSERT_TRUE(deepest->Textor()->NumericToRange({{0, 2}, {0, 5}}, selected));
    deepest->Interactive()->SetSelection(selected);
    const QString before = ContentOf(deepest);
    const int elements = fixture.scheme->ElementCount();
    const TElementClass* cls = TElement_DepthText::StaticClass();

    const struct {
        const char* path;
        std::function<void()> nest;
    } paths[] = {
        {"paste",
         [&] {
             clipboard.SetText(NestedContent(1)->SaveToString());
             deepest->Paste();
         }},
        {"inserting an element", [&] { deepest->InsertNewElement(cls, nullptr, std::nullopt); }},
        {"inserting without undo", [&] { deepest->InsertElementOfClass(cls, false, std::nullopt); }},
    };
    for (const auto& p : paths) {
        SCOPED_TRACE(p.path);
        EXPECT_EQ(RaisedId(p.nest), strNestingTooDeep);
        fixture.Layout();
        EXPECT_EQ(ContentOf(deepest), before);
        EXPECT_EQ(fixture.scheme->ElementCount(), elements);
        EXPECT_EQ(fixture.scheme->DeepestNestingLevel(), kLimit);
        EXPECT_FALSE(fixture.history.CanUndo());
        ASSERT_TRUE(deepest->Interactive());
        EXPECT_EQ(deepest->Textor()->RangeToNumeric(deepest->Interactive()->GetSelection()),
                  (TTextorNumericRange{{0, 2}, {0, 5}}));
    }
    // Loading content into the element replaces what it holds; deeper content is refused all the same.
    EXPECT_EQ(RaisedId([&] { deepest->LoadFromKnot(NestedContent(1).get(), fmFile, 0); }), strNestingTooDeep);
    EXPECT_EQ(fixture.scheme->DeepestNestingLevel(), kLimit);
}

// A drag-move into a text at the deepest level took the dragged text out of
// its source before the insertion was refused: the content was lost, and the
// removal stayed behind as an undo step.
TEST_F(TextorDepth, ADragMoveRefusedForNestingKeepsTheSourceAndAddsNoStep) {
    TTextorElement* deepest = Deepest(AddChain(kLimit));
    TTextorElement* source = AddChain(2);  // "level 1" and a text holding "level 2"
    fixture.Layout();
    const QString sourceBefore = ContentOf(source);
    const QString targetBefore = ContentOf(deepest);
    const int elements = fixture.scheme->ElementCount();
    for (TUndoRedo* history : {&fixture.history, static_cast<TUndoRedo*>(nullptr)}) {
        SCOPED_TRACE(history ? "with an undo history" : "without one");
        fixture.scheme->SetUndoRedo(history);
        source->FocusText(TTextFocusPlace::Start);
        source->SelectAll();
        const TTextorNumericRange selected = source->Textor()->RangeToNumeric(source->Interactive()->GetSelection());
        TTextorDrop drop{source->Interactive(), deepest->Textor()->GetEndPosition(), false};

        EXPECT_EQ(RaisedId([&] { deepest->AcceptDrop(drop); }), strNestingTooDeep);
        EXPECT_FALSE(drop.Inserted);
        EXPECT_EQ(ContentOf(source), sourceBefore);
        EXPECT_EQ(ContentOf(deepest), targetBefore);
        EXPECT_EQ(fixture.scheme->ElementCount(), elements);
        EXPECT_FALSE(fixture.history.CanUndo());
        EXPECT_FALSE(fixture.history.CanRedo());
        ASSERT_TRUE(source->Interactive()) << "the source keeps the focus";
        EXPECT_EQ(source->Textor()->RangeToNumeric(source->Interactive()->GetSelection()), selected);
    }
}

TEST_F(TextorDepth, DeepestAllowedDocumentRoundTripsLaysOutTakesAKeystrokeAndFrees) {
    AddChain(kLimit);
    QTemporaryDir dir;
    const QString path = dir.filePath("deep.prm");
    fixture.scheme->SaveToFile(path);

    TSheetFixture loaded{TElement_DepthRoot::StaticClass()};
    loaded.scheme->LoadFromFile(path);
    EXPECT_EQ(loaded.messages.GetCount(), 0);
    EXPECT_EQ(SchemeText(loaded.scheme.get()), SchemeText(fixture.scheme.get()));
    ASSERT_EQ(loaded.scheme->DeepestNestingLevel(), kLimit);

    loaded.Layout();
    auto* outer = dynamic_cast<TTextorElement*>(loaded.root->FirstVisualChild());
    ASSERT_TRUE(outer);
    TTextorElement* deepest = Deepest(outer);
    EXPECT_FALSE(deepest->HoldsLayoutLock());
    EXPECT_GT(deepest->Width(), 0);
    EXPECT_GT(outer->Height(), deepest->Height());

    deepest->FocusText(TTextFocusPlace::End);
    const int height = outer->Height();
    for (QChar typed : QStringLiteral("\r!")) loaded.sheet.KeyPress(typed);
    EXPECT_EQ(deepest->GetText(), QStringLiteral("level %1\r\n!").arg(kLimit));
    EXPECT_GT(outer->Height(), height) << "the new row reached the outermost text";
    loaded.scheme.reset();
}

// A first row that grew deep in a chain was told to every ancestor, once per
// level that grew with it: it goes up to the text holding the grown text,
// which tells its own ancestors when its own first row changes.
TEST_F(TextorDepth, FirstRowChangeIsToldUpToTheHoldingTextNotToEveryAncestor) {
    auto* outer = TElement::CreateIn<TElement_CountingText>(fixture.scheme.get(), fixture.root);
    outer->SetVisualParent(fixture.root);
    outer->SetText(QStringLiteral("top\r\n"));
    outer->InsertContent(NestedContent(1).get(), fmFile, 0, std::nullopt);
    fixture.Layout();
    TTextorElement* inner = Deepest(outer);
    auto* root = static_cast<TElement_DepthRoot*>(fixture.root);
    const int outerRow = outer->FirstRowHeight();
    const int innerRow = inner->FirstRowHeight();
    // A text of two paragraphs: taller than a row.
    TNodePtr<TKnot> tall = NestedContent(1);
    AddContentBreak(tall->GetFirstChild());
    tall->GetFirstChild()->AddChild(kContentCharsName)->WriteStr(kContentValueName, QStringLiteral("second"));

    // Grown below the outer text's first row: only the outer text hears of it.
    outer->Told = root->Told = 0;
    inner->InsertContent(tall.get(), fmFile, 0, inner->Textor()->GetStartPosition());
    EXPECT_GT(inner->FirstRowHeight(), innerRow);
    EXPECT_EQ(outer->FirstRowHeight(), outerRow);
    EXPECT_GE(outer->Told, 1);
    EXPECT_EQ(root->Told, 0);

    // Grown inside the first row: the outer text's own change goes on up.
    outer->Textor()->DeleteRange(TTextorRange{outer->Textor()->GetStartPosition(),
                                              outer->Textor()->ParagraphAt(1)->StartPosition()});
    EXPECT_GT(outer->FirstRowHeight(), outerRow);
    EXPECT_EQ(root->Told, 1);
}

// Rooms are found once per layout; a change of what they depend on during
// the layout is seen all the same.
TEST_F(TextorDepth, RoomKeptDuringALayoutFollowsTheSettingsItDependsOn) {
    TTextorElement* outer = AddChain(3);
    fixture.Layout();
    TTextorElement* inner = Deepest(outer);
    const TSheetLayoutScope layout(&fixture.sheet);
    const QSize room = inner->RoomFromParent();
    EXPECT_EQ(inner->RoomFromParent(), room);
    outer->SetTextorOptions(outer->TextorOptions() | toIndent);
    EXPECT_LT(inner->RoomFromParent().width(), room.width());
    fixture.sheet.SetAvailableSize(QSize(room.width() / 2, room.height() / 2));
    EXPECT_LT(inner->RoomFromParent().width(), room.width() / 2);
}

}  // namespace
