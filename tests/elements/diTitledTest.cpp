// Titled elements: margins collapsing, item offsets in their rows, rows
// ending, and the layout of titled elements on a theme of fixed zones,
// paddings and margins with items of fixed size (no font widths).

#include "elements/diSimpleElements.h"
#include "elements/diTitled.h"
#include "support/testElements.h"
#include "support/testVisualElements.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegion>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <optional>
#include <vector>

// ---------------------------------------------------------------------------
// Arranging measured items

TEST(TitleArrange, MarginsCollapse) {
    struct Row {
        int first, second, space;
    };
    for (const Row& row : {Row{4, 6, 6}, Row{6, 4, 6}, Row{4, -2, 2}, Row{-4, 2, 0}, Row{-4, -2, 0}, Row{0, 0, 0}})
        EXPECT_EQ(CollapseMargins(row.first, row.second), row.space) << row.first << " " << row.second;
}

TEST(TitleArrange, VerticalOffsetByItemKindAndAlignment) {
    // A row 30 high whose reference is 20; each item is 10 high (d = 10).
    const TTitleRow row{0, 1, 0, 30, 20, 0, 0};
    struct Case {
        TTitleItemKind kind;
        TTitleAlign align;
        int offset;
    };
    const Case cases[] = {
        {TTitleItemKind::Text, TTitleAlign::Centre, 6},
        {TTitleItemKind::Space, TTitleAlign::Centre, 5},
        {TTitleItemKind::SmallImage, TTitleAlign::Centre, 5},
        {TTitleItemKind::Separator, TTitleAlign::Centre, 5},
        {TTitleItemKind::InlineElement, TTitleAlign::Top, 0},
        {TTitleItemKind::InlineElement, TTitleAlign::Centre, 5},
        {TTitleItemKind::Field, TTitleAlign::Bottom, 20},
        {TTitleItemKind::Block, TTitleAlign::Centre, 0},
    };
    for (const Case& c : cases) {
        TTitleItem item;
        item.Kind = c.kind;
        item.Align = c.align;
        item.Height = 10;
        EXPECT_EQ(TitleItemOffset(item, row), c.offset) << int(c.kind) << " " << int(c.align);
    }
    TTitleItem tall;
    tall.Kind = TTitleItemKind::Text;
    tall.Height = 25;
    EXPECT_EQ(TitleItemOffset(tall, row), 0);
}

namespace {
TTitleItem& AddFixed(TTitleWriter& writer, int width, int height, TRect margins) {
    TTitleItem& item = writer.AddField(nullptr);
    item.Width = width;
    item.Height = height;
    item.Margins = margins;
    return item;
}
}  // namespace

TEST(TitleArrange, ItemsPlacedThroughCollapsedMarginsAndNegativeMarginsOverlap) {
    TTitleWriter writer;
    AddFixed(writer, 30, 12, {4, 2, 4, 2});
    AddFixed(writer, 20, 8, {6, 1, -2, 1});  // centred: 2 down; its right margin pulls the row end in
    writer.NewLine();
    AddFixed(writer, 10, 10, {-4, 0, 0, 0});  // meets the padding with a negative margin: no space
    const TTitleArrangement a = ArrangeTitle(writer.Items(), TRect{4, 3, 5, 6});
    ASSERT_EQ(a.Rows.size(), 2u);
    EXPECT_EQ(a.Places[0], QPoint(4, 3));
    EXPECT_EQ(a.Places[1], QPoint(40, 5));
    EXPECT_EQ(a.Places[2], QPoint(0, 17));  // the first row's bottom overflow 2 collapses with 0
    EXPECT_EQ(a.Size, QSize(61, 33));
}

