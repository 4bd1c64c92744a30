#pragma once
// The base of every generator: a worker that is given a scheme's root and
// turns the scheme into output.
//   TSchemeGeneratorWorker   walks the scheme from the root, visits every
//                            element at most once per run, puts the values of
//                            the value elements that stand in texts in their
//                            place (substitutions, replacements, folders and
//                            file names, the processing date), collects the
//                            messages of the visited elements into the run's
//                            list, and offers the file services of a
//                            generator that writes files (output folders,
//                            deleting and registering output files), each
//                            step reported with a link.
//   ReplaceInPieces          the replacement of a find text inside a rich
//                            text, piece by piece (runs between embedded
//                            elements and paragraph breaks)
//
// The worker replaces elements in the scheme it walks, so it runs only on a
// private copy (the preview's): Generate refuses a scheme that has an undo
// list, as a document's has. Values copied into texts get fresh element
// numbers; while the worker holds a message list, element links of messages
// added to it are pointed back at the elements the copies were made from.
// The file services act only inside the output folder.

#include "core/cuNode.h"
#include "scheme/diMessages.h"
#include "text/diTextor.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class TCustomPathOrFileNameElement;
class TElement;
class TElementClass;
class TKnot;
class TTextorElement;

// How RegisterOutputFile treats a file.
enum class TOutputFileMode : uint8_t {
    Reported = 0,  // made read-only when the settings ask, reported as created or replaced
    Quiet = 1,     // only registered
};

// Which occurrences a replacement replaces.
enum class TPieceReplaceMode : uint8_t { All = 0, First = 1, Last = 2 };

// Replaces the occurrences of find in the text's pieces (runs of characters
// between embedded elements and paragraph breaks) by replacement: all of
// them or the first going forward, or the last going backward. A piece with
// a hit is built anew in one pass and put in place of the old one; the
// search goes on behind an inserted replacement, never into it. The
// comparison is exact, or ignores the case of each character (slices of
// equal length). Answers the number of occurrences replaced.
int ReplaceInPieces(TTextor& text, const QString& find, const QString& replacement, TPieceReplaceMode mode,
                    bool caseInsensitive);

// True for a path that is its own parent (the file system's root, trailing
// delimiters aside): the one folder an output folder may take as present
// without it existing. Short paths such as "/a" are ordinary folders.
bool IsFileSystemRoot(const QString& path);

// A set of element numbers: a bit per number, in pages of 4096 numbers made
// as numbers arrive, found through a table of the pages from the lowest one
// used to the highest. The numbers of one scheme lie close together, so a
// set of many of them takes about a bit each and a look-up touches one cache
// line of bits, however many numbers the set holds (a node per number, as a
// hash set keeps it, would miss the caches on most look-ups of a large
// scheme).
class TElementNumberSet {
public:
    // True when the number was not in the set yet.
    bool Insert(int32_t number);
    bool Contains(int32_t number) const;

private:
    static constexpr int kPageShift = 12;
    static constexpr uint32_t kNumbersPerPage = 1u << kPageShift;
    static constexpr uint32_t kWordBits = 64;
    using TPage = std::array<uint64_t, kNumbersPerPage / kWordBits>;

    // The page of that page number; nil when it was never made.
    const TPage* FindPage(uint32_t page) const noexcept;
    // The page, made (all bits clear) when there is none.
    TPage& MakePage(uint32_t page);

    uint32_t m_firstPage = 0;  // the page number of m_pages[0]
    std::vector<std::unique_ptr<TPage>> m_pages;
};

class TSchemeGeneratorWorker {
public:
    using TFactory = std::unique_ptr<TSchemeGeneratorWorker> (*)();
    using TElementCallback = std::function<void(TElement* element)>;

    TSchemeGeneratorWorker();
    // Unhooks the message list (it gets its former segment event back).
    virtual ~TSchemeGeneratorWorker();
    TSchemeGeneratorWorker(const TSchemeGeneratorWorker&) = delete;
    TSchemeGeneratorWorker& operator=(const TSchemeGeneratorWorker&) = delete;

