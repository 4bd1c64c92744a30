#include "ui/diEditArea.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuNode.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"
#include "elements/diLog.h"
#include "platform/plImageCodecs.h"
#include "scheme/diCanvas.h"
#include "scheme/diClasses.h"
#include "scheme/diMessages.h"
#include "scheme/diSheet.h"
#include "ui/baSaper.h"
#include "ui/diFindDialogs.h"
#include "ui/diSheetForm.h"

#include <QAction>
#include <QBitmap>
#include <QBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <functional>

namespace {

const QString kPaletteKnot = QStringLiteral("Palette");
const QString kVisibleParam = QStringLiteral("Visible");
const QString kLogKnot = QStringLiteral("Log");
const QString kHeightParam = QStringLiteral("Height");
constexpr int kHighestSeverity = 3;

struct TAreaActionText {
    TEditAreaAction Action;
    int TextId;
};
constexpr TAreaActionText kAreaActionTexts[] = {
    {TEditAreaAction::EditFind, strFind},
    {TEditAreaAction::EditFindNext, strFindNext},
    {TEditAreaAction::EditReplace, strReplace},
    {TEditAreaAction::ToolsCollapseAll, strCollapseAll},
    {TEditAreaAction::ToolsExpandedNotEmpty, strExpandedNotEmpty},
    {TEditAreaAction::ToolsExpandAll, strExpandAll},
    {TEditAreaAction::ToolsCheck, strCheckAll},
    {TEditAreaAction::ToolsClearLog, strClearLog},
    {TEditAreaAction::ViewPalette, strPalette},
};

// The splitter between the sheet and the log; its handles paint through OnPaint.
class TLogSplitterHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;
    std::function<void(QPainter&, const QWidget&)> OnPaint;

protected:
    void paintEvent(QPaintEvent*) override {
        if (!OnPaint) return;
        RunGuarded("Painting the log splitter", [&] {
            QPainter painter(this);
            OnPaint(painter, *this);
        });
    }
};

class TLogSplitter : public QSplitter {
public:
    using QSplitter::QSplitter;
    std::function<void(QPainter&, const QWidget&)> OnPaintHandle;

protected:
    QSplitterHandle* createHandle() override {
        auto* handle = new TLogSplitterHandle(orientation(), this);
        handle->OnPaint = [this](QPainter& painter, const QWidget& h) {
            if (OnPaintHandle) OnPaintHandle(painter, h);
        };
        return handle;
    }
};

}  // namespace

int EditAreaInnerMargin(const QStyle& style) {
    return style.name().compare(QStringLiteral("windows"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

TEditArea::TEditArea(QWidget* parent)
    : QWidget(parent), m_sheetForm(new TSheetForm), m_logForm(new TSheetForm), m_splitter(new TLogSplitter(Qt::Vertical)),
      m_logButton(new TPlaceBox(this)),
      m_logFace(ReadImageOfFormat(QStringLiteral(":/rc/LogButtons.png"), "png")),
      m_logClearSigns(ReadImageOfFormat(QStringLiteral(":/rc/LogClear.png"), "png")) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_splitter, 1);
    m_splitter->addWidget(m_sheetForm);
    m_splitter->addWidget(m_logForm);
    static_cast<TLogSplitter*>(m_splitter)->OnPaintHandle = [this](QPainter& painter, const QWidget& handle) {
        PaintSplitter(painter, handle);
    };
    m_splitter->setHandleWidth(kSplitterHeight);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_logForm->hide();
    // The button follows the splitter's bar wherever the layout puts it.
    m_splitter->handle(1)->installEventFilter(this);
    m_sheetForm->RangeBox().SetBorderStyle(bsNone);
    m_logForm->RangeBox().SetBorderStyle(bsNone);
    QObject::connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_logShown) m_logHeight = m_logForm->height();
        if (m_innerMargin > 0) update();  // the frames' sides in the margin
        CenterLogButton();
    });

    m_logButton->SetBorderStyle(bsNone);
    m_logButton->setCursor(Qt::PointingHandCursor);
    m_logButton->setFixedSize(kLogButtonSize);
    QBitmap mask(kLogButtonSize.width() + 1, kLogButtonSize.height() + 1);
    mask.fill(Qt::color0);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing, false);
        maskPainter.setBrush(Qt::color1);
        maskPainter.setPen(Qt::NoPen);
        maskPainter.drawRoundedRect(QRect(QPoint(0, 0), mask.size()), kLogButtonCorner, kLogButtonCorner);
    }
    m_logButton->setMask(mask);
    m_logButton->OnPaint = [this](TPlaceBox&, QPainter& painter, const TRect&) { PaintLogButton(painter); };
    m_logButton->viewport()->installEventFilter(this);
    m_logButton->hide();

    CreateActions();
    if (TLocalization* localization = Localization()) localization->AddHandler(MakeHandler<&TEditArea::OnLocalization>(this));
    SetCaptions();
    UpdateToolActions();
}