TEST(TitleArrange, RowsEndAfterNewLineAndAfterEveryBlock) {
    TTitleWriter writer;
    writer.AddSpace(5);
    writer.AddSpace(5);
    writer.NewLine();
    writer.AddSpace(5);
    writer.AddBlock(nullptr);
    writer.AddSpace(5);
    writer.NewLine();  // the last item: ends nothing further
    writer.NewLine();
    const TTitleArrangement a = ArrangeTitle(writer.Items(), TRect{});
    ASSERT_EQ(a.Rows.size(), 3u);
    EXPECT_EQ(a.Rows[0].End, 2);
    EXPECT_EQ(a.Rows[1].End, 4);
    EXPECT_EQ(a.Rows[2].End, 5);
}

// ---------------------------------------------------------------------------
// Titled elements on a sheet

// A child of fixed size: its title size, margins and first-row height are set by the test.
class TElement_TitledFixedItem : public TVisualElement, public ITitleElement {
    T_ELEMENT_CLASS(TElement_TitledFixedItem)
public:
    QSize TitleSize{50, 10};
    TRect Margins;
    int Reference = 0;

    QSize GetTitleSize() override { return TitleSize; }
    int GetTitleDescent() override { return 0; }
    TRect GetMargins() override { return Margins; }
    void UpdateLayout(bool, bool, bool, bool) override {}
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override {
        if (msg == nmFirstRowHeight && Reference) {
            *reinterpret_cast<int*>(p1) = Reference;
            return true;
        }
        return TVisualElement::HandleNodeMessage(msg, p1, p2);
    }
};
T_ELEMENT_CLASS_IMPL(TElement_TitledFixedItem, TVisualElement)

// A titled kind whose content is a fixed item (reached only when the
// constructor steps run in the virtual Create) and whose title the test writes.
class TElement_TitledProbe : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_TitledProbe)
public:
    std::function<void(TTitleWriter&)> Title;
    bool ContentInTitle = false;

    const TElementClass* GetContentClass() override { return TElement_TitledFixedItem::StaticClass(); }
    void Create() override {
        TTitledElementWithContent::Create();
        SetVisualOptions(uint16_t(VisualOptions() | voFreePosition));
        CreateExpandButton(true);
    }
    void WriteTitle(TTitleWriter& writer) override {
        if (Title) Title(writer);
        if (ContentInTitle && IsExpanded()) writer.AddBlock(Content());
    }
    TElement_TitledFixedItem* FixedContent() const { return static_cast<TElement_TitledFixedItem*>(Content()); }
};
T_ELEMENT_CLASS_IMPL(TElement_TitledProbe, TTitledElementWithContent)

// A titled kind with the default content, a text container, as its only title item.
class TElement_TitledTextProbe : public TTitledElementWithContent {
    T_ELEMENT_CLASS(TElement_TitledTextProbe)
public:
    void WriteTitle(TTitleWriter& writer) override { writer.AddBlock(Content()); }
};
T_ELEMENT_CLASS_IMPL(TElement_TitledTextProbe, TTitledElementWithContent)

namespace {

// Named per process: CTest runs the tests of this program side by side.
QString TitledThemeName() {
    return QStringLiteral("TitledLayoutTest%1").arg(QCoreApplication::applicationPid());
}

// A theme file whose "Element" has zones 12 (minimum 24 x 24), padding
// 4, 3, 5, 6 and whose "Line" is 5 high with margins 2, 9, 2, 11.
struct TTitledThemeFile {
    QString text = GetThemesFolder() + TitledThemeName() + ".txt";
    QString image = GetThemesFolder() + TitledThemeName() + ".png";
    TTitledThemeFile() {
        QDir().mkpath(GetThemesFolder());
        QImage picture(32, 32, QImage::Format_ARGB32);
        picture.fill(qRgba(90, 90, 90, 255));
        picture.save(image);
        QFile file(text);
        file.open(QIODevice::WriteOnly);
        file.write("<ThemeInfo>\r\n"
                   "\t<Element Cut=0,0,15,15 Zone=12,12,12,12 Padding=4,3,5,6 Margins=0,0,0,0/>\r\n"
                   "\t<Line Cut=16,0,23,4 Margins=2,9,2,11/>\r\n"
                   "</ThemeInfo>\r\n");
    }
    ~TTitledThemeFile() {
        QFile::remove(text);
        QFile::remove(image);
    }
};

}  // namespace