    // ---- settings of the run ----
    // Carried and handed on to sub-workers only.
    QString ParameterText;
    int32_t ParameterNumber = 0;
    // Lines a writer puts at the top of each generated file as comments.
    QStringList HeaderLines;
    // The full name of the file to generate (may be empty), and the folder
    // to generate into when it is.
    QString OutputFileName;
    QString OutputFolder;
    // The moment of the run, read by the processing-date elements.
    QDateTime ProcessingDateTime;
    // The root of the scheme to generate (not owned).
    TElement* Root = nullptr;

    QStringConverter::Encoding GetEncoding() const noexcept { return m_encoding; }
    void SetEncoding(QStringConverter::Encoding encoding) noexcept { m_encoding = encoding; }
    QString GetOutputFileName() const { return OutputFileName; }
    // The run's message list (not owned; nil: nothing is reported). The list's
    // segment event is the worker's while it holds the list.
    TElementMessages* Messages() const noexcept { return m_messages; }
    void SetMessages(TElementMessages* messages);

    // ---- what the run made ----
    const QStringList& CreatedFolders() const noexcept { return m_createdFolders; }
    const QStringList& WrittenFiles() const noexcept { return m_writtenFiles; }
    bool WasVisited(const TElement* element) const;
    // The element a copy put into a text was made from (followed through
    // copies of copies); the number itself when it is no copy.
    int32_t SourceNumber(int32_t number) const;
    int CopyCount() const noexcept { return int(m_sourceOfCopy.size()); }

    // ---- the run ----
    virtual void Prepare() {}
    void BeforeGenerate() {}
    // Visits the root, then hands each top-level element on by its class: a
    // file connection to GenerateFileConnection, a text to GenerateText,
    // anything else to GenerateElement. Refuses (strGeneratorNeedsPrivateCopy)
    // a scheme with an undo list.
    virtual void Generate();

    // Visits an element once per run; answers whether it is without errors.
    // The first visit resolves the values standing in it (when it holds
    // children) and adds copies of its messages to the run's list.
    bool Visit(TElement* element);
    // Calls back for every element of the root's tree (the root first, in
    // pre-order) that is of cls. The walk also notes whether the tree holds
    // any value element that ResolveValue puts in its place: until Generate
    // ends, visits of a tree found without one do not look for them among
    // the children (on a large scheme that search would wait on every child
    // to load, to find nothing).
    void ForEachElement(const TElementClass* cls, const TElementCallback& callback);
    // The same in no particular order, for work whose order does not matter:
    // the elements are found through the scheme's index by number, which on
    // a large scheme takes a fraction of the time of a walk (that waits on
    // each node in turn); the root's tree is walked when the index cannot
    // answer. The elements of cls are collected first and called back after.
    void ForEachElementInAnyOrder(const TElementClass* cls, const TElementCallback& callback);
    // "[Unexpected] element of type ..." (4421), a warning linked to the element.
    void ReportUnexpectedElement(TElement* element);
    // A message of kind; text's bracketed part links to the elements (none: a
    // plain message; an element of another scheme: a plain message headed by
    // that scheme's file name).
    void AddMessage(uint8_t kind, const QString& text, const std::vector<TElement*>& elements);

    // ---- file services (only inside the output folder) ----
    // Creates the folder and the missing folders above it, each reported;
    // true when it exists afterwards.
    bool ForceOutputFolder(const QString& folder);
    // Deletes an existing file (read-only or not), else forces its folder;
    // whether the file can be written now.
    bool PrepareOutputFile(const QString& fileName);
    // Registers a written file; answers its index among the written files
    // (the first index for a name registered again); -1 when refused.
    int RegisterOutputFile(const QString& fileName, TOutputFileMode mode);
    // "Can not create file: ..." (4412).
    void ReportCannotCreateFile(const QString& fileName);
    // The folder of OutputFileName, else OutputFolder.
    virtual QString GetOutputFolder() const;
    // Appends the other worker's created folders and written files.
    virtual void TakeFileLists(const TSchemeGeneratorWorker& other);

