#pragma once
// The element that stands for a stored node of a kind this editor does not
// know: it keeps the node's knot text, shows it, carries an error-level
// message and writes the node back unchanged.

#include "scheme/diVisual.h"

#include <QStringList>

class TElement_Unaccepted : public TVisualElement {
    T_ELEMENT_CLASS(TElement_Unaccepted)
public:
    TElement_Unaccepted() noexcept;

    // The kept node as knot text, one string per line.
    const QStringList& Lines() const noexcept { return m_lines; }
    // The lines as drawn: TAB as eight spaces, at most 100 characters, the
    // last three of a longer line "...".
    static QString DisplayLine(const QString& line);

    bool GetIsFilled() override { return true; }
    void CheckContent() override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void VisibilityChanged() override;
    void Paint(TSheetCanvas& canvas) override;

private:
    void Measure();
    QStringList m_lines;
};
