// Names and references shown on a sheet: the reference sign of a used name,
// the pictures at the left of names and references, the frames of the bare
// kinds, "<create here>" in an edited reference, and a picture for review
// ("names-review.png" in the build folder).

#include "elements/diNamingElements.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diUtils.h"
#include "support/testEnglish.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

// The sheet's root: its children stand in a column and name in its scope.
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
        Pad = 2;
        Field = static_cast<TNameField*>(TVisualElement::CreateSubElement(TNameField::StaticClass(), this, nullptr, this));
    }
};
T_ELEMENT_CLASS_IMPL(TElement_ShownDecl, TElement_TestBox)

// A reference to any name that joins its parent's column; applying the
// create-here item notes the text and types "New" over the selection.
template <class Base>
class TShownRef : public Base {
public:
    QString TextWhenApplied;
    bool CanReferTo(TNamespaceItem*) override { return true; }
    void TreePlacementChanged() override {
        Base::TreePlacementChanged();
        auto* parent = dynamic_cast<TVisualElement*>(this->Parent());
        if (parent && !this->VisualParent()) this->SetVisualParent(parent);
    }
    bool ApplyPaletteItem(TPaletteItem* item, const QString& sub, bool checked) override {
        if (item != this->CreateHereItem()) return Base::ApplyPaletteItem(item, sub, checked);
        TextWhenApplied = this->GetText();
        this->EnterText(TEnterMode::Selection, TTextorRange{}, false, QStringLiteral("New"));
        return true;
    }
};

class TElement_ShownRef : public TShownRef<TReferenceElement> {
    T_ELEMENT_CLASS(TElement_ShownRef)
};
T_ELEMENT_CLASS_IMPL(TElement_ShownRef, TReferenceElement)

class TElement_ShownRefField : public TShownRef<TReferenceField> {
    T_ELEMENT_CLASS(TElement_ShownRefField)
};
T_ELEMENT_CLASS_IMPL(TElement_ShownRefField, TReferenceField)

namespace {

// A picture with pixels of full cover (the bullet of the char images).
int BulletImage() { return DefaultCharImage() + 1; }

QRect SheetRect(const TVisualElement* e) { return QRect(e->ClientToSheet(QPoint(0, 0)), QSize(e->Width(), e->Height())); }

class NamesOnSheet : public ::testing::Test, public TSheetFixture {
protected:
    NamesOnSheet() : TSheetFixture(TElement_ShownNamesRoot::StaticClass()) { root->Gap = 6; }

    TElement_ShownDecl* Decl(const QString& name, int image = -1) {
        auto* decl = TElement::CreateIn<TElement_ShownDecl>(scheme.get(), root);
        decl->Field->SetImageIndex(image);
        decl->Field->SetText(name);
        return decl;
    }
    template <class R = TElement_ShownRef>
    R* Ref(const QString& text) {
        auto* ref = TElement::CreateIn<R>(scheme.get(), root);
        ref->SetText(text);
        return ref;
    }
    QImage Shot(const TVisualElement* e) {
        Layout();
        return sheet.PaintToImage(TRect{0, 0, 600, 400}).copy(SheetRect(e));
    }
    // Whether every fully covered pixel of the picture appears in shot at
    // one place near its left edge.
    static bool ShowsPicture(const QImage& shot, int index) {
        const QImage picture = SchemeCharImages().Image(index).convertToFormat(QImage::Format_ARGB32);
        for (int top = 0; top + picture.height() <= shot.height(); ++top)
            for (int left = 0; left < 24 && left + picture.width() <= shot.width(); ++left) {
                bool all = true;
                for (int y = 0; y < picture.height() && all; ++y)
                    for (int x = 0; x < picture.width() && all; ++x)
                        if (qAlpha(picture.pixel(x, y)) == 255) all = shot.pixel(left + x, top + y) == picture.pixel(x, y);
                if (all) return true;
            }
        return false;
    }
    static QString SignHint(TNameField* field) {
        QString hint;
        if (field->ReferenceSign()) field->ReferenceSign()->GetHint(hint);
        return hint;
    }
    static QString CountText(int count) { return LoadStrFmt(strReferenceCount, {QString::number(count)}); }
    // The sign overlaps the field's lower left corner.
    static bool SignAtCorner(TNameField* field) {
        const QRect sign = SheetRect(field->ReferenceSign());
        return sign.contains(field->ClientToSheet(QPoint(0, field->Height() - 1))) &&
               sign.right() < field->ClientToSheet(QPoint(kReferenceSignOverlap, 0)).x();
    }

