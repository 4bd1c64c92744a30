// A program module in a sheet form: a key in the name of a field that a
// routine below refers to five times renames the references, which widen or
// narrow the routine's nested boxes (condition, assignment, loop, body,
// routine) at every key. The boxes repaint only the strips their frames reach
// into and the rows that changed, so the screen must still show what a full
// repaint shows: a strip left out would leave a stale edge.

#include "bench/benchProgram.h"
#include "core/cuUndoRedo.h"
#include "scheme/diSheet.h"
#include "support/imageCompare.h"
#include "support/testEnglish.h"
#include "support/testScreen.h"
#include "ui/baSaper.h"
#include "ui/diSheetForm.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace benchprogram;

class SheetFormProgram : public ::testing::Test {
protected:
    static constexpr int kFillers = 12;

    SheetFormProgram() {
        settings->CreateProperties();
        sheet = std::make_unique<TSheet>(settings.get());
        scheme = NewProgramModule();
        scheme->SetUndoRedo(&history);
        auto* root = static_cast<TTextorElement*>(scheme->Root());
        total = InsertNamed<TElement_Field>(root, QStringLiteral("Total"));
        total->TypeField()->ReplaceText(QStringLiteral("int"));
        InsertNamed<TElement_Constant>(root, QStringLiteral("Limit"))->ValueField()->ReplaceText(QStringLiteral("9"));
        // Far enough from the name that their repaints stay apart.
        for (int i = 0; i < kFillers; ++i)
            InsertNamed<TElement_Constant>(root, QStringLiteral("Filler%1").arg(i))->ValueField()->ReplaceText(QStringLiteral("0"));
        BuildCountingRoutine(root, 0, QStringLiteral("Total"), QStringLiteral("Limit"));
        routine = LastInserted(root);
        {
            TSheetUpdate update(sheet.get());
            const TRect padding = sheet->Root()->GetPadding();
            root->SetPosition(padding.Left, padding.Top);
            root->SetVisualParent(sheet->Root());
            sheet->Root()->UpdateLayout(true, true, false, false);
        }
        form = std::make_unique<TSheetForm>(nullptr, nullptr);
        form->AttachSheet(scheme.get(), sheet.get());
        form->resize(1000, 800);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->RangeBox().setFocus();
        total->NameField()->FocusText(TTextFocusPlace::End);
        QApplication::processEvents();
    }
    ~SheetFormProgram() override {
        form.reset();
        scheme.reset();
        sheet.reset();
    }
    // The routine's box in the view's coordinates.
    QRect RoutineInView() const {
        auto* box = static_cast<TVisualElement*>(routine);
        const QPoint at = box->ClientToSheet(QPoint(0, 0)) - form->RangeBox().ScrollPosition();
        return QRect(at, QSize(box->Width(), box->Height()));
    }

    TEnglishTexts english;
    TNodePtr<TSheetSettings> settings = TProperty::CreateRoot<TSheetSettings>(QStringLiteral("Sheet"));
    std::unique_ptr<TSheet> sheet;
    TUndoRedo history;
    std::unique_ptr<TScheme> scheme;
    TElement_Field* total = nullptr;
    TElement* routine = nullptr;
    std::unique_ptr<TSheetForm> form;
};

