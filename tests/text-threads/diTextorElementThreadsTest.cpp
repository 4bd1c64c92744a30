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

struct TLoadedCopy {
    QString text;
    int embedded = 0;
    int paragraphs = 0;
    QString saved;  // the copy's snapshot as knot text
};

// A private scheme on the calling thread with the element loaded from knot
// and saved again.
TLoadedCopy LoadCopy(TKnot* knot) {
    std::unique_ptr<TScheme> scheme = MakeVisualTestScheme();
    auto* text = TElement::CreateIn<TElement_ThreadsProbeText>(scheme.get(), scheme->Root());
    text->SetTextorOptions(toRichContent);
    text->LoadFromKnot(knot, fmSnapshot, 0);
    TLoadedCopy copy{text->GetText(), 0, text->Textor()->ParagraphCount()};
    for (TVisualElement* c = text->FirstVisualChild(); c; c = c->NextVisualSibling()) ++copy.embedded;
    TNodePtr<TKnot> saved = TKnot::Create();
    text->SaveToKnot(saved.get(), fmSnapshot, 0);
    copy.saved = saved->SaveToString();
    return copy;
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
    std::vector<TLoadedCopy> copiesA, copiesB;
    auto load = [](std::vector<TNodePtr<TKnot>>* knots, std::vector<TLoadedCopy>* copies) {
        for (TNodePtr<TKnot>& knot : *knots) copies->push_back(LoadCopy(knot.get()));
    };
    std::thread a(load, &knotsA, &copiesA);
    std::thread b(load, &knotsB, &copiesB);
    a.join();
    b.join();
    ASSERT_EQ(copiesA.size() + copiesB.size(), size_t(2 * kCopies));
    for (const auto* copies : {&copiesA, &copiesB}) {
        for (const TLoadedCopy& copy : *copies) {
            EXPECT_EQ(copy.text, source->GetText());
            EXPECT_EQ(copy.embedded, 1);
            EXPECT_EQ(copy.paragraphs, 2);
            EXPECT_EQ(copy.saved, snapshot->SaveToString());
        }
    }
}

}  // namespace
