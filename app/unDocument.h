#pragma once
// The scheme document: one file of a registered scheme kind with its scheme,
// a read-only log scheme that shows the scheme's messages, the sheets that
// show both (made on the document's first activation) and the view state
// kept in the recent files. And the documents of connected files, which a
// scheme opens in the background when a file connection names another
// scheme file, kept while some scheme depends on them.

#include "core/baDocum.h"
#include "core/cuNode.h"

#include <QString>

#include <memory>
#include <vector>

class TConnectedDocuments;
class TKnot;
class TLogRoot;
class TScheme;
class TSchemeDescriptor;
class TSheet;
class TSheetSettings;

class TSchemeDocument : public TDocument {
    T_CLASS(TSchemeDocument)
public:
    // A document of the kind whose sheets show through settings (both
    // outlive it). Its scheme's requests for the scheme of another file go to
    // connected; without it they are not answered.
    TSchemeDocument(const TSchemeDescriptor& descriptor, TSheetSettings* settings,
                    TConnectedDocuments* connected = nullptr);
    // The sheets first, then the scheme, the log sheet and the log scheme.
    ~TSchemeDocument() override;

    const TSchemeDescriptor& Descriptor() const noexcept { return m_descriptor; }
    TScheme* Scheme() const noexcept { return m_scheme.get(); }
    TScheme* LogScheme() const noexcept { return m_logScheme.get(); }
    TLogRoot* LogRoot() const noexcept;
    // The sheets of the scheme (the main sheet among them); none before the
    // first activation.
    const std::vector<std::unique_ptr<TSheet>>& Sheets() const noexcept { return m_sheets; }
    // Nil until the first activation.
    TSheet* MainSheet() const noexcept { return m_mainSheet; }
    TSheet* LogSheet() const noexcept { return m_logSheet.get(); }
    // The view state read from the recent files, kept until the main sheet exists.
    TKnot* SheetData() const noexcept { return m_sheetData.get(); }

    // The kind's name of a new document.
    QString GetUntitledName() const override;
    // Takes the record's "SheetData": into the main sheet, or kept until it exists.
    void RestoreState(TKnot* knot) override;
    // Only while nothing can be undone: the record's "SheetData" is replaced
    // by the main sheet's state, or by the state kept when there is no sheet.
    void StoreState(TKnot* knot) override;

protected:
    // The kind prepares the new root.
    void InitNewContent() override;
    void LoadFromFile(const QString& fileName) override;
    // Atomically; after a failure the scheme keeps its old file name.
    void SaveToFile(const QString& fileName) override;
    // The first activation makes the sheets.
    void ActiveChanging() override;

private:
    void CreateSheets();
    // The sheets take the scheme's read-only flag.
    void SchemeMessage(TItfObject* sender, int msg, intptr_t p1, intptr_t p2);
    void UpdateReadOnly();

    const TSchemeDescriptor& m_descriptor;
    TSheetSettings* m_settings;
    TNodePtr<TKnot> m_sheetData;
    std::unique_ptr<TScheme> m_logScheme;
    std::unique_ptr<TSheet> m_logSheet;
    std::unique_ptr<TScheme> m_scheme;
    std::vector<std::unique_ptr<TSheet>> m_sheets;
    TSheet* m_mainSheet = nullptr;
};

// The registered kind whose file extension is the file's (regardless of
// case), the last registered first; nil when none.
const TSchemeDescriptor* FindSchemeDescriptor(const QString& fileName);

// The documents of connected files: each file name (compared as file names)
// once, with its document, or with none when the file has no registered
// kind or could not be opened. The documents are never shown nor saved.
// Used on the user-interface thread only.
class TConnectedDocuments {
public:
    // The documents' sheets would show through settings (they are never activated).
    explicit TConnectedDocuments(TSheetSettings* settings = nullptr) : m_settings(settings) {}
    // Frees every document, those depending on others first.
    ~TConnectedDocuments();
    TConnectedDocuments(const TConnectedDocuments&) = delete;
    TConnectedDocuments& operator=(const TConnectedDocuments&) = delete;

    // How many files may be opening at once, each asked for by the one
    // before it; one more raises, as an error opening it would.
    static constexpr int kMaxOpeningDepth = 100;

    // The scheme of the file, opened once; nil when it has no registered
    // kind. An error opening it passes on; the document goes and the name
    // stays listed without one.
    TScheme* GetConnectedSchemeDocument(const QString& fileName);
    // Frees, over and over, the first listed document that no scheme depends
    // on, and drops the names without a document, until none is left to free.
    void ReleaseUnusedConnectedDocuments();

    int Count() const noexcept { return int(m_entries.size()); }
    // Whether the name is listed, and its document (nil when none).
    bool Holds(const QString& fileName) const { return Find(fileName) != nullptr; }
    TSchemeDocument* Document(const QString& fileName) const;

private:
    struct TEntry {
        QString fileName;
        std::unique_ptr<TSchemeDocument> document;
    };
    // Counts the files being opened while it lives.
    struct TOpening {
        explicit TOpening(int& count) noexcept : m_count(count) { ++m_count; }
        ~TOpening() { --m_count; }
        TOpening(const TOpening&) = delete;
        TOpening& operator=(const TOpening&) = delete;
        int& m_count;
    };
    TEntry* Find(const QString& fileName) const;
    // Out of the list before it goes: freeing its document may ask the list again.
    std::unique_ptr<TEntry> TakeEntry(std::vector<std::unique_ptr<TEntry>>::iterator at);

    TSheetSettings* m_settings;
    // Entries stay where they are while a file opens (its own connections add more).
    std::vector<std::unique_ptr<TEntry>> m_entries;
    int m_opening = 0;
};
