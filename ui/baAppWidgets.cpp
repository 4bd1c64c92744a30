#include "ui/baAppWidgets.h"

#include "core/cuUtils.h"
#include "platform/plFormPlacement.h"
#include "platform/plTimer.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <algorithm>

// ---------------------------------------------------------------------------
// TCustomHooker

TCustomHooker::~TCustomHooker() { Unhook(); }

void TCustomHooker::SetControl(QWidget* control) {
    if (control == m_control) return;
    Unhook();
    if (control) {
        m_control = control;
        control->installEventFilter(this);
        // Sent while the control goes: it is unhooked and forgotten.
        m_controlGone = connect(control, &QObject::destroyed, this, [this] {
            m_control = nullptr;
            QObject::disconnect(m_controlGone);
            ControlChanged();
        });
    }
    ControlChanged();
}

void TCustomHooker::Unhook() {
    if (!m_control) return;
    QObject::disconnect(m_controlGone);
    m_control->removeEventFilter(this);
    m_control = nullptr;
}

bool TCustomHooker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_control) return QObject::eventFilter(watched, event);
    // A handler may free the control or the hook itself.
    const QPointer<QObject> control(watched);
    const QPointer<TCustomHooker> self(this);
    bool handled = false;
    RunGuarded("An event hook", [&] { DoMessage(*event, handled, true); });
    if (!control) {  // no event for a control that is gone, nor for its parents
        event->accept();
        return true;
    }
    if (handled) return true;
    if (!self || m_control != watched || !WantsAfterMessages()) return false;
    // The control's own handler, then the after-message; Qt then treats the
    // event as delivered, and its accepted flag (set by the control) decides
    // whether it goes on to the parent.
    watched->event(event);
    if (self) RunGuarded("An event hook", [&] { DoMessage(*event, handled, false); });
    return true;
}

// ---------------------------------------------------------------------------
// THooker

void THooker::DoMessage(QEvent& event, bool& handled, bool before) {
    const THookerMessageEvent& handler = before ? OnBeforeMessage : OnAfterMessage;
    if (handler) handler(*this, event, handled);
}

// ---------------------------------------------------------------------------
// TFormPlace

TFormPlace::TFormPlace(QWidget& form) : QObject(&form), m_form(form) { form.installEventFilter(this); }

TKnot* TFormPlace::PlaceKnot() const {
    TSessionFile* session = SessionFile();
    const QString name = m_form.objectName();
    if (!session || name.isEmpty()) return nullptr;
    TKnot* places = KnotPath.isEmpty() ? session->Root() : session->Root()->FindPath(KnotPath, true);
    return places->FindOrAddChild(name);
}

bool TFormPlace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_form) {
        if (event->type() == QEvent::Show && !m_restored) {
            m_restored = true;
            RunGuarded("Restoring a form's placement", [this] { Restore(); });
        } else if (event->type() == QEvent::Close) {
            RunGuarded("Storing a form's placement", [this] { Store(); });
        }
    }
    return QObject::eventFilter(watched, event);
}

void TFormPlace::Restore() {
    if (TKnot* knot = PlaceKnot()) plRestoreFormPlacement(m_form, *knot);
}

void TFormPlace::Store() {
    if (TKnot* knot = PlaceKnot()) plSaveFormPlacement(m_form, *knot);
}

// ---------------------------------------------------------------------------
// TReopenFilesMenuFiller

QString ReopenItemCaption(const QString& fileName, bool keepExtension, bool fullPath) {
    QString caption = fileName;
    if (!fullPath) {
        const QStringList parts = SplitPath(fileName);
        if (!parts.isEmpty()) caption = parts.last();
    }
    if (!keepExtension) {
        const QString ext = ExtractFileExtNoDot(caption);
        if (!ext.isEmpty()) caption.chop(ext.size() + 1);
    }
    // A tab would split off a shortcut text, a line break a second line.
    for (QChar& c : caption)
        if (c.unicode() < u' ') c = QLatin1Char(' ');
    return caption.replace(QLatin1Char('&'), QLatin1String("&&"));
}

TReopenFilesMenuFiller::TReopenFilesMenuFiller(QObject* owner) : QObject(owner) {}

TReopenFilesMenuFiller::~TReopenFilesMenuFiller() = default;

void TReopenFilesMenuFiller::Fill(const TRecentFiles& recentFiles, QMenu& menu, const TFillOptions& options) {
    QList<QAction*> items = menu.actions();
    const qsizetype first = options.FirstAnchor ? items.indexOf(options.FirstAnchor) + 1 : 0;
    const qsizetype last = options.LastAnchor ? items.indexOf(options.LastAnchor) : -1;
    const qsizetype end = last < 0 ? items.size() : last;
    for (qsizetype i = first; i < end; ++i) {
        menu.removeAction(items[i]);
        if (items[i]->parent() == &menu) delete items[i];  // ours, or the menu's own
    }
    items = menu.actions();
    QAction* before = first < items.size() ? items[first] : nullptr;
    const QStringList files = recentFiles.FileNames();
    for (qsizetype i = 0; i < files.size() && i < options.MaxCount; ++i)
        menu.insertAction(before, MakeItem(files[i], menu, options));
    menu.menuAction()->setEnabled(!menu.actions().isEmpty());
}

QAction* TReopenFilesMenuFiller::MakeItem(const QString& fileName, QMenu& menu, const TFillOptions& options) {
    auto* item = new QAction(ReopenItemCaption(fileName, options.KeepExtension, options.FullPath), &menu);
    item->setStatusTip(fileName);
    connect(item, &QAction::triggered, this, [this, fileName] { Clicked(fileName); });
    if (options.OnItemCreated) options.OnItemCreated(*this, fileName, *item);
    return item;
}

void TReopenFilesMenuFiller::Clicked(const QString& fileName) {
    std::unique_ptr<TTimer> timer = TTimerService::Make();
    TTimer* raw = timer.get();
    raw->SetOnTick([this, raw, fileName] {
        // Freeing the timer frees this closure too: keep what is needed.
        TReopenFilesMenuFiller* self = this;
        const QString name = fileName;
        auto& clicks = self->m_clicks;
        clicks.erase(std::find_if(clicks.begin(), clicks.end(), [raw](const auto& t) { return t.get() == raw; }));
        RunGuarded("Opening a recent file", [self, &name] {
            if (self->OnMenuItemClick) self->OnMenuItemClick(*self, name);
        });
    });
    raw->Start(ClickDelayMs);
    m_clicks.push_back(std::move(timer));
}