    // ---- overridable steps ----
    virtual void GenerateElement(TElement* element);
    // The name and the file name of a file connection.
    virtual void GenerateFileConnection(TElement* element);
    // The name and the value of a top-level text.
    virtual void GenerateText(TElement* element);
    // Puts the value of a value element standing in a text in its place;
    // other elements stay.
    virtual void ResolveValue(TElement* element);
    // Whether ResolveValue acts on the element; on the elements of a class.
    static bool IsResolvedValue(const TElement* element);
    static bool IsResolvedValueClass(const TClass* type);
    // A worker made by factory with this one's settings, the message list
    // and the root.
    virtual std::unique_ptr<TSchemeGeneratorWorker> CreateSubWorker(TFactory factory);
    // The full path of a folder or file-name element.
    virtual QString GetPathValue(TCustomPathOrFileNameElement* element);
    // The value of source in place of valueElement: a built-in value's text,
    // or a text's rich value (visited first).
    virtual void InsertElementValue(TElement* valueElement, TElement* source);
    // The text of the name of a file-level element whose name nothing refers to.
    virtual bool GetElementName(TElement* element, QString& name);
    // File connections and texts (exact classes).
    virtual bool IsFileLevelElement(TElement* element);

    // Replaces valueElement in its text by text, or by the rich content of
    // source (loaded with fresh numbers; with a message list, each copied
    // element is remembered with the element it was made from).
    void ReplaceInText(TElement* valueElement, const QString& text);
    void ReplaceInText(TElement* valueElement, TTextorElement* source);

private:
    struct TSegmentHook;
    // An element's number and class, as copies are paired with their sources.
    struct TNumbered {
        int32_t Number;
        const void* Class;
    };
    void OnSegmentAdded(TElementMessages* list, TElementMessage* message, uint8_t kind, const QString& text,
                        QString& value);
    void Unhook();
    // The whole value element replaced by the content tree; copies are paired
    // with sources when given.
    void ReplaceTextRange(TElement* valueElement, TKnot* content, const std::vector<TNumbered>* sources);
    // The value element replaced by characters of the given attributes
    // (nothing for none), as loading them from a content tree would.
    void ReplaceByCharacters(TTextorElement& target, TElementPortion& portion, const QString& chars,
                             const TTextAttributesRef& attributes);
    // An empty "Chars" knot, to ask a text what attributes loaded characters take.
    TKnot* PlainCharsKnot();
    static void CollectEmbedded(const TTextor& text, const TTextorRange& range, std::vector<TNumbered>& out);
    void ResolveReplacement(TElement* element);
    // ResolveValue for each child of the element, in a bracket of its text.
    void ResolveValuesIn(TElement* element);
    // The path made absolute against the output folder when it lies inside
    // it (symbolic links followed); empty, reported with 4412, when not.
    QString InsideOutputFolder(const QString& path);
    bool ForceFolder(const QString& folder);
    void AddPathMessage(uint8_t kind, int stringId, const QString& path);
    void AddPlainMessage(uint8_t kind, int stringId, const QString& path);

    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
    TElementMessages* m_messages = nullptr;
    TElementMessages::SegmentAddedEvent m_savedSegmentEvent;
    TElementNumberSet m_visited;
    // A walk of the whole tree found no element that ResolveValue acts on.
    bool m_noValuesInTexts = false;
    // The number each copy was made from.
    std::unordered_map<int32_t, int32_t> m_sourceOfCopy;
    QStringList m_createdFolders;
    QStringList m_writtenFiles;
    QHash<QString, int> m_writtenIndex;
    TNodePtr<TKnot> m_plainChars;
};
