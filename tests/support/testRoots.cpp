#include "support/testRoots.h"

#if QUILLANE_TEST_LAYER >= 5

#include "support/testStop.h"

T_ELEMENT_CLASS_IMPL(TElement_TestFileRoot, TRoot)

void TElement_TestFileRoot::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_FileConnection::StaticClass() << TElement_Text::StaticClass() << MoreAccepted;
    TRoot::FillAcceptedClasses(list);
}

TScheme* TTestFiles::Add(const QString& fileName) {
    m_schemes.insert(m_schemes.begin(),
                     std::make_unique<TScheme>(TElement_TestFileRoot::StaticClass(), QStringLiteral("TestFile")));
    TScheme* scheme = m_schemes.front().get();
    scheme->SetFileName(fileName);
    scheme->OnGetConnectedScheme = [this](TScheme*, const QString& name, TScheme*& answer) {
        Asked << name;
        if (RaiseId) throw Exception::FromId(RaiseId, {name});
        for (const auto& file : m_schemes)
            if (file->FileName() == name) answer = file.get();
    };
    return scheme;
}

namespace {
template <class T>
T* AddAtEnd(TTextorElement* text) {
    return Found(dynamic_cast<T*>(text->AddElementOfClass(T::StaticClass(), false)), T::StaticClass()->ClassName());
}
}  // namespace

TElement_Text* AddText(TScheme* scheme, const QString& name, const QString& value) {
    auto* text = AddAtEnd<TElement_Text>(TTestFiles::RootOf(scheme));
    text->NameField()->SetText(name);
    if (!value.isNull()) text->ValueField()->SetText(value);
    return text;
}

TElement_FileConnection* AddConnection(TScheme* scheme, const QString& name, const QString& fileName) {
    auto* connection = AddAtEnd<TElement_FileConnection>(TTestFiles::RootOf(scheme));
    connection->NameField()->SetText(name);
    connection->FileNameField()->SetValue(fileName);
    return connection;
}

TElement_Substitution* AddSubstitution(TElement_Text* text, const QString& name) {
    auto* substitution = AddAtEnd<TElement_Substitution>(text->ValueField());
    substitution->SetText(name);
    return substitution;
}

#endif
