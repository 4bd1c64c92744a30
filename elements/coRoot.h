#pragma once
// Scheme kinds and the root of a scheme file:
//   TSchemeDescriptor        what one kind of scheme file is: its names, file
//                            extension, icon, root class and commands. One
//                            immutable object per kind, never copied; the
//                            registry orders them by GetOrder
//   TRoot                    the root of every scheme file: rich text whose
//                            content is the scheme's top-level elements, the
//                            owner of the scheme's general namespace
//   TInsideValueElement      a built-in value known by name: the application's
//                            name and version (one process-wide namespace of
//                            their own) and the scheme's source path and name
//   TElement_FileConnection  makes the public elements of another scheme file
//                            known here under its name and a full stop
//
// A file connection asks its scheme for the other file's scheme through
// TScheme::OnGetConnectedScheme, which the document layer answers; a failing
// answer leaves the connection without a target and is shown on the element.

#include "elements/diBaseElements.h"
#include "elements/diNamingElements.h"
#include "elements/diPathElements.h"
#include "scheme/diNaming.h"
#include "text/diTextorElement.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <cstdint>

class TCommandLine;
class TFileFilters;
class TSchemeImages;
class TSheet;

// The pictures of a strip a unit loads into one of the shared element image
// lists at start-up; none when the strip could not be read.
class TImageStrip {
public:
    // The strip's pictures appended to list.
    static TImageStrip Load(TSchemeImages& list, const QString& resource);
    // The index of the picture (from 0) in the list; NoImageIndex without the strip.
    int Picture(int picture) const noexcept;

private:
    int m_first = -1;
};

// ---------------------------------------------------------------------------
// Scheme kinds

// The command-line operations of a kind: (operation name, operation id).
using TCommandLineOperations = QList<QPair<QString, int>>;

class TSchemeDescriptor {
public:
    TSchemeDescriptor() = default;
    virtual ~TSchemeDescriptor() = default;
    TSchemeDescriptor(const TSchemeDescriptor&) = delete;
    TSchemeDescriptor& operator=(const TSchemeDescriptor&) = delete;

    // Name of the kind, shown in file filters and menus.
    virtual QString GetName() const = 0;
    virtual QString GetCaption() const { return GetName(); }
    virtual QString GetDescription() const = 0;
    // Name of a new document that was never saved.
    virtual QString GetUntitledName() const { return GetName(); }
    // Without the dot.
    virtual QString GetFileExtension() const = 0;
    // Identifier of the kind: the name of the root node in its files.
    virtual QString GetKindName() const = 0;
    // Appends the parameter names of one command-line operation.
    virtual void GetOperationParameters(int operationId, QStringList& names) const {}
    virtual void GetCommandLineOperations(TCommandLineOperations& operations) const {}
    // One menu verb of the kind (nothing in the base).
    virtual void GetVerb(int index, QString& caption, int& shortcut) const {}
    virtual TElement* GetRoot(TScheme* scheme) const;
    // Icon of the kind among the shared 16 x 16 element images.
    virtual int GetImageIndex() const = 0;
    // Prepares the root of a new document: the root's InitNewTree without a palette item.
    virtual void InitNewRoot(TScheme* scheme) const;
    // Offered in the open and save dialogs (and the file-connection dialog)
    // and for the start-up document.
    virtual bool IsFileDialogKind() const { return true; }
    // Larger values come first in the registry.
    virtual int GetOrder() const = 0;
    // A descendant of TRoot for every scheme-file kind.
    virtual const TElementClass* GetRootClass() const = 0;
    // Puts the caret into a new document's sheet.
    virtual void FocusNewRoot(TSheet* sheet) const;
    virtual bool CanCreateNew() const { return true; }
    // Runs a command-line operation or menu verb; parameters are "name=value" lines.
    virtual void ExecuteOperation(TElement* root, int operationId, const QStringList& parameters) const {}
    virtual int GetVerbCount() const { return 0; }
    // Never chosen for the document made at start-up.
    virtual bool IsAuxiliary() const { return false; }
};

// The kinds in order: GetOrder never increases along the list, and kinds of
// equal order stay in the order they were registered.
class TSchemeDescriptorRegistry {
public:
    // Before the first kind whose order is smaller; a kind registered again stays where it is.
    void Register(const TSchemeDescriptor& descriptor);
    const QList<const TSchemeDescriptor*>& Items() const noexcept { return m_items; }

