#include "ui/diSheetForm.h"

#include "core/cuLocalization.h"
#include "core/cuNode.h"
#include "core/cuStringIds.h"
#include "core/cuUndoRedo.h"
#include "core/cuUtils.h"
#include "elements/diSimpleElements.h"
#include "platform/plClock.h"
#include "platform/plCursor.h"
#include "platform/plImageCodecs.h"
#include "platform/plMessages.h"
#include "platform/plTimer.h"
#include "scheme/diCanvas.h"
#include "scheme/diClasses.h"
#include "scheme/diCustomElements.h"
#include "scheme/diSheet.h"
#include "text/diTextorElement.h"
#include "ui/baAppWidgets.h"
#include "ui/baHintWindow.h"
#include "ui/baSaper.h"

#include <QAbstractItemDelegate>
#include <QBoxLayout>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

// ---------------------------------------------------------------------------
// Settings

T_CLASS_IMPL(TSheetFormSettings, TProperty)

namespace {
TNodePtr<TSheetFormSettings> g_sheetFormSettings;
}  // namespace

void TSheetFormSettings::CreateProperties() {
    m_showHints = TProperty::Create<TBooleanProperty>(this, QStringLiteral("ShowHints"), true);
}

TSheetFormSettings* SheetFormSettings() noexcept { return g_sheetFormSettings.get(); }

void InitSheetFormUnit() {
    g_sheetFormSettings = TProperty::CreateRoot<TSheetFormSettings>(QStringLiteral("SheetForm"));
    g_sheetFormSettings->CreateProperties();
}

void FinalSheetFormUnit() { g_sheetFormSettings.reset(); }

// ---------------------------------------------------------------------------
// Multi-clicks

int TClickCounter::Press(QPoint pos, int64_t nowMs, bool leftButton, int doubleClickMs, int dragThreshold) noexcept {
    const QPoint moved = pos - m_lastPos;
    const bool quick = leftButton && m_pressed && qAbs(moved.x()) <= dragThreshold &&
                       qAbs(moved.y()) <= dragThreshold && nowMs - m_lastTime < doubleClickMs;
    m_count = quick ? (m_count == 0 ? 2 : m_count + 1) : 0;
    m_pressed = true;
    m_lastPos = pos;
    m_lastTime = nowMs;
    return m_count;
}

int SheetClicksForCount(int count) noexcept { return count >= 2 && count <= 4 ? count : 0; }

// ---------------------------------------------------------------------------
// Drop-down placement

TRect PlaceDropDown(const TDropDownMetrics& metrics, const TRect& anchor, const TRect& screen) noexcept {
    const int rowHeight = qMax(1, metrics.ItemHeight);
    const int rows = qBound(1, metrics.RowCount, kDropDownMaxRows);
    int height = rows * rowHeight + metrics.FrameHeight;
    const int listWidth = metrics.ListWidth > 0 ? metrics.ListWidth : kDropDownEmptyWidth;
    const int width = qMin(listWidth + 2 + metrics.ScrollBarWidth, screen.Width() * 3 / 4);
    const int below = screen.Bottom - anchor.Bottom;
    const int above = anchor.Top - screen.Top;
    const int minHeight = rowHeight + metrics.FrameHeight;
    const int room = below < above ? above : below;
    while (height > room && height > minHeight) height -= rowHeight;
    const int top = below < above ? anchor.Top - height : anchor.Bottom;
    int left = anchor.Left;
    if (left + width > screen.Right) left = screen.Right - width;
    if (left < screen.Left) left = screen.Left;
    return TRect{left, top, left + width, top + height};
}

TRect GrowDropDown(const TRect& old, const TRect& placed) noexcept {
    const int left = qMin(old.Left, placed.Left);
    const int top = qMin(old.Top, placed.Top);
    const int width = qMax(old.Width(), placed.Width());
    const int height = qMax(old.Height(), placed.Height());
    return TRect{left, top, left + width, top + height};
}

// ---------------------------------------------------------------------------
// TDropDownControl

namespace {

constexpr int kItemRole = Qt::UserRole + 1;
// The expand zone of an item with children: left of its indent plus this many pixels.
constexpr int kExpandZone = 20;
constexpr int kSideHintTopOffset = 2;

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
TRect ToTRect(const QRect& r) { return TRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

// Rows painted by their items.
class TDropDownDelegate : public QAbstractItemDelegate {
public:
    explicit TDropDownDelegate(TDropDownControl& control) : QAbstractItemDelegate(&control), m_control(control) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (TDropDownItem* item = m_control.ItemOfRow(index.row())) {
            RunGuarded("Painting a drop-down row", [&] {
                painter->save();
                item->Paint(*painter, ToTRect(option.rect), option.state & QStyle::State_Selected);
                painter->restore();
            });
        }
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        const TDropDownList* list = m_control.List();
        return QSize(list ? list->Width() : kDropDownEmptyWidth, list ? list->ItemHeight() : 13);
    }

private:
    TDropDownControl& m_control;
};

}  // namespace

TDropDownControl::TDropDownControl(TSheetForm& owner, TDropDownList* list)
    : QListWidget(&owner), m_owner(owner), m_list(list), m_hint(std::make_unique<THintWindow>()) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setMouseTracking(true);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setItemDelegate(new TDropDownDelegate(*this));
    hide();
}

TDropDownControl::~TDropDownControl() { RemovePostedMessages(this); }

void TDropDownControl::Detach() {
    m_filling = true;
    clear();
    m_filling = false;
    m_list = nullptr;
    OnSelect = nullptr;
    RemovePostedMessages(this);
}

TDropDownItem* TDropDownControl::ItemOfRow(int row) const {
    const QListWidgetItem* row_ = item(row);
    return row_ ? static_cast<TDropDownItem*>(row_->data(kItemRole).value<void*>()) : nullptr;
}

void TDropDownControl::Fill() {
    if (!m_list) return;
    m_filling = true;
    const int topRow = indexAt(QPoint(0, 0)).row();
    setUpdatesEnabled(false);
    clear();
    QList<TDropDownItem*> items;
    m_list->VisibleItems(items);
    int selectedRow = -1;
    for (TDropDownItem* dropDownItem : items) {
        auto* row = new QListWidgetItem(this);
        row->setData(kItemRole, QVariant::fromValue(static_cast<void*>(dropDownItem)));
        if (dropDownItem == m_list->Selected()) selectedRow = count() - 1;
    }
    if (topRow > 0 && topRow < count()) scrollToItem(item(topRow), QAbstractItemView::PositionAtTop);
    setCurrentRow(selectedRow);
    if (selectedRow < 0) clearSelection();
    setUpdatesEnabled(true);
    m_filling = false;
}

