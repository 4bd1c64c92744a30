#include "ui/diPaletteForm.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "platform/plImageCodecs.h"
#include "platform/plMessages.h"
#include "platform/plTimer.h"
#include "scheme/diClasses.h"
#include "scheme/diSheet.h"
#include "scheme/diUtils.h"
#include "scheme/diVisual.h"
#include "ui/baHintWindow.h"
#include "ui/baPainterStyles.h"
#include "ui/baSaper.h"
#include "ui/baStyledPainter.h"
#include "ui/baUserButtons.h"
#include "ui/diPaletteHintWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <optional>

// ---------------------------------------------------------------------------
// Settings

T_CLASS_IMPL(TPaletteFormSettings, TProperty)

namespace {
TNodePtr<TPaletteFormSettings> g_paletteFormSettings;
}  // namespace

void TPaletteFormSettings::CreateProperties() {
    m_showHeaders = TProperty::Create<TBooleanProperty>(this, QStringLiteral("ShowHeaders"), true);
    m_showCaptions = TProperty::Create<TBooleanProperty>(this, QStringLiteral("ShowCaptions"), true);
    m_showHints = TProperty::Create<TBooleanProperty>(this, QStringLiteral("ShowHints"), true);
}

TPaletteFormSettings* PaletteFormSettings() noexcept { return g_paletteFormSettings.get(); }

void InitPaletteFormUnit() {
    g_paletteFormSettings = TProperty::CreateRoot<TPaletteFormSettings>(QStringLiteral("PaletteForm"));
    g_paletteFormSettings->CreateProperties();
}

void FinalPaletteFormUnit() { g_paletteFormSettings.reset(); }

// ---------------------------------------------------------------------------
// Pure parts

namespace {

constexpr int kPanelLeft = 3;
constexpr int kPanelTop = 2;
constexpr int kHeaderGap = 3;
constexpr int kPanelRightRoom = 6;
constexpr int kHeaderTextRoom = 10;
constexpr int kFormBottomWithHeaders = 5;
constexpr int kFormBottomWithoutHeaders = 2;
constexpr int kFormLargeRoom = 4;
constexpr int kSmallRowsPerColumn = 3;
constexpr int kFitLevels = 4;
constexpr int kTrimmedButtons = 3;
constexpr int kKeyHintTop = 2;
constexpr int kLargeKeyHintInset = 4;
constexpr int kSmallKeyHintOutset = 2;
constexpr int kHintBelowButton = 2;
constexpr int kMinimumLargeWidthNumerator = 4;
constexpr int kMinimumLargeWidthDenominator = 5;
constexpr int kFirstPartNumerator = 3;
constexpr int kFirstPartDenominator = 5;
constexpr int kFirstPartExtra = 2;
constexpr TColor kDisabledFontColor = MakeColor(0xBA, 0xBA, 0xBA);
constexpr TRect kHotZones{3, 3, 3, 3};
constexpr TRect kPressedZones{3, 4, 3, 4};
constexpr TRect kGroupZones{0, 0, 3, 0};

int TextHeight(const QFont& font) { return QFontMetrics(font).height(); }

QImage ThemeImage(const char* name) {
    return ReadImageOfFormat(QStringLiteral(":/rc/%1.png").arg(QLatin1String(name)), "png");
}

bool SameInfo(const TPaletteItemInfo& a, const TPaletteItemInfo& b) {
    return a.Group == b.Group && a.Caption == b.Caption && a.SmallImage == b.SmallImage &&
           a.LargeImage == b.LargeImage && a.Flags == b.Flags && a.Display == b.Display && a.Letter == b.Letter;
}

}  // namespace

bool IsPaletteKeyCode(int key) noexcept {
    return key == vkSpace || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
}

QString PaletteKeyText(const QString& key) { return key == QStringLiteral(" ") ? LoadStr(strSpace) : key; }

QString PaletteHintText(const QString& caption, const QString& key, const QString& description) {
    QString text = caption;
    if (!key.isEmpty()) text += LoadStr(strCtrl).replace(QStringLiteral("%s"), PaletteKeyText(key));
    return text + QStringLiteral("\r\n") + description;
}

// ---------------------------------------------------------------------------
// Menu entries

TPaletteMenuItem::TPaletteMenuItem(TPaletteItem* item, QObject* parent) : QAction(parent), m_item(item) {}

