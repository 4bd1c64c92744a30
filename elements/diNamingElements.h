#pragma once
// Elements that declare names and refer to them:
//   TNameElement            a non-visual declaration (built-in names)
//   TNameField              the rich-text field in which the user types an
//                           element's name; its item announces renames
//   TCustomReferenceElement the rich-text field that refers to a name: it
//                           resolves the name, follows renames, offers the
//                           candidates in a drop-down list and reports
//                           broken references
//   TReferenceSignElement   shows on a name field how many references use it
//   TReferenceOperation     the undoable choice of a reference's target
//   "Autoname"              the palette item that enters a generated name
//
// Routing: a namespace announces every item event to all its listeners, so
// that with every reference listening a load or a rename in a big scheme
// would be quadratic. Instead one TReferenceRouter per namespace listens and
// hands each event only to the references concerned: those that wait for
// exactly the item's name (an index of unresolved references by name) and
// those that point at the item (an index by target).

#include "scheme/diHashGroups.h"
#include "scheme/diHashIndex.h"
#include "scheme/diNaming.h"
#include "scheme/diOperations.h"
#include "text/diTextorEdit.h"
#include "text/diTextorElement.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <cstdint>
#include <memory>
#include <vector>

class TCustomReferenceElement;
class TNameField;
class TPaletteItem;
class TReferenceSignElement;

// ---------------------------------------------------------------------------
// Named constants

// Name options of TNameElement and TNameField.
enum : uint8_t {
    noRegister = 0x01,         // register the name in the namespace
    noAutoname = 0x02,         // offer the "Autoname" palette item
    noImageWhenFilled = 0x04,  // draw the image only while the field is filled
    noUnique = 0x08,           // the name must be unique
    noAnnounceTitle = 0x10,    // announce title changes of the owner (107)
};

// Item flag: listed in a drop-down only while Shift is held (beside
// nifOverridable and nifListedLast of scheme/diNaming.h).
enum : int {
    nifShiftOnly = 0x04,
};

// Node message sent upward from a reference for each candidate item:
// p1 = TNamespaceItem*, p2 = bool* accept (in/out).
enum : int {
    nmAcceptReferenceItem = 200,
};

// Reference options.
enum : uint8_t {
    roFreeText = 0x01,     // an unresolved text is checked against the restrictions
    roTargetImage = 0x02,  // show the target's image at the left
};

// Reference state bits.
enum : uint8_t {
    rstListening = 0x01,  // hears the namespace's item events
    rstOwnText = 0x02,    // the element writes its own text: no re-resolving
};

// Options a name field and a reference set in their constructors.
inline constexpr uint8_t kNameFieldElementOptions = 0x82;
inline constexpr uint32_t kNameFieldTextorOptions = 0x20414;
inline constexpr uint32_t kNameFieldRestrictions = 0xC04F;
inline constexpr uint8_t kNameFieldNameOptions = noRegister | noUnique;
inline constexpr uint32_t kReferenceVisualOptions = 0x0500;
inline constexpr uint32_t kReferenceTextorOptions = 0x20010;
inline constexpr uint32_t kReferenceRestrictions = trAnyText;
inline constexpr uint16_t kReferenceSignVisualOptions = voTransparent;
// How far the reference sign reaches into the name field from its left edge.
inline constexpr int kReferenceSignOverlap = 3;
// The stored name of the reference sign.
inline const QString kReferenceSignName = QStringLiteral("ReferenceSign");

// Order of the "Autoname" palette item in its group.
inline constexpr int kAutonamePaletteOrder = 100;

// ---------------------------------------------------------------------------
// INamespaceOwner

// Implemented by elements that give the namespace of the names and
// references inside them.
class INamespaceOwner {
public:
    virtual TNamespace* GetNamespace() = 0;

protected:
    ~INamespaceOwner() = default;
};

// The namespace for element: its parent when that is a namespace, else the
// namespace of the nearest ancestor implementing INamespaceOwner; nil.
TNamespace* FindOwnerNamespace(TElement* element);

// ---------------------------------------------------------------------------
// TNameElement

class TNameElement;

class TNameElementNamespaceItem : public TNamespaceOwnItem {
public:
    explicit TNameElementNamespaceItem(TElement* element) noexcept : TNamespaceOwnItem(element) {}
    TNameElement* NameElement() const;

