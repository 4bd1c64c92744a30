// Rich text elements loaded on other threads, as the preview thread loads its
// private copies (also run under ThreadSanitizer).

#include "support/testVisualElements.h"
#include "text/diTextorElement.h"

#include <gtest/gtest.h>

#include <thread>

// A rich text element that embeds test boxes.
class TElement_ThreadsProbeText : public TTextorElement {
    T_ELEMENT_CLASS(TElement_ThreadsProbeText)
public:
    void FillAcceptedClasses(TElementClassList& list) override { list << TElement_TestBox::StaticClass(); }
};
T_ELEMENT_CLASS_IMPL(TElement_ThreadsProbeText, TTextorElement)

namespace {

// A private scheme on the calling thread with the element loaded from knot;
// answers its snapshot as knot text (the text, its paragraphs and elements).
QString LoadCopy(TKnot* knot) {
    std::unique_ptr<TScheme> scheme = MakeVisualTestScheme();
    auto* text = TElement::CreateIn<TElement_ThreadsProbeText>(scheme.get(), scheme->Root());
    text->SetTextorOptions(toRichContent);
    text->LoadFromKnot(knot, fmSnapshot, 0);
    TNodePtr<TKnot> saved = TKnot::Create();
    text->SaveToKnot(saved.get(), fmSnapshot, 0);
    return saved->SaveToString();
}

TEST(TextorElementThreads, TwoThreadsLoadRichElementsOfTheirOwn) {
    std::unique_ptr<TScheme> scheme = MakeVisualTestScheme();
    auto* source = TElement::CreateIn<TElement_ThreadsProbeText>(scheme.get(), scheme->Root());
    source->SetTextorOptions(toRichContent);
    source->SetText(QStringLiteral("ab\tc\r\nde"));
    TNodePtr<TKnot> element = TKnot::Create(kContentRootName);
    element->SetFlagsAdded(kfIndexed);
    element->AddChild(TElement_TestBox::StaticClass()->GetTypeName());
    source->InsertContent(element.get(), fmSnapshot, 0, std::nullopt);
    TNodePtr<TKnot> snapshot = TKnot::Create();
    source->SaveToKnot(snapshot.get(), fmSnapshot, 0);

    constexpr int kCopies = 20;
    // Reading marks knots: each thread reads knots of its own.
    std::vector<TNodePtr<TKnot>> knotsA, knotsB;
    for (int i = 0; i < kCopies; ++i) {
        for (auto* knots : {&knotsA, &knotsB}) {
            knots->push_back(TKnot::Create());
            knots->back()->Assign(*snapshot);
        }
    }
    QStringList copiesA, copiesB;
    auto load = [](std::vector<TNodePtr<TKnot>>* knots, QStringList* copies) {
        for (TNodePtr<TKnot>& knot : *knots) *copies << LoadCopy(knot.get());
    };
    std::thread a(load, &knotsA, &copiesA);
    std::thread b(load, &knotsB, &copiesB);
    a.join();
    b.join();
    ASSERT_EQ(copiesA.size() + copiesB.size(), 2 * kCopies);
    for (const QString& copy : copiesA + copiesB) EXPECT_EQ(copy, snapshot->SaveToString());
}

}  // namespace
