#pragma once
// Bindings of settings items to the controls of a settings dialog: the
// associator fills each control from its item as the binding is added, shows
// the items' defaults in the controls on request and writes every control
// back into its item in one call.

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;
class TBooleanProperty;
class TEnumProperty;
class TIntegerEdit;
class TIntegerProperty;
class TProperty;
class TStringProperty;

class TPropertyAssoc {
public:
    explicit TPropertyAssoc(TProperty* item) noexcept : m_item(item) {}
    virtual ~TPropertyAssoc() = default;
    TPropertyAssoc(const TPropertyAssoc&) = delete;
    TPropertyAssoc& operator=(const TPropertyAssoc&) = delete;

    TProperty* Item() const noexcept { return m_item; }

    // Control to item.
    virtual void Apply() = 0;
    // Whether the binding concerns the control.
    virtual bool IsFor(const QWidget* control) const = 0;
    // The item's default to the control.
    virtual void ShowDefault() = 0;

private:
    TProperty* m_item;
};

// A binding to one control: for that control, or for any control inside it.
class TPropertyAssocSingleEditor : public TPropertyAssoc {
public:
    TPropertyAssocSingleEditor(TProperty* item, QWidget* control) noexcept : TPropertyAssoc(item), m_control(control) {}
    QWidget* Control() const noexcept { return m_control; }
    bool IsFor(const QWidget* control) const override;

private:
    QWidget* m_control;
};

class TPropertyAssocBoolInCheckBox : public TPropertyAssocSingleEditor {
public:
    TPropertyAssocBoolInCheckBox(TBooleanProperty* item, QCheckBox* box);
    void Apply() override;
    void ShowDefault() override;

private:
    TBooleanProperty* m_property;
    QCheckBox* m_box;
};

class TPropertyAssocEnumInComboBox : public TPropertyAssocSingleEditor {
public:
    TPropertyAssocEnumInComboBox(TEnumProperty* item, QComboBox* combo);
    void Apply() override;
    void ShowDefault() override;

private:
    TEnumProperty* m_property;
    QComboBox* m_combo;
};

class TPropertyAssocIntInIntegerEdit : public TPropertyAssocSingleEditor {
public:
    TPropertyAssocIntInIntegerEdit(TIntegerProperty* item, TIntegerEdit* edit);
    void Apply() override;
    void ShowDefault() override;

private:
    TIntegerProperty* m_property;
    TIntegerEdit* m_edit;
};

// A combo of drop-down-list style (not editable) selects the entry of the
// text; any other shows the text.
class TPropertyAssocStrInComboBox : public TPropertyAssocSingleEditor {
public:
    TPropertyAssocStrInComboBox(TStringProperty* item, QComboBox* combo);
    void Apply() override;
    void ShowDefault() override;
    static void ShowText(QComboBox& combo, const QString& text);

private:
    TStringProperty* m_property;
    QComboBox* m_combo;
};

// (the binding, its item)
using TPropertyAssocEvent = std::function<void(TPropertyAssoc* sender, TProperty* item)>;

// Handlers do the work: the first applies, the second shows the default.
class TPropertyAssocEvents : public TPropertyAssoc {
public:
    TPropertyAssocEvents(TProperty* item, QWidget* control, TPropertyAssocEvent onApply,
                         TPropertyAssocEvent onDefault);
    void Apply() override;
    // False without a control.
    bool IsFor(const QWidget* control) const override;
    void ShowDefault() override;

private:
    QWidget* m_control;
    TPropertyAssocEvent m_onApply;
    TPropertyAssocEvent m_onDefault;
};

// Owns its bindings, in the order of adding.
class TPropertyAssociator {
public:
    // Each sets the caption (of the box, or of the optional label), fills
    // the control from the item and appends the binding.
    // The box is widened to its caption's width + its height + 8 pixels.
    void AddBoolInCheckBox(TBooleanProperty* item, QCheckBox* box, const QString& caption);
    // The combo's items become the lines (CR LF separated).
    void AddEnumInComboBox(TEnumProperty* item, QComboBox* combo, const QString& lines, QLabel* label,
                           const QString& caption);
    // The edit's bounds become the item's.
    void AddIntInIntegerEdit(TIntegerProperty* item, TIntegerEdit* edit, QLabel* label, const QString& caption);
    void AddStrInComboBox(TStringProperty* item, QComboBox* combo, QLabel* label, const QString& caption);
    void AddEvents(TProperty* item, QWidget* control, TPropertyAssocEvent onApply, TPropertyAssocEvent onDefault);

    int Count() const noexcept { return int(m_bindings.size()); }
    TPropertyAssoc* Binding(int index) const { return m_bindings.at(size_t(index)).get(); }

    // Apply of every binding in the order of adding.
    void Apply();
    // ShowDefault of every binding concerning the control (every one without a control).
    void ShowDefault(const QWidget* control = nullptr);

private:
    std::vector<std::unique_ptr<TPropertyAssoc>> m_bindings;
};