// The view cut through the routine: the repaints of what lies below it are
// dropped, and what a scroll or a taller view uncovers is painted then, so
// the screen shows what a full repaint shows at each step.
TEST_F(SheetFormProgram, RenamingWithTheRoutineHalfBelowTheViewShowsItWhenScrolledOrResizedIntoView) {
    TRangeBox& box = form->RangeBox();
    QWidget& view = *box.viewport();
    const QRect routine = RoutineInView();
    form->resize(form->width(), form->height() - (view.height() - (routine.top() + routine.height() / 2)));
    QApplication::processEvents();
    ASSERT_TRUE(view.rect().contains(RoutineInView().topLeft()));
    ASSERT_FALSE(view.rect().contains(RoutineInView().bottomLeft())) << "the routine's lower half is out of view";
    auto typeAndCompare = [&](Qt::Key key) {
        QTest::keyClick(&box, key);
        QApplication::processEvents();
        EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view)));
    };
    typeAndCompare(Qt::Key_Q);
    box.SetScrollPosition(box.ScrollPosition() + QPoint(0, routine.height()));
    QApplication::processEvents();
    EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view))) << "scrolled down";
    typeAndCompare(Qt::Key_W);
    box.SetScrollPosition(QPoint(0, 0));
    QApplication::processEvents();
    EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view))) << "scrolled back";
    typeAndCompare(Qt::Key_Backspace);
    form->resize(form->width(), form->height() + routine.height());
    QApplication::processEvents();
    EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view))) << "a taller view";
    typeAndCompare(Qt::Key_Backspace);
    EXPECT_EQ(total->NameField()->GetText(), QStringLiteral("Total"));
}

TEST_F(SheetFormProgram, RenamingAFieldTheRoutineUsesRepaintsTheResizedBoxesAsAFullRepaintShowsThem) {
    QWidget& view = *form->RangeBox().viewport();
    struct TPaintSpy : QObject {
        QRegion Painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) Painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } spy;
    view.installEventFilter(&spy);
    ASSERT_TRUE(view.rect().contains(RoutineInView())) << "the routine's edges are in view";
    const int routineWidth = RoutineInView().width();
    const QRegion whole(view.rect());
    for (Qt::Key key : {Qt::Key_Q, Qt::Key_W, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        spy.Painted = QRegion();
        QTest::keyClick(&form->RangeBox(), key);
        QApplication::processEvents();
        EXPECT_NE(spy.Painted.intersected(whole), whole) << "the whole view";
        EXPECT_TRUE(SamePixels(OnScreen(view), FullyRepainted(view)));
    }
    EXPECT_EQ(total->NameField()->GetText(), QStringLiteral("Tota"));
    EXPECT_LT(RoutineInView().width(), routineWidth) << "the references narrowed the routine";
    view.removeEventFilter(&spy);
}

// Each renamed reference laid out the boxes above it again: the routine's
// body, holding all five, laid out five times a key, and the module's text as
// often. Held, the references lay out first and each box above them once.
TEST_F(SheetFormProgram, RenamingAFieldLaysTheRoutinesBoxesOutOnceAKeyWhereAFreshLayoutPutsThem) {
    TTextor& body = *static_cast<TElement_Method*>(routine)->Body()->Textor();
    TTextor& module = *static_cast<TTextorElement*>(scheme->Root())->Textor();
    for (Qt::Key key : {Qt::Key_Q, Qt::Key_Backspace, Qt::Key_Backspace}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        const uint32_t bodyBefore = body.LayoutPasses();
        const uint32_t moduleBefore = module.LayoutPasses();
        QTest::keyClick(&form->RangeBox(), key);
        EXPECT_EQ(body.LayoutPasses() - bodyBefore, 1u);
        // The field's own line and the routine's together, once.
        EXPECT_EQ(module.LayoutPasses() - moduleBefore, 1u);
    }
    EXPECT_EQ(total->NameField()->GetText(), QStringLiteral("Tota"));
    std::vector<TRect> typed;
    for (TVisualElement* e : VisualPreOrder(static_cast<TVisualElement*>(routine))) typed.push_back(e->GetBoundsRect());
    {
        TSheetUpdate update(sheet.get());
        sheet->Root()->UpdateLayout(true, true, false, false);
    }
    std::vector<TRect> fresh;
    for (TVisualElement* e : VisualPreOrder(static_cast<TVisualElement*>(routine))) fresh.push_back(e->GetBoundsRect());
    EXPECT_EQ(typed, fresh);
}

}  // namespace