void TPaletteMenuItem::JoinRadioGroup(QMenu& menu, int group) {
    m_radioGroup = group;
    setCheckable(true);
    QActionGroup* exclusive = nullptr;
    for (QAction* action : menu.actions())
        if (auto* entry = dynamic_cast<TPaletteMenuItem*>(action);
            entry && entry != this && entry->m_radioGroup == group && entry->actionGroup())
            exclusive = entry->actionGroup();
    if (!exclusive) {
        exclusive = new QActionGroup(&menu);
        exclusive->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
    exclusive->addAction(this);
}

TPaletteSubCommandMenuItem::TPaletteSubCommandMenuItem(TPaletteItem* item, QString subCommand, QObject* parent)
    : TPaletteMenuItem(item, parent), m_subCommand(std::move(subCommand)) {}

// ---------------------------------------------------------------------------
// TPaletteForm: creation

TPaletteForm::TPaletteForm(QWidget* parent, TPaletteFormSettings* settings)
    : QWidget(parent),
      m_settings(settings),
      m_stPaletteButton(new TPushStyler(this)),
      m_stPaletteGroupCaption(new TStaticStyler(this)),
      m_ptrSmallPaletteButton(new TStyledPainter(this)),
      m_ptrLargePaletteButton(new TStyledPainter(this)),
      m_ptrFirstPartPaletteButton(new TStyledPainter(this)),
      m_ptrSecondPartPaletteButton(new TStyledPainter(this)),
      m_ptrPaletteGroupCaption(new TStyledPainter(this)),
      m_tmCtrl(TTimerService::Make()),
      m_tmCtrlHints(TTimerService::Make()),
      m_hint(std::make_unique<TPaletteHintWindow>()) {
    setFont(QApplication::font("QMessageBox"));
    m_disabledSmall = TSchemeImages::CreateDisabled(SchemeSmallImages());
    m_disabledLarge = TSchemeImages::CreateDisabled(SchemeLargeImages());
    m_background = ThemeImage("PaletteBackground");
    m_groupImage = ThemeImage("PaletteGroup");
    CreateStyles();
    m_tmCtrl->SetOnTick([this] { RunGuarded("The palette's Ctrl keys", [&] { OnCtrlPoll(); }); });
    m_tmCtrlHints->SetOnTick([this] { RunGuarded("The palette's key hints", [&] { ShowKeyHints(); }); });
    if (TLocalization* localization = Localization())
        localization->AddHandler(MakeHandler<&TPaletteForm::OnLocalization>(this));
    if (m_settings) m_settings->AddHandler(MakeHandler<&TPaletteForm::OnSettings>(this));
    ComputeHeights();
}

TPaletteForm::~TPaletteForm() {
    if (m_sheet) m_sheet->RemoveHandler(MakeHandler<&TPaletteForm::OnSheet>(this));
    m_sheet = nullptr;
    HideKeyHints();
    if (m_settings) m_settings->RemoveHandler(MakeHandler<&TPaletteForm::OnSettings>(this));
    if (TLocalization* localization = Localization())
        localization->RemoveHandler(MakeHandler<&TPaletteForm::OnLocalization>(this));
    ClearMenus();
}

void TPaletteForm::CreateStyles() {
    m_stPaletteButton->SetFont(font());
    m_stPaletteButton->SetOptions(soChevronArrows | soLargeSigns);
    TPainterStyles& styles = m_stPaletteButton->Styles();
    styles.Adapt().SetFillKind(fkClear);
    const QImage hot = ThemeImage("PaletteButtonHot");
    const QImage pressed = ThemeImage("PaletteButtonPressed");
    styles.Hot().SetFillKind(fkBitmap);
    styles.Hot().SetBitmap(hot);
    styles.Hot().SetBitmapZones(kHotZones);
    for (TPainterStyleEx* style : {&styles.Checked(), &styles.Pressed()}) {
        style->SetFillKind(fkBitmap);
        style->SetBitmap(pressed);
        style->SetBitmapZones(kPressedZones);
    }
    styles.Disabled().SetImageEffects(pieDisable);
    styles.Disabled().SetFontColor(kDisabledFontColor);
    styles.Focused().SetOptions(psoFocusRect);
    m_stPaletteGroupCaption->SetFont(font());
    m_stPaletteGroupCaption->Style().SetFillKind(fkClear);

    auto images = [](TStyledPainter* painter, TSchemeImages& list, TSchemeImages* disabled) {
        painter->SetImages(&list);
        painter->SetDisabledImages(disabled);
        painter->SetImagesWidth(list.Width());
        painter->SetImagesHeight(list.Height());
    };
    for (TStyledPainter* painter : {m_ptrSmallPaletteButton, m_ptrLargePaletteButton, m_ptrFirstPartPaletteButton,
                                    m_ptrSecondPartPaletteButton})
        painter->SetStyler(m_stPaletteButton);
    m_ptrSmallPaletteButton->SetAlignKind(akBegin);
    m_ptrSmallPaletteButton->SetPadding(TRect{3, 2, 6, 2});
    m_ptrSmallPaletteButton->SetSignsSpacing(10);
    images(m_ptrSmallPaletteButton, SchemeSmallImages(), m_disabledSmall.get());
    m_ptrLargePaletteButton->SetAlignKind(akOpposite);
    m_ptrLargePaletteButton->SetLayout(ilTop);
    m_ptrLargePaletteButton->SetOptions(poWordWrap);
    m_ptrLargePaletteButton->SetPadding(TRect{4, 4, 4, 4});
    images(m_ptrLargePaletteButton, SchemeLargeImages(), m_disabledLarge.get());
    m_ptrFirstPartPaletteButton->SetLayout(ilTop);
    m_ptrFirstPartPaletteButton->SetPadding(TRect{10, 4, 10, 4});
    images(m_ptrFirstPartPaletteButton, SchemeLargeImages(), m_disabledLarge.get());
    m_ptrSecondPartPaletteButton->SetOptions(poWordWrap);
    m_ptrSecondPartPaletteButton->SetPadding(TRect{4, 0, 4, 0});
    m_ptrSecondPartPaletteButton->SetSignsSpacing(10);
    m_ptrSecondPartPaletteButton->SetSpacing(1);
    m_ptrPaletteGroupCaption->SetStyler(m_stPaletteGroupCaption);
    m_ptrPaletteGroupCaption->SetOptions(poEndEllipsis);
}

bool TPaletteForm::ShowHeaders() const { return !m_settings || !m_settings->ShowHeaders() || m_settings->ShowHeaders()->Value(); }
bool TPaletteForm::ShowCaptions() const {
    return !m_settings || !m_settings->ShowCaptions() || m_settings->ShowCaptions()->Value();
}
bool TPaletteForm::ShowHints() const { return !m_settings || !m_settings->ShowHints() || m_settings->ShowHints()->Value(); }

void TPaletteForm::ComputeHeights() {
    const int text = TextHeight(m_stPaletteButton->Font());
    const TRect& small = m_ptrSmallPaletteButton->Padding();
    m_smallHeight = qMax(text, m_ptrSmallPaletteButton->ImagesHeight()) + small.Top + small.Bottom;
    const TRect& large = m_ptrLargePaletteButton->Padding();
    m_largeHeight = qMax(text + large.Top + m_ptrLargePaletteButton->ImagesHeight() +
                             m_ptrLargePaletteButton->Spacing() + large.Bottom,
                         kSmallRowsPerColumn * m_smallHeight);
    const TRect& caption = m_ptrPaletteGroupCaption->Padding();
    m_headerHeight = TextHeight(m_stPaletteGroupCaption->Font()) + caption.Top + caption.Bottom;
    setFixedHeight(FormHeight());
}

int TPaletteForm::FormHeight() const {
    return m_largeHeight + kFormLargeRoom +
           (ShowHeaders() ? m_headerHeight + kFormBottomWithHeaders : kFormBottomWithoutHeaders);
}

// ---------------------------------------------------------------------------
// The served sheet

void TPaletteForm::SetSheet(TSheet* sheet) {
    if (sheet == m_sheet) return;
    if (m_sheet) m_sheet->RemoveHandler(MakeHandler<&TPaletteForm::OnSheet>(this));
    m_sheet = sheet;
    if (m_sheet) m_sheet->AddHandler(MakeHandler<&TPaletteForm::OnSheet>(this));
    Rebuild();
}

TVisualElement* TPaletteForm::Target() const { return m_sheet && m_sheet->Active() ? m_sheet->Focused() : nullptr; }

void TPaletteForm::OnSheet(TItfObject*, int msg, intptr_t, intptr_t) {
    switch (msg) {
    case snFocus:
    case snFocusedContent:
    case snActive: Rebuild(); break;
    case snEditState:
    case snReadOnly: UpdateButtonStates(); break;
    default: break;
    }
}

void TPaletteForm::OnSettings(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg != 1) return;
    ComputeHeights();
    update();
    TSheet* sheet = m_sheet;
    m_sheet = nullptr;  // rebuilt empty first, so nothing of the old look is kept
    m_builtWidth = -1;
    Rebuild();
    m_sheet = sheet;
    Rebuild();
}

