#include "support/testRoots.h"

#if QUILLANE_TEST_LAYER >= 5

#include "core/cuClasses.h"
#include "support/testStop.h"

T_ELEMENT_CLASS_IMPL(TElement_TestFileRoot, TRoot)

void TElement_TestFileRoot::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_FileConnection::StaticClass() << TElement_Text::StaticClass();
    TRoot::FillAcceptedClasses(list);
}

TTestFiles::~TTestFiles() {
    while (!m_schemes.empty()) m_schemes.pop_back();
}

TScheme* TTestFiles::Add(const QString& fileName, const TElementClass* rootClass) {
    auto scheme = std::make_unique<TScheme>(rootClass ? rootClass : TElement_TestFileRoot::StaticClass(),
                                            QStringLiteral("TestFile"));
    scheme->SetFileName(fileName);
    scheme->OnGetConnectedScheme = [this](TScheme* sender, const QString& name, TScheme*& answer) {
        Answer(sender, name, answer);
    };
    m_schemes.push_back(std::move(scheme));
    return m_schemes.back().get();
}

TScheme* TTestFiles::Find(const QString& fileName) const {
    for (const auto& scheme : m_schemes)
        if (scheme->FileName() == fileName) return scheme.get();
    return nullptr;
}

void TTestFiles::Answer(TScheme*, const QString& fileName, TScheme*& scheme) {
    Asked << fileName;
    if (RaiseId) throw Exception::FromId(RaiseId, {fileName});
    scheme = Find(fileName);
}

namespace {
template <class T>
T* AddAtEnd(TTextorElement* text, const char* what) {
    return Found(dynamic_cast<T*>(text->AddElementOfClass(T::StaticClass(), false)), what);
}
}  // namespace

TElement_Text* AddText(TScheme* scheme, const QString& name, const QString& value) {
    auto* text = AddAtEnd<TElement_Text>(TTestFiles::RootOf(scheme), "the new text");
    text->NameField()->SetText(name);
    if (!value.isNull()) text->ValueField()->SetText(value);
    return text;
}

TElement_FileConnection* AddConnection(TScheme* scheme, const QString& name, const QString& fileName) {
    auto* connection = AddAtEnd<TElement_FileConnection>(TTestFiles::RootOf(scheme), "the new file connection");
    connection->NameField()->SetText(name);
    connection->FileNameField()->SetText(fileName);
    return connection;
}

TElement_Substitution* AddSubstitution(TElement_Text* text, const QString& name) {
    auto* substitution = AddAtEnd<TElement_Substitution>(text->ValueField(), "the new substitution");
    substitution->SetText(name);
    return substitution;
}

#endif
