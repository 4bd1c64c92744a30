#include "ui/baTreeViewEx.h"

#include "core/cuUtils.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolTip>
#include <QTreeWidgetItemIterator>

namespace {

// The tip stands this far right of the node's text and one cursor height below its top.
constexpr int kInfoTipIndent = 12;
constexpr int kCursorHeight = 32;

}  // namespace

TTreeViewEx::TTreeViewEx(QWidget* parent) : QTreeWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHeaderHidden(true);
    // The selection looks the same with and without the focus.
    QPalette colours = palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
}

void TTreeViewEx::SetCheckboxes(bool value) {
    if (m_checkboxes == value) return;
    m_checkboxes = value;
    for (QTreeWidgetItemIterator it(this); *it; ++it) PrepareNode(*it);
}

void TTreeViewEx::PrepareNode(QTreeWidgetItem* node) const {
    if (m_checkboxes) {
        node->setFlags(node->flags() | Qt::ItemIsUserCheckable);
        if (node->data(0, Qt::CheckStateRole).isNull()) node->setCheckState(0, Qt::Unchecked);
    } else {
        node->setFlags(node->flags() & ~Qt::ItemIsUserCheckable);
        node->setData(0, Qt::CheckStateRole, QVariant());
    }
}

bool TTreeViewEx::IsOnCheckBox(QTreeWidgetItem* node, QPoint point) const {
    if (!m_checkboxes || !node) return false;
    const QModelIndex index = indexFromItem(node);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.index = index;
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    return box.contains(point);
}

void TTreeViewEx::ClickCheck(QTreeWidgetItem* node) {
    if (OnClickCheck) OnClickCheck(this, node);
}

void TTreeViewEx::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    RunGuarded("TTreeViewEx::mousePressEvent", [&] {
        QTreeWidgetItem* node = itemAt(event->position().toPoint());
        if (!node || event->button() != Qt::LeftButton || !IsOnCheckBox(node, event->position().toPoint())) return;
        // A press on the box selects the node as a press anywhere on it does.
        if (currentItem() != node) setCurrentItem(node);
        ClickCheck(node);
    });
}

void TTreeViewEx::keyPressEvent(QKeyEvent* event) {
    QTreeWidget::keyPressEvent(event);
    RunGuarded("TTreeViewEx::keyPressEvent", [&] {
        if (event->key() == Qt::Key_Space && m_checkboxes && currentItem() && currentItem()->isSelected())
            ClickCheck(currentItem());
    });
}

bool TTreeViewEx::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && OnInfoTip) {
        bool shown = false;
        RunGuarded("TTreeViewEx::InfoTip", [&] { shown = ShowInfoTip(static_cast<QHelpEvent*>(event)); });
        if (shown) return true;
    }
    return QTreeWidget::viewportEvent(event);
}

bool TTreeViewEx::ShowInfoTip(QHelpEvent* event) {
    QTreeWidgetItem* node = itemAt(event->pos());
    if (!node) return false;
    QString text = node->text(0);
    OnInfoTip(this, node, text);
    const QRect rect = visualItemRect(node);
    const QPoint at = viewport()->mapToGlobal(rect.topLeft() + QPoint(kInfoTipIndent, kCursorHeight));
    QToolTip::showText(at, text, viewport(), rect);
    return true;
}