TDropDownMetrics TDropDownControl::Metrics() const {
    TDropDownMetrics metrics;
    metrics.ItemHeight = m_list ? m_list->ItemHeight() : metrics.ItemHeight;
    metrics.RowCount = count();
    metrics.FrameHeight = 2 * frameWidth();
    metrics.ListWidth = m_list ? m_list->Width() : 0;
    metrics.ScrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return metrics;
}

void TDropDownControl::ShowItemHint() {
    TDropDownItem* current = CurrentDropDownItem();
    QString text;
    if (current && isVisible()) {
        text = current->Hint;
    }
    if (text.isEmpty()) {
        m_hint->ReleaseHint();
        return;
    }
    const QScreen* screen = this->screen();
    const int maxWidth = screen ? screen->geometry().width() / 4 : 256;
    QRect rect = m_hint->CalcHintRect(maxWidth, text);
    const QRect rowRect = visualItemRect(item(currentRow()));
    rect.moveTo(geometry().right() + 1, viewport()->mapToGlobal(rowRect.topLeft()).y() - kSideHintTopOffset);
    m_hint->ActivateHint(rect, text);
}

bool TDropDownControl::event(QEvent* event) {
    if (AsPostedMessage(event, kHotTrackMessage)) {
        RunGuarded("Drop-down hot tracking", [&] { HotTrack(viewport()->mapFromGlobal(QCursor::pos())); });
        return true;
    }
    if (AsPostedMessage(event, kItemHintMessage)) {
        RunGuarded("Drop-down hint", [&] { ShowItemHint(); });
        return true;
    }
    return QListWidget::event(event);
}

void TDropDownControl::HotTrack(QPoint client) {
    const int row = indexAt(client).row();
    if (row >= 0 && row != currentRow()) {
        m_filling = true;
        setCurrentRow(row);
        m_filling = false;
    }
    ShowItemHint();
}

void TDropDownControl::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && OnSelect) RunGuarded("Drop-down selection", [&] { OnSelect(*this); });
    PostMessage(this, kItemHintMessage);
}

void TDropDownControl::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && OnSelect) RunGuarded("Drop-down selection", [&] { OnSelect(*this); });
}

void TDropDownControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (at != m_lastMouse) {
        m_lastMouse = at;
        RunGuarded("Drop-down hot tracking", [&] { HotTrack(at); });
    }
    event->accept();
}

void TDropDownControl::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    const bool left = event->button() == Qt::LeftButton;
    const QPoint at = viewport()->mapTo(this, event->position().toPoint());
    RunGuarded("Drop-down release", [&] { m_owner.DropDownReleased(*this, at, left); });
}

void TDropDownControl::wheelEvent(QWheelEvent* event) {
    QListWidget::wheelEvent(event);
    PostMessage(this, kHotTrackMessage);
}

void TDropDownControl::hideEvent(QHideEvent* event) {
    m_hint->ReleaseHint();
    QListWidget::hideEvent(event);
}

// ---------------------------------------------------------------------------
// Keys

TSheetAction SheetShortcutAction(int key, TShiftState shift) noexcept {
    const bool ctrl = shift & ssCtrl;
    const bool withShift = shift & ssShift;
    switch (key) {
    case 'Z':
        if (ctrl) return withShift ? TSheetAction::EditRedo : TSheetAction::EditUndo;
        break;
    case 'Y': return ctrl ? TSheetAction::EditRedo : TSheetAction::Count;
    case 'X': return ctrl ? TSheetAction::EditCut : TSheetAction::Count;
    case 'C': return ctrl ? TSheetAction::EditCopy : TSheetAction::Count;
    case 'V': return ctrl ? TSheetAction::EditPaste : TSheetAction::Count;
    case 'A': return ctrl ? TSheetAction::EditSelectAll : TSheetAction::Count;
    case vkInsert:
        if (withShift) return TSheetAction::EditPaste;
        if (ctrl) return TSheetAction::EditCopy;
        break;
    case vkDelete: return withShift ? TSheetAction::EditCut : TSheetAction::EditDelete;
    default: break;
    }
    return TSheetAction::Count;
}

bool BeepsWhenUnconsumed(int key) noexcept {
    switch (key) {
    case vkBack:
    case vkReturn:
    case vkPrior:
    case vkNext:
    case vkEnd:
    case vkHome:
    case vkLeft:
    case vkUp:
    case vkRight:
    case vkDown:
    case vkDelete: return true;
    default: return false;
    }
}

