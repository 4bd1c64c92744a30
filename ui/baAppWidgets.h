#pragma once
// Components of the application shell that work on widgets: a hook that sees
// a control's events before the control does and after it handled them, the
// placement of a form kept in the session file, and the menu of recently
// used files.

#include "core/baAppCmpns.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QEvent;
class QMenu;
class QWidget;
class TTimer;

// Sees every event of one control (an event filter). Before the control:
// DoMessage with before true, which may mark the event handled to keep it
// from the control. When after-messages are wanted, an event the control is
// to see is handed to the control's own handler from the hook, and then
// DoMessage runs with before false; the event is not delivered a second time.
// What a handler raises is shown (RunGuarded) and the event goes on.
class TCustomHooker : public QObject {
public:
    explicit TCustomHooker(QObject* owner = nullptr) : QObject(owner) {}
    ~TCustomHooker() override;
    TCustomHooker(const TCustomHooker&) = delete;
    TCustomHooker& operator=(const TCustomHooker&) = delete;

    QWidget* Control() const noexcept { return m_control; }
    // Hooks the control (nil unhooks). A control that goes is unhooked and
    // Control becomes nil.
    void SetControl(QWidget* control);

protected:
    // After Control changed (also when the control went).
    virtual void ControlChanged() {}
    virtual void DoMessage(QEvent& event, bool& handled, bool before) = 0;
    virtual bool WantsAfterMessages() const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Unhook();

    QWidget* m_control = nullptr;
    QMetaObject::Connection m_controlGone;
};

class THooker;
// Sender, the event and Handled (false at first).
using THookerMessageEvent = std::function<void(THooker& sender, QEvent& event, bool& handled)>;

class THooker : public TCustomHooker {
public:
    using TCustomHooker::TCustomHooker;

    THookerMessageEvent OnBeforeMessage;
    THookerMessageEvent OnAfterMessage;

protected:
    void DoMessage(QEvent& event, bool& handled, bool before) override;
    bool WantsAfterMessages() const override { return bool(OnAfterMessage); }
};

// ---------------------------------------------------------------------------
// Form placement

// Keeps a form's placement (platform/plFormPlacement) in a session file: in
// the child knot named after the form's object name under the knot at
// KnotPath (or the root). It is restored, clamped to the screen, when the
// form is first shown, and stored whenever the form is asked to close, before
// the form decides (a refused close still stores it). A form without a name
// or a place without a session keeps nothing.
class TFormPlace : public QObject {
public:
    // Owned by the form.
    explicit TFormPlace(QWidget& form);

    QWidget& Form() const noexcept { return m_form; }
    TSessionFile* SessionFile() const noexcept { return m_sessionFile.Get(); }
    void SetSessionFile(TSessionFile* sessionFile) { m_sessionFile.Set(sessionFile); }
    QString KnotPath;  // dot-separated; empty: the session's root

    // The placement knot, made when missing; nil without a session or a name.
    TKnot* PlaceKnot() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Restore();
    void Store();

    QWidget& m_form;
    TComponentRef<TSessionFile> m_sessionFile;
    bool m_restored = false;
};

// ---------------------------------------------------------------------------
// The menu of recently used files

class TReopenFilesMenuFiller;
// Sender and the file's full name.
using TRFMenuItemClickEvent = std::function<void(TReopenFilesMenuFiller& sender, const QString& fileName)>;

class TReopenFilesMenuFiller : public QObject {
public:
    // Sender, the file's full name and the item made for it, to be decorated.
    using TItemCreatedEvent = std::function<void(TReopenFilesMenuFiller& sender, const QString& fileName, QAction& item)>;

    // A click acts this long after it, when the menu has closed.
    static constexpr int ClickDelayMs = 55;

    struct TFillOptions {
        int MaxCount = TRecentFiles::DefaultMaxStoredCount;
        bool KeepExtension = false;  // the caption keeps the file's extension
        bool FullPath = false;       // the caption keeps the file's folder
        QAction* FirstAnchor = nullptr;  // the items go right after it (nil: at the start)
        QAction* LastAnchor = nullptr;   // and before it (nil: to the end)
        TItemCreatedEvent OnItemCreated;
    };

    explicit TReopenFilesMenuFiller(QObject* owner = nullptr);
    ~TReopenFilesMenuFiller() override;

    TRFMenuItemClickEvent OnMenuItemClick;

    // Replaces the items strictly between the anchors with one item per
    // recent file, most recent first, at most MaxCount; each item's status
    // tip is the full name. The menu is enabled when it has items.
    void Fill(const TRecentFiles& recentFiles, QMenu& menu, const TFillOptions& options);

private:
    QAction* MakeItem(const QString& fileName, QMenu& menu, const TFillOptions& options);
    // Starts a timer that, when it fires, frees itself and runs OnMenuItemClick.
    void Clicked(const QString& fileName);

    std::vector<std::unique_ptr<TTimer>> m_clicks;
};

// The caption of a recent file's item: the file's name with or without its
// folder and extension, ampersands doubled so that none becomes a mnemonic,
// control characters (a tab, a line break) as spaces.
QString ReopenItemCaption(const QString& fileName, bool keepExtension, bool fullPath);
