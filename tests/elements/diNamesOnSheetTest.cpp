// Names and references shown on a sheet: the reference sign of a used name,
// the pictures at the left of names and references, "<create here>" in an
// edited reference, and a picture for review ("names-review.png" in the
// build folder).

#include "elements/diNamingElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diUtils.h"
#include "support/testEnglish.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

// The sheet's root: a column of boxes that name in its scope.
class TElement_ShownNamesRoot : public TElement_TestBox, public INamespaceOwner {
    T_ELEMENT_CLASS(TElement_ShownNamesRoot)
public:
    TNamespace* GetNamespace() override {
        if (!m_scope) m_scope = TElement::CreateIn<TNamespace>(Scheme(), this);
        return m_scope;
    }

private:
    TNamespace* m_scope = nullptr;
};
T_ELEMENT_CLASS_IMPL(TElement_ShownNamesRoot, TElement_TestBox)

// A box around a bare name field.
class TElement_ShownDecl : public TElement_TestBox {
    T_ELEMENT_CLASS(TElement_ShownDecl)
public:
    TNameField* Field = nullptr;
    void Create() override {
        TElement_TestBox::Create();
        Field = static_cast<TNameField*>(TVisualElement::CreateSubElement(TNameField::StaticClass(), this, nullptr, this));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ShownDecl, TElement_TestBox)

// A reference to any name in its parent's column; the create-here item
// notes the text and types "New" over the selection.
class TElement_ShownRef : public TReferenceElement {
    T_ELEMENT_CLASS(TElement_ShownRef)
public:
    QString TextWhenApplied;
    bool CanReferTo(TNamespaceItem*) override { return true; }
    void TreePlacementChanged() override {
        TReferenceElement::TreePlacementChanged();
        if (!VisualParent()) SetVisualParent(static_cast<TVisualElement*>(Parent()));
    }
    bool ApplyPaletteItem(TPaletteItem* item, const QString& sub, bool checked) override {
        if (item != CreateHereItem()) return TReferenceElement::ApplyPaletteItem(item, sub, checked);
        TextWhenApplied = GetText();
        EnterText(TEnterMode::Selection, TTextorRange{}, false, QStringLiteral("New"));
        return true;
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ShownRef, TReferenceElement)

namespace {

// The bullet of the char images: it has pixels of full cover.
int Bullet() { return DefaultCharImage() + 1; }

QRect SheetRect(const TVisualElement* e) { return QRect(e->ClientToSheet(QPoint(0, 0)), QSize(e->Width(), e->Height())); }

// Whether every fully covered pixel of the bullet lies in shot at one place near its left edge.
bool ShowsBullet(const QImage& shot) {
    const QImage bullet = SchemeCharImages().Image(Bullet()).convertToFormat(QImage::Format_ARGB32);
    for (int top = 0; top + bullet.height() <= shot.height(); ++top)
        for (int left = 0; left < 24 && left + bullet.width() <= shot.width(); ++left) {
            bool all = true;
            for (int y = 0; y < bullet.height(); ++y)
                for (int x = 0; x < bullet.width(); ++x)
                    all = all && (qAlpha(bullet.pixel(x, y)) < 255 || shot.pixel(left + x, top + y) == bullet.pixel(x, y));
            if (all) return true;
        }
    return false;
}

class NamesOnSheet : public ::testing::Test, public TSheetFixture {
protected:
    NamesOnSheet() : TSheetFixture(TElement_ShownNamesRoot::StaticClass()) { root->Gap = 6; }

    TNameField* Decl(const QString& name, int image = -1) {
        auto* decl = TElement::CreateIn<TElement_ShownDecl>(scheme.get(), root);
        decl->Field->SetImageIndex(image);
        decl->Field->SetText(name);
        return decl->Field;
    }
    TElement_ShownRef* Ref(const QString& text) {
        auto* ref = TElement::CreateIn<TElement_ShownRef>(scheme.get(), root);
        ref->SetText(text);
        return ref;
    }
    QImage Shot(const TVisualElement* e) {
        Layout();
        return sheet.PaintToImage(TRect{0, 0, 600, 400}).copy(SheetRect(e));
    }
    // The sign's hint ends with the count; it overlaps the field's lower left corner.
    static bool SignCounts(TNameField* field, int count) {
        QString hint;
        field->ReferenceSign()->GetHint(hint);
        const QRect sign = SheetRect(field->ReferenceSign());
        return hint.endsWith(LoadStrFmt(strReferenceCount, {QString::number(count)})) &&
               sign.contains(field->ClientToSheet(QPoint(0, field->Height() - 1))) &&
               sign.right() < field->ClientToSheet(QPoint(kReferenceSignOverlap, 0)).x();
    }