namespace {

// The keys an open drop-down window takes when no modifier is held.
bool IsDropDownKey(int key) noexcept {
    switch (key) {
    case vkPrior:
    case vkNext:
    case vkEnd:
    case vkHome:
    case vkUp:
    case vkDown: return true;
    default: return false;
    }
}

// Ctrl without Alt (Ctrl and Alt together is AltGr, which types characters).
bool IsCtrlTyping(TShiftState shift) noexcept { return (shift & ssCtrl) && !(shift & ssAlt); }

// A character typed with Ctrl is a command, never text: only control characters go on.
QString TypedCharacters(const TKeyStroke& stroke) {
    if (!IsCtrlTyping(stroke.Shift)) return stroke.Chars;
    QString kept;
    for (QChar ch : stroke.Chars)
        if (ch.unicode() < ' ') kept.append(ch);
    return kept;
}

// Keys whose shortcut the sheet form decides itself: its edit shortcuts and plain typing.
bool FormTakesKey(const QKeyEvent& event) {
    const TKeyStroke stroke = KeyStrokeFromQtEvent(event);
    if (SheetShortcutAction(stroke.Key, stroke.Shift) != TSheetAction::Count) return true;
    return !(stroke.Shift & (ssCtrl | ssAlt)) && !stroke.Chars.isEmpty() && stroke.Chars.at(0).isPrint();
}

TShiftState MouseShift(const QMouseEvent& event) {
    TShiftState shift = ShiftStateFromQtModifiers(int(event.modifiers()));
    if (event.buttons() & Qt::LeftButton) shift |= ssLeft;
    if (event.buttons() & Qt::RightButton) shift |= ssRight;
    if (event.buttons() & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

TMouseButton SheetButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}

}  // namespace

QPoint ScrollCaretIntoView(const TRect& rect, int margin, QSize visible, QPoint position) noexcept {
    int x = position.x();
    int y = position.y();
    const int w = visible.width();
    const int h = visible.height();
    if (rect.Right + margin > x + w) x = rect.Right + margin - w;
    if (rect.Left - margin < x) x = rect.Left - margin;
    const int bottom = qMin(rect.Top + h, rect.Bottom);
    if (bottom > y + h) y = bottom - h;
    const int top = qMax(rect.Bottom - h, rect.Top);
    if (top < y) y = top;
    return QPoint(x, y);
}

// ---------------------------------------------------------------------------
// TSheetForm

namespace {
struct TActionText {
    TSheetAction Action;
    int TextId;  // 0: set elsewhere
};
constexpr TActionText kActionTexts[] = {
    {TSheetAction::EditCut, strCut},
    {TSheetAction::EditCopy, strCopy},
    {TSheetAction::EditCopyText, strCopyAsText},
    {TSheetAction::EditPaste, strPaste},
    {TSheetAction::EditDelete, strDelete},
    {TSheetAction::EditSelectAll, strSelectAll},
    {TSheetAction::ViewNonPrintingCharacters, strNonPrintingCharacters},
};

struct TActionPicture {
    TSheetAction Action;
    int Cell;
};
constexpr TActionPicture kActionPictures[] = {
    {TSheetAction::EditUndo, 0}, {TSheetAction::EditRedo, 1},     {TSheetAction::EditCut, 2},
    {TSheetAction::EditCopy, 3}, {TSheetAction::EditCopyText, 4}, {TSheetAction::EditPaste, 5},
    {TSheetAction::EditDelete, 6}, {TSheetAction::EditSelectAll, 7},
};
}  // namespace

int SheetActionPicture(TSheetAction action) noexcept {
    for (const TActionPicture& picture : kActionPictures)
        if (picture.Action == action) return picture.Cell;
    return -1;
}

TSheetForm::TSheetForm(QWidget* parent, TSheetFormSettings* settings)
    : QWidget(parent), m_settings(settings), m_rb1(new TRangeBox(this)), m_hk1(std::make_unique<THooker>()),
      m_pmEdit(new QMenu(this)), m_hint(std::make_unique<THintWindow>()) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_rb1);
    m_rb1->SetBorderStyle(bsTheme);
    m_rb1->setBackgroundRole(QPalette::Base);
    m_rb1->setFocusPolicy(Qt::StrongFocus);
    m_rb1->SetClipping(rbcTopLeft);
    m_rb1->SetOptions(rboWantArrows | rboNotBuffered | rboDisableNoScrollVert);
    m_rb1->SetScrollBars(rbsBoth);
    m_rb1->SetRangeSlack(QSize(kContentWidthSlack, 0));
    m_rb1->setMouseTracking(true);
    m_rb1->viewport()->setMouseTracking(true);
    m_rb1->OnKeyDown = [this](TRangeBox&, QKeyEvent& event) { rb1KeyEvent(event); };
    m_rb1->OnMouseDown = [this](TRangeBox&, QMouseEvent& event, QPoint p) { rb1MouseDown(event, p); };
    m_rb1->OnMouseMove = [this](TRangeBox&, QMouseEvent& event, QPoint p) { rb1MouseMove(event, p); };
    m_rb1->OnMouseUp = [this](TRangeBox&, QMouseEvent& event, QPoint p) { rb1MouseUp(event, p); };
    m_rb1->OnShowHint = [this](QWidget&, bool& canShow, QHelpEvent& hint) { rb1ShowHint(canShow, hint); };
    m_rb1->OnScrolled = [this](TRangeBox&) { rb1Scrolled(); };
    m_rb1->OnCancelMode = [this](TRangeBox&, QWidget* cancelling) {
        if (m_sheet && cancelling != m_dropDown.get()) m_sheet->Cancel();
    };
    m_rb1->OnPaintDC = [this](TPlaceBox& box, QPainter& dc, const TRect& rect) {
        if (m_sheet)
            m_sheet->Paint(dc, rect, 0);
        else
            dc.fillRect(ToQRect(rect), box.palette().color(QPalette::Base));
    };
    m_hk1->OnBeforeMessage = [this](THooker&, QEvent& event, bool& handled) { hk1BeforeMessage(event, handled); };
    m_hk1->OnAfterMessage = [this](THooker&, QEvent& event, bool&) { hk1AfterMessage(event); };
    m_hk1->SetControl(m_rb1);

    CreateActions();
    if (TLocalization* localization = Localization()) localization->AddHandler(MakeHandler<&TSheetForm::OnLocalization>(this));
    if (m_settings) m_settings->AddHandler(MakeHandler<&TSheetForm::OnFormSettings>(this));
    m_actions[size_t(TSheetAction::EditReadOnly)]->setVisible(false);
    SetCaptions();
    RefreshSheetState();
    UpdateEditActions();
    UpdateTabHandling();
}

TSheetForm::~TSheetForm() {
    AttachSheet(nullptr, nullptr);
    m_hk1->SetControl(nullptr);
    if (m_settings) m_settings->RemoveHandler(MakeHandler<&TSheetForm::OnFormSettings>(this));
    if (TLocalization* localization = Localization())
        localization->RemoveHandler(MakeHandler<&TSheetForm::OnLocalization>(this));
}