TEditArea::~TEditArea() {
    AttachScheme(nullptr, nullptr, nullptr, nullptr);
    SetPalette(nullptr);
    if (TLocalization* localization = Localization())
        localization->RemoveHandler(MakeHandler<&TEditArea::OnLocalization>(this));
}

void TEditArea::CreateActions() {
    for (size_t i = 0; i < m_actions.size(); ++i) {
        auto* action = new QAction(this);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        const auto kind = TEditAreaAction(i);
        QObject::connect(action, &QAction::triggered, this, [this, kind] {
            RunGuarded("An edit area action", [&] {
                if (TSheet* sheet = m_sheetForm->Sheet()) sheet->FinishEditing();
                RunAction(kind);
            });
        });
        m_actions[i] = action;
        addAction(action);
    }
    using K = QKeySequence;
    Action(TEditAreaAction::EditFind).setShortcut(K(Qt::CTRL | Qt::Key_F));
    Action(TEditAreaAction::EditFindNext).setShortcut(K(Qt::Key_F3));
    Action(TEditAreaAction::EditReplace).setShortcuts({K(Qt::CTRL | Qt::Key_H), K(Qt::CTRL | Qt::Key_R)});
    Action(TEditAreaAction::EditCode).setShortcut(K(Qt::Key_F6));
    Action(TEditAreaAction::EditCode).setCheckable(true);
    Action(TEditAreaAction::EditCode).setVisible(false);
    Action(TEditAreaAction::ToolsCollapseAll).setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_J));
    Action(TEditAreaAction::ToolsExpandedNotEmpty).setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    Action(TEditAreaAction::ToolsExpandAll).setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    // F5 is the check's alone (it runs the refresh first): two actions on one key fire neither.
    Action(TEditAreaAction::ToolsCheck).setShortcut(K(Qt::Key_F5));
    Action(TEditAreaAction::ToolsClearLog).setShortcut(K(Qt::CTRL | Qt::Key_F5));
    Action(TEditAreaAction::ViewPalette).setShortcut(K(Qt::Key_F4));
    Action(TEditAreaAction::ViewPalette).setCheckable(true);
    Action(TEditAreaAction::ViewPalette).setChecked(true);
}

void TEditArea::SetCaptions() {
    for (const TAreaActionText& text : kAreaActionTexts) Action(text.Action).setText(LoadStr(text.TextId));
    m_logButton->setToolTip(LoadStr(strClearAndCloseLog) + QStringLiteral(" (") +
                            Action(TEditAreaAction::ToolsClearLog).shortcut().toString(QKeySequence::NativeText) +
                            QStringLiteral(")"));
    for (TFindDialog* dialog : {m_fd1.get(), m_rd1.get()})
        if (dialog) dialog->SetCaptions();
}

TFindDialog& TEditArea::FindDialog() {
    if (!m_fd1) {
        m_fd1 = std::make_unique<TFindDialog>(TFindDialog::TKind::Find, this);
        m_fd1->OnFind = [this](TFindDialog& dialog) { FindFrom(dialog); };
    }
    return *m_fd1;
}