void TPaletteForm::OnLocalization(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg != 1) return;
    m_builtWidth = -1;
    Rebuild();
}

// ---------------------------------------------------------------------------
// Rebuilding

std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>> TPaletteForm::CollectItems(TVisualElement* target,
                                                                                  bool& selection) const {
    std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>> items;
    selection = false;
    if (!target) return items;
    QList<TPaletteItem*> list;
    target->CollectPaletteItemsForSelection(list, selection);
    std::stable_sort(list.begin(), list.end(),
                     [](const TPaletteItem* a, const TPaletteItem* b) { return a->Order() > b->Order(); });
    for (TPaletteItem* item : list) {
        TPaletteItemInfo info = item->MakeInfo();
        target->AdjustPaletteItemInfo(item, info);
        items.emplace_back(item, std::move(info));
    }
    return items;
}

bool TPaletteForm::SameItems(TVisualElement* target, bool selection,
                             const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items) const {
    if (target != m_builtTarget || selection != m_builtSelection || items.size() != m_builtItems.size())
        return false;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].first != m_builtItems[i].first || !SameInfo(items[i].second, m_builtItems[i].second))
            return false;
    return true;
}

void TPaletteForm::Rebuild() {
    if (m_rebuilding) return;
    m_rebuilding = true;
    RunGuarded("Rebuilding the palette", [&] {
        TVisualElement* target = Target();
        bool selection = false;
        auto items = CollectItems(target, selection);
        m_applyToSelection = selection;
        if (m_smallHeight == 0) ComputeHeights();
        const bool sameItems = SameItems(target, selection, items);
        if (sameItems && width() == m_builtWidth) {
            UpdateButtonStates();
            return;
        }
        // A click on an old button must not run on the new palette.
        RemovePostedMessages(this);
        m_postedSubCommands.clear();
        HideKeyHints();
        m_hint->ReleaseHint();
        ClearMenus();
        BuildPanels(target, items);
        NoteNeededWidth(sameItems);
        m_builtTarget = target;
        m_builtSelection = selection;
        m_builtWidth = width();
        m_builtItems = std::move(items);
        ++m_buildCount;
    });
    m_rebuilding = false;
    update();
}

void TPaletteForm::NoteNeededWidth(bool sameItems) {
    const int row = m_panels.empty() ? 0 : m_panels.back()->geometry().right() + 1;
    int needed = sameItems ? m_neededWidth : 0;
    if (row > width()) needed = row;
    if (needed == m_neededWidth) return;
    m_neededWidth = needed;
    updateGeometry();  // the layout widens the form (and the area beside it gives way)
}

QSize TPaletteForm::minimumSizeHint() const { return {m_neededWidth, FormHeight()}; }

