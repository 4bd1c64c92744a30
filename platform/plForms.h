#pragma once
// Forms embedded in other forms: a form becomes a frameless child aligned by
// its parent's align layout (plAlignLayout, where the alignments are). And
// the captions of a form and of the application, for callers that only
// forward-declare QWidget.

class QString;
class QWidget;
enum class TAlign : int;

// Makes `form` (a top-level window so far) a frameless child of `parent`
// with the same client size, aligned by the parent's align layout (made when
// the parent has none), and shows or hides it.
void EmbedForm(QWidget* form, QWidget* parent, TAlign align, bool visible);

// The text of the form's title bar.
void plSetFormCaption(QWidget& form, const QString& caption);
QString plFormCaption(const QWidget& form);
// The name the desktop shows for the application (task bar, window lists).
void plSetApplicationTitle(const QString& title);