    TEnglishTexts english;
};

TEST_F(NamesOnSheet, SignComesWithTheFirstReferenceAndGoesWithTheLastThroughUndoAndRedo) {
    TNameField* field = Decl(QStringLiteral("Alpha"))->Field;
    TElement_ShownRef* first = Ref(QString());
    EXPECT_EQ(field->ReferenceSign(), nullptr);

    first->EnterText(TEnterMode::All, TTextorRange{}, false, QStringLiteral("Alpha"));
    ASSERT_NE(field->ReferenceSign(), nullptr);
    EXPECT_EQ(field->ReferenceSign()->VisualParent(), sheet.Root());
    EXPECT_TRUE(SignHint(field).endsWith(CountText(1)));
    EXPECT_TRUE(SignAtCorner(field));
    TElement_ShownRef* second = Ref(QStringLiteral("Alpha"));
    EXPECT_TRUE(SignHint(field).endsWith(CountText(2)));

    field->VisualParent()->SetPosition(30, 70);
    EXPECT_TRUE(SignAtCorner(field)) << "the sign follows its field";
    second->ClearText();
    EXPECT_TRUE(SignHint(field).endsWith(CountText(1)));
    first->ClearText();
    EXPECT_EQ(field->ReferenceSign(), nullptr);

    history.Undo();
    ASSERT_NE(field->ReferenceSign(), nullptr);
    EXPECT_TRUE(SignHint(field).endsWith(CountText(1)));
    history.Redo();
    EXPECT_EQ(field->ReferenceSign(), nullptr);
    history.Undo();
    history.Undo();
    EXPECT_TRUE(SignHint(field).endsWith(CountText(2)));
}

TEST_F(NamesOnSheet, NameImageShownOnlyWhileFilledWithItsOption) {
    TNameField* field = Decl(QString(), BulletImage())->Field;
    field->SetNameOptions(field->NameOptions() | noImageWhenFilled);
    const int emptyWidth = field->Width();
    EXPECT_FALSE(ShowsPicture(Shot(field), BulletImage()));

    field->SetText(QStringLiteral("Named"));
    EXPECT_TRUE(ShowsPicture(Shot(field), BulletImage()));
    field->SetNameOptions(field->NameOptions() & ~noImageWhenFilled);
    field->SetText(QString());
    EXPECT_TRUE(ShowsPicture(Shot(field), BulletImage()));
    EXPECT_GT(field->Width(), emptyWidth) << "the picture has its room";
}

TEST_F(NamesOnSheet, TargetImageShownOnlyWithItsOption) {
    Decl(QStringLiteral("Alpha"), BulletImage());
    TElement_ShownRef* ref = Ref(QStringLiteral("Alpha"));
    const int withImage = ref->Width();
    EXPECT_TRUE(ShowsPicture(Shot(ref), BulletImage()));

    ref->SetReferenceOptions(ref->ReferenceOptions() & ~roTargetImage);
    EXPECT_FALSE(ShowsPicture(Shot(ref), BulletImage()));
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
    TNameField* used = Decl(QStringLiteral("UsedWithImage"), BulletImage())->Field;
    TNameField* plain = Decl(QStringLiteral("PlainName"))->Field;
    TNameField* empty = Decl(QString(), BulletImage())->Field;
    empty->SetNameOptions(empty->NameOptions() | noImageWhenFilled);
    TElement_ShownRef* standAlone = Ref(QStringLiteral("UsedWithImage"));
    auto* field = Ref<TElement_ShownRefField>(QStringLiteral("PlainName"));
    Layout();
    EXPECT_EQ(plain->GetThemeKind(), tekName);
    EXPECT_EQ(standAlone->GetThemeKind(), tekSubstitution);
    EXPECT_EQ(field->GetThemeKind(), tekField);
    ASSERT_NE(used->ReferenceSign(), nullptr);

    const QRect all = SheetRect(root).adjusted(0, 0, 20, 20);
    const QImage image = sheet.PaintToImage(TRect{0, 0, all.right(), all.bottom()});
    EXPECT_TRUE(ShowsPicture(image.copy(SheetRect(standAlone)), BulletImage()));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("names-review.png"));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

}  // namespace