void TPaletteForm::ClearMenus() {
    for (const QPointer<QMenu>& menu : m_menus)
        if (menu) menu->deleteLater();
    m_menus.clear();
}

TPanelEx* TPaletteForm::PanelAt(size_t index) {
    if (index < m_panels.size()) {
        // Reused: its controls go (later, as one of them may be handling an event now).
        for (QWidget* child : m_panels[index]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->hide();
            child->setParent(nullptr);
            child->deleteLater();
        }
        return m_panels[index];
    }
    auto* panel = new TPanelEx(this);
    panel->Background().SetFillKind(fkBitmap);
    panel->Background().SetBitmap(m_groupImage);
    panel->Background().SetBitmapZones(kGroupZones);
    m_panels.push_back(panel);
    return panel;
}

void TPaletteForm::BuildPanels(TVisualElement* target,
                               const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items) {
    m_buttons.clear();
    QList<TPaletteGroup*> groups;
    for (TNode* node = Palette() ? Palette()->FirstChild() : nullptr; node; node = node->NextSibling())
        if (auto* group = dynamic_cast<TPaletteGroup*>(node))
            if (std::any_of(items.begin(), items.end(), [&](const auto& it) { return it.second.Group == group; }))
                groups << group;
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TPaletteGroup* a, const TPaletteGroup* b) { return a->Order() > b->Order(); });
    int left = 0;
    size_t used = 0;
    for (TPaletteGroup* group : groups) {
        TPanelEx* panel = PanelAt(used++);
        const int panelWidth = FillPanel(*panel, group, target, items);
        panel->setGeometry(left, 0, panelWidth, height() - 1);
        panel->show();
        left += panelWidth;
    }
    while (m_panels.size() > used) {
        TPanelEx* panel = m_panels.back();
        m_panels.pop_back();
        panel->hide();
        panel->setParent(nullptr);
        panel->deleteLater();
    }
    UpdateButtonStates();
    m_tooNarrow = left > width();
    if (m_tooNarrow) Fit(left - width());
}

int TPaletteForm::FillPanel(TPanelEx& panel, TPaletteGroup* group, TVisualElement* target,
                            const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items) {
    int y0 = kPanelTop;
    TUserButton* header = nullptr;
    if (ShowHeaders()) {
        header = new TUserButton(&panel);
        header->SetPainter(m_ptrPaletteGroupCaption);
        header->SetCaption(group->GetCaption());
        header->show();
        m_buttons.push_back(TButtonEntry{header, nullptr, {}, {}, false, {}});
        y0 = kPanelTop + m_headerHeight + kHeaderGap;
    }
    int columnLeft = kPanelLeft;
    int columnWidth = 0;
    int rows = 0;  // rows taken in the current column
    auto newColumn = [&] {
        columnLeft += columnWidth;
        columnWidth = 0;
        rows = 0;
    };
    for (const auto& [item, info] : items) {
        if (info.Group != group) continue;
        if (info.Flags & pifSplit) {
            if (rows > 0) newColumn();
            TUserButton* first = MakeButton(panel, item, info, true);
            TUserButton* second = MakeButton(panel, item, info, false);
            const int firstHeight = m_largeHeight * kFirstPartNumerator / kFirstPartDenominator + kFirstPartExtra;
            first->resize(first->width(), firstHeight);
            first->AutoSize();
            second->resize(second->width(), m_largeHeight - firstHeight);
            second->AutoSize();
            const int partWidth = qMax(first->width(), second->width());
            first->setGeometry(columnLeft, y0, partWidth, firstHeight);
            second->setGeometry(columnLeft, y0 + firstHeight, partWidth, m_largeHeight - firstHeight);
            first->SetPartnerButton(second);
            columnWidth = qMax(columnWidth, partWidth);
            rows = kSmallRowsPerColumn;
        } else if (info.Flags & pifLargeImage) {
            if (rows > 0) newColumn();
            TUserButton* button = MakeButton(panel, item, info, false);
            button->resize(button->width(), m_largeHeight);
            button->AutoSize();
            const int minimum = m_largeHeight * kMinimumLargeWidthNumerator / kMinimumLargeWidthDenominator;
            button->setGeometry(columnLeft, y0, qMax(button->width(), minimum), m_largeHeight);
            columnWidth = qMax(columnWidth, button->width());
            rows = kSmallRowsPerColumn;
        } else {
            if (rows >= kSmallRowsPerColumn || ((info.Flags & pifNewColumn) && rows > 0)) newColumn();
            TUserButton* button = MakeButton(panel, item, info, false);
            button->resize(button->width(), m_smallHeight);
            button->AutoSize();
            button->move(columnLeft, y0 + rows * m_smallHeight);
            columnWidth = qMax(columnWidth, button->width());
            ++rows;
        }
        for (auto it = m_buttons.rbegin(); it != m_buttons.rend() && it->Item == item; ++it)
            if (!it->FirstPart) AttachMenu(*it->Button, item, target, items);
    }
    int panelWidth = columnLeft + columnWidth + kPanelRightRoom;
    if (header) {
        panelWidth = qMax(panelWidth, QFontMetrics(font()).horizontalAdvance(header->Caption()) + kHeaderTextRoom);
        header->setGeometry(kPanelLeft, kPanelTop, panelWidth - 2 * kPanelLeft, m_headerHeight);
    }
    return panelWidth;
}