    int GetImageIndex() override;
    QString GetDescription() override;
    bool IsEnabled() override;
    QString GetName() override;
    bool NeedsUniqueName() override;
    int GetItemFlags() override;
    void GetUsedReferences(std::vector<TReference*>& list) override;
    int GetVisibility() override;
};

// A non-visual declaration of a name (built-in names).
class TNameElement : public TElement {
    T_ELEMENT_CLASS(TNameElement)
public:
    TNameElement() noexcept;

    uint8_t NameOptions() const noexcept { return m_nameOptions; }
    void SetNameOptions(uint8_t value);
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TNameElementNamespaceItem* Item() const noexcept { return m_item.get(); }

    // ---- virtual operations ----
    virtual TNamespace* GetNamespace();
    virtual int GetImageIndex() { return -1; }
    virtual QString GetDescription() { return {}; }
    virtual bool IsEnabled() { return true; }
    virtual QString GetName() = 0;
    virtual bool NeedsUniqueName() { return true; }
    virtual int GetItemFlags() { return 0; }
    virtual void GetUsedReferences(std::vector<TReference*>& list) {}
    virtual int GetVisibility() { return 0; }
    // With a namespace and noRegister: the item, made when there is none; else none.
    virtual void UpdateNamespaceItem();

    void TreePlacementChanged() override;
    void BeforeDestruction() override;

protected:
    ~TNameElement() override;

private:
    uint8_t m_nameOptions = noRegister;
    TNamespace* m_namespace = nullptr;
    TNamespaceOwnItemPtr<TNameElementNamespaceItem> m_item;
};

// ---------------------------------------------------------------------------
// TNameField

class TNameFieldNamespaceItem : public TNamespaceOwnItem {
public:
    TNameFieldNamespaceItem(TElement* owner, TNameField* field) noexcept
        : TNamespaceOwnItem(owner), m_field(field) {}
    TNameField* Field() const noexcept { return m_field; }

    int GetImageIndex() override;
    QString GetDescription() override;
    bool IsEnabled() override;
    QString GetName() override;
    TElement* GetNameElement() override;
    bool NeedsUniqueName() override;
    int GetItemFlags() override;
    void GetUsedReferences(std::vector<TReference*>& list) override;
    int GetVisibility() override;
    void StateChanged() override;
    // Both count the references and show or hide the field's reference sign.
    void AddReference(TReference* reference) override;
    void RemoveReference(TReference* reference) override;
    // Whether a counted reference points here (without walking the list).
    bool HasCountedReferences() const noexcept { return m_countedReferences > 0; }

private:
    TNameField* m_field;
    int m_countedReferences = 0;
};

// The room of a 12 x 12 element image at the left of a text element: while
// a picture is shown the padding is widened by the picture and the theme's
// gap, and the picture is painted at the former left padding, centred on
// the first row.
class TElementImageRoom {
public:
    // padding widened when index names a picture (on a sheet).
    TRect Widen(const TTextorElement& element, TRect padding, int index) const;
    // The picture at left, on the element's first row.
    void Paint(TSheetCanvas& canvas, const TTextorElement& element, int left, int index) const;
    // Whether a picture is shown changed: the text is laid out again (its
    // padding changed); otherwise the element is repainted.
    void Update(TTextorElement& element, int index);

private:
    bool m_shown = false;
};

// The editable name of an element: an item in the owner's namespace exactly
// while there is a namespace, noRegister is set, the field is not being
// destroyed and the name is not empty.
class TNameField : public TTextorElement {
    T_ELEMENT_CLASS(TNameField)
public:
    TNameField() noexcept;

    uint8_t NameOptions() const noexcept { return m_nameOptions; }
    // A change of noUnique runs the namespace's duplicate check, a change of
    // noImageWhenFilled updates the bounds; then the item follows the rule.
    void SetNameOptions(uint8_t value);
    int ImageIndex() const noexcept { return m_imageIndex; }
    // Updates the bounds and announces the image change of the item.
    void SetImageIndex(int index);
    TNamespace* Namespace() const noexcept { return m_namespace; }
    TNameFieldNamespaceItem* Item() const noexcept { return m_item.get(); }
    TReferenceSignElement* ReferenceSign() const noexcept { return m_sign; }
    // Shows, places or frees the reference sign: it is shown exactly while
    // the item has a counted reference and the field is visible on a sheet.
    void UpdateReferenceSign();
    // The image shown at the left of the name: GetImageIndex, unless option
    // noImageWhenFilled hides it while the field is empty; -1 none.
    int ShownImage();