    // The first kind that is a file-dialog kind and not auxiliary; nil when none.
    const TSchemeDescriptor* StartupKind() const;
    // One filter (extension, name) per file-dialog kind whose extension has
    // none yet: the open and save dialogs.
    void AddDocumentFilters(TFileFilters& filters) const;
    // One filter per file-dialog kind whose root is a TRoot, in order: the
    // file connections' dialog.
    void AddConnectableFilters(TFileFilters& filters) const;
    // Batch mode: each operation of the kind whose switch "-" and name the
    // command line holds runs on root with the parameters the command line
    // gives values for (the switch and options are taken from it).
    static void RunCommandLineOperations(const TSchemeDescriptor& descriptor, TElement* root,
                                         TCommandLine& commandLine);

private:
    QList<const TSchemeDescriptor*> m_items;
};

// The process-wide registry (valid between the unit's initialisation and finalisation).
TSchemeDescriptorRegistry& SchemeDescriptors();
// Scheme-kind units call it from their initialisation.
void RegisterSchemeDescriptor(const TSchemeDescriptor& descriptor);

// ---------------------------------------------------------------------------
// Built-in values

// A value known by name that texts and generated code can use. An element
// the user declares under the same name hides it (and is told the name is
// reserved); the name is offered in lists only while Shift is held.
class TInsideValueElement : public TNameElement {
    T_ELEMENT_CLASS(TInsideValueElement)
public:
    TInsideValueElement() noexcept = default;

    virtual QString GetValueName() = 0;
    // The value's text for the scheme being processed.
    virtual QString GetValue() = 0;

    QString GetName() override { return GetValueName(); }
    int GetImageIndex() override;
    int GetItemFlags() override;

protected:
    ~TInsideValueElement() override = default;
};

// A value of the application: private, and listed after the others.
class TApplicationValueElement : public TInsideValueElement {
    T_ELEMENT_CLASS(TApplicationValueElement)
public:
    int GetItemFlags() override;
    int GetVisibility() override;

protected:
    ~TApplicationValueElement() override = default;
};

class TApplicationNameValueElement : public TApplicationValueElement {
    T_ELEMENT_CLASS(TApplicationNameValueElement)
public:
    QString GetValueName() override;
    QString GetDescription() override;
    // The product name in the current language.
    QString GetValue() override;

protected:
    ~TApplicationNameValueElement() override = default;
};

class TApplicationVersionValueElement : public TApplicationValueElement {
    T_ELEMENT_CLASS(TApplicationVersionValueElement)
public:
    QString GetValueName() override;
    QString GetDescription() override;
    // What the application set with SetApplicationVersion.
    QString GetValue() override;

protected:
    ~TApplicationVersionValueElement() override = default;
};

class TSchemeSourcePathValueElement : public TInsideValueElement {
    T_ELEMENT_CLASS(TSchemeSourcePathValueElement)
public:
    QString GetValueName() override;
    QString GetDescription() override;
    // The folder of the scheme's file, or the temporary folder for a scheme
    // without a file name; with a trailing "/" either way.
    QString GetValue() override;

protected:
    ~TSchemeSourcePathValueElement() override = default;
};

class TSchemeSourceNameValueElement : public TInsideValueElement {
    T_ELEMENT_CLASS(TSchemeSourceNameValueElement)
public:
    QString GetValueName() override;
    QString GetDescription() override;
    // The scheme's file name without folder and extension; "Unsaved" without one.
    QString GetValue() override;

protected:
    ~TSchemeSourceNameValueElement() override = default;
};

// The string id of the product name that "ApplicationName" gives; the
// application sets it at start-up, before any thread reads it.
void SetApplicationNameStringId(int id) noexcept;
// The version "ApplicationVersion" gives (the main form sets it at start-up).
void SetApplicationVersion(const QString& version);
QString ApplicationVersion();
// The process-wide namespace of the application values, which roots that
// generate connect into their schemes; shared read-only by every thread.
TNamespace* ApplicationValuesNamespace() noexcept;

// ---------------------------------------------------------------------------
// TRoot

constexpr uint32_t kRootTextorOptions = 0x11008021;
constexpr uint32_t kRootTextRestrictions = trLineFeeds;

class TRoot : public TTextorElement, public INamespaceOwner {
    T_ELEMENT_CLASS(TRoot)
public:
    TRoot() noexcept = default;

    // Sub-elements: the element tree owns them.
    TNamespace* GeneralNamespace() const noexcept { return m_namespace; }
    TSchemeSourcePathValueElement* SourcePathValue() const noexcept { return m_sourcePath; }
    TSchemeSourceNameValueElement* SourceNameValue() const noexcept { return m_sourceName; }

    // INamespaceOwner: the general namespace.
    TNamespace* GetNamespace() override { return m_namespace; }

