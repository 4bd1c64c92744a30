#pragma once
// Two small element kinds: the text field that holds a date/time format mask
// and formats a moment with it, and the collapse/expand button that titled
// elements put first in their title, with its undoable operation.

#include "scheme/diOperations.h"
#include "text/diTextorElement.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

// ---------------------------------------------------------------------------
// Date and time formatting

// The moment formatted by format in this program's pattern letters: y and yy
// (two-digit year), yyyy; m, mm (month), mmm, mmmm (short and long month
// names), and m or mm right after h or hh as minutes; d, dd, ddd, dddd (short
// and long day names); h, hh (12-hour when am/pm or a/p follows); n, nn
// (minutes); s, ss; z to zzz (milliseconds); am/pm and a/p in the format's
// letter case; text in single or double quotes as it is. Every other
// character, ":", "." and "/" among them, is written as itself on every
// locale. Names come from locale.
QString FormatDateTime(const QString& format, const QDateTime& moment, const QLocale& locale = QLocale());

// ---------------------------------------------------------------------------
// TCustomDateTimeMaskElement

// The text field of a date/time format mask; its drop-down offers the usual masks.
class TCustomDateTimeMaskElement : public TTextorElement {
    T_ELEMENT_CLASS(TCustomDateTimeMaskElement)
public:
    TCustomDateTimeMaskElement() noexcept;

    // The text a new field gets.
    static const QString& DefaultMask();
    // The masks the drop-down offers, in their order.
    static const QStringList& OfferedMasks();

    // The moment formatted with the field's text.
    QString FormatDateTime(const QDateTime& moment) const;

    void Create() override;
    void InitNew(TPaletteItem* item) override;
    // The masks first, then the inherited entries.
    TDropDownItem* FillDropDown(TDropDownItem* root) override;

protected:
    ~TCustomDateTimeMaskElement() override = default;
};

// ---------------------------------------------------------------------------
// TExpandButton

// The collapse/expand button of a titled element. Its state is stored in its
// parent's node only when it differs from the state it was made with; a
// change is an undoable operation that does not mark the document modified.
class TExpandButton : public TCustomButtonElement {
    T_ELEMENT_CLASS(TExpandButton)
public:
    TExpandButton() noexcept;

    // A button as a visual sub-element of owner before `before`, shown in
    // visualParent before visualBefore; initiallyExpanded sets both the
    // initial state and the state.
    static TExpandButton* CreateFor(TElement* owner, bool initiallyExpanded, TElement* before,
                                    TVisualElement* visualParent, TVisualElement* visualBefore);

    bool Expanded() const noexcept { return m_expanded; }
    bool InitiallyExpanded() const noexcept { return m_initiallyExpanded; }
    // Without undo: on a change node message nmExpandStateChanged is sent
    // from the button (its owner re-lays itself) and the button repaints.
    void SetExpanded(bool value);
    // Runs a TExpandButtonOperation with the new state.
    void ChangeExpanded(bool value);

    // The elements whose content the button hides (not owned).
    const QList<TElement*>& ControlledElements() const noexcept { return m_controlled; }
    // Appends element and re-checks the default state.
    void AddControlledElement(TElement* element);

    // The theme kind of the picture: Collapsed, CollapsedData, Expanded or ExpandedData.
    int GetPictureKind();

    // A click, Enter or Space: the sound of the direction, then the opposite state.
    void Action() override;

    // ---- TVisualElement ----
    void Paint(TSheetCanvas& canvas) override;
    TRect GetMargins() override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    int GetCursor(QPoint p) override;
    void GetHint(QString& text) override;
    void GetCaret(int& kind, TRect& rect) override;

    // ---- TElement ----
    bool GetIsDefault() override;
    void DefaultStateChanged() override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;

protected:
    ~TExpandButton() override = default;

private:
    QString StateAttributeName(TSchemeFiler* filer);

    QList<TElement*> m_controlled;
    bool m_initiallyExpanded = false;
    bool m_expanded = false;
};

// The mouse cursor of an expand button.
enum : int { crExpandButton = 2 };

// Sound names of the expand button.
inline const QString sndExpandButtonCollapse = QStringLiteral("diExpandButtonCollapseSound");
inline const QString sndExpandButtonExpand = QStringLiteral("diExpandButtonExpandSound");

// ---------------------------------------------------------------------------
// TExpandButtonOperation

// Collapsing or expanding: recorded in the history without marking the
// document modified.
class TExpandButtonOperation : public TElementOperation {
    T_CLASS(TExpandButtonOperation)
public:
    TExpandButtonOperation(TExpandButton* button, bool newExpanded);

    bool NewExpanded() const noexcept { return m_newExpanded; }
    int GetFlags() const override;

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    bool m_newExpanded;
    bool m_oldExpanded = false;
};

// Registers the expand button's cursor from its ".cur" resource (an arrow
// where the file can't be read).
void RegisterExpandButtonCursor();
