#pragma once
// Hints for popup menus: the one popup list of the application reports which
// entry of any popup menu is highlighted, and nil when the mouse is over a
// separator or over no entry. The main form owns one.

#include <QObject>

#include <functional>

class QAction;
class QMenu;

class TPopupListEx : public QObject {
public:
    // (the list, the highlighted entry or nil)
    using TMenuSelectEvent = std::function<void(TPopupListEx* sender, QAction* item)>;

    // Watches every popup menu of the application (an event filter on it).
    TPopupListEx();
    ~TPopupListEx() override;

    TMenuSelectEvent OnMenuSelect;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QMenu* menu);
    void Select(QAction* item);
};
