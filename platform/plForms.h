#pragma once
// Forms embedded in other forms: a form becomes a frameless child aligned by
// its parent's align layout (plAlignLayout, where the alignments are).

class QWidget;
enum class TAlign : int;

// Makes `form` (a top-level window so far) a frameless child of `parent`
// with the same client size, aligned by the parent's align layout (made when
// the parent has none), and shows or hides it.
void EmbedForm(QWidget* form, QWidget* parent, TAlign align, bool visible);