TUserButton* TPaletteForm::MakeButton(TPanelEx& panel, TPaletteItem* item, const TPaletteItemInfo& info,
                                      bool firstPart) {
    const bool split = info.Flags & pifSplit;
    const bool secondPart = split && !firstPart;
    auto* button = new TUserButton(&panel);
    TButtonEntry entry{button, item, info, {}, firstPart, {}};
    if (!secondPart) {
        // Items without a letter are numbered "1", "2", ... in order.
        int numbered = 0;
        for (const TButtonEntry& e : m_buttons)
            if (!e.Key.isEmpty() && e.Info.Letter.isEmpty()) ++numbered;
        entry.Key = info.Letter.isEmpty() ? QString::number(numbered + 1) : info.Letter;
    }
    button->SetOptions(boAutoWidth | boTransparent);
    if (secondPart)
        button->SetPainter(m_ptrSecondPartPaletteButton);
    else if (firstPart)
        button->SetPainter(m_ptrFirstPartPaletteButton);
    else
        button->SetPainter((info.Flags & pifLargeImage) ? m_ptrLargePaletteButton : m_ptrSmallPaletteButton);
    const bool caption = ShowCaptions() && !(info.Flags & pifNoCaption) && !firstPart;
    if (caption) button->SetCaption(info.Caption);
    if (!secondPart) button->SetImageIndex((info.Flags & pifLargeImage) ? info.LargeImage : info.SmallImage);
    if (info.Flags & pifToggle) {
        button->SetGroupIndex(-int(panel.children().size()) - 1);
        button->SetOptions(button->Options() | boAllowAllUp);
    } else if (info.Flags & pifRadio) {
        button->SetGroupIndex(info.Display);
    }
    if ((info.Flags & pifDropDown) && !firstPart) {
        TSignPosition at = spRight;
        if (!caption && button->ImageIndex() < 0)
            at = spCenter;
        else if (!caption && (info.Flags & pifLargeImage))
            at = spBottom;
        button->SetSignAt(at, saArrowDown);
    }
    if (firstPart || !(info.Flags & pifDropDown))
        button->OnClick = [this](QWidget& sender) { PostClick(static_cast<TUserButton&>(sender)); };
    if (ShowHints()) {
        button->OnShowHint = [this](QWidget& sender, bool& canShow, QHelpEvent& help) {
            ShowButtonHint(sender, canShow, help);
        };
        button->installEventFilter(this);
    }
    button->show();
    m_buttons.push_back(std::move(entry));
    return button;
}

void TPaletteForm::AttachMenu(TUserButton& button, TPaletteItem* item, TVisualElement* target,
                              const std::vector<std::pair<TPaletteItem*, TPaletteItemInfo>>& items) {
    QMenu* menu = nullptr;
    auto ensureMenu = [&] {
        if (!menu) {
            menu = new QMenu(this);
            menu->setToolTipsVisible(ShowHints());
        }
        return menu;
    };
    for (const auto& [sub, info] : items) {
        if (info.Group != item) continue;
        if ((info.Flags & pifNewColumn) && menu && !menu->isEmpty()) ensureMenu()->addSeparator();
        CreateItemMenuEntry(*ensureMenu(), sub, info);
    }
    if (auto* executable = dynamic_cast<TSubExecutablePaletteItem*>(item); executable && target) {
        QList<std::pair<QString, QString>> subItems;
        executable->FillSubItems(target, subItems);
        for (const auto& [caption, command] : subItems) CreateSubCommandMenuEntry(*ensureMenu(), item, caption, command);
    }
    if (!menu) return;
    QObject::connect(menu, &QMenu::aboutToShow, this, [this] {
        if (m_sheet) RunGuarded("Opening a palette menu", [&] { m_sheet->CancelDelayedFocus(); });
    });
    m_menus.emplace_back(menu);
    button.SetDropDownMenu(menu);
}

TPaletteMenuItem* TPaletteForm::CreateItemMenuEntry(QMenu& menu, TPaletteItem* item, const TPaletteItemInfo& info) {
    auto* entry = new TPaletteMenuItem(item, &menu);
    entry->setText(info.Caption);
    const bool large = info.Flags & pifLargeImage;
    const int image = large ? info.LargeImage : info.SmallImage;
    const TSchemeImages& list = large ? SchemeLargeImages() : SchemeSmallImages();
    if (image >= 0 && image < list.Count()) entry->setIcon(QIcon(QPixmap::fromImage(list.Image(image))));
    if (info.Flags & (pifRadio | pifToggle)) entry->setCheckable(true);
    if (info.Flags & pifRadio) entry->JoinRadioGroup(menu, info.Display);
    if (ShowHints()) entry->setToolTip(PaletteHintText(info.Caption, QString(), item->GetHint()));
    QObject::connect(entry, &QAction::triggered, this, [this, entry] {
        RunGuarded("A palette menu entry", [&] {
            PostMessage(this, kRunItemMessage, intptr_t(entry->Item()), entry->isChecked() ? 1 : 0);
        });
    });
    menu.addAction(entry);
    return entry;
}

TPaletteSubCommandMenuItem* TPaletteForm::CreateSubCommandMenuEntry(QMenu& menu, TPaletteItem* item,
                                                                    const QString& caption,
                                                                    const QString& subCommand) {
    auto* entry = new TPaletteSubCommandMenuItem(item, subCommand, &menu);
    entry->setText(caption);
    QObject::connect(entry, &QAction::triggered, this, [this, entry] {
        RunGuarded("A palette sub-command", [&] {
            const intptr_t number = m_nextSubCommand++;
            m_postedSubCommands[number] = entry->SubCommand();
            PostMessage(this, kRunSubCommandMessage, intptr_t(entry->Item()), number);
        });
    });
    menu.addAction(entry);
    return entry;
}