TFindDialog& TEditArea::ReplaceDialog() {
    if (!m_rd1) {
        m_rd1 = std::make_unique<TFindDialog>(TFindDialog::TKind::Replace, this);
        m_rd1->OnFind = [this](TFindDialog& dialog) { FindFrom(dialog); };
        m_rd1->OnReplace = [this](TFindDialog& dialog, bool all) {
            if (!m_scheme) return;
            const TFindData request = MakeFindData(dialog);
            m_sheetForm->Replace(request, dialog.ReplaceText(), all, dialog.Down());
        };
    }
    return *m_rd1;
}

void TEditArea::OnLocalization(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == 1) SetCaptions();
}

void TEditArea::OnScheme(TItfObject*, int msg, intptr_t, intptr_t) {
    if (msg == scReadOnlyChanged) UpdateToolActions();
}

TLogRoot* TEditArea::LogRoot() const { return m_logScheme ? dynamic_cast<TLogRoot*>(m_logScheme->Root()) : nullptr; }

void TEditArea::AttachScheme(TScheme* scheme, TSheet* sheet, TScheme* logScheme, TSheet* logSheet) {
    if (m_scheme) m_scheme->RemoveHandler(MakeHandler<&TEditArea::OnScheme>(this));
    if (TLogRoot* log = LogRoot()) {
        log->OnChange = nullptr;
        log->OnElementsLink = nullptr;
        log->OnFileLink = nullptr;
    }
    m_scheme = scheme;
    m_logScheme = logScheme;
    if (m_palette) m_palette->SetSheet(sheet);
    m_sheetForm->AttachSheet(scheme, sheet);
    m_logForm->AttachSheet(logScheme, logSheet);
    if (m_scheme) m_scheme->AddHandler(MakeHandler<&TEditArea::OnScheme>(this));
    if (TLogRoot* log = LogRoot()) {
        log->OnChange = [this](TLogRoot*) { UpdateLogPane(); };
        log->OnElementsLink = [this](TLogRoot*, const QList<int>& numbers) {
            m_sheetForm->GoToElements(numbers);
            m_sheetForm->RangeBox().setFocus(Qt::OtherFocusReason);
        };
        log->OnFileLink = [](TLogRoot*, const QString& fileName) { ShellOpen(fileName, {}, {}, true); };
    }
    UpdateLogPane();
    UpdateToolActions();
}

void TEditArea::SetPalette(ISheetPalette* palette) {
    if (m_palette) {
        m_palette->SetSheet(nullptr);
        if (QWidget* widget = m_palette->PaletteWidget()) layout()->removeWidget(widget);
        m_sheetForm->OnKeyDown = nullptr;
        m_sheetForm->OnKeyPress = nullptr;
        m_sheetForm->OnKeyUp = nullptr;
    }
    m_palette = palette;
    if (!m_palette) return;
    if (QWidget* widget = m_palette->PaletteWidget()) {
        static_cast<QBoxLayout*>(layout())->insertWidget(0, widget);
        widget->setVisible(Action(TEditAreaAction::ViewPalette).isChecked());
    }
    m_sheetForm->OnKeyDown = [this](TSheetForm&, int& key, TShiftState shift) { m_palette->KeyDown(key, shift); };
    m_sheetForm->OnKeyPress = [this](TSheetForm&, QChar& ch) { m_palette->KeyPress(ch); };
    m_sheetForm->OnKeyUp = [this](TSheetForm&, int& key, TShiftState shift) { m_palette->KeyUp(key, shift); };
    m_palette->SetSheet(m_sheetForm->Sheet());
}

void TEditArea::UpdateToolActions() {
    const bool attached = m_scheme != nullptr;
    for (TEditAreaAction a : {TEditAreaAction::EditFind, TEditAreaAction::EditFindNext, TEditAreaAction::EditReplace,
                              TEditAreaAction::ToolsCollapseAll, TEditAreaAction::ToolsExpandedNotEmpty,
                              TEditAreaAction::ToolsExpandAll, TEditAreaAction::ToolsCheck})
        Action(a).setEnabled(attached);
}

TFindData TEditArea::MakeFindData(const TFindDialog& dialog) const {
    TFindData request(dialog.FindText(), dialog.MatchCase());
    TSheet* sheet = m_sheetForm->Sheet();
    request.Scope = sheet ? sheet->ShownTree() : nullptr;
    return request;
}