void TSheetForm::CreateActions() {
    for (size_t i = 0; i < m_actions.size(); ++i) {
        auto* action = new QAction(this);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        const auto kind = TSheetAction(i);
        QObject::connect(action, &QAction::triggered, this, [this, kind] {
            RunGuarded("A sheet form action", [&] { RunAction(kind); });
        });
        m_actions[i] = action;
        addAction(action);
    }
    using K = QKeySequence;
    Action(TSheetAction::EditUndo).setShortcut(K(Qt::CTRL | Qt::Key_Z));
    Action(TSheetAction::EditRedo).setShortcut(K(Qt::CTRL | Qt::Key_Y));
    Action(TSheetAction::EditCut).setShortcut(K(Qt::CTRL | Qt::Key_X));
    Action(TSheetAction::EditCopy).setShortcut(K(Qt::CTRL | Qt::Key_C));
    Action(TSheetAction::EditCopyText).setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    Action(TSheetAction::EditPaste).setShortcut(K(Qt::CTRL | Qt::Key_V));
    Action(TSheetAction::EditDelete).setShortcut(K(Qt::Key_Delete));
    Action(TSheetAction::EditSelectAll).setShortcut(K(Qt::CTRL | Qt::Key_A));
    Action(TSheetAction::EditReadOnly).setCheckable(true);
    Action(TSheetAction::ViewNonPrintingCharacters).setCheckable(true);
    const QImage pictures = ReadImageOfFormat(QStringLiteral(":/rc/SheetFormEdit.png"), "png");
    for (const TActionPicture& picture : kActionPictures)
        Action(picture.Action)
            .setIcon(QIcon(QPixmap::fromImage(
                pictures.copy(picture.Cell * kEditPictureSize, 0, kEditPictureSize, kEditPictureSize))));
    // The popup's undo item always reads the plain "Undo": an item of its own that runs the action.
    m_miUndo = m_pmEdit->addAction(Action(TSheetAction::EditUndo).icon(), QString(), &Action(TSheetAction::EditUndo),
                                   &QAction::trigger);
    m_pmEdit->addSeparator();
    for (TSheetAction a : {TSheetAction::EditCut, TSheetAction::EditCopy, TSheetAction::EditPaste,
                           TSheetAction::EditDelete})
        m_pmEdit->addAction(&Action(a));
    m_pmEdit->addSeparator();
    m_pmEdit->addAction(&Action(TSheetAction::EditSelectAll));
}

void TSheetForm::SetCaptions() {
    for (const TActionText& text : kActionTexts) Action(text.Action).setText(LoadStr(text.TextId));
    UpdateUndoRedoActions();
}

void TSheetForm::RefreshSheetState() {
    if (m_sheet) {
        m_rb1->viewport()->setCursor(TScreenCursor::Current().CursorOf(m_sheet->Cursor()));
        m_rb1->SetRange(QSize(m_sheet->GetContentWidth(), m_sheet->GetContentHeight()));
    } else {
        m_rb1->viewport()->unsetCursor();
        m_rb1->SetRange(QSize(0, 0));
    }
}

void TSheetForm::AttachSheet(TScheme* scheme, TSheet* sheet) {
    if (scheme == m_scheme && sheet == m_sheet) return;
    if (m_sheet) {
        m_sheet->RemoveHandler(MakeHandler<&TSheetForm::OnSheet>(this));
        m_sheet->Settings()->RemoveHandler(MakeHandler<&TSheetForm::OnSheetSettings>(this));
        m_sheet->SetShownAreaSource(nullptr);
        m_sheet->CloseDropDown(false);
        CloseDropDownWindow();
        m_sheet->SetActive(false);
    }
    if (m_scheme && m_scheme->UndoRedo()) m_scheme->UndoRedo()->RemoveHandler(MakeHandler<&TSheetForm::OnUndoRedo>(this));
    m_hinted = nullptr;
    m_hint->ReleaseHint();
    StopAskingForHints();
    m_scheme = scheme;
    m_sheet = sheet;
    if (m_scheme && m_scheme->UndoRedo()) m_scheme->UndoRedo()->AddHandler(MakeHandler<&TSheetForm::OnUndoRedo>(this));
    if (m_sheet) {
        m_sheet->SetAvailableSize(m_rb1->GetVisibleSize());
        m_sheet->SetShownAreaSource([this] { return ShownContent(); });
        m_sheet->AddHandler(MakeHandler<&TSheetForm::OnSheet>(this));
        m_sheet->Settings()->AddHandler(MakeHandler<&TSheetForm::OnSheetSettings>(this));
    }
    RefreshSheetState();
    UpdateCaret();
    if (m_sheet) {
        m_sheet->SetAvailableSize(m_rb1->GetVisibleSize());
        m_rb1->SetScrollPosition(m_sheet->ScreenPos());
        Action(TSheetAction::ViewNonPrintingCharacters)
            .setChecked(m_sheet->Settings()->NonPrintingCharactersProperty()->Value());
        if (m_rb1->hasFocus()) m_sheet->SetActive(true);
    } else {
        Action(TSheetAction::ViewNonPrintingCharacters).setChecked(false);
    }
    m_rb1->viewport()->update();
    UpdateEditActions();
    UpdateUndoRedoActions();
    UpdateTabHandling();
}

// The content in rb1's view, asked live: the view's size changes with its
// scroll bars as well as with the form.
TRect TSheetForm::ShownContent() const {
    const QPoint at = m_rb1->ScrollPosition();
    const QSize size = m_rb1->GetVisibleSize();
    auto end = [](int from, int length) {
        return int(std::min<int64_t>(int64_t(from) + length, std::numeric_limits<int>::max()));
    };
    return TRect{at.x(), at.y(), end(at.x(), size.width()), end(at.y(), size.height())};
}

void TSheetForm::UpdateCaret() {
    m_rb1->SetCaretRect(m_sheet && m_sheet->CaretKind() == ckTextCaret ? m_sheet->CaretRect() : TRect{});
}

void TSheetForm::UpdateEditActions() {
    TVisualElement* e = m_sheet ? m_sheet->Focused() : nullptr;
    Action(TSheetAction::EditCut).setEnabled(e && e->CanCopy() && e->CanDelete());
    Action(TSheetAction::EditCopy).setEnabled(e && e->CanCopy());
    Action(TSheetAction::EditCopyText).setEnabled(e && e->CanCopyAsText());
    Action(TSheetAction::EditPaste).setEnabled(e && e->CanPaste());
    Action(TSheetAction::EditDelete).setEnabled(e && e->CanDelete());
    Action(TSheetAction::EditSelectAll).setEnabled(e && e->CanSelectAll());
    Action(TSheetAction::EditReadOnly).setEnabled(m_sheet);
    Action(TSheetAction::EditReadOnly).setChecked(m_sheet && m_sheet->ReadOnly());
}