// ---------------------------------------------------------------------------
// Button states

TVisualElement* TPaletteForm::StateSource(TVisualElement* target) const {
    if (m_applyToSelection)
        for (TVisualElement* child = target->FirstVisualChild(); child; child = child->NextVisualSibling())
            if (child->IsInSelection()) return child;
    return target;
}

void TPaletteForm::UpdateButtonStates() {
    TVisualElement* target = Target();
    if (!target) return;
    TVisualElement* source = StateSource(target);
    for (TButtonEntry& entry : m_buttons) {
        if (!entry.Item) continue;
        TPaletteItemState state;
        source->GetItemState(entry.Item, state);
        bool enabled = entry.Item->IsEnabledFor(state, target->IsEffectivelyDisabled(), target->IsReadOnly());
        if (QMenu* menu = entry.Button->DropDownMenu()) enabled = UpdateMenuStates(*menu, target, source) && enabled;
        state.Enabled = enabled;
        entry.State = state;
        entry.Button->setEnabled(enabled);
        if (entry.Button->GroupIndex() != 0) entry.Button->SetChecked(state.Checked);
    }
}

bool TPaletteForm::UpdateMenuStates(QMenu& menu, TVisualElement* target, TVisualElement* source) {
    bool any = false;
    for (QAction* action : menu.actions()) {
        auto* entry = dynamic_cast<TPaletteMenuItem*>(action);
        if (!entry) continue;
        TPaletteItemState state;
        source->GetItemState(entry->Item(), state);
        const bool enabled = entry->Item()->IsEnabledFor(state, target->IsEffectivelyDisabled(), target->IsReadOnly());
        entry->setEnabled(enabled);
        if (entry->isCheckable()) entry->setChecked(state.Checked);
        any = any || enabled;
    }
    return any;
}

// ---------------------------------------------------------------------------
// Fitting

void TPaletteForm::Fit(int excess) {
    for (int level = 1; level <= kFitLevels && excess >= 0; ++level)
        for (size_t i = m_panels.size(); i-- > 0 && excess >= 0;) {
            const int gain = GiveBack(i, level);
            if (gain <= 0) continue;
            ShrinkPanel(i, gain);
            excess -= gain;
        }
}

void TPaletteForm::ShrinkPanel(size_t index, int gain) {
    TPanelEx* panel = m_panels[index];
    panel->resize(panel->width() - gain, panel->height());
    for (size_t i = index + 1; i < m_panels.size(); ++i) m_panels[i]->move(m_panels[i]->x() - gain, 0);
    for (const TButtonEntry& entry : m_buttons)
        if (!entry.Item && entry.Button->parentWidget() == panel)
            entry.Button->resize(panel->width() - 2 * kPanelLeft, entry.Button->height());
}

int TPaletteForm::GiveBack(size_t index, int level) {
    TPanelEx& panel = *m_panels[index];
    switch (level) {
    case 1: return TrimPanel(panel);
    case 2: return DropSmallCaptions(panel);
    case 3: return DropLargeCaptions(panel);
    default: return DropSigns(panel);
    }
}

int TPaletteForm::TrimPanel(TPanelEx& panel) {
    std::vector<TUserButton*> buttons;
    for (const TButtonEntry& entry : m_buttons)
        if (entry.Item && entry.Button->parentWidget() == &panel) buttons.push_back(entry.Button);
    int right = kPanelLeft;
    const size_t from = buttons.size() > kTrimmedButtons ? buttons.size() - kTrimmedButtons : 0;
    for (size_t i = from; i < buttons.size(); ++i) right = qMax(right, buttons[i]->geometry().right() + 1);
    return qMax(0, panel.width() - (right + kPanelRightRoom));
}

int TPaletteForm::DropSmallCaptions(TPanelEx& panel) {
    // Columns of small buttons, by their left edge, from the right.
    std::map<int, std::vector<TUserButton*>, std::greater<>> columns;
    for (const TButtonEntry& entry : m_buttons)
        if (entry.Item && entry.Button->parentWidget() == &panel && entry.Button->Painter() == m_ptrSmallPaletteButton)
            columns[entry.Button->x()].push_back(entry.Button);
    int gain = 0;
    for (auto& [left, column] : columns) {
        int oldWidth = 0, newWidth = 0;
        for (TUserButton* button : column) oldWidth = qMax(oldWidth, button->width());
        for (TUserButton* button : column) {
            button->SetCaption(QString());
            button->AutoSize();
            newWidth = qMax(newWidth, button->width());
        }
        const int columnGain = oldWidth - newWidth;
        if (columnGain <= 0) continue;
        // Everything right of the column moves left.
        for (const TButtonEntry& entry : m_buttons)
            if (entry.Item && entry.Button->parentWidget() == &panel && entry.Button->x() > left)
                entry.Button->move(entry.Button->x() - columnGain, entry.Button->y());
        gain += columnGain;
    }
    return gain;
}

