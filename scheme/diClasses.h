#pragma once
// The scheme model's heart: TElement, the base of every element of every
// scheme, with its class reference TElementClass, and TScheme, one tree of
// elements with its element index, check queue and file name.
//
// Elements are made only through TElement::CreateIn (or CreateSubElement):
// the C++ object is constructed, the element is registered with its scheme
// and takes its number, the kind's own set-up runs (the virtual Create), and
// only then is the element linked into the tree.

#include "core/cuNode.h"
#include "core/cuUndoRedo.h"
#include "scheme/diFilers.h"
#include "scheme/diMessages.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

class TElement;
class TVisualElement;
class TKnot;
class TPaletteItem;
struct TPaletteItemInfo;
class TScheme;
class TSchemeLoader;

// ---------------------------------------------------------------------------
// Element numbers: one process-wide counter shared by every scheme and thread.

// The next number (the counter after an atomic increment); the first is 1.
int32_t TakeElementNumber() noexcept;
// Raises the counter to `number` when it is larger: an atomic maximum, so a
// stale value can never move the counter back. A number from the upper half
// of the range (only a damaged snapshot holds one) leaves the counter alone,
// so that counting on from it can never run past the largest number.
void RaiseElementNumber(int32_t number) noexcept;
constexpr int32_t kHighestRaisingElementNumber = std::numeric_limits<int32_t>::max() / 2;
// The last number handed out.
int32_t LastElementNumber() noexcept;

// ---------------------------------------------------------------------------
// Nesting: how deep content elements stand in a tree.

// The deepest nesting level an element may stand at, in a file as in a
// document being edited. The walks over the element tree (loading, layout,
// invalidation, painting, freeing) recurse, and a deeper tree would exhaust
// the stack or take quadratic time. An element's level counts the elements
// from it up to the root that are neither the root nor a sub-element, so
// that a file's level is the nesting of the content nodes the loader reads.
constexpr int kMaxElementNesting = 1000;
// Raises "Elements cannot be nested more than ... levels deep" (strNestingTooDeep)
// when an element would stand at level; every path that puts content
// elements into a tree asks it before the tree changes.
void CheckElementNesting(int level);

// ---------------------------------------------------------------------------
// TElementClass: the class reference of element kinds, with the class-level
// operations. A kind "overrides" a class-level operation by declaring a static
// member of the same name and signature; the class macros pick up the most
// derived one.

class TElementClass : public TClass {
public:
    using CanBePlacedInFn = bool (*)(const TElementClass* cls, TElement* target);

    // A class whose stored name is not its own (several classes may share
    // one) gives it as typeName.
    TElementClass(const char* name, const TClass* parent, Factory factory, CanBePlacedInFn canBePlacedIn,
                  const char* typeName = nullptr)
        : TClass(name, parent, factory),
          m_canBePlacedIn(canBePlacedIn),
          m_typeName(typeName ? QString::fromLatin1(typeName) : Name().mid(9)) {}

    // Whether an element of this class may stand in target.
    bool CanBePlacedIn(TElement* target) const { return m_canBePlacedIn(this, target); }
    // The class name without its first nine characters (the prefix
    // "TElement_"), or the stored name the class was given.
    // Made once: every element saved under its type name shares the text
    // instead of allocating its own copy.
    QString GetTypeName() const { return m_typeName; }

private:
    CanBePlacedInFn m_canBePlacedIn;
    QString m_typeName;
};

using TElementClassList = QList<const TElementClass*>;

#define T_ELEMENT_CLASS(Self)                              \
public:                                                    \
    static const TElementClass* StaticClass() noexcept;    \
    const TClass* ClassType() const noexcept override;     \
                                                           \
private:

#define T_ELEMENT_CLASS_IMPL_WITH(Self, Base, factory)                                                   \
    const TElementClass* Self::StaticClass() noexcept {                                                  \
        static const TElementClass cls(#Self, Base::StaticClass(), factory, &Self::ClassCanBePlacedIn); \
        return &cls;                                                                                     \
    }                                                                                                    \
    const TClass* Self::ClassType() const noexcept { return StaticClass(); }

#define T_ELEMENT_CLASS_IMPL(Self, Base) T_ELEMENT_CLASS_IMPL_WITH(Self, Base, &detail::NewOf<Self>)
// A class stored under the node name of another (typeName, a string literal):
// loading takes the first accepted class of that name.
#define T_ELEMENT_CLASS_IMPL_STORED_AS(Self, Base, typeName)                                                       \
    const TElementClass* Self::StaticClass() noexcept {                                                            \
        static const TElementClass cls(#Self, Base::StaticClass(), &detail::NewOf<Self>, &Self::ClassCanBePlacedIn, \
                                       typeName);                                                                  \
        return &cls;                                                                                               \
    }                                                                                                              \
    const TClass* Self::ClassType() const noexcept { return StaticClass(); }
#define T_ELEMENT_CLASS_IMPL_ABSTRACT(Self, Base) T_ELEMENT_CLASS_IMPL_WITH(Self, Base, nullptr)

// ---------------------------------------------------------------------------
// Flags and node messages

// Element state (set by the element itself, never stored).
enum : uint8_t {
    esBeingDestroyed = 0x01,
    esSelected = 0x02,
    esSharedData = 0x04,
    esFilled = 0x08,
    esNotDefault = 0x10,
    esQueued = 0x20,
};

// Element options (given by the kind).
enum : uint8_t {
    eoSubElement = 0x01,          // a fixed part of its parent, named and stored through it
    eoStoredInParentNode = 0x02,  // writes into its parent's knot (not in snapshots)
    eoNotStored = 0x04,           // only snapshots store it
    eoReferable = 0x08,           // "ID" written and mapped on load
    eoComment = 0x10,             // commentary, left out by filer option foSkipComments
    eoOmitWithFilerOption20 = 0x20,
    eoValidated = 0x40,
    eoRequired = 0x80,
};

// Node messages of elements.
enum : int {
    nmTreePlacementChanged = 2,
    nmBeingDestroyed = 3,
    nmInitNew = 4,
    nmFilledChanged = 5,
    nmDefaultStateChanged = 6,
    nmChanged = 7,
    nmExpandStateChanged = 8,   // sent from an expand button whose state changed
    nmExpandButtonDefault = 9,  // sent from an expand button: p1 is a bool* with its default state, to change
};

// ---------------------------------------------------------------------------
// TElement

class TElement : public TNode {
    T_ELEMENT_CLASS(TElement)
public:
    TElement() noexcept = default;

    // Elements made while a load has its regions open (core/cuRegions) lie
    // next to each other in the order they are made.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size) noexcept;

    // Makes an element of cls: registered with scheme (when given) and
    // numbered, set up by the virtual Create, then linked under parent before
    // `before` (nil parent: left without a parent for the caller to own).
    static TElement* CreateIn(const TElementClass* cls, TScheme* scheme, TElement* parent, TElement* before = nullptr);
    template <class T>
    static T* CreateIn(TScheme* scheme, TElement* parent, TElement* before = nullptr) {
        return static_cast<T*>(CreateIn(T::StaticClass(), scheme, parent, before));
    }
    // A sub-element: option 0x01 set first, then made in the owner's scheme under the owner.
    static TElement* CreateSubElement(const TElementClass* cls, TElement* owner, TElement* before = nullptr);
    template <class T>
    static T* CreateSubElement(TElement* owner, TElement* before = nullptr) {
        return static_cast<T*>(CreateSubElement(T::StaticClass(), owner, before));
    }

    const TElementClass* ElementClass() const noexcept { return static_cast<const TElementClass*>(ClassType()); }
    QString GetTypeName() const { return ElementClass()->GetTypeName(); }
    // Class-level default: may stand anywhere.
    static bool ClassCanBePlacedIn(const TElementClass* cls, TElement* target) { return true; }

    TScheme* Scheme() const noexcept { return m_scheme; }
    int32_t Number() const noexcept { return m_number; }
    uint8_t State() const noexcept { return m_state; }
    uint8_t Options() const noexcept { return m_options; }
    // On a change stores the byte and calls OptionsChanged with the old one.
    void SetOptions(uint8_t value);

    TElement* ParentElement() const noexcept;
    // The parent element; for a new element made before it is placed, the
    // element it is being made for (TScheme::NewElementPlace).
    TElement* ParentOrNewPlace() const noexcept;
    // Climbs from a sub-element to the first ancestor that is not one.
    TElement* GetOwnerElement() noexcept;
    // The element's nesting level (see kMaxElementNesting): a walk up to the root.
    int NestingLevel() const noexcept;

    // The message list: Messages() may be nil, GetMessages() makes it.
    TElementMessages* Messages() const noexcept { return m_messages.get(); }
    TElementMessages* GetMessages();

    bool IsBeingDestroyed() const noexcept { return m_state & esBeingDestroyed; }
    bool IsSubElement() const noexcept { return m_options & eoSubElement; }
    bool IsFilled() const noexcept { return m_state & esFilled; }
    bool IsDefault() const noexcept { return !(m_state & esNotDefault); }
    bool IsRequired() const noexcept { return m_options & eoRequired; }
    bool IsValidated() const noexcept { return m_options & eoValidated; }
    // True without a message list, else when it holds no warning, error,
    // missing value or invalid content.
    bool HasNoErrors() const noexcept;

    // Filled, default state and check, in that order.
    void CheckAll();
    void UpdateFilled();
    void UpdateDefault();
    // Node message 4 with the palette item through the subtree, the element first.
    void InitNewTree(TPaletteItem* item);
    // FillAcceptedClasses, then every class that may not be placed here removed.
    void GetAcceptedClasses(TElementClassList& list);

    // ---- virtual operations ----
    virtual bool IsActive() { return true; }
    virtual void RedoDependent(TKnot* snapshot) {}
    virtual void UndoDependent(TKnot* snapshot) {}
    // Element-specific checks of a filled element, which add messages.
    virtual void CheckContent() {}
    virtual void FillAcceptedClasses(TElementClassList& list);
    virtual bool GetIsFilled() { return false; }
    virtual bool GetIsDefault() { return !IsFilled(); }
    // Runs once on a newly made element (node message 4).
    virtual void InitNew(TPaletteItem* item) {}
    virtual void OptionsChanged(uint8_t oldOptions);
    virtual void FillChildAcceptedClasses(TElement* child, TElementClassList& list);
    virtual void GetChildHint(TElement* child, QString& text);
    virtual void GetChildPaletteItems(TElement* child, QList<TPaletteItem*>& list);
    virtual void GetChildName(TElement* child, TSchemeFiler* filer, QString& name);
    virtual void FilledChanged();
    // Rewrites the element's own link segments that pointed at the old number.
    virtual void NumberChanged(int32_t oldNumber);
    virtual void DefaultStateChanged();
    virtual void MessagesChanged() {}
    // The deferred load step.
    virtual void AfterLoad(TSchemeLoader* loader, intptr_t datum) {}
    virtual void TreePlacementChanged() {}
    virtual bool ShouldSaveChild(TSchemeFiler* filer, TElement* child);
    virtual bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) { return false; }
    virtual void Check();
    virtual void AdjustChildPaletteItemInfo(TElement* child, TPaletteItem* item, TPaletteItemInfo& info);
    // CheckAll, then node message 7 unless being destroyed.
    virtual void Changed();
    // The kind's own set-up; runs after the number is taken, before linking.
    virtual void Create() {}
    virtual void LoadFrom(TSchemeLoader* loader, TKnot* knot);
    virtual void SaveToKnot(TKnot* knot, uint8_t mode, uint8_t options);
    virtual void SaveTo(TSchemeSaver* saver, TKnot* knot);
    virtual void WriteText(QString& builder);
    virtual bool SaveInPlace(TSchemeFiler* filer, TKnot* knot) { return false; }
    virtual bool IsStoredInParentNode(TSchemeFiler* filer);
    virtual void GetStoredName(TSchemeFiler* filer, QString& name);
    // The attribute a single value of the element is stored under: own in the
    // element's own node, its stored name when it is stored in its parent's.
    QString ValueAttributeIn(TSchemeFiler* filer, const QString& own);

    // A loader on the element's scheme reporting into the scheme's message
    // list; the load is finished (deferred steps, checks, unread report).
    void LoadFromKnot(TKnot* knot, uint8_t mode, uint8_t options);

    // ---- the view that shows the element ----
    // Model operations reach the view (the sheet) only through these; the
    // visual layer overrides them. An element that no view shows is never
    // focused and brackets nothing.
    virtual bool IsFocusedInView() const { return false; }
    // Gives the element its view's focus unless it has it.
    virtual void FocusInView() {}
    // Runs change inside the update bracket of the view showing the element.
    virtual void ChangeInViewUpdate(const std::function<void()>& change) { change(); }

    // TNode
    bool HandleNodeMessage(int msg, intptr_t p1, intptr_t p2) override;
    void ParentChanged() override;
    void BeforeDestruction() override;

protected:
    ~TElement() override;
    void SetStateBits(uint8_t bits, bool on) noexcept {
        m_state = on ? uint8_t(m_state | bits) : uint8_t(m_state & ~bits);
    }
    // Options set by a kind's C++ constructor, where no virtual may run.
    void InitOptions(uint8_t options) noexcept { m_options = options; }
    // Gives the element another number, keeps the scheme's index up to date
    // and calls NumberChanged.
    void SetNumber(int32_t number);

private:
    friend class TScheme;
    friend class TSchemeLoader;

    static TElement* CreateWith(const TElementClass* cls, TScheme* scheme, TElement* parent, TElement* before,
                                uint8_t addOptions);

    TScheme* m_scheme = nullptr;
    int32_t m_number = 0;
    uint8_t m_state = 0;
    uint8_t m_options = 0;
    std::unique_ptr<TElementMessages> m_messages;

    // Scheme bookkeeping: registration order, elements sharing a number, queue slot.
    uint64_t m_registration = 0;
    TElement* m_registeredPrev = nullptr;
    TElement* m_registeredNext = nullptr;
    TElement* m_sameNumberNext = nullptr;
    int m_queueSlot = -1;
};

