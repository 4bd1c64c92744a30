#pragma once
// Forms embedded in other forms. A child widget carries an alignment; the
// align layout of its parent (plAlignLayout) lays the children out by it.

class QWidget;

enum class TAlign { None, Top, Bottom, Left, Right, Client };

void SetWidgetAlign(QWidget* widget, TAlign align);
TAlign WidgetAlign(const QWidget* widget);

// Makes `form` (a top-level window so far) a frameless child of `parent`
// with the same client size, aligned by the parent's align layout (made when
// the parent has none), and shows or hides it.
void EmbedForm(QWidget* form, QWidget* parent, TAlign align, bool visible);
