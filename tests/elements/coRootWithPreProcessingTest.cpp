// Roots with pre-processing: file connections and texts at the top level,
// handed on by the generator; the application's values seen through the
// root's own connection, which snapshots keep and files do not.

#include "elements/coRootWithPreProcessing.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "elements/coGeneratorWorker.h"
#include "elements/coValueElements.h"
#include "scheme/diFilers.h"
#include "support/testEnglish.h"
#include "support/testStop.h"

#include <gtest/gtest.h>

namespace {

const QString kConnectionNode = QStringLiteral("ApplicationInsideValuesNamespaceConnection");

// Records where the run hands each top-level element.
class TRecordingWorker : public TSchemeGeneratorWorker {
public:
    QStringList Calls;
    void GenerateElement(TElement* element) override { Calls << "element:" + element->GetTypeName(); }
    void GenerateFileConnection(TElement* element) override { Calls << "connection:" + element->GetTypeName(); }
    void GenerateText(TElement* element) override { Calls << "text:" + element->GetTypeName(); }
};

class RootWithPreProcessing : public ::testing::Test {
protected:
    TEnglishTexts english;
    TScheme scheme{TRootWithPreProcessing::StaticClass(), QStringLiteral("Processed")};

    TRootWithPreProcessing* Root() const { return static_cast<TRootWithPreProcessing*>(scheme.Root()); }
    template <class T>
    T* Append() {
        return Found(dynamic_cast<T*>(Root()->AddElementOfClass(T::StaticClass(), false)), T::StaticClass()->ClassName());
    }
    TElement_Text* Text(const QString& name) {
        auto* text = Append<TElement_Text>();
        text->NameField()->SetText(name);
        return text;
    }
    TNodePtr<TKnot> Saved(uint8_t mode) const {
        TNodePtr<TKnot> knot = TKnot::Create(QStringLiteral("Processed"));
        Root()->SaveToKnot(knot.get(), mode, 0);
        return knot;
    }
};

}  // namespace

TEST_F(RootWithPreProcessing, TakesFileConnectionsAndTextsAtTheTopLevelAndTheGeneratorHandsThemOn) {
    TElementClassList accepted;
    Root()->GetAcceptedClasses(accepted);
    EXPECT_TRUE(accepted.contains(TElement_FileConnection::StaticClass()));
    EXPECT_TRUE(accepted.contains(TElement_Text::StaticClass()));
    Append<TElement_FileConnection>();
    Text(QStringLiteral("Caption"));

    TRecordingWorker worker;
    worker.Root = Root();
    worker.Generate();
    EXPECT_EQ(worker.Calls, QStringList({"connection:FileConnection", "text:Text"})) << "the root's parts are no content";
}

// The connection passes private items: the application's values are private
// themselves, so a public-only connection would hide every one of them.
TEST_F(RootWithPreProcessing, TheApplicationsValuesResolveInsideTheSchemeAndAnswerPrivate) {
    TElement_Text* caption = Text(QStringLiteral("Caption"));
    auto* name = Found(dynamic_cast<TElement_Substitution*>(
                           caption->ValueField()->AddElementOfClass(TElement_Substitution::StaticClass(), false)),
                       "the substitution");
    name->SetText(QStringLiteral("ApplicationName"));
    auto* value = dynamic_cast<TApplicationNameValueElement*>(name->ValueSource());
    ASSERT_NE(value, nullptr) << "ApplicationName resolves";
    EXPECT_EQ(value->GetValue(), LoadStr(strProductName));
    TNamespaceItem* version = Found(Root()->GetNamespace()->FindItemByName(QStringLiteral("ApplicationVersion")),
                                    "ApplicationVersion");
    EXPECT_EQ(version->GetVisibility(), 1);
    EXPECT_EQ(Root()->ApplicationValuesConnection()->Owner(), Root()->GetNamespace());
}

TEST_F(RootWithPreProcessing, SnapshotsKeepTheConnectionAndLoadItBackIntoTheSameConnectionFilesLeaveItOut) {
    TNamespaceConnection* connection = Root()->ApplicationValuesConnection();
    EXPECT_EQ(Saved(fmFile)->FindChild(kConnectionNode), nullptr);
    TNodePtr<TKnot> snapshot = Saved(fmSnapshot);
    TKnot* stored = Found(snapshot->FindChild(kConnectionNode), "the stored connection");
    EXPECT_EQ(stored->ReadInt(QStringLiteral("ID"), 0), connection->Number());

    TScheme copy(TRootWithPreProcessing::StaticClass(), QStringLiteral("Processed"));
    auto* copyRoot = static_cast<TRootWithPreProcessing*>(copy.Root());
    copyRoot->LoadFromKnot(snapshot.get(), fmSnapshot, 0);
    EXPECT_EQ(copyRoot->ApplicationValuesConnection()->Number(), connection->Number());
    EXPECT_EQ(copyRoot->ApplicationValuesConnection()->Target(), ApplicationValuesNamespace());
    EXPECT_NE(copyRoot->GetNamespace()->FindItemByName(QStringLiteral("ApplicationName")), nullptr);
}