    // ---- virtual operations ----
    virtual QString GetAutoName() { return {}; }
    virtual bool CanAutoName() { return true; }
    virtual TNamespace* GetNamespace();
    virtual int GetImageIndex() { return m_imageIndex; }
    virtual QString GetDescription() { return {}; }
    virtual bool IsEnabled();
    virtual QString GetNameText() { return GetText(); }
    virtual bool NeedsUniqueName() { return m_nameOptions & noUnique; }
    virtual int GetItemFlags() { return 0; }
    virtual void GetUsedReferences(std::vector<TReference*>& list) {}
    // Base: public.
    virtual int GetVisibility() { return 0; }
    // The item made, freed or re-evaluated (name, flags, duplicates).
    virtual void UpdateNamespaceItem();

    // ---- TTextorElement / TElement ----
    void Create() override;
    void TextChanged() override;
    void CheckContent() override;
    void TreePlacementChanged() override;
    void BeforeDestruction() override;
    void NumberChanged(int32_t oldNumber) override;
    // The item announces 106.
    void EffectiveDisabledChanged() override;
    void GetPaletteItems(QList<TPaletteItem*>& list) override;
    void UpdatePaletteItemState(TPaletteItem* item, TPaletteItemState& state) override;
    bool ApplyPaletteItem(TPaletteItem* item, const QString& subCommand, bool checked) override;
    void GetHint(QString& text) override;
    void FilledChanged() override;
    // "Name" where the text element would use the "Field" frame.
    int GetThemeKind() const override;
    // Room for the image at the left.
    TRect GetPadding() override;
    void Paint(TSheetCanvas& canvas) override;
    // The image stands in the middle of the height: a change of size repaints all.
    int SizeDependentEdge() override { return kWholeArea; }
    // The sign follows the field as it is laid out, moved, resized, shown or hidden.
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void PositionChanged() override;
    void BoundsChanged(const TRect& oldRect, int oldDescent) override;
    void VisibilityChanged() override;
    void DetachFromSheet() override;

protected:
    ~TNameField() override;

private:
    friend class TReferenceSignElement;
    bool WantsItem();
    bool WantsReferenceSign();
    void FreeReferenceSign();

    uint8_t m_nameOptions = kNameFieldNameOptions;
    int m_imageIndex = -1;
    TNamespace* m_namespace = nullptr;
    TNamespaceOwnItemPtr<TNameFieldNamespaceItem> m_item;
    // Not owned: a sub-element of the sheet's root element, which may free it
    // first (then it clears this pointer).
    TReferenceSignElement* m_sign = nullptr;
    TElementImageRoom m_imageRoom;
    bool m_destroying = false;
};

// The "Autoname" palette item (group Actions, order kAutonamePaletteOrder).
TPaletteItem* AutonamePaletteItem();

// ---------------------------------------------------------------------------
// References

// The link of a reference element: points at the target item.
class TCustomReferenceElementReference : public TReference {
public:
    explicit TCustomReferenceElementReference(TCustomReferenceElement* element) noexcept : m_element(element) {}
    TCustomReferenceElement* Element() const noexcept { return m_element; }
    void TargetChanged() override;
    void CycleStateChanged() override;

private:
    TCustomReferenceElement* m_element;
};

// One per namespace that has listening references: hears the namespace's
// item events and hands each to the references it concerns.
class TReferenceRouter : public TNamespaceAttachment {
public:
    explicit TReferenceRouter(TNamespace* ns);
    ~TReferenceRouter() override;
    TReferenceRouter(const TReferenceRouter&) = delete;
    TReferenceRouter& operator=(const TReferenceRouter&) = delete;

    // The router of ns, made on first use; freed with the namespace.
    static TReferenceRouter* Of(TNamespace* ns);
    // The router of ns when there is one.
    static TReferenceRouter* Find(TNamespace* ns);