void TSheetForm::UpdateUndoRedoActions() {
    TUndoRedo* history = m_scheme ? m_scheme->UndoRedo() : nullptr;
    const bool readOnly = m_sheet && m_sheet->ReadOnly();
    const auto allowed = [readOnly](TOperation* op) {
        return op && (!readOnly || !(op->GetFlags() & TOperation::ofChangesData));
    };
    TOperation* undo = history && history->CanUndo() ? history->GetNextUndo() : nullptr;
    TOperation* redo = history && history->CanRedo() ? history->GetNextRedo() : nullptr;
    Action(TSheetAction::EditUndo).setEnabled(allowed(undo));
    Action(TSheetAction::EditRedo).setEnabled(allowed(redo));
    const auto caption = [](int plainId, TOperation* op) {
        const QString plain = LoadStr(plainId);
        const QString opCaption = op ? op->GetCaption() : QString();
        return opCaption.isEmpty() ? plain : LoadStrFmt(strCaptionWithOperation, {plain, opCaption});
    };
    Action(TSheetAction::EditUndo).setText(caption(strUndo, undo));
    Action(TSheetAction::EditRedo).setText(caption(strRedo, redo));
    m_miUndo->setText(LoadStr(strUndo));
    m_miUndo->setEnabled(Action(TSheetAction::EditUndo).isEnabled());
}

void TSheetForm::UpdateTabHandling() {
    const auto* text = m_sheet ? dynamic_cast<TTextorElement*>(m_sheet->Focused()) : nullptr;
    const bool wantTab = text && text->WantsTab();
    TRangeBoxOptions options = m_rb1->Options();
    options = wantTab ? (options | rboWantTab) : (options & ~TRangeBoxOptions(rboWantTab));
    m_rb1->SetOptions(options);
}

void TSheetForm::RunAction(TSheetAction action) {
    switch (action) {
    case TSheetAction::EditUndo:
    case TSheetAction::EditRedo: {
        TUndoRedo* history = m_scheme ? m_scheme->UndoRedo() : nullptr;
        if (!history || !m_sheet) return;
        TSheetUpdate update(m_sheet);
        // A step of many edits in one text lays it out once, not once per edit.
        TSheetLayoutHold held(m_sheet);
        if (action == TSheetAction::EditUndo)
            history->Undo();
        else
            history->Redo();
        return;
    }
    case TSheetAction::EditReadOnly:
        if (m_sheet) m_sheet->SetReadOnly(Action(action).isChecked());
        return;
    case TSheetAction::ViewNonPrintingCharacters:
        if (m_sheet) m_sheet->Settings()->NonPrintingCharactersProperty()->SetValue(Action(action).isChecked());
        return;
    case TSheetAction::EditSelectAll:
        if (TVisualElement* e = m_sheet ? m_sheet->Focused() : nullptr) e->SelectAll();
        return;
    default: EditEditExecute(action);
    }
}

void TSheetForm::EditEditExecute(TSheetAction action) {
    TVisualElement* e = m_sheet ? m_sheet->Focused() : nullptr;
    if (!e) return;
    switch (action) {
    case TSheetAction::EditCut:
        e->Copy();
        e->DeleteContent();
        break;
    case TSheetAction::EditCopy: e->Copy(); break;
    case TSheetAction::EditCopyText: e->CopyAsText(); break;
    case TSheetAction::EditDelete: e->DeleteContent(); break;
    case TSheetAction::EditPaste:
        if (!e->PasteWithWaitCursor()) SystemBeep();
        break;
    default: break;
    }
}

// ---- the hook: events of the range box before it sees them ----

void TSheetForm::hk1BeforeMessage(QEvent& event, bool& handled) {
    RunGuarded("The sheet form's hook", [&] {
        switch (event.type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // A menu taking the keys is no focus change: closing the list or
            // deactivating the sheet would rebuild (and free) the open menu.
            const auto& focus = static_cast<QFocusEvent&>(event);
            if (focus.reason() == Qt::PopupFocusReason || !m_sheet) return;
            // The list window asks never to be activated; a platform that
            // activates it anyway took the keys from the form, which takes
            // them back, and the list stays open.
            if (event.type() == QEvent::FocusOut && m_dropDown && QApplication::activeWindow() == m_dropDown.get()) {
                m_rb1->activateWindow();
                return;
            }
            if (event.type() == QEvent::FocusIn) {
                m_sheet->SetActive(true);
            } else {
                m_sheet->CloseDropDown(false);
                m_sheet->SetActive(false);
            }
            return;
        }
        case QEvent::ShortcutOverride:
            if (FormTakesKey(static_cast<QKeyEvent&>(event))) {
                event.accept();
                handled = true;
            }
            return;
        case QEvent::KeyPress: {
            auto& keyEvent = static_cast<QKeyEvent&>(event);
            const TKeyStroke stroke = KeyStrokeFromQtEvent(keyEvent);
            int key = stroke.Key;
            if (key != vkNone && OnKeyDown) {
                OnKeyDown(*this, key, stroke.Shift);
                if (key == vkNone) {
                    handled = true;
                    return;
                }
            }
            if (stroke.Shift & ssAlt && OnKeyPress) {
                for (QChar ch : stroke.Chars) {
                    QChar typed = ch;
                    OnKeyPress(*this, typed);
                    if (typed.isNull()) handled = true;
                }
                if (handled) return;
            }
            if (m_dropDown && m_dropDown->isVisible() && !(stroke.Shift & (ssShift | ssCtrl | ssAlt)) &&
                IsDropDownKey(stroke.Key)) {
                QKeyEvent copy(keyEvent.type(), keyEvent.key(), keyEvent.modifiers(), keyEvent.text());
                QCoreApplication::sendEvent(m_dropDown.get(), &copy);
                handled = true;
            }
            return;
        }
        case QEvent::KeyRelease: {
            // Only Alt's release is told (a plain Ctrl release would end the palette's Ctrl keys early).
            auto& keyEvent = static_cast<QKeyEvent&>(event);
            if (keyEvent.key() != Qt::Key_Alt || !OnKeyUp) return;
            int key = vkMenu;
            OnKeyUp(*this, key, ShiftStateFromQtModifiers(int(keyEvent.modifiers())));
            handled = key == vkNone;
            return;
        }
        case QEvent::Wheel:
            if (m_dropDown && m_dropDown->isVisible()) {
                auto& wheel = static_cast<QWheelEvent&>(event);
                QWheelEvent copy(m_dropDown->viewport()->mapFromGlobal(wheel.globalPosition()), wheel.globalPosition(),
                                 wheel.pixelDelta(), wheel.angleDelta(), wheel.buttons(), wheel.modifiers(),
                                 wheel.phase(), wheel.inverted());
                QCoreApplication::sendEvent(m_dropDown->viewport(), &copy);
                handled = true;
            }
            return;
        case QEvent::ContextMenu:
            rb1ContextPopup(static_cast<QContextMenuEvent&>(event));
            handled = true;
            return;
        case QEvent::Leave: rb1MouseLeave(); return;
        default: return;
        }
    });
}