int TPaletteForm::DropLargeCaptions(TPanelEx& panel) {
    int gain = 0;
    for (const TButtonEntry& entry : m_buttons) {
        TUserButton* button = entry.Button;
        if (!entry.Item || button->parentWidget() != &panel || button->Painter() != m_ptrLargePaletteButton ||
            button->Caption().isEmpty())
            continue;
        const QString caption = button->Caption();
        const int oldWidth = button->width();
        const int minimum = m_largeHeight * kMinimumLargeWidthNumerator / kMinimumLargeWidthDenominator;
        button->SetCaption(QString());
        button->AutoSize();
        button->resize(qMax(button->width(), minimum), button->height());
        const int buttonGain = oldWidth - button->width();
        if (buttonGain <= 0) {
            button->SetCaption(caption);
            button->resize(oldWidth, button->height());
            continue;
        }
        for (const TButtonEntry& other : m_buttons)
            if (other.Item && other.Button->parentWidget() == &panel && other.Button->x() > button->x())
                other.Button->move(other.Button->x() - buttonGain, other.Button->y());
        gain += buttonGain;
    }
    return gain;
}

int TPaletteForm::DropSigns(TPanelEx& panel) {
    int gain = 0;
    for (const TButtonEntry& entry : m_buttons) {
        TUserButton* button = entry.Button;
        if (!entry.Item || button->parentWidget() != &panel || button->SignAt(spRight) == saNone) continue;
        const int oldWidth = button->width();
        button->SetSignAt(spRight, saNone);
        button->AutoSize();
        const int buttonGain = oldWidth - button->width();
        if (buttonGain <= 0) continue;
        for (const TButtonEntry& other : m_buttons)
            if (other.Item && other.Button->parentWidget() == &panel && other.Button->x() > button->x())
                other.Button->move(other.Button->x() - buttonGain, other.Button->y());
        gain += buttonGain;
    }
    return gain;
}

// ---------------------------------------------------------------------------
// Running items

void TPaletteForm::PostClick(TUserButton& button) {
    if (const TButtonEntry* entry = EntryOf(&button))
        PostMessage(this, kRunItemMessage, intptr_t(entry->Item), button.Checked() ? 1 : 0);
}

bool TPaletteForm::event(QEvent* event) {
    if (const TPostedMessage* message = AsPostedMessage(event, kRunItemMessage)) {
        RunGuarded("Running a palette item", [&] {
            RunItem(reinterpret_cast<TPaletteItem*>(message->P1()), message->P2() != 0, nullptr);
        });
        return true;
    }
    if (const TPostedMessage* message = AsPostedMessage(event, kRunSubCommandMessage)) {
        RunGuarded("Running a palette sub-command", [&] {
            auto it = m_postedSubCommands.find(message->P2());
            if (it == m_postedSubCommands.end()) return;
            const QString sub = std::move(it->second);
            m_postedSubCommands.erase(it);
            RunItem(reinterpret_cast<TPaletteItem*>(message->P1()), false, &sub);
        });
        return true;
    }
    return QWidget::event(event);
}

void TPaletteForm::RunItem(TPaletteItem* item, bool checked, const QString* subCommand) {
    auto* schemeItem = dynamic_cast<TSchemePaletteItem*>(item);
    TVisualElement* target = Target();
    if (!schemeItem || !target) return;
    m_sheet->FinishEditing();
    target = Target();
    if (!target) return;
    if (m_applyToSelection) {
        RunOnSelection(target, schemeItem, checked, subCommand);
        return;
    }
    auto* executable = dynamic_cast<TSubExecutablePaletteItem*>(schemeItem);
    if (subCommand && executable)
        executable->ApplySub(target, *subCommand);
    else
        schemeItem->ExecuteFor(target, checked);
}

void TPaletteForm::RunOnSelection(TVisualElement* target, TSchemePaletteItem* item, bool checked,
                                  const QString* subCommand) {
    QList<TElement*> list;
    for (TVisualElement* child = target->FirstVisualChild(); child; child = child->NextVisualSibling())
        if (child->IsInSelection()) list << child;
    std::optional<TSheetUpdate> update;
    if (!(item->Flags() & pifWithoutUpdate)) update.emplace(m_sheet);
    TOperationGroupScope group(target->Scheme());
    auto* executable = dynamic_cast<TSubExecutablePaletteItem*>(item);
    if (subCommand && executable)
        executable->ApplySubToList(list, *subCommand);
    else
        item->ExecuteForList(list, checked);
    group.End();
    if (update) update->End();
}

// ---------------------------------------------------------------------------
// Ctrl keys

bool TPaletteForm::InCtrlMode() const { return m_tmCtrl->IsActive(); }

TUserButton* TPaletteForm::ButtonOfKey(const QString& key) const {
    for (const TButtonEntry& entry : m_buttons)
        if (!entry.Key.isEmpty() && entry.Key.compare(key, Qt::CaseInsensitive) == 0) return entry.Button;
    return nullptr;
}

const TPaletteForm::TButtonEntry* TPaletteForm::EntryOf(const QWidget* button) const {
    for (const TButtonEntry& entry : m_buttons)
        if (entry.Button == button) return &entry;
    return nullptr;
}

