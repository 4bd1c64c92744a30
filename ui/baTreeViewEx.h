#pragma once
// A read-only tree view with check boxes and information tips per node: a
// click on a node's check box and Space on the selected node report the
// node; the selection stays visible when the tree loses the focus; node
// texts are not edited in place.

#include <QString>
#include <QTreeWidget>

#include <functional>

class TTreeViewEx : public QTreeWidget {
public:
    // (the tree, the node)
    using TClickCheckEvent = std::function<void(TTreeViewEx* sender, QTreeWidgetItem* node)>;
    // (the tree, the node, the tip: the node's text, may be changed)
    using TInfoTipEvent = std::function<void(TTreeViewEx* sender, QTreeWidgetItem* node, QString& text)>;

    explicit TTreeViewEx(QWidget* parent = nullptr);

    bool Checkboxes() const noexcept { return m_checkboxes; }
    // Gives every node a check box, or takes them away.
    void SetCheckboxes(bool value);
    // A node added later gets its box here.
    void PrepareNode(QTreeWidgetItem* node) const;

    TClickCheckEvent OnClickCheck;
    TInfoTipEvent OnInfoTip;

    // Whether the point (viewport coordinates) lies on the node's check box.
    bool IsOnCheckBox(QTreeWidgetItem* node, QPoint point) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void ClickCheck(QTreeWidgetItem* node);
    bool ShowInfoTip(QHelpEvent* event);

    bool m_checkboxes = false;
};