class TitledLayout : public ::testing::Test {
protected:
    TitledLayout() {
        fixture.settings->ThemeProperty()->SetValue(TitledThemeName());
        probe = TElement::CreateIn<TElement_TitledProbe>(fixture.scheme.get(), fixture.root);
        probe->SetVisualParent(fixture.root);
    }
    // A fixed inline item of the probe, shown in its title.
    TElement_TitledFixedItem* AddItem(int width, int height, TRect margins) {
        auto* item = static_cast<TElement_TitledFixedItem*>(
            TVisualElement::CreateSubElement(TElement_TitledFixedItem::StaticClass(), probe, nullptr, probe));
        item->SetSize(width, height);
        item->Margins = margins;
        return item;
    }
    void Layout() { fixture.Layout(); }
    QSize Size() const { return QSize(probe->Width(), probe->Height()); }
    int CodeDescent() { return fixture.settings->GetCodeTextAttributes()->GetDescent(); }

    TTitledThemeFile themeFile;
    TSheetFixture fixture;
    TElement_TitledProbe* probe = nullptr;
};

TEST_F(TitledLayout, ContentContainerIsOfTheClassTheKindNames) {
    EXPECT_EQ(probe->Content()->ElementClass(), TElement_TitledFixedItem::StaticClass());
    EXPECT_EQ(probe->GetContentContainer(), probe->Content());
}

TEST_F(TitledLayout, MinimumSizeFromThemeZonesAndStoredSizeOnlyWhileExpanded) {
    probe->SetExpanded(false);
    Layout();
    // An empty title: the padding alone needs 9 x 9, the zones 24 x 24.
    EXPECT_EQ(Size(), QSize(24, 24));
    probe->SetStoredSize(300, 200);
    EXPECT_EQ(Size(), QSize(24, 24));  // collapsed: shrinks to its title
    probe->SetExpanded(true);
    EXPECT_EQ(Size(), QSize(300, 200));
    probe->SetExpanded(false);
    EXPECT_EQ(Size(), QSize(24, 24));
}

TEST_F(TitledLayout, ContentContainerTakesTheHeightShortfallAndTheWidthToTheRightPadding) {
    probe->ContentInTitle = true;
    probe->SetStoredSize(300, 200);
    Layout();
    const TRect content = probe->Content()->GetBoundsRect();
    // The title needs 3 + 10 + 6; the block gets the other 181.
    EXPECT_EQ(content.Left, 4);
    EXPECT_EQ(content.Right, 300 - 5);
    EXPECT_EQ(content.Bottom, 200 - 6);
    EXPECT_EQ(Size(), QSize(300, 200));
}

TEST_F(TitledLayout, SeparatorOnlyTitleIsAsHighAsTheLineWithItsMargins) {
    probe->Title = [](TTitleWriter& writer) { writer.AddSeparator(); };
    Layout();
    EXPECT_EQ(probe->Height(), 9 + 5 + 11);  // margins collapsed with padding 3 and 6
    EXPECT_EQ(probe->Width(), 24);
}

TEST_F(TitledLayout, ItemsPlacedInTheirRowsByReferenceAndAlignment) {
    TElement_TitledFixedItem* tall = AddItem(30, 20, {});
    TElement_TitledFixedItem* small = AddItem(10, 6, {2, 0, 0, 0});
    TElement_TitledFixedItem* low = AddItem(10, 6, {});
    tall->Reference = 14;
    probe->Title = [&](TTitleWriter& writer) {
        writer.AddField(tall);
        writer.AddField(small);
        writer.AddField(low, TTitleAlign::Bottom);
    };
    Layout();
    // Row: height 20, reference 14, d = 8 for the small items.
    EXPECT_EQ(tall->GetBoundsRect(), (TRect{4, 3, 34, 23}));
    EXPECT_EQ(small->GetBoundsRect(), (TRect{36, 7, 46, 13}));
    EXPECT_EQ(low->GetBoundsRect(), (TRect{46, 17, 56, 23}));
    EXPECT_EQ(Size(), QSize(61, 29));
    tall->SetSize(30, 30);  // a child growing re-lays its owner
    EXPECT_EQ(Size(), QSize(61, 39));
}