    // A listening reference joins or leaves; Rekey when its text or target changed.
    void Add(TCustomReferenceElement* reference);
    void Remove(TCustomReferenceElement* reference);
    void Rekey(TCustomReferenceElement* reference);
    int WaitingCount(const QString& name) const;

private:
    using TConcerned = QVarLengthArray<TCustomReferenceElement*, 8>;
    void OnNotify(TItfObject* sender, int code, intptr_t p1, intptr_t p2);
    // Every filed reference is told that the namespace goes.
    void NamespaceFreed();
    // Whether reference is still filed under item, or (item nil) waiting for name.
    bool Files(TCustomReferenceElement* reference, TNamespaceItem* item, const QString& name) const;
    void Link(TCustomReferenceElement* reference);
    void Unlink(TCustomReferenceElement* reference);

    TNamespace* m_namespace;
    // Unresolved references under the hash of their exact text (the text is
    // compared on the way out: names may share a hash).
    THashGroups<TCustomReferenceElement> m_waiting;
    // Resolved references under their target's hash. Thousands may point at
    // one declaration or wait for one name: filing one costs the same.
    THashGroups<TCustomReferenceElement> m_byTarget;
    // Every filed reference, chained through the references.
    TCustomReferenceElement* m_first = nullptr;
};

// The rich-text field that refers to a declared name.
class TCustomReferenceElement : public TTextorElement {
    T_ELEMENT_CLASS(TCustomReferenceElement)
public:
    TCustomReferenceElement() noexcept;

    TCustomReferenceElementReference* Link() const noexcept { return m_link.get(); }
    // The item the link points to, or nil.
    TNamespaceItem* GetTargetItem() const noexcept { return m_link->Target(); }
    TNamespace* Namespace() const noexcept { return m_namespace; }
    uint8_t ReferenceOptions() const noexcept { return m_referenceOptions; }
    // A change of roTargetImage updates the bounds; of roFreeText re-checks.
    void SetReferenceOptions(uint8_t value);
    uint8_t ReferenceState() const noexcept { return m_referenceState; }
    TPaletteItem* CreateItem() const noexcept { return m_createItem; }
    void SetCreateItem(TPaletteItem* item) noexcept { m_createItem = item; }
    TPaletteItem* CreateHereItem() const noexcept { return m_createHereItem; }
    void SetCreateHereItem(TPaletteItem* item) noexcept { m_createHereItem = item; }

    // CanReferTo, then node message nmAcceptReferenceItem upward.
    bool Accepts(TNamespaceItem* item);
    // The target by name (or nil): the first accepted item of exactly the text.
    void ResolveByName();
    // The target set without touching the text; nil drops it.
    void SetTarget(TNamespaceItem* item);
    // The target by path in the namespace (nil when not found).
    void SetTargetByPath(const QString& path);
    // The text set without re-resolving.
    void SetOwnText(const QString& text);

    // ---- virtual operations ----
    virtual TNamespace* GetNamespace();
    virtual int GetImageIndex();
    // Whether item may be a target; element kinds override.
    virtual bool CanReferTo(TNamespaceItem* item) { return false; }
    // An item event of the namespace that concerns this reference.
    virtual void NamespaceNotify(int code, TNamespaceItem* item, intptr_t argument);

    // ---- TTextorElement / TElement ----
    void Create() override;
    void TextChanged() override;
    void CheckContent() override;
    bool GetIsFilled() override;
    void FilledChanged() override;
    void AfterLoad(TSchemeLoader* loader, intptr_t datum) override;
    void UndoDependent(TKnot* snapshot) override;
    void TreePlacementChanged() override;
    void BeforeDestruction() override;
    TDropDownItem* FillDropDown(TDropDownItem* root) override;
    bool SelectDropDownItem(TDropDownItem* item) override;
    TNodePtr<TTextorEditOperation> CreateEditOperation() override;
    void SaveTo(TSchemeSaver* saver, TKnot* knot) override;
    void LoadFrom(TSchemeLoader* loader, TKnot* knot) override;
    // Room for the target's image at the left.
    TRect GetPadding() override;
    void Paint(TSheetCanvas& canvas) override;
    // The image stands in the middle of the height: a change of size repaints all.
    int SizeDependentEdge() override { return kWholeArea; }

protected:
    ~TCustomReferenceElement() override;

private:
    friend class TCustomReferenceElementReference;
    // Tries to attach item: no target, no embedded element, text equal, accepted.
    void TryAttach(TNamespaceItem* item);
    // The target leaves: "Link" recorded for undo, then resolved by name again.
    void TargetLost(TNamespaceItem* item);
    void UpdateListening();
    void StopListening();
    // The element that owns the namespace, or the root rich-text element.
    TElement* PlaceToCreate();
    // The choice of a drop-down entry (inside the undo group of the choice).
    bool ChooseEntry(TDropDownItem* item);
    void ChooseCreate();
    void ChooseCreateHere();
    void ChooseItem(TNamespaceItem* item);