// ---------------------------------------------------------------------------
// TScheme

// Broadcast codes of TScheme.
enum : int {
    scFileNameChanged = 1,
    scReadOnlyChanged = 3,
};

// Flags of a scheme that its elements read (never stored).
enum : uint8_t {
    sfForceAbsolutePaths = 0x01,  // path elements show and store their values absolute
};

class TScheme : public TItfObject {
    T_CLASS(TScheme)
public:
    using GetConnectedSchemeEvent = std::function<void(TScheme* sender, const QString& fileName, TScheme*& scheme)>;

    // Makes the lists and, when rootClass is given, the root element with no parent.
    explicit TScheme(const TElementClass* rootClass = nullptr, const QString& name = QString());
    ~TScheme() override;

    TElement* Root() const noexcept { return m_root.get(); }
    const TElementClass* RootClass() const noexcept { return m_rootClass; }
    // The name of the root knot when saved (the scheme kind's, e.g. "ProgramModule").
    const QString& Name() const noexcept { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    const QString& FileName() const noexcept { return m_fileName; }
    void SetFileName(const QString& fileName);
    bool ReadOnly() const noexcept { return m_readOnly; }
    void SetReadOnly(bool value);

    QStringList& Strings() noexcept { return m_strings; }
    uint8_t Flags() const noexcept { return m_flags; }
    void SetFlags(uint8_t flags) noexcept { m_flags = flags; }

    // Lent by the owner, never freed by the scheme; may be nil.
    TElementMessages* Messages() const noexcept { return m_messages; }
    void SetMessages(TElementMessages* messages) noexcept { m_messages = messages; }
    TUndoRedo* UndoRedo() const noexcept { return m_undoRedo; }
    void SetUndoRedo(TUndoRedo* undoRedo) noexcept { m_undoRedo = undoRedo; }

    GetConnectedSchemeEvent OnGetConnectedScheme;
    // The scheme of another file, asked of the owner; nil when it has none.
    TScheme* GetConnectedScheme(const QString& fileName);

    // Schemes whose namespace connections point into this one, one entry per
    // connection. Connections on any thread change the list; it guards itself.
    void AddLink(TScheme* scheme);
    void RemoveLink(TScheme* scheme);
    bool HasDependentSchemes() const;

    // The update bracket that defers element checks. The outermost EndUpdate
    // runs every queued check once, in queue order.
    void BeginUpdate() noexcept { ++m_updateCount; }
    void EndUpdate();
    int UpdateCount() const noexcept { return m_updateCount; }
    int CheckQueueLength() const noexcept;

    // The message bracket on the lent message list (the outermost opening clears it).
    void BeginMessages();
    void EndMessages();

    // An undo group bound to this scheme, when the scheme has an undo/redo list.
    void BeginOperationGroup(bool withMessages, const QString& caption = QString());
    void EndOperationGroup();

    // The element that a new element, made and initialised before it is
    // placed in the tree, will be placed in (see TNewElementPlaceScope); nil
    // at other times.
    TElement* NewElementPlace() const noexcept { return m_newElementPlace; }

    // The first registered element with that number; nil for 0 or none.
    TElement* FindElement(int32_t number) const;
    // Calls f(element) for every registered element, in no particular order,
    // through the index by number: the elements are loaded several at a time,
    // ahead of the one being looked at, where a walk of a tree waits on each
    // node in turn. False, with no call, when some registered element is not
    // in the index (an element whose number is 0).
    template <class F>
    bool ForEachIndexed(F&& f) const {
        return ForEachIndexed([](const TClass*) { return true; }, std::forward<F>(f));
    }
    // The same for the elements whose class wanted(class) accepts (asked as
    // often as the walk likes, so it should be cheap). The index keeps the
    // class of an element alone under its number: the others are passed
    // without being loaded, which on a large scheme is most of the time a
    // walk would spend.
    template <class W, class F>
    bool ForEachIndexed(W&& wanted, F&& f) const;
    int ElementCount() const noexcept { return m_elementCount; }
    // Whether element (compared by address only) is registered here under number.
    bool IsRegistered(const TElement* element, int32_t number) const;
    // Closes an update without running the queued checks (they wait for the
    // next outermost EndUpdate); for unwinding after a failure.
    void LeaveUpdate() noexcept {
        if (m_updateCount > 0) --m_updateCount;
    }
    // Every registered element in order of registration.
    TElement* FirstRegistered() const noexcept { return m_firstRegistered; }
    static TElement* NextRegistered(const TElement* e) noexcept { return e->m_registeredNext; }

    // Loading and saving (filers: diFilers; the loader below).
    void LoadFromFile(const QString& fileName);
    // The last file loaded did not parse whole (what was read was loaded and
    // a warning reported): saving it back would lose the rest.
    bool LoadedDamaged() const noexcept { return m_loadedDamaged; }
    // Refuses (strSchemeTooDeepToSave) before writing anything a tree nested
    // deeper than the loader reads back.
    void SaveToFile(const QString& fileName, bool keepOldName = false);
    // The deepest nesting level of the element tree; 0 without a root.
    int DeepestNestingLevel() const;
    // The root saved into knot: knot named Name, "FormatVersion", the root's storage.
    void SaveRootToKnot(TKnot* knot, uint8_t mode, uint8_t options);

private:
    friend class TElement;

    int32_t Register(TElement* element);
    void Unregister(TElement* element);
    void IndexAdd(TElement* element);
    void IndexRemove(TElement* element, int32_t number);
    void Enqueue(TElement* element);
    void RunCheckQueue();

    mutable std::mutex m_linksLock;
    QList<TScheme*> m_links;
    QString m_fileName;
    bool m_loadedDamaged = false;
    // Registered elements: a chain in registration order and an index by number.
    TElement* m_firstRegistered = nullptr;
    TElement* m_lastRegistered = nullptr;
    int m_elementCount = 0;
    int m_indexedCount = 0;  // registered elements in the index (number not 0)
    uint64_t m_registrations = 0;
    // The index by number: pages of consecutive numbers, each slot the head of
    // the chain of elements with that number, and the head's class when it is
    // alone in its chain (nil otherwise). Numbers come from one counter, so a
    // scheme's numbers lie close together and the pages stay full.
    static constexpr int kIndexPageBits = 8;
    struct TIndexPage {
        TElement* entries[1 << kIndexPageBits] = {};
        const TClass* classes[1 << kIndexPageBits] = {};
        int used = 0;
    };
    TIndexPage* IndexPage(int32_t number, bool create);
    static int IndexSlot(int32_t number) noexcept { return number & ((1 << kIndexPageBits) - 1); }
    // The class a page keeps for a chain: its element's when it is alone.
    static const TClass* ClassOfChain(const TElement* head) noexcept;
    std::unordered_map<int32_t, std::unique_ptr<TIndexPage>> m_indexPages;
    // Check queue: slots of destroyed elements are cleared, never searched.
    std::vector<TElement*> m_checkQueue;
    bool m_runningChecks = false;
    TElementMessages* m_messages = nullptr;
    TNodePtr<TElement> m_root;
    const TElementClass* m_rootClass = nullptr;
    QString m_name;
    bool m_readOnly = false;
    uint8_t m_flags = 0;
    QStringList m_strings;
    TUndoRedo* m_undoRedo = nullptr;
    TElement* m_newElementPlace = nullptr;
    int m_updateCount = 0;

    friend class TNewElementPlaceScope;
};

// While it lives, a new element that is not yet in the tree is initialised as
// if it stood in place: its names are made unique in the namespace it will
// join there.
class TNewElementPlaceScope {
public:
    TNewElementPlaceScope(TScheme& scheme, TElement* place) noexcept
        : m_scheme(scheme), m_outer(scheme.m_newElementPlace) {
        scheme.m_newElementPlace = place;
    }
    ~TNewElementPlaceScope() { m_scheme.m_newElementPlace = m_outer; }
    TNewElementPlaceScope(const TNewElementPlaceScope&) = delete;
    TNewElementPlaceScope& operator=(const TNewElementPlaceScope&) = delete;

private:
    TScheme& m_scheme;
    TElement* m_outer;
};

template <class W, class F>
bool TScheme::ForEachIndexed(W&& wanted, F&& f) const {
    if (m_indexedCount != m_elementCount) return false;
    // How many elements are asked for ahead of the one looked at: enough to
    // keep several loads on the way.
    constexpr int kAhead = 16;
    constexpr int kSlots = 1 << kIndexPageBits;
    constexpr int kWordBits = 64;
    // Only elements to be handed on or asked their class are loaded (and
    // counted ahead: wanted ones may lie far apart). The class and the link
    // to the next element of the same number may lie in different cache
    // lines: both are asked for.
    const auto load = [&wanted](const TIndexPage& page, int i) {
        const TElement* e = page.entries[i];
        if (!e || (page.classes[i] && !wanted(page.classes[i]))) return false;
        __builtin_prefetch(e);
        __builtin_prefetch(&e->m_sameNumberNext);
        return true;
    };
    for (const auto& [key, page] : m_indexPages) {
        uint64_t asked[kSlots / kWordBits] = {};
        int next = 0;     // the next slot to be asked for
        int loading = 0;  // asked for and not reached yet
        for (int i = 0; i < kSlots; ++i) {
            for (; next < kSlots && loading < kAhead; ++next)
                if (load(*page, next)) {
                    asked[next / kWordBits] |= uint64_t(1) << (next % kWordBits);
                    ++loading;
                }
            // Every slot was asked about before it is reached: a slot not
            // asked for is empty or holds one element not wanted.
            if (!(asked[i / kWordBits] >> (i % kWordBits) & 1)) continue;
            --loading;
            if (page->classes[i]) {
                f(page->entries[i]);
                continue;
            }
            for (TElement* e = page->entries[i]; e; e = e->m_sameNumberNext)
                if (wanted(e->ClassType())) f(e);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// TUpdateScope: the update bracket of a scheme or a sheet, held for a scope.
//
// Target offers BeginUpdate(), EndUpdate() (the outermost one does the work
// held back meanwhile and may raise) and LeaveUpdate() noexcept, which closes
// the bracket when the scope ends without End: a scheme then runs no checks
// (the scope is ending by an exception), a sheet works off its notifications
// and logs what they raise.

template <class Target>
class TUpdateScope {
public:
    // Nothing is bracketed for a nil target.
    explicit TUpdateScope(Target* target) noexcept : m_target(target) {
        if (m_target) m_target->BeginUpdate();
    }
    ~TUpdateScope() {
        if (m_target) m_target->LeaveUpdate();
    }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

    // Closes the bracket now with EndUpdate; what that raises passes on.
    void End() {
        if (Target* target = std::exchange(m_target, nullptr)) target->EndUpdate();
    }

private:
    Target* m_target;
};

using TSchemeUpdate = TUpdateScope<TScheme>;

// ---------------------------------------------------------------------------
// TOperationGroupScope: an undo group of a scheme held for a scope, so that
// what is submitted meanwhile is undone and redone as one step (nothing
// without a scheme or without an undo list). End closes the group and lets
// what closing raises pass on; a scope left without End (by an exception)
// closes it and logs what closing raises.

class TOperationGroupScope {
public:
    explicit TOperationGroupScope(TScheme* scheme, bool withMessages = false) : m_scheme(scheme) {
        if (m_scheme) m_scheme->BeginOperationGroup(withMessages);
    }
    ~TOperationGroupScope();
    TOperationGroupScope(const TOperationGroupScope&) = delete;
    TOperationGroupScope& operator=(const TOperationGroupScope&) = delete;

    void End() {
        if (TScheme* scheme = std::exchange(m_scheme, nullptr)) scheme->EndOperationGroup();
    }

private:
    TScheme* m_scheme;
};

// ---------------------------------------------------------------------------
// TSchemeLoader: loads element trees into a scheme.
//
// A load is always finished explicitly: Finish runs the deferred steps,
// closes the scheme update (the queued checks run) and reports what nothing
// read. A loader destroyed without Finish (the load raised) only closes the
// update, without running anything.

class TSchemeLoader : public TSchemeFiler {
public:
    // Opens an update of the scheme; reports corrupt data (2327) and a newer
    // format (2328) into messages (may be nil).
    TSchemeLoader(TScheme* scheme, TElementMessages* messages, TKnot* knot, uint8_t options, uint8_t mode);

    TScheme* Scheme() const noexcept { return m_scheme; }
    TElementMessages* Messages() const noexcept { return m_messages; }
    int FormatVersion() const noexcept { return m_formatVersion; }

    // An element's AfterLoad(datum) runs at Finish, in the order recorded;
    // a step recorded as First runs before every step recorded without it
    // that has not run yet (steps that others' results rest on: an object's
    // connection to its parent, through which loaded references look).
    enum class TDeferredOrder : uint8_t { InTurn, First };
    void AddDeferred(TElement* element, intptr_t datum, TDeferredOrder order = TDeferredOrder::InTurn);

    // Stored numbers of referable elements and the new numbers they got.
    void AddNumberMapping(int32_t stored, int32_t renumbered);
    int NumberMappingCount() const noexcept { return int(m_storedNumbers.size()); }
    int32_t StoredNumber(int index) const { return m_storedNumbers.at(size_t(index)); }
    int32_t NewNumber(int index) const { return m_newNumbers.at(size_t(index)); }
    // The new number of a stored one (the first mapping recorded); 0 when unmapped.
    int32_t MapNumber(int32_t stored) const noexcept { return m_numberIndex.value(stored, 0); }

    // Content elements made from stored nodes (CreateChildFromNode) nest at
    // most this deep. A scope is held while one such element is made under
    // parent and loaded; it gives its level back however it is left. Stored
    // nodes nested deeper than the limit are corrupt data (2327); an element
    // that would stand deeper in the tree than the limit, counting the level
    // of the place the load puts it, is refused (CheckElementNesting).
    static constexpr int MaxNesting = kMaxElementNesting;
    class TNestingScope {
    public:
        TNestingScope(TSchemeLoader& loader, const TElement* parent) : m_loader(loader) {
            loader.EnterNesting(parent);
        }
        ~TNestingScope() { --m_loader.m_nesting; }
        TNestingScope(const TNestingScope&) = delete;
        TNestingScope& operator=(const TNestingScope&) = delete;

    private:
        TSchemeLoader& m_loader;
    };

    // The closing work: deferred steps, the outermost EndUpdate with its
    // checks, then (not in snapshot mode) every unread knot (2329) and
    // attribute (2330) reported as a warning. Runs once.
    void Finish();

private:
    void ReportUnread();
    void EnterNesting(const TElement* parent);

    TScheme* m_scheme;
    TElementMessages* m_messages;
    // Closed by Finish with the checks, else without them (the load raised).
    TSchemeUpdate m_update;
    int m_formatVersion = 0;
    bool m_finished = false;
    int m_nesting = 0;
    // The level of the place the outermost made elements go to: the load's
    // target or one of its sub-elements, which share its level. Found once
    // per parent met there, by a walk up the tree.
    const TElement* m_placeParent = nullptr;
    int m_placeLevel = 0;
    // An element destroyed before Finish has left its scheme and is skipped.
    struct Deferred {
        TElement* element;
        int32_t number;
        intptr_t datum;
    };
    std::vector<Deferred> m_deferred;
    std::vector<Deferred> m_deferredFirst;
    std::vector<int32_t> m_storedNumbers;
    std::vector<int32_t> m_newNumbers;
    QHash<int32_t, int32_t> m_numberIndex;
};

// ---------------------------------------------------------------------------
// Operations bound to a scheme

// Binds an operation or a group (Base) to one scheme and, with messages,
// brackets the scheme's message list around its first execution, undo and
// redo (the outermost bracket clears the list).
template <class Base>
class TSchemeBound : public Base {
public:
    TSchemeBound(TScheme* scheme, bool withMessages, const QString& caption)
        : Base(caption), m_scheme(scheme), m_withMessages(withMessages) {}

    TScheme* Scheme() const noexcept { return m_scheme; }
    bool WithMessages() const noexcept { return m_withMessages; }

protected:
    void BeginExecute() override {
        if (m_withMessages && m_scheme) m_scheme->BeginMessages();
        Base::BeginExecute();
    }
    void EndExecute() override {
        Base::EndExecute();
        if (m_withMessages && m_scheme) m_scheme->EndMessages();
    }

private:
    TScheme* m_scheme;
    bool m_withMessages;
};

class TSchemeOperation : public TSchemeBound<TOperation> {
    T_CLASS(TSchemeOperation)
public:
    TSchemeOperation(TScheme* scheme, bool withMessages, const QString& caption = QString())
        : TSchemeBound(scheme, withMessages, caption) {}

    // Submits op to its scheme's undo/redo list: it runs at once and is filed
    // in the open group or as one step; without a list it runs once and is freed.
    static void Execute(TNodePtr<TSchemeOperation> op);
};

class TSchemeGroupingOperation : public TSchemeBound<TGroupingOperation> {
    T_CLASS(TSchemeGroupingOperation)
public:
    TSchemeGroupingOperation(TScheme* scheme, bool withMessages, const QString& caption = QString())
        : TSchemeBound(scheme, withMessages, caption) {}
};

// ---------------------------------------------------------------------------
// TFindData: a search request.

class TFindData {
public:
    explicit TFindData(const QString& text = QString(), bool caseSensitive = false) : Text(text), CaseSensitive(caseSensitive) {}
    virtual ~TFindData() = default;

    // Whether text equals the search text as a whole (ignoring case unless case-sensitive).
    virtual bool Matches(TElement* element, const QString& text) const;
    // Tells the user that the search text was not found (an information box).
    virtual void ReportNotFound() const;

    QString Text;
    bool CaseSensitive;
    // The search stays inside this element (none: the whole sheet; not owned).
    TVisualElement* Scope = nullptr;
    // Passed on to the focusable search of each step.
    bool SkipDisabled = true;
    bool VisibleOnly = true;
};

// Where a find step starts in the element that holds the focus.
enum class TFindMode : uint8_t {
    SkipMatchingSelection = 0,  // at the selection, past it when it is itself a match (the find dialogs)
    AfterSelection = 1,         // past the selection
    AtSelection = 2,            // at the selection's near side: a matching selection is found again (replacing)
};