void TSheetForm::hk1AfterMessage(QEvent& event) {
    if (event.type() == QEvent::Resize) RunGuarded("The sheet form's resize", [&] { rb1Resize(); });
}

void TSheetForm::rb1KeyEvent(QKeyEvent& event) {
    event.accept();
    RunGuarded("A key of the sheet form", [&] {
        const TKeyStroke stroke = KeyStrokeFromQtEvent(event);
        int key = stroke.Key;
        if (key != vkNone) rb1KeyDown(key, stroke.Shift);
        for (QChar ch : TypedCharacters(stroke)) rb1KeyPress(ch);
    });
}

void TSheetForm::rb1KeyDown(int& key, TShiftState shift) {
    if (m_sheet && key != vkNone) m_sheet->KeyDown(key, shift);
    if (m_sheet && key != vkNone) {
        const TSheetAction action = SheetShortcutAction(key, shift);
        if (action != TSheetAction::Count && Action(action).isEnabled()) {
            Action(action).trigger();
            key = vkNone;
        }
    }
    if (key != vkNone && OnKeyDown) OnKeyDown(*this, key, shift);
    if (BeepsWhenUnconsumed(key)) SystemBeep();
}

void TSheetForm::rb1KeyPress(QChar& ch) {
    if (m_sheet && !ch.isNull()) m_sheet->KeyPress(ch);
    if (!ch.isNull() && OnKeyPress) OnKeyPress(*this, ch);
    if (!ch.isNull()) SystemBeep();
}

// ---- mouse ----

void TSheetForm::rb1MouseDown(QMouseEvent& event, QPoint content) {
    m_hint->ReleaseHint();
    StopAskingForHints();
    if (!m_sheet) return;
    RunGuarded("A press on the sheet", [&] {
        const QStyleHints* hints = QGuiApplication::styleHints();
        const int count = m_clicks.Press(event.globalPosition().toPoint(), TClock::Now(),
                                         event.button() == Qt::LeftButton, hints->mouseDoubleClickInterval(),
                                         TInputState::Current().DragThreshold());
        m_sheet->MouseDown(content, SheetButton(event.button()), MouseShift(event), SheetClicksForCount(count));
    });
}

void TSheetForm::rb1MouseMove(QMouseEvent& event, QPoint content) {
    if (m_sheet) RunGuarded("A move over the sheet", [&] { m_sheet->MouseMove(content, MouseShift(event)); });
}

void TSheetForm::rb1MouseUp(QMouseEvent& event, QPoint content) {
    if (m_sheet) {
        RunGuarded("A release on the sheet", [&] {
            m_sheet->MouseUp(content, SheetButton(event.button()), MouseShift(event));
        });
    }
}

void TSheetForm::rb1MouseLeave() {
    m_hinted = nullptr;
    m_hint->ReleaseHint();
    StopAskingForHints();
    if (m_sheet) m_sheet->MouseMove(QPoint(-1, -1), 0);
}

void TSheetForm::rb1ContextPopup(QContextMenuEvent& event) {
    const QPoint screen = event.globalPos();
    TVisualElement* focused = m_sheet ? m_sheet->Focused() : nullptr;
    const bool shown = focused && focused->ShowContextMenu(m_rb1, screen);
    if (!shown) m_pmEdit->popup(screen);
}

void TSheetForm::rb1ShowHint(bool& canShow, QHelpEvent& hint) {
    canShow = false;  // our own hint window, never Qt's single tool tip
    if (!m_sheet || m_sheet->Pressed() || (m_settings && !m_settings->ShowHints()->Value())) {
        StopAskingForHints();
        return;
    }
    TVisualElement* element = m_sheet->DropDown() ? nullptr : m_sheet->ElementAt(hint.pos(), false, false);
    if (element != m_hinted) m_hint->ReleaseHint();
    QString text;
    if (element && element != m_hinted) element->GetHint(text);
    m_hinted = element;
    if (text.isEmpty()) return;
    const QScreen* screen = m_rb1->screen();
    const int maxWidth = screen ? screen->geometry().width() / 3 : 320;
    QRect rect = m_hint->CalcHintRect(maxWidth, text);
    rect.moveTopLeft(hint.globalPos() + QPoint(0, m_rb1->fontMetrics().height() + 4));
    m_hint->ActivateHint(rect, text);
    KeepAskingForHints();
}

void TSheetForm::KeepAskingForHints() {
    if (!m_hintReshow) {
        m_hintReshow = TTimerService::Make();
        m_hintReshow->SetOnTick([this] { RunGuarded("Asking for a hint again", [this] { AskForHintAtCursor(); }); });
    }
    if (!m_hintReshow->IsActive()) m_hintReshow->Start(kHintReshowMs);
}

// Asked as Qt asks when the mouse rests: a tool-tip event at the cursor.
void TSheetForm::AskForHintAtCursor() {
    const QWidget* view = m_rb1->viewport();
    const QPoint global = QCursor::pos();
    if (!view->isVisible() || !view->rect().contains(view->mapFromGlobal(global))) {
        StopAskingForHints();
        return;
    }
    QHelpEvent help(QEvent::ToolTip, m_rb1->mapFromGlobal(global), global);
    QCoreApplication::sendEvent(m_rb1, &help);
}

void TSheetForm::StopAskingForHints() {
    if (m_hintReshow) m_hintReshow->Stop();
}

void TSheetForm::rb1Resize() {
    const QWidget* form = window();
    if (m_sheet && !(form && form->isMinimized())) m_sheet->SetAvailableSize(m_rb1->GetVisibleSize());
}

void TSheetForm::rb1Scrolled() {
    if (!m_sheet) return;
    m_scrolling = true;
    RunGuarded("A scroll of the sheet", [&] { m_sheet->SetScreenPosition(m_rb1->ScrollPosition()); });
    m_scrolling = false;
}

void TSheetForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled()) m_hint->ReleaseHint();
}

// ---- listeners ----

void TSheetForm::OnLocalization(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == 1) SetCaptions();
}

void TSheetForm::OnFormSettings(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == 1) RefreshSheetState();
}

void TSheetForm::OnSheetSettings(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == 1 && m_sheet)
        Action(TSheetAction::ViewNonPrintingCharacters)
            .setChecked(m_sheet->Settings()->NonPrintingCharactersProperty()->Value());
}