    std::unique_ptr<TCustomReferenceElementReference> m_link;
    TNamespace* m_namespace = nullptr;
    TReferenceRouter* m_router = nullptr;
    uint8_t m_referenceOptions = roTargetImage;
    uint8_t m_referenceState = 0;
    TPaletteItem* m_createItem = nullptr;
    TPaletteItem* m_createHereItem = nullptr;
    QString m_pendingLink;
    // The paths of the candidates of the last drop-down fill, by entry.
    QStringList m_listedPaths;
    // Where the router files the reference: under its target, else (while
    // filed) under m_routedKey; its neighbours in the router's chain.
    friend class TReferenceRouter;
    bool m_routed = false;
    TNamespaceItem* m_routedTarget = nullptr;
    QString m_routedKey;
    TCustomReferenceElement* m_routedPrev = nullptr;
    TCustomReferenceElement* m_routedNext = nullptr;
    TElementImageRoom m_imageRoom;
    bool m_destroying = false;
};

// The stand-alone reference (theme kind "Substitution").
class TReferenceElement : public TCustomReferenceElement {
    T_ELEMENT_CLASS(TReferenceElement)
public:
    TReferenceElement() noexcept;
    int GetThemeKind() const override;

protected:
    ~TReferenceElement() override = default;
};

// The reference used inside titles ("Field" frame).
class TReferenceField : public TCustomReferenceElement {
    T_ELEMENT_CLASS(TReferenceField)
public:
    TReferenceField() noexcept;
    void Create() override;

protected:
    ~TReferenceField() override = default;
};

// ---------------------------------------------------------------------------
// TReferenceSignElement

// Shown on a name field while its name has references: a sub-element and
// visual child of the sheet's root element, made, placed and freed by its
// field. It overlaps the field's lower left corner; its size and picture
// are the theme's "Referenced" kind.
class TReferenceSignElement : public TVisualElement {
    T_ELEMENT_CLASS(TReferenceSignElement)
public:
    TReferenceSignElement() noexcept;
    TNameField* Field() const noexcept { return m_field; }
    // The position from the field's place on the sheet.
    void FollowField();

    // The inherited hint and the reference count.
    void GetHint(QString& text) override;
    void UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) override;
    void Paint(TSheetCanvas& canvas) override;
    // "ReferenceSign".
    void GetStoredName(TSchemeFiler* filer, QString& name) override;
    // Freed by its owner (the root) first: the field forgets it.
    void BeforeDestruction() override;

protected:
    ~TReferenceSignElement() override = default;

private:
    friend class TNameField;
    TNameField* m_field = nullptr;
};

// ---------------------------------------------------------------------------
// Operations

// Makes a reference point at a new target, with the target's name as its text.
class TReferenceOperation : public TElementOperation {
    T_CLASS(TReferenceOperation)
public:
    TReferenceOperation(TCustomReferenceElement* element, TNamespaceItem* target);

protected:
    void DoOnElement(TElement* element) override;
    void UndoOnElement(TElement* element) override;

private:
    QString m_newPath;
    QString m_newText;
    bool m_recorded = false;
    QString m_oldPath;
    TNodePtr<TKnot> m_oldContent;
};

// The text edit of reference fields: the target's path is restored on undo.
class TReferenceElementTextorEditOperation : public TTextorEditOperation {
    T_CLASS(TReferenceElementTextorEditOperation)
public:
    explicit TReferenceElementTextorEditOperation(TCustomReferenceElement* element);

protected:
    void DoEdit(TTextorElement* element) override;
    void UndoEdit(TTextorElement* element) override;

private:
    QString m_oldPath;
    bool m_recorded = false;
};

void InitNamingElementsUnit();
void FinalNamingElementsUnit();