TEST_F(TitledLayout, DescentFromTheLastVisibleChildOrTheCodeText) {
    TElement_TitledFixedItem* item = AddItem(10, 10, {0, 0, 0, 2});
    bool shown = true;
    probe->Title = [&](TTitleWriter& writer) {
        if (shown) writer.AddField(item);
    };
    item->SetBounds(0, 0, 10, 10, 40);
    Layout();
    EXPECT_EQ(probe->Descent(), 6 + 40);
    shown = false;
    probe->UpdateTitleLayout();
    EXPECT_FALSE(item->IsVisible());
    EXPECT_EQ(probe->Descent(), 6 + CodeDescent());
}

// A title laid out again shows the children it writes now and hides the rest,
// whether it writes the same ones as before, one of them twice, or others.
TEST_F(TitledLayout, ChildrenShowWhileTheTitleWritesThemAndHideOnceItStops) {
    TElement_TitledFixedItem* a = AddItem(10, 10, {});
    TElement_TitledFixedItem* b = AddItem(10, 10, {});
    std::vector<TElement_TitledFixedItem*> written;
    probe->Title = [&](TTitleWriter& writer) {
        for (TElement_TitledFixedItem* item : written) writer.AddField(item);
    };
    const std::vector<TElement_TitledFixedItem*> steps[] = {{a, b}, {a, b}, {a, a}, {b}, {b, a}, {}, {a}};
    Layout();
    for (const auto& step : steps) {
        written = step;
        probe->UpdateTitleLayout();
        for (TElement_TitledFixedItem* item : {a, b}) {
            const bool isWritten = std::find(step.begin(), step.end(), item) != step.end();
            EXPECT_EQ(item->IsVisible(), isWritten) << (item == a ? "a" : "b") << " after " << step.size() << " items";
        }
    }
}

TEST_F(TitledLayout, BlockNarrowerThanItsPlaceGetsNoNegativeWidth) {
    probe->ContentInTitle = true;
    probe->FixedContent()->TitleSize = QSize(0, 10);
    probe->FixedContent()->Margins = TRect{100, 0, -10, 0};
    Layout();
    EXPECT_LT(probe->Width(), probe->Content()->Left());
    EXPECT_EQ(probe->Content()->Width(), 0);
}

TEST_F(TitledLayout, StoredSizeBeyondTheSheetIsClampedSoTheRightEdgeCannotOverflow) {
    probe->SetStoredSize(INT_MAX, -5);
    EXPECT_EQ(probe->StoredWidth(), kSheetUnlimited);
    EXPECT_EQ(probe->StoredHeight(), 0);
    probe->LoadFromKnot(KnotFromText("<TitledProbe Width=2147483647 Height=-1/>\r\n").get(), fmFile, 0);
    EXPECT_EQ(probe->StoredWidth(), kSheetUnlimited);
    EXPECT_EQ(probe->StoredHeight(), 0);
    Layout();
    EXPECT_GT(probe->GetBoundsRect().Right, probe->Left());
}

TEST_F(TitledLayout, ThemeElementKindByTheFirstStyleBitSet) {
    struct Row {
        uint8_t style;
        int kind;
    };
    for (const Row& row : {Row{0, tekElement}, Row{tsRichChild, tekElement}, Row{tsCommand | tsTechnical, tekElementCommand},
                           Row{tsTechnical | tsExpression, tekElementTechnical}, Row{tsExpression, tekElementExpression}}) {
        probe->SetStyleFlags(row.style);
        EXPECT_EQ(probe->GetThemeElementKind(), row.kind) << int(row.style);
    }
}