    TEnglishTexts english;
};

TEST_F(NamesOnSheet, SignComesWithTheFirstReferenceAndGoesWithTheLastThroughUndoAndRedo) {
    TNameField* field = Decl(QStringLiteral("Alpha"));
    TElement_ShownRef* first = Ref(QString());
    EXPECT_EQ(field->ReferenceSign(), nullptr);
    first->EnterText(TEnterMode::All, TTextorRange{}, false, QStringLiteral("Alpha"));
    ASSERT_NE(field->ReferenceSign(), nullptr);
    EXPECT_EQ(field->ReferenceSign()->VisualParent(), sheet.Root());
    EXPECT_TRUE(SignCounts(field, 1));
    TElement_ShownRef* second = Ref(QStringLiteral("Alpha"));
    field->VisualParent()->SetPosition(30, 70);
    EXPECT_TRUE(SignCounts(field, 2)) << "the sign follows its field";

    second->ClearText();
    first->ClearText();
    EXPECT_EQ(field->ReferenceSign(), nullptr);
    history.Undo();
    ASSERT_NE(field->ReferenceSign(), nullptr);
    EXPECT_TRUE(SignCounts(field, 1));
    history.Redo();
    EXPECT_EQ(field->ReferenceSign(), nullptr);
}

TEST_F(NamesOnSheet, PicturesOfNamesAndTargetsOnlyWithTheirOptions) {
    TNameField* field = Decl(QString(), Bullet());
    field->SetNameOptions(field->NameOptions() | noImageWhenFilled);
    const int emptyWidth = field->Width();
    EXPECT_FALSE(ShowsBullet(Shot(field)));
    field->SetText(QStringLiteral("Named"));
    EXPECT_TRUE(ShowsBullet(Shot(field)));
    field->SetNameOptions(field->NameOptions() & ~noImageWhenFilled);
    field->SetText(QString());
    EXPECT_TRUE(ShowsBullet(Shot(field)));
    EXPECT_GT(field->Width(), emptyWidth) << "the picture has its room";

    field->SetText(QStringLiteral("Named"));
    TElement_ShownRef* ref = Ref(QStringLiteral("Named"));
    const int withImage = ref->Width();
    EXPECT_TRUE(ShowsBullet(Shot(ref)));
    ref->SetReferenceOptions(ref->ReferenceOptions() & ~roTargetImage);
    EXPECT_FALSE(ShowsBullet(Shot(ref)));
    EXPECT_LT(ref->Width(), withImage);
}

TEST_F(NamesOnSheet, CreateHereReplacesOnlyTheSelection) {
    TNodePtr<TSchemePaletteItem> item = MakeNode<TSchemePaletteItem>(uint16_t(0), -1, strCreateHere, 0, 1);
    TElement_ShownRef* ref = Ref(QStringLiteral("abcXYZdef"));
    ref->SetCreateHereItem(item.get());
    Layout();
    ref->FocusText(TTextFocusPlace::Data, QStringLiteral("0,3,0,6"));
    TNodePtr<TDropDownItem> list = MakeNode<TDropDownItem>();
    ref->FillDropDown(list.get());
    ASSERT_EQ(list->FirstItem()->Caption, LoadStr(strCreateHere));
    ASSERT_TRUE(ref->SelectDropDownItem(list->FirstItem()));
    EXPECT_EQ(ref->TextWhenApplied, QStringLiteral("abcdef"));
    EXPECT_EQ(ref->GetText(), QStringLiteral("abcNewdef"));
    history.Undo();
    EXPECT_EQ(ref->GetText(), QStringLiteral("abcXYZdef"));
    ref->SetCreateHereItem(nullptr);
}

TEST_F(NamesOnSheet, ReviewPictureOfNamesAndReferences) {
    TNameField* used = Decl(QStringLiteral("UsedWithImage"), Bullet());
    TNameField* plain = Decl(QStringLiteral("PlainName"));
    Decl(QString(), Bullet())->SetNameOptions(noRegister | noUnique | noImageWhenFilled);
    TElement_ShownRef* ref = Ref(QStringLiteral("UsedWithImage"));
    Layout();
    EXPECT_EQ(plain->GetThemeKind(), tekName);
    EXPECT_EQ(ref->GetThemeKind(), tekSubstitution);
    ASSERT_NE(used->ReferenceSign(), nullptr);
    const QImage image = sheet.PaintToImage(TRect{0, 0, root->Width() + 20, root->Height() + 20});
    EXPECT_TRUE(ShowsBullet(image.copy(SheetRect(ref))));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("names-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace
