#pragma once
// A program module built element by element on the program module's own
// root, for the generator's rule and regression tests: declarations, routine
// bodies and values made through the elements' public operations, then
// generated and compiled (or run) with Free Pascal.

#include "pascal/elements/prClassElements.h"
#include "pascal/elements/prClassMemberElements.h"
#include "pascal/elements/prCommandElements.h"
#include "pascal/elements/prExpressionExElements.h"
#include "pascal/elements/prIdentifierElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prScheme.h"
#include "pascal/elements/prSimpleElements.h"
#include "pascal/generator/psTestSupport.h"
#include "prGenerationTestSupport.h"
#include "support/testEnglish.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

class GenerationModule : public ::testing::Test {
public:
    TEnglishTexts m_english;
    std::unique_ptr<TScheme> m_scheme = std::make_unique<TScheme>(ProgramSchemeDescriptor().GetRootClass(),
                                                                  ProgramSchemeDescriptor().GetKindName());

    TTextorElement* Root() const { return static_cast<TTextorElement*>(m_scheme->Root()); }

    template <class T>
    static T* Add(TTextorElement* place) {
        auto* element = dynamic_cast<T*>(place->AddElementOfClass(T::StaticClass(), false));
        EXPECT_TRUE(element) << T::StaticClass()->ClassName();
        return element;
    }
    template <class T>
    static T* AddNamed(TTextorElement* place, const QString& name) {
        T* element = Add<T>(place);
        element->NameField()->SetText(name);
        return element;
    }
    static TTextorElement* Text(TVisualElement* element) { return static_cast<TTextorElement*>(element); }

    // Unit-level declarations.
    TElement_Field* Field(TTextorElement* place, const QString& name, const QString& type,
                          const QString& value = QString()) {
        auto* field = AddNamed<TElement_Field>(place, name);
        field->TypeField()->SetText(type);
        if (!value.isEmpty()) field->ValueField()->SetText(value);
        return field;
    }
    TElement_Constant* Constant(TTextorElement* place, const QString& name, const QString& value) {
        auto* constant = AddNamed<TElement_Constant>(place, name);
        constant->ValueField()->SetText(value);
        return constant;
    }
    TElement_Method* Routine(TTextorElement* place, const QString& name, const QString& result = QString(),
                             TVisibility visibility = TVisibility::Public) {
        auto* method = AddNamed<TElement_Method>(place, name);
        if (!result.isEmpty()) method->ResultType()->SetText(result);
        method->SetVisibility(visibility);
        return method;
    }
    TElement_Parameter* Parameter(TElement_Method* method, const QString& name, const QString& type) {
        auto* parameter = AddNamed<TElement_Parameter>(method->Parameters(), name);
        parameter->TypeField()->SetText(type);
        return parameter;
    }
    static TTextorElement* Body(TCustomMethod* method) { return method->Body(); }
    TElement_Object* Object(const QString& name, const QString& parent = QString()) {
        auto* object = AddNamed<TElement_Object>(Root(), name);
        if (!parent.isEmpty()) object->Parent()->SetText(parent);
        return object;
    }
    static TTextorElement* Members(TElement_Object* object) { return Text(object->Content()); }

    // Statements.
    TElement_Let* Let(TTextorElement* body, const QString& target, const QString& value = QString()) {
        auto* let = Add<TElement_Let>(body);
        let->LeftSide()->SetText(target);
        if (!value.isEmpty()) let->RightSide()->SetText(value);
        return let;
    }
    TElement_IdentifierInMethod* Call(TTextorElement* body, const QString& callee,
                                      const QStringList& values = {}) {
        auto* call = Add<TElement_IdentifierInMethod>(body);
        call->Identifier()->SetText(callee);
        std::vector<TIdentifierParameterValue*> list = call->ParameterValues()->Values();
        for (int i = 0; i < values.size() && i < int(list.size()); ++i) list[size_t(i)]->SetText(values[i]);
        return call;
    }
    TElement_Return* Return(TTextorElement* body, const QString& value = QString()) {
        auto* element = Add<TElement_Return>(body);
        if (!value.isEmpty()) element->Result()->SetText(value);
        return element;
    }
    // An operator of kind in the value field, with its values typed in order.
    template <class T>
    T* Operator(TTextorElement* field, uint8_t kind, const QStringList& values) {
        auto* element = Add<T>(field);
        element->SetKind(kind);
        for (int i = 2; i < values.size(); ++i) element->AddValue();
        for (int i = 0; i < values.size() && i < int(element->Values().size()); ++i)
            if (!values[i].isEmpty()) element->Values()[size_t(i)]->SetText(values[i]);
        return element;
    }

    // The unit generated from a private copy of the module.
    TGenerated GenerateUnit(const QString& name = QStringLiteral("Generated"), bool simplify = false) {
        std::unique_ptr<TScheme> copy = LoadPrivateCopy(m_scheme.get());
        return Generate(copy.get(), name, simplify);
    }
    // Expects the unit to compile (when there is fpc); answers it.
    TGenerated CompiledUnit(const QString& name = QStringLiteral("Generated"), bool simplify = false) {
        TGenerated generated = GenerateUnit(name, simplify);
        if (TFpcHarness::Available()) {
            TFpcHarness fpc;
            fpc.Add(name, generated.Text);
            const QString complaint = fpc.CompileAndRun(QString(), nullptr);
            EXPECT_TRUE(complaint.isEmpty()) << complaint.toStdString();
        }
        return generated;
    }
    // Compiles the unit into a program whose body is body, runs it and
    // answers its output split at white space.
    QStringList RunUnit(const QString& body, const QString& name = QStringLiteral("Generated")) {
        const TGenerated generated = GenerateUnit(name);
        TFpcHarness fpc;
        fpc.Add(name, generated.Text);
        QString output;
        const QString failure = fpc.CompileAndRun(body, &output);
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
        return output.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    }
};