void TEditArea::FindFrom(const TFindDialog& dialog) {
    if (!m_scheme) return;
    const TFindData request = MakeFindData(dialog);
    m_sheetForm->Find(TFindMode::SkipMatchingSelection, request, dialog.Down());
}

void TEditArea::RunAction(TEditAreaAction action) {
    switch (action) {
    case TEditAreaAction::EditFind:
        if (m_rd1) m_rd1->close();
        FindDialog().ShowInFront();
        break;
    case TEditAreaAction::EditReplace:
        if (m_fd1) m_fd1->close();
        ReplaceDialog().ShowInFront();
        break;
    case TEditAreaAction::EditFindNext:
        if (FindDialog().FindText().isEmpty()) {
            if (m_rd1) m_rd1->close();
            m_fd1->ShowInFront();
        } else {
            FindFrom(*m_fd1);
        }
        break;
    case TEditAreaAction::ToolsCollapseAll: m_sheetForm->CollapseExpandAll(false, false); break;
    case TEditAreaAction::ToolsExpandAll: m_sheetForm->CollapseExpandAll(false, true); break;
    case TEditAreaAction::ToolsExpandedNotEmpty: m_sheetForm->CollapseExpandAll(true, false); break;
    case TEditAreaAction::ToolsCheck: ToolsCheck(true); break;
    case TEditAreaAction::ToolsRefresh: ToolsRefresh(true); break;
    case TEditAreaAction::ToolsClearLog: ToolsClearLog(); break;
    case TEditAreaAction::ViewPalette:
        if (m_palette && m_palette->PaletteWidget())
            m_palette->PaletteWidget()->setVisible(Action(action).isChecked());
        break;
    default: break;
    }
}

void TEditArea::ToolsCheck(bool asAction) {
    if (asAction && Action(TEditAreaAction::ToolsRefresh).isEnabled()) ToolsRefresh(false);
    if (!m_scheme || !m_scheme->Root()) return;
    TWaitScope wait;
    m_scheme->BeginMessages();
    try {
        TElementMessages* list = m_scheme->Messages();
        for (TNode* node : PreOrder(static_cast<TNode*>(m_scheme->Root()))) {
            auto* element = dynamic_cast<TElement*>(node);
            if (list && element && element->Messages()) list->AddFrom(*element->Messages());
        }
    } catch (...) {
        m_scheme->EndMessages();
        throw;
    }
    m_scheme->EndMessages();
}

void TEditArea::ToolsRefresh(bool asAction) {
    if (asAction && Action(TEditAreaAction::ToolsCheck).isEnabled()) ToolsCheck(false);
    if (TSheet* sheet = m_sheetForm->Sheet()) sheet->Settings()->SendNodeMessage(1);
}

void TEditArea::ToolsClearLog() {
    if (m_scheme && m_scheme->Messages()) m_scheme->Messages()->Clear();
}

// ---- the log pane ----

void TEditArea::SetLogHeight(int height) {
    m_logHeight = height;
    if (!m_logShown) return;
    const int total = m_splitter->height() - m_splitter->handleWidth();
    m_splitter->setSizes({qMax(0, total - height), height});
}

void TEditArea::UpdateLogPane() {
    TElementMessages* list = m_scheme ? m_scheme->Messages() : nullptr;
    const int count = list ? list->GetCount() : 0;
    Action(TEditAreaAction::ToolsClearLog).setEnabled(count >= 1);
    const bool show = count >= 1;
    if (show != m_logShown) {
        m_logShown = show;
        m_logForm->setVisible(show);
        m_logButton->setVisible(show);
        if (show) SetLogHeight(m_logHeight);
        if (m_innerMargin > 0) update();
        CenterLogButton();
    }
    if (show) {
        const int severity = list->GetSeverity();
        if (severity != m_severity) {
            m_severity = severity;
            m_logButton->viewport()->update();
        }
    }
}

void TEditArea::CenterLogButton() {
    if (!m_logShown) return;
    const QWidget* handle = m_splitter->handle(1);
    const QRect bar(handle->mapTo(this, QPoint(0, 0)), handle->size());
    m_logButton->move((width() - m_logButton->width()) / 2,
                      bar.top() + (kSplitterHeight - m_logButton->height()) / 2);
    m_logButton->raise();
}