void TSheetForm::OnUndoRedo(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == TUndoRedo::urExecuted || msg == TUndoRedo::urUndone || msg == TUndoRedo::urRedone ||
        msg == TUndoRedo::urCleared)
        UpdateUndoRedoActions();
}

// Only the strips between the old and the new content edges change on the
// box; what changed inside the content the sheet repaints itself.
void TSheetForm::ContentSizeChanged() {
    const QSize old = m_rb1->Range();
    const QSize now(m_sheet->GetContentWidth(), m_sheet->GetContentHeight());
    m_rb1->SetRange(now);
    const TRangeStrips strips = RangeChangeStrips(old, m_rb1->Range(), 0);
    m_rb1->InvalidateContent(strips.Right);
    m_rb1->InvalidateContent(strips.Bottom);
}

void TSheetForm::OnSheet(TItfObject*, int msg, intptr_t p1, intptr_t) {
    switch (msg) {
    case snRootBounds: ContentSizeChanged(); break;
    case snRepaint:
        if (p1)
            m_rb1->InvalidateContent(*reinterpret_cast<const TRect*>(p1));
        else
            m_rb1->viewport()->update();
        break;
    case snFocus:
    case snFocusedState:
        UpdateEditActions();
        UpdateTabHandling();
        break;
    case snCursor:
        if (m_sheet->Pressed()) {
            TScreenCursor::Current().SetCursor(m_sheet->Cursor());
        } else {
            TScreenCursor::Current().SetCursor(Cursors::Default);
            m_rb1->viewport()->setCursor(TScreenCursor::Current().CursorOf(m_sheet->Cursor()));
        }
        break;
    case snCaret: UpdateCaret(); break;
    case snDropDownOpened: OpenDropDown(); break;
    case snDropDownChanged:
        if (!m_selecting) ChangeDropDown();
        break;
    case snDropDownClosed: CloseDropDownWindow(); break;
    case snFocusSettled:
        if (m_sheet->CaretKind() != ckNone) {
            m_rb1->SetScrollPosition(ScrollCaretIntoView(m_sheet->CaretRect(), p1 ? kCaretMargin : 0,
                                                         m_rb1->GetVisibleSize(), m_rb1->ScrollPosition()));
        }
        break;
    case snReadOnly:
        UpdateEditActions();
        UpdateUndoRedoActions();
        break;
    case snScrollPosition:
        if (!m_scrolling) m_rb1->SetScrollPosition(m_sheet->ScreenPos());
        break;
    default: break;
    }
}

// ---- the drop-down window ----

TRect TSheetForm::DropDownAnchor() const {
    const TRect content = m_sheet->DropDown()->Rect();
    const QPoint topLeft = m_rb1->viewport()->mapToGlobal(m_rb1->ContentToClient(QPoint(content.Left, content.Top)));
    return TRect{topLeft.x(), topLeft.y(), topLeft.x() + content.Width(), topLeft.y() + content.Height()};
}

namespace {
// The available area of the screen that holds the anchor (the primary one when none does).
TRect AnchorScreen(const TRect& anchor) {
    QScreen* screen = QGuiApplication::screenAt(QPoint(anchor.Left, anchor.Top));
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? ToTRect(screen->availableGeometry()) : TRect{0, 0, 1024, 768};
}
}  // namespace

void TSheetForm::OpenDropDown() {
    CloseDropDownWindow();
    TDropDownList* list = m_sheet->DropDown();
    if (!list) return;
    m_dropDown = std::make_unique<TDropDownControl>(*this, list);
    m_dropDown->OnSelect = [this](TDropDownControl& control) { DropDownSelected(control); };
    m_dropDown->Fill();
    const TRect anchor = DropDownAnchor();
    m_dropDown->setGeometry(ToQRect(PlaceDropDown(m_dropDown->Metrics(), anchor, AnchorScreen(anchor))));
    m_dropDown->show();
    m_dropDown->ShowItemHint();
}

void TSheetForm::ChangeDropDown() {
    if (!m_dropDown || !m_sheet->DropDown()) return;
    m_dropDown->Fill();
    const TRect anchor = DropDownAnchor();
    const TRect placed = PlaceDropDown(m_dropDown->Metrics(), anchor, AnchorScreen(anchor));
    m_dropDown->setGeometry(ToQRect(GrowDropDown(ToTRect(m_dropDown->geometry()), placed)));
    m_dropDown->ShowItemHint();
}

void TSheetForm::CloseDropDownWindow() {
    if (!m_dropDown) return;
    m_dropDown->hide();
    m_dropDown->Detach();
    // The window may be closing from inside its own handler: it goes once that returns.
    m_dropDown.release()->deleteLater();
}

void TSheetForm::DropDownSelected(TDropDownControl& control) {
    TDropDownList* list = m_sheet ? m_sheet->DropDown() : nullptr;
    if (!list || control.List() != list) return;
    m_selecting = true;
    list->SetSelected(control.CurrentDropDownItem());
    m_selecting = false;
    control.ShowItemHint();
}

void TSheetForm::DropDownReleased(TDropDownControl& control, QPoint client, bool left) {
    if (!left || !m_sheet || !control.List() || control.List() != m_sheet->DropDown()) return;
    TDropDownItem* item = control.CurrentDropDownItem();
    if (!item) return;
    const QPoint inViewport = control.viewport()->mapFrom(&control, client);
    if (item->FirstItem() && inViewport.x() < item->GetIndent() + kExpandZone) {
        item->SetExpanded(!item->Expanded());
        return;
    }
    if (!item->Selectable) return;
    m_sheet->CloseDropDown(control.rect().contains(client));
}

// ---- find, replace, go to, collapse ----

namespace {
// The reveal-on-focus flag off for a scope; the focused element is shown at the end when it was on.
class TRevealOff {
public:
    explicit TRevealOff(TSheet& sheet) : m_sheet(sheet), m_was(sheet.FocusMakesVisible) {
        sheet.FocusMakesVisible = false;
    }
    ~TRevealOff() {
        m_sheet.FocusMakesVisible = m_was;
        if (m_was && m_sheet.Focused()) RunGuarded("Showing the found element", [&] { m_sheet.Focused()->MakeVisible(); });
    }

private:
    TSheet& m_sheet;
    bool m_was;
};

// Wait cursor, one undo group, one sheet update and no reveal while focusing; in this order.
// (No layout hold: a replacement's selection, which the next search starts
// after, is set by the text's re-layout.)
struct TSheetCommandScope {
    TSheetCommandScope(TScheme* scheme, TSheet& sheet) : group(scheme), update(&sheet), reveal(sheet) {}
    TWaitScope wait;
    TOperationGroupScope group;
    TSheetUpdate update;
    TRevealOff reveal;
};
}  // namespace