    // The sheet theme's padding of the kind "Sheet".
    TRect GetPadding() override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    // The text's options and restrictions, then the namespace, the source path and the source name.
    void Create() override;
    void BeforeDestruction() override;

protected:
    ~TRoot() override = default;

private:
    TNamespace* m_namespace = nullptr;
    TSchemeSourcePathValueElement* m_sourcePath = nullptr;
    TSchemeSourceNameValueElement* m_sourceName = nullptr;
};

// ---------------------------------------------------------------------------
// File connections

class TElement_FileConnection;

// The name of a file connection: the file's name without folder and
// extension is its automatic name, offered while a file is named.
class TFileConnectionNameField : public TTitledNameField {
    T_ELEMENT_CLASS(TFileConnectionNameField)
public:
    TElement_FileConnection* Connection() const noexcept;

    QString GetAutoName() override;
    bool CanAutoName() override;
    // The connection's prefix follows the name.
    void TextChanged() override;
    // The option "Autoname" and the connection's picture.
    void Create() override;

protected:
    ~TFileConnectionNameField() override = default;
};

// The connected file's name: a path element's file name field (kept
// absolute, shown and stored relative to the scheme unless asked otherwise),
// stored as "FileName" in the connection's node. The choose dialog offers
// the filters the connection adds; a change makes the connection connect
// again.
class TFileConnectionFileNameField : public TFileNameField {
    T_ELEMENT_CLASS(TFileConnectionFileNameField)
public:
    TFileConnectionFileNameField() noexcept;

    TElement_FileConnection* Connection() const noexcept;
    // The full name of the connected file (the value); empty for none.
    QString FileName() const { return Value(); }

    // A name given relative (typed, pasted) is taken relative to the scheme,
    // as a stored one is read.
    void NormalizeValue(const QString& in, QString& out) const override;
    // The connection connects again.
    void Changed() override;
    // Reports why the connection could not be made; a file the connection
    // reached is not reported missing (the document layer may hold it under
    // that name before it is written).
    void CheckContent() override;

protected:
    ~TFileConnectionFileNameField() override = default;
};

// The connection into the other file's general namespace. References made
// through it also count on the file connection's name.
class TConnectionToFile : public TNamedNamespaceConnection {
    T_ELEMENT_CLASS(TConnectionToFile)
public:
    TConnectionToFile() noexcept;

    TElement_FileConnection* Connection() const noexcept;
    TNamespaceItem* GetNameItem() override;
    // Besides private items, nothing that came into the other file from
    // elsewhere passes (conditions of a third file excepted), so that what
    // came from this file never comes back.
    bool AcceptsItem(TNamespaceItem* item) override;
    // Only public items pass.
    void Create() override;

protected:
    ~TConnectionToFile() override = default;
};

class TElement_FileConnection : public TNamedElement {
    T_ELEMENT_CLASS(TElement_FileConnection)
public:
    TElement_FileConnection() noexcept = default;

    // Sub-elements: the element tree owns them.
    TFileConnectionFileNameField* FileNameField() const noexcept { return m_fileNameField; }
    TConnectionToFile* ConnectionToFile() const noexcept { return m_connection; }
    // Whether the last attempt to connect failed (the answer raised), and why.
    bool ConnectFailed() const noexcept { return m_connectFailed; }
    const QString& ConnectError() const noexcept { return m_connectError; }

    // Asks the scheme for the named file's scheme (unless disabled) and
    // connects to its general namespace; without one, disconnects.
    void UpdateConnection();

    // TNamedElement
    TVisibilityMode GetVisibilityMode() override { return TVisibilityMode::Public; }
    const TElementClass* GetNameFieldClass() override;
    void NameFieldChanged() override;
    // TCustomTitledElement
    void WriteTitle(TTitleWriter& writer) override;
    // TVisualElement
    void FocusFirst() override;
    void EffectiveDisabledChanged() override;
    // TElement
    void GetChildHint(TElement* child, QString& text) override;
    void GetChildName(TElement* child, TSchemeFiler* filer, QString& name) override;
    bool HandleChildMessage(TElement* child, int msg, intptr_t p1, intptr_t p2) override;
    void TreePlacementChanged() override;
    void BeforeDestruction() override;
    // Description, technical look, the file name field and the connection.
    void Create() override;

protected:
    ~TElement_FileConnection() override = default;

private:
    TFileConnectionFileNameField* m_fileNameField = nullptr;
    TConnectionToFile* m_connection = nullptr;
    bool m_connectFailed = false;
    QString m_connectError;
};

// The file connection's palette item (valid between the unit's initialisation and finalisation).
TPaletteItem* FileConnectionPaletteItem() noexcept;

// The registry, the application values and the file connection's palette item.
void InitRootUnit();
void FinalRootUnit();
