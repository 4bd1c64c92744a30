// Two generators on two private copies of one module, each in a thread of
// its own, as two previews would run them: both write the same unit, and
// nothing they share (the standard types, the program settings' prefixes,
// the string tables) is touched unlocked.

#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/generation/prPascalUnitGenerator.h"
#include "scheme/diClasses.h"
#include "scheme/diMessages.h"
#include "support/testEnglish.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

template <class T>
T* Add(TTextorElement* place) {
    return dynamic_cast<T*>(place->AddElementOfClass(T::StaticClass(), false));
}
template <class T>
T* AddNamed(TTextorElement* place, const QString& name) {
    T* element = Add<T>(place);
    element->NameField()->SetText(name);
    return element;
}

// Fields, an object, and a routine with a loop, a condition, a choice in a
// value and an error.
void BuildModule(TTextorElement* root) {
    AddNamed<TElement_Field>(root, QStringLiteral("Count"))->TypeField()->SetText(QStringLiteral("int"));
    auto* ratio = AddNamed<TElement_Field>(root, QStringLiteral("Ratio"));
    ratio->TypeField()->SetText(QStringLiteral("float"));
    auto* object = AddNamed<TElement_Object>(root, QStringLiteral("TKeeper"));
    AddNamed<TElement_Field>(static_cast<TTextorElement*>(object->Content()), QStringLiteral("FLimit"))
        ->TypeField()
        ->SetText(QStringLiteral("int"));
    auto* run = AddNamed<TElement_Method>(root, QStringLiteral("Run"));
    run->ResultType()->SetText(QStringLiteral("int"));
    TTextorElement* body = run->Body();
    auto* loop = Add<TElement_While>(body);
    auto* less = Add<TElement_Compare>(loop->Condition());
    less->SetKind(uint8_t(TCompareKind::Less));
    less->LeftSide()->SetText(QStringLiteral("Count"));
    less->RightSide()->SetText(QStringLiteral("10"));
    Add<TElement_Inc>(static_cast<TTextorElement*>(loop->Content()))->Value()->SetText(QStringLiteral("Count"));
    auto* let = Add<TElement_Let>(body);
    let->LeftSide()->SetText(QStringLiteral("Ratio"));
    auto* choice = Add<TElement_Fingers>(let->RightSide());
    choice->Condition()->SetText(QStringLiteral("Count"));
    choice->ValueTrue()->SetText(QStringLiteral("1.5"));
    choice->ValueFalse()->SetText(QStringLiteral("2"));
    Add<TElement_String>(Add<TElement_Error>(body)->Message())->SetText(QStringLiteral("stop"));
    Add<TElement_Return>(body)->Result()->SetText(QStringLiteral("Count"));
}

}  // namespace

TEST(GeneratorThreads, TwoGeneratorsOnTwoPrivateCopiesOfOneModuleWriteTheSameUnit) {
    TEnglishTexts english;
    TScheme module(ProgramSchemeDescriptor().GetRootClass(), ProgramSchemeDescriptor().GetKindName());
    BuildModule(static_cast<TTextorElement*>(module.Root()));
    std::unique_ptr<TScheme> copies[] = {LoadPrivateCopy(&module), LoadPrivateCopy(&module)};
    QString texts[2];
    int messages[2] = {};
    auto generate = [&](int i) {
        TElementMessages list;
        texts[i] = GeneratePascalUnit(copies[i]->Root(), {QStringLiteral("Kept"), true, &list});
        for (int m = 0; m < list.GetCount(); ++m) messages[i] += list.GetItem(m)->Kind() >= mkWarning ? 1 : 0;
        if (messages[i]) texts[i] += list.GetItem(0)->GetText();
    };
    std::thread first(generate, 0);
    std::thread second(generate, 1);
    first.join();
    second.join();
    EXPECT_TRUE(texts[0].contains(QStringLiteral("function Run: NativeInt;"))) << texts[0].toStdString();
    EXPECT_EQ(texts[0], texts[1]) << texts[0].toStdString();
    EXPECT_EQ(messages[0], 0) << texts[0].toStdString();
    EXPECT_EQ(messages[1], 0);
}