void TPaletteForm::KeyDown(int& key, TShiftState) {
    RunGuarded("A palette key", [&] {
        if (key == vkControl) {
            if (!m_tmCtrl->IsActive()) {
                m_tmCtrl->Start(kCtrlPollMs);
                m_tmCtrlHints->Start(kCtrlHintsMs);
            }
            return;
        }
        if (!m_tmCtrl->IsActive()) return;
        if (key == vkLeft || key == vkRight) {
            StopCtrlMode();
            m_keyBuffer.clear();
            return;
        }
        if (!IsPaletteKeyCode(key)) return;
        const QString before = m_keyBuffer;
        m_keyBuffer += QChar(key);
        const int matches = MatchKeys();
        if (matches == 0) {
            m_keyBuffer = before;  // not ours: the key goes on to the sheet
            return;
        }
        key = vkNone;
        if (matches == 1) {
            // The Ctrl mode goes on while Ctrl is held, so that the next key runs too.
            m_tmCtrlHints->Stop();
            HideKeyHints();
            RunKeyBuffer();
        }
    });
}

void TPaletteForm::KeyPress(QChar& ch) {
    if (!m_tmCtrl->IsActive() || ch.isNull()) return;
    const char16_t unit = ch.unicode();
    const bool ours = unit == u' ' || (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
                      (unit >= u'a' && unit <= u'z');
    if (ours) ch = QChar();
}

void TPaletteForm::KeyUp(int& key, TShiftState) {
    if (key != vkControl) return;
    RunGuarded("A palette key release", [&] {
        StopCtrlMode();
        m_keyBuffer.clear();
    });
}

void TPaletteForm::StopCtrlMode() {
    m_tmCtrl->Stop();
    m_tmCtrlHints->Stop();
    HideKeyHints();
}

void TPaletteForm::OnCtrlPoll() {
    if (TInputState::Current().KeyboardModifiers() & ssCtrl) return;
    StopCtrlMode();
    if (!m_keyBuffer.isEmpty()) RunKeyBuffer();
}

int TPaletteForm::MatchKeys() {
    int matches = 0;
    for (const TButtonEntry& entry : m_buttons)
        if (!entry.Key.isEmpty() && entry.Key.startsWith(m_keyBuffer, Qt::CaseInsensitive)) ++matches;
    for (const auto& hint : m_keyHints)
        if (!hint->Text().isEmpty()) {
            const QString key = hint->property("PaletteKey").toString();
            if (!key.startsWith(m_keyBuffer, Qt::CaseInsensitive)) hint->ReleaseHint();
        }
    return matches;
}

void TPaletteForm::RunKeyBuffer() {
    const QString key = std::exchange(m_keyBuffer, QString());
    TUserButton* button = ButtonOfKey(key);
    if (!button || !button->isEnabled()) {
        SystemBeep();
        return;
    }
    button->Click();
}

void TPaletteForm::ShowKeyHints() {
    m_tmCtrlHints->Stop();
    HideKeyHints();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int maxWidth = screen ? screen->geometry().width() : 1024;
    for (const TButtonEntry& entry : m_buttons) {
        if (entry.Key.isEmpty() || !entry.Key.startsWith(m_keyBuffer, Qt::CaseInsensitive)) continue;
        auto hint = std::make_unique<THintWindow>();
        const QString text = PaletteKeyText(entry.Key);
        hint->setProperty("PaletteKey", entry.Key);
        const QRect size = hint->CalcHintRect(maxWidth, text);
        const TUserButton* button = entry.Button;
        int x;
        if (button->Painter() == m_ptrLargePaletteButton) {
            x = (button->width() + m_ptrLargePaletteButton->ImagesWidth()) / 2 - kLargeKeyHintInset;
        } else {
            const auto* painter = static_cast<const TStyledPainter*>(button->Painter());
            x = painter->Padding().Left + painter->ImagesWidth() + kSmallKeyHintOutset;
        }
        const QPoint centre = button->mapToGlobal(QPoint(x, kKeyHintTop));
        hint->ActivateHint(QRect(centre - QPoint(size.width() / 2, size.height() / 2), size.size()), text);
        m_keyHints.push_back(std::move(hint));
    }
}

void TPaletteForm::HideKeyHints() {
    for (const auto& hint : m_keyHints) hint->ReleaseHint();
    m_keyHints.clear();
}

std::vector<THintWindow*> TPaletteForm::KeyHints() const {
    std::vector<THintWindow*> shown;
    for (const auto& hint : m_keyHints)
        if (hint->isVisible()) shown.push_back(hint.get());
    return shown;
}

// ---------------------------------------------------------------------------
// Hints, showing, painting

void TPaletteForm::ShowButtonHint(QWidget& sender, bool& canShow, QHelpEvent&) {
    canShow = false;  // our own window shows it
    const TButtonEntry* entry = EntryOf(&sender);
    if (!entry || !entry->Item) return;
    const QString text = PaletteHintText(entry->Info.Caption, entry->Key, entry->Item->GetHint());
    const QRect size = m_hint->CalcHintRect(m_hint->MaxHintWidth(), text);
    const QPoint at = sender.mapToGlobal(QPoint(0, sender.height() + kHintBelowButton));
    m_hint->ActivateHint(QRect(at, size.size()), text);
}

bool TPaletteForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: m_hint->ReleaseHint(); break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void TPaletteForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    RunGuarded("Showing the palette", [&] {
        ComputeHeights();
        m_builtWidth = -1;
        Rebuild();
    });
}

void TPaletteForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RunGuarded("Resizing the palette", [&] { Rebuild(); });
}

void TPaletteForm::paintEvent(QPaintEvent*) {
    if (m_rebuilding || m_background.isNull()) return;
    RunGuarded("Painting the palette", [&] {
        QPainter painter(this);
        painter.drawImage(rect(), m_background);
    });
}