TEST_F(TitledLayout, TextContainerReportsItsTextSizeAndRelaysItsOwnerWhenItGrows) {
    auto* owner = TElement::CreateIn<TElement_TitledTextProbe>(fixture.scheme.get(), fixture.root);
    owner->SetVisualParent(fixture.root);
    auto* text = dynamic_cast<TTitledTextContainer*>(owner->Content());
    ASSERT_NE(text, nullptr);
    text->SetText("a");
    Layout();
    EXPECT_GT(text->GetTitleSize().height(), 0);
    EXPECT_EQ(text->GetBoundsRect().Bottom, owner->Height() - 6);  // with the shortfall to the zones' 24
    const int narrow = owner->Width();
    text->SetText(QString(60, QChar('w')));
    EXPECT_GT(owner->Width(), narrow);
    EXPECT_EQ(text->Width(), owner->Width() - 4 - 5);
    owner->FocusFirst();  // a focusable container takes the focus
    EXPECT_EQ(fixture.sheet.Focused(), text);
    // A delegating text tells its titled holder, which then re-lays itself on every request.
    text->SetTextorOptions(text->TextorOptions() | toDelegating);
    EXPECT_TRUE(owner->StyleFlags() & tsRichChild);
}

namespace {

// The rectangles a sheet hands on to repaint while the recorder lives (none: all of it).
class TRepaintedArea {
public:
    explicit TRepaintedArea(TSheet& sheet) : m_sheet(sheet) { sheet.AddHandler(Handler()); }
    ~TRepaintedArea() { m_sheet.RemoveHandler(Handler()); }
    TRepaintedArea(const TRepaintedArea&) = delete;
    TRepaintedArea& operator=(const TRepaintedArea&) = delete;

    bool IsEmpty() const { return !m_all && m_area.isEmpty(); }
    // Whether every pixel of rect (sheet coordinates) is repainted.
    bool Covers(const TRect& rect) const {
        return m_all || (QRegion(rect.Left, rect.Top, rect.Width(), rect.Height()) - m_area).isEmpty();
    }

private:
    THandler Handler() { return MakeHandler<&TRepaintedArea::OnMsg>(this); }
    void OnMsg(TItfObject*, int msg, intptr_t p1, intptr_t) {
        if (msg != snRepaint) return;
        if (!p1) {
            m_all = true;
            return;
        }
        const TRect& r = *reinterpret_cast<const TRect*>(p1);
        m_area += QRect(r.Left, r.Top, r.Width(), r.Height());
    }
    TSheet& m_sheet;
    QRegion m_area;
    bool m_all = false;
};

TRect AreaInSheet(const TVisualElement* e) {
    const QPoint at = e->ClientToSheet(QPoint(0, 0));
    return TRect{at.x(), at.y(), at.x() + e->Width(), at.y() + e->Height()};
}

}  // namespace

// A layout that changes what the title paints repaints all of the element's
// old and new area, whether its size changes with it or not; one that
// changes nothing repaints nothing.
TEST_F(TitledLayout, ATitleWhosePictureChangesRepaintsAllOfItsOldAndNewArea) {
    QString text = "abcdef";
    probe->Title = [&](TTitleWriter& writer) { writer.AddText(text); };
    Layout();
    struct TStep {
        const char* text;
        bool sameWidth;
    };
    for (const TStep& step : {TStep{"fedcba", true}, TStep{"fedcbawwwwww", false}, TStep{"f", false}}) {
        SCOPED_TRACE(step.text);
        const TRect oldArea = AreaInSheet(probe);
        text = step.text;
        TRepaintedArea repainted(fixture.sheet);
        probe->UpdateTitleLayout();
        EXPECT_EQ(probe->Width() == oldArea.Width(), step.sameWidth);
        EXPECT_TRUE(repainted.Covers(oldArea));
        EXPECT_TRUE(repainted.Covers(AreaInSheet(probe)));
    }
    TRepaintedArea repainted(fixture.sheet);
    probe->UpdateTitleLayout();
    EXPECT_TRUE(repainted.IsEmpty()) << "nothing changed";
}
