#pragma once
// The layout of aligned children: in the order of the kinds top, bottom,
// left, right, client, and within a kind in the order added, each child gets
// a strip at that side of the space still free (keeping its own height or
// width) or, for client, the whole rest. Children without alignment keep
// their geometry. A child carries its alignment as a widget property.

#include <QLayout>
#include <QList>

enum class TAlign : int { None, Top, Bottom, Left, Right, Client };

void SetWidgetAlign(QWidget* widget, TAlign align);
TAlign WidgetAlign(const QWidget* widget);

class TAlignLayout : public QLayout {
public:
    explicit TAlignLayout(QWidget* parent = nullptr);
    ~TAlignLayout() override;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> m_items;
};