QColor TEditArea::SplitterColor() const { return m_splitter->handle(1)->palette().color(QPalette::Window); }

// The splitter's colour, the face, and the clear sign of the severity (of
// none when the severity is out of range) in the middle.
void TEditArea::PaintLogButton(QPainter& painter) {
    painter.fillRect(QRect(QPoint(0, 0), kLogButtonSize), SplitterColor());
    painter.drawImage(QPoint(0, 0), m_logFace);
    const int severity = m_severity >= 1 && m_severity <= kHighestSeverity ? m_severity : 0;
    const QRect sign(QPoint(severity * kLogClearSignSize.width(), 0), kLogClearSignSize);
    const QPoint at((kLogButtonSize.width() - kLogClearSignSize.width()) / 2,
                    (kLogButtonSize.height() - kLogClearSignSize.height()) / 2);
    painter.drawImage(at, m_logClearSigns, sign);
}

void TEditArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_innerMargin > 0) update();
    CenterLogButton();
}

// ---- the inner margin and its frames ----

void TEditArea::SetInnerMargin(int pixels) {
    if (pixels == m_innerMargin) return;
    m_innerMargin = pixels;
    layout()->setContentsMargins(pixels, pixels, pixels, pixels);
    update();
    m_splitter->handle(1)->update();
}

// The style's edit-box border: a themed frame, or the classic look's sunken edge.
void TEditArea::PaintFrame(QPainter& painter, const QRect& rect) const {
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect;
    option.lineWidth = 1;
    option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
}

// Around the sheet area (the palette and the sheet form) and, while it is
// shown, around the log; the edges under the splitter are the splitter's to paint.
void TEditArea::paintEvent(QPaintEvent*) {
    if (m_innerMargin <= 0) return;
    RunGuarded("Painting the edit area's frames", [&] {
        QPainter painter(this);
        const int sheetBottom = m_sheetForm->mapTo(this, QPoint(0, m_sheetForm->height())).y();
        PaintFrame(painter, QRect(0, 0, width(), sheetBottom + m_innerMargin));
        if (m_logForm->isVisible()) {
            const int logTop = m_logForm->mapTo(this, QPoint(0, 0)).y() - m_innerMargin;
            PaintFrame(painter, QRect(0, logTop, width(), height() - logTop));
        }
    });
}

void TEditArea::PaintSplitter(QPainter& painter, const QWidget& handle) const {
    painter.fillRect(handle.rect(), SplitterColor());
    if (m_innerMargin <= 0) return;
    const int w = handle.width(), h = handle.height();
    PaintFrame(painter, QRect(-1, -1, w + 2, 2));     // the sheet frame's bottom edge
    PaintFrame(painter, QRect(-1, h - 1, w + 2, 2));  // the log frame's top edge
}

bool TEditArea::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_splitter->handle(1) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show))
        CenterLogButton();
    if (watched == m_logButton->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_logButton->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        RunGuarded("The log button", [&] { ToolsClearLog(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- the layout ----

void TEditArea::LoadLayout(TKnot* knot) {
    if (!knot) return;
    if (TKnot* paletteKnot = knot->FindChild(kPaletteKnot)) {
        Action(TEditAreaAction::ViewPalette).setChecked(paletteKnot->ReadBool(kVisibleParam, true));
        RunAction(TEditAreaAction::ViewPalette);
    }
    if (TKnot* logKnot = knot->FindChild(kLogKnot)) {
        const int height = logKnot->ReadInt(kHeightParam, m_logHeight);
        if (height >= kMinLogHeight && height <= this->height() / 2) SetLogHeight(height);
    }
}

void TEditArea::SaveLayout(TKnot* knot) const {
    if (!knot) return;
    knot->FindOrAddChild(kPaletteKnot)->WriteBool(kVisibleParam, Action(TEditAreaAction::ViewPalette).isChecked());
    knot->FindOrAddChild(kLogKnot)->WriteInt(kHeightParam, m_logShown ? m_logForm->height() : m_logHeight);
}