void TSheetForm::EnterFound(TVisualElement* next, bool down) {
    if (auto* text = dynamic_cast<TTextorElement*>(next))
        text->FocusText(down ? TTextFocusPlace::Start : TTextFocusPlace::End);
    else
        next->SetFocus();
}

int64_t TSheetForm::FindStepLimit() const {
    // Besides the scheme's elements, the sheet shows at most one sign per element.
    if (m_scheme) return 2 * int64_t(m_scheme->ElementCount()) + kFindStepSlack;
    int64_t shown = 0;
    for ([[maybe_unused]] TVisualElement* e : VisualPreOrder(m_sheet->Root())) ++shown;
    return shown + kFindStepSlack;
}

bool TSheetForm::FindStep(TFindMode mode, const TFindData& request, bool down) {
    TVisualElement* const first = m_sheet ? m_sheet->Focused() : nullptr;
    if (!first) return false;
    // Each element is searched once: the search ends when the walk names the
    // first one again, or when it took more steps than the sheet shows
    // elements (a round that does not pass the first). A set of the elements
    // searched would cost a hashed insert per element, the most of a step.
    const int64_t limit = FindStepLimit();
    TVisualElement* current = first;
    for (int64_t step = 0; step < limit; ++step) {
        TVisualElement* next = nullptr;
        if (current->FindFocusableWithin(mode, request, next, down)) return true;
        if (!next) return false;
        EnterFound(next, down);
        if (next == first) return false;
        current = next;
    }
    return false;
}

bool TSheetForm::Find(TFindMode mode, const TFindData& request, bool down) {
    if (!m_sheet || !m_sheet->Focused()) {
        request.ReportNotFound();
        return false;
    }
    bool found = false;
    {
        TSheetCommandScope scope(m_scheme, *m_sheet);
        found = FindStep(mode, request, down);
    }
    if (!found) request.ReportNotFound();
    return found;
}

int TSheetForm::Replace(const TFindData& request, const QString& replacement, bool all, bool down) {
    if (!m_sheet || m_sheet->ReadOnly()) {
        SystemBeep();
        return 0;
    }
    int count = 0;
    bool notFound = false;
    {
        TSheetCommandScope scope(m_scheme, *m_sheet);
        const auto replaceHere = [&] {
            auto* target = dynamic_cast<ITextReplacement*>(m_sheet->Focused());
            return target && target->ReplaceSelection(replacement);
        };
        if (m_sheet->Focused() && FindStep(TFindMode::AtSelection, request, down)) {
            if (replaceHere()) ++count;
            if (all) {
                while (FindStep(TFindMode::AfterSelection, request, down))
                    if (replaceHere()) ++count;
            } else {
                notFound = !FindStep(TFindMode::AfterSelection, request, down);
            }
        } else {
            notFound = true;
        }
    }
    if (notFound || (all && count == 0))
        request.ReportNotFound();
    else if (all)
        ShowMessageBox(LoadStrFmt(strTheProgramHasMadeReplacements, {QString::number(count)}), QString(),
                       MsgBox::Ok | MsgBox::IconInformation);
    return count;
}

void TSheetForm::ShowElement(TVisualElement* element) {
    if (!element->IsVisible()) {
        ShowMessageBox(LoadStrFmt(strElementWithIdentifierIsFoundBut, {QString::number(element->Number())}),
                       QString(), MsgBox::Ok | MsgBox::IconInformation);
        return;
    }
    const QPoint topLeft = element->ClientToSheet(QPoint(0, 0));
    const QPoint bottomRight = element->ClientToSheet(QPoint(element->Width(), element->Height()));
    m_rb1->ScrollRectIntoView(TRect{topLeft.x(), topLeft.y(), bottomRight.x(), bottomRight.y()});
}

int TSheetForm::GoToElements(const QList<int>& numbers) {
    if (!m_sheet || !m_scheme) return 0;
    m_sheet->ClearSelection();
    int found = 0;
    TVisualElement* first = nullptr;
    for (int number : numbers) {
        TElement* element = m_scheme->FindElement(number);
        const QString id = QString::number(number);
        if (!element) {
            ShowMessageBox(LoadStrFmt(strElementWithIdentifierNotFound, {id}), QString(),
                           MsgBox::Ok | MsgBox::IconInformation);
            continue;
        }
        ++found;
        auto* visual = dynamic_cast<TVisualElement*>(element);
        if (!visual) {
            ShowMessageBox(LoadStrFmt(strElementWithIdentifierIsFoundBut, {id}), QString(),
                           MsgBox::Ok | MsgBox::IconInformation);
            continue;
        }
        visual->SetSelected(true);
        if (!first) first = visual;
    }
    if (first) ShowElement(first);
    return found;
}

void TSheetForm::CollapseExpandAll(bool notEmpty, bool expand) {
    if (!m_sheet) return;
    TWaitScope wait;
    std::vector<TExpandButton*> buttons;
    // Depth first over what the sheet shows, parents before children.
    std::vector<TVisualElement*> pending{m_sheet->Root()};
    while (!pending.empty()) {
        TVisualElement* element = pending.back();
        pending.pop_back();
        if (auto* button = dynamic_cast<TExpandButton*>(element)) buttons.push_back(button);
        for (TVisualElement* child = element->LastVisualChild(); child; child = child->PrevVisualSibling())
            pending.push_back(child);
    }
    {
        TSheetUpdate update(m_sheet);
        TOperationGroupScope group(m_scheme);
        // Each text holding buttons lays out once at the end, not once per button.
        std::optional<TSheetLayoutHold> held(std::in_place, m_sheet);
        for (TExpandButton* button : buttons) {
            bool value = expand;
            if (notEmpty) {
                auto* owner = dynamic_cast<TElement*>(button->Parent());
                auto* visualOwner = dynamic_cast<TVisualElement*>(owner);
                value = owner && !owner->IsDefault() && !(visualOwner && visualOwner->IsEffectivelyDisabled());
            }
            if (button->Expanded() != value) button->ChangeExpanded(value);
        }
        held.reset();
        m_sheet->NotifyFocusState();
    }
    UpdateEditActions();
}
