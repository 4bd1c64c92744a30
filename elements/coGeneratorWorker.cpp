#include "elements/coGeneratorWorker.h"

#include "core/cuClassAnswers.h"
#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuProps.h"
#include "core/cuStringIds.h"
#include "elements/coFunctionElements.h"
#include "elements/coGeneration.h"
#include "elements/coValueElements.h"
#include "scheme/diFilers.h"
#include "text/diTextorElement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

// The portion that holds an element standing in a text, with the text; none otherwise.
TElementPortion* PortionOf(TElement* element, TTextorElement*& text) {
    auto* visual = ClassAs<TVisualElement>(element);
    auto* portion = visual ? dynamic_cast<TElementPortion*>(visual->TextorSlot()) : nullptr;
    text = ClassAs<TTextorElement>(element->ParentElement());
    if (!portion || !text || portion->Textor() != text->Textor()) return nullptr;
    return portion;
}

bool IsExactly(const TElement* element, const TElementClass* cls) noexcept { return element->ClassType() == cls; }

// ---------------------------------------------------------------------------
// Pieces of a text

struct TPiece {
    int Paragraph;
    int Start;  // character index in the paragraph
    QString Text;
    TTextAttributesRef Attributes;  // of its first portion
};

std::vector<TPiece> CollectPieces(const TTextor& text) {
    std::vector<TPiece> pieces;
    int paragraphIndex = 0;
    for (TParagraph* p = text.FirstParagraph(); p; p = p->Next(), ++paragraphIndex) {
        int at = 0;
        TPiece* open = nullptr;
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next()) {
            const int length = portion->Length();
            if (portion->Kind() == TPortionKind::Element) {
                open = nullptr;
            } else if (length > 0) {
                if (!open) {
                    pieces.push_back({paragraphIndex, at, QString(), portion->AttributesRef()});
                    open = &pieces.back();
                }
                const qsizetype old = open->Text.size();
                open->Text.resize(old + length);
                portion->CopyChars(0, length, open->Text.data() + old);
            }
            at += length;
        }
    }
    return pieces;
}

// The piece with every occurrence (or only the one at `only`) replaced, built
// in one pass; the number of occurrences replaced.
int RebuildPiece(const QString& text, const QString& find, const QString& replacement, Qt::CaseSensitivity cs,
                 std::optional<qsizetype> only, QString& out) {
    out.clear();
    if (only) {
        out.reserve(text.size() - find.size() + replacement.size());
        out.append(QStringView(text).left(*only)).append(replacement).append(QStringView(text).mid(*only + find.size()));
        return 1;
    }
    int count = 0;
    qsizetype from = 0;
    for (qsizetype hit = text.indexOf(find, 0, cs); hit >= 0; hit = text.indexOf(find, from, cs)) {
        if (count == 0) out.reserve(text.size());
        out.append(QStringView(text).mid(from, hit - from)).append(replacement);
        from = hit + find.size();
        ++count;
    }
    if (count) out.append(QStringView(text).mid(from));
    return count;
}

void PutPiece(TTextor& text, const TPiece& piece, const QString& newText) {
    TTextorRange range;
    const TTextorNumericRange numeric{{piece.Paragraph, piece.Start},
                                      {piece.Paragraph, piece.Start + int(piece.Text.size())}};
    if (!text.NumericToRange(numeric, range)) return;
    text.InsertText(text.DeleteRange(range), newText, piece.Attributes);
}

// The link value: element numbers as comma text, sorted as texts.
QString NumbersText(const std::vector<TElement*>& elements) {
    QStringList numbers;
    numbers.reserve(qsizetype(elements.size()));
    for (TElement* e : elements) numbers << QString::number(e->Number());
    numbers.sort();
    return numbers.join(QLatin1Char(','));
}

// An absolute path with every existing part resolved (symbolic links
// followed); empty when a part is a link that leads nowhere.
QString ResolvedPath(const QString& cleanAbsolute) {
    QString existing = cleanAbsolute;
    QString tail;
    for (;;) {
        const QFileInfo info(existing);
        if (info.exists() || info.isSymLink()) break;
        const QString parent = info.path();
        if (parent == existing) break;
        tail = info.fileName() + (tail.isEmpty() ? QString() : QLatin1Char('/') + tail);
        existing = parent;
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty()) return QString();
    if (tail.isEmpty()) return canonical;
    return canonical.endsWith(QLatin1Char('/')) ? canonical + tail : canonical + QLatin1Char('/') + tail;
}

bool IsWithin(const QString& path, const QString& folder) {
    if (path == folder) return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

}  // namespace

// ---------------------------------------------------------------------------
// Replacing in pieces

int ReplaceInPieces(TTextor& text, const QString& find, const QString& replacement, TPieceReplaceMode mode,
                    bool caseInsensitive) {
    if (find.isEmpty()) return 0;
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    std::vector<TPiece> pieces = CollectPieces(text);
    QString rebuilt;
    text.BeginUpdate();
    struct TEnd {
        TTextor& text;
        ~TEnd() { text.EndUpdate(); }
    } end{text};
    if (mode == TPieceReplaceMode::All) {
        int count = 0;
        // From the last piece back, so that the places of the earlier ones hold.
        for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
            const int hits = RebuildPiece(piece->Text, find, replacement, cs, std::nullopt, rebuilt);
            if (!hits) continue;
            PutPiece(text, *piece, rebuilt);
            count += hits;
        }
        return count;
    }
    const bool forward = mode == TPieceReplaceMode::First;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const TPiece& piece = pieces[forward ? i : pieces.size() - 1 - i];
        const qsizetype hit = forward ? piece.Text.indexOf(find, 0, cs) : piece.Text.lastIndexOf(find, -1, cs);
        if (hit < 0) continue;
        RebuildPiece(piece.Text, find, replacement, cs, hit, rebuilt);
        PutPiece(text, piece, rebuilt);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Message redirection

// The worker's segment event: a functor whose worker can be recognised, so
// that a worker unhooks only its own handler and splices itself out of a
// chain of workers that hooked the same list one after another.
struct TSchemeGeneratorWorker::TSegmentHook {
    TSchemeGeneratorWorker* Worker;
    void operator()(TElementMessages* list, TElementMessage* message, uint8_t kind, const QString& text,
                    QString& value) const {
        Worker->OnSegmentAdded(list, message, kind, text, value);
    }
};

TSchemeGeneratorWorker::TSchemeGeneratorWorker() = default;

TSchemeGeneratorWorker::~TSchemeGeneratorWorker() { Unhook(); }

void TSchemeGeneratorWorker::Unhook() {
    if (!m_messages) return;
    TElementMessages::SegmentAddedEvent* slot = &m_messages->OnSegmentAdded;
    while (auto* hook = slot->target<TSegmentHook>()) {
        if (hook->Worker == this) {
            *slot = std::move(m_savedSegmentEvent);
            break;
        }
        slot = &hook->Worker->m_savedSegmentEvent;
    }
    m_savedSegmentEvent = nullptr;
    m_messages = nullptr;
}

void TSchemeGeneratorWorker::SetMessages(TElementMessages* messages) {
    if (messages == m_messages) return;
    Unhook();
    if (!messages) return;
    m_messages = messages;
    m_savedSegmentEvent = std::move(messages->OnSegmentAdded);
    messages->OnSegmentAdded = TSegmentHook{this};
}

void TSchemeGeneratorWorker::OnSegmentAdded(TElementMessages* list, TElementMessage* message, uint8_t kind,
                                            const QString& text, QString& value) {
    if (kind == skElements && !m_sourceOfCopy.empty()) {
        QStringList numbers = value.split(QLatin1Char(','));
        for (QString& number : numbers) {
            bool ok = false;
            const int32_t n = number.trimmed().toInt(&ok);
            if (ok) number = QString::number(SourceNumber(n));
        }
        value = numbers.join(QLatin1Char(','));
    }
    if (m_savedSegmentEvent) m_savedSegmentEvent(list, message, kind, text, value);
}

int32_t TSchemeGeneratorWorker::SourceNumber(int32_t number) const {
    for (size_t steps = 0; steps <= m_sourceOfCopy.size(); ++steps) {
        const auto found = m_sourceOfCopy.find(number);
        if (found == m_sourceOfCopy.end()) break;
        number = found->second;
    }
    return number;
}

bool TSchemeGeneratorWorker::WasVisited(const TElement* element) const {
    return element && m_visited.Contains(element->Number());
}

// ---------------------------------------------------------------------------
// Numbers of visited elements

const TElementNumberSet::TPage* TElementNumberSet::FindPage(uint32_t page) const noexcept {
    if (page < m_firstPage || page - m_firstPage >= m_pages.size()) return nullptr;
    return m_pages[page - m_firstPage].get();
}

TElementNumberSet::TPage& TElementNumberSet::MakePage(uint32_t page) {
    if (m_pages.empty()) {
        m_firstPage = page;
    } else if (page < m_firstPage) {
        std::vector<std::unique_ptr<TPage>> grown(m_firstPage - page + m_pages.size());
        std::move(m_pages.begin(), m_pages.end(), grown.begin() + (m_firstPage - page));
        m_pages = std::move(grown);
        m_firstPage = page;
    }
    const size_t index = page - m_firstPage;
    if (index >= m_pages.size()) m_pages.resize(index + 1);
    std::unique_ptr<TPage>& slot = m_pages[index];
    if (!slot) slot = std::make_unique<TPage>(TPage{});
    return *slot;
}

bool TElementNumberSet::Contains(int32_t number) const {
    const auto n = uint32_t(number);
    const TPage* page = FindPage(n >> kPageShift);
    const uint32_t bit = n & (kNumbersPerPage - 1);
    return page && ((*page)[bit / kWordBits] >> (bit % kWordBits) & 1u);
}

bool TElementNumberSet::Insert(int32_t number) {
    const auto n = uint32_t(number);
    const uint32_t bit = n & (kNumbersPerPage - 1);
    uint64_t& word = MakePage(n >> kPageShift)[bit / kWordBits];
    const uint64_t mask = uint64_t(1) << (bit % kWordBits);
    if (word & mask) return false;
    word |= mask;
    return true;
}

// ---------------------------------------------------------------------------
// The run

void TSchemeGeneratorWorker::Generate() {
    if (!Root) return;
    if (TScheme* scheme = Root->Scheme(); scheme && scheme->UndoRedo())
        throw Exception::FromId(strGeneratorNeedsPrivateCopy);
    // What a walk before the run found holds for this run only.
    struct TForget {
        bool& flag;
        ~TForget() { flag = false; }
    } forget{m_noValuesInTexts};
    Visit(Root);
    for (TNode* node = Root->FirstChild(); node;) {
        TNode* next = node->NextSibling();
        // The root's own parts (its namespace, its built-in values) are no content.
        if (auto* element = ClassAs<TElement>(node); element && !element->IsSubElement()) {
            if (IsExactly(element, TElement_FileConnection::StaticClass()))
                GenerateFileConnection(element);
            else if (IsExactly(element, TElement_Text::StaticClass()))
                GenerateText(element);
            else
                GenerateElement(element);
        }
        node = next;
    }
}

bool TSchemeGeneratorWorker::Visit(TElement* element) {
    if (!element) return true;
    if (!m_visited.Insert(element->Number())) return element->HasNoErrors();
    if (!m_noValuesInTexts && element->FirstChild() && ClassAs<TVisualElement>(element)) {
        TSchemeUpdate schemeUpdate(element->Scheme());
        ResolveValuesIn(element);
        schemeUpdate.End();
    }
    if (m_messages && element->Messages() && element->Messages()->GetCount())
        m_messages->AddFrom(*element->Messages());
    return element->HasNoErrors();
}

void TSchemeGeneratorWorker::ResolveValuesIn(TElement* element) {
    auto* textElement = ClassAs<TTextorElement>(element);
    TTextor* text = textElement ? textElement->Textor() : nullptr;
    if (text) text->BeginUpdate();
    try {
        for (TNode* node = element->FirstChild(); node;) {
            TNode* next = node->NextSibling();
            if (auto* child = ClassAs<TElement>(node)) ResolveValue(child);
            node = next;
        }
    } catch (...) {
        if (text) text->EndUpdate();
        throw;
    }
    if (text) text->EndUpdate();
}

void TSchemeGeneratorWorker::ForEachElement(const TElementClass* cls, const TElementCallback& callback) {
    if (!Root || !cls) return;
    // The nodes of a large scheme lie far apart in memory and a walk waits on
    // each one: the next sibling is asked for early, to arrive while the
    // subtree before it is walked.
    bool values = false;
    for (TNode* node : PreOrder<TNode>(Root)) {
        __builtin_prefetch(node->NextSibling());
        if (!values) values = IsResolvedValue(ClassAs<TElement>(node));
        if (node->InheritsFrom(cls)) callback(static_cast<TElement*>(node));
    }
    m_noValuesInTexts = !values;
}

void TSchemeGeneratorWorker::ForEachElementInAnyOrder(const TElementClass* cls, const TElementCallback& callback) {
    if (!Root || !cls) return;
    TScheme* scheme = Root->Scheme();
    // A registered element need not stand in the root's tree: the few that
    // are asked about are checked.
    const auto inTree = [this](TElement* element) { return element == Root || Root->IsAncestorOf(element); };
    // Both questions depend on the class alone, and a scheme has few classes
    // for many elements: the answers are kept per class.
    struct TAnswers {
        bool OfClass = false;
        bool Value = false;
    };
    TClassAnswers<TAnswers> answers;
    const auto answersFor = [&](const TClass* type) -> const TAnswers& {
        return answers.For(type, [cls](const TClass* t) { return TAnswers{t->InheritsFrom(cls), IsResolvedValueClass(t)}; });
    };
    std::vector<TElement*> found;
    bool values = false;
    // Only the elements of cls and, until one is found in the tree, value
    // elements are loaded.
    const auto wanted = [&](const TClass* type) {
        const TAnswers& answer = answersFor(type);
        return answer.OfClass || (answer.Value && !values);
    };
    const bool indexed = scheme && scheme->ForEachIndexed(wanted, [&](TElement* element) {
        const TAnswers& answer = answersFor(element->ClassType());
        if (answer.OfClass) {
            // Asked whether it stands in the tree once the walk is over: its
            // parent is on the way meanwhile.
            __builtin_prefetch(element->Parent());
            found.push_back(element);
        }
        if (!values && answer.Value) values = inTree(element);
    });
    if (!indexed) {
        ForEachElement(cls, callback);
        return;
    }
    m_noValuesInTexts = !values;
    std::erase_if(found, [&inTree](TElement* element) { return !inTree(element); });
    for (TElement* element : found) callback(element);
}

void TSchemeGeneratorWorker::GenerateElement(TElement* element) { ReportUnexpectedElement(element); }

void TSchemeGeneratorWorker::GenerateFileConnection(TElement* element) {
    auto* connection = dynamic_cast<TElement_FileConnection*>(element);
    if (!connection) return;
    Visit(connection->NameField());
    Visit(connection->FileNameField());
}

void TSchemeGeneratorWorker::GenerateText(TElement* element) {
    auto* text = dynamic_cast<TElement_Text*>(element);
    if (!text) return;
    Visit(text->NameField());
    Visit(text->ValueField());
}

// ---------------------------------------------------------------------------
// Values in texts

bool TSchemeGeneratorWorker::IsResolvedValue(const TElement* element) {
    return element && IsResolvedValueClass(element->ClassType());
}

bool TSchemeGeneratorWorker::IsResolvedValueClass(const TClass* type) {
    return type == TElement_Substitution::StaticClass() || type == TElement_Replacement::StaticClass() ||
           type == TElement_IsEmpty::StaticClass() || type == TElement_ProcessingDateTime::StaticClass() ||
           type->InheritsFrom(TCustomPathOrFileNameElement::StaticClass());
}

void TSchemeGeneratorWorker::ResolveValue(TElement* element) {
    if (IsExactly(element, TElement_Substitution::StaticClass())) {
        auto* substitution = static_cast<TElement_Substitution*>(element);
        // In error, or without a target: its own text stands for it.
        TElement* source = Visit(substitution) ? substitution->ValueSource() : nullptr;
        if (source) {
            InsertElementValue(substitution, source);
        } else {
            QString own;
            substitution->WriteText(own);
            ReplaceInText(substitution, own);
        }
    } else if (IsExactly(element, TElement_Replacement::StaticClass())) {
        ResolveReplacement(element);
    } else if (IsExactly(element, TElement_IsEmpty::StaticClass())) {
        Visit(static_cast<TElement_IsEmpty*>(element)->Value());
    } else if (auto* path = ClassAs<TCustomPathOrFileNameElement>(element)) {
        Visit(path);
        ReplaceInText(path, GetPathValue(path));
    } else if (IsExactly(element, TElement_ProcessingDateTime::StaticClass())) {
        Visit(element);
        ReplaceInText(element, static_cast<TElement_ProcessingDateTime*>(element)->ValueAt(ProcessingDateTime));
    }
}

void TSchemeGeneratorWorker::ResolveReplacement(TElement* element) {
    auto* replacement = static_cast<TElement_Replacement*>(element);
    TFunctionField* content = replacement->Content();
    TFunctionField* find = replacement->FindValue();
    TFunctionField* replaceBy = replacement->ReplaceValue();
    if (!content || !find || !replaceBy) return;
    Visit(content);
    Visit(find);
    Visit(replaceBy);
    if (find->IsFilled())
        ReplaceInPieces(*content->Textor(), find->GetText(), replaceBy->GetText(),
                        TPieceReplaceMode(replacement->Mode()), replacement->CaseInsensitive());
    ReplaceInText(replacement, content);
}

QString TSchemeGeneratorWorker::GetPathValue(TCustomPathOrFileNameElement* element) {
    return element ? element->Value() : QString();
}

void TSchemeGeneratorWorker::InsertElementValue(TElement* valueElement, TElement* source) {
    if (auto* value = ClassAs<TInsideValueElement>(source)) {
        ReplaceInText(valueElement, value->GetValue());
    } else if (auto* text = ClassAs<TElement_Text>(source)) {
        Visit(text->NameField());
        Visit(text->ValueField());
        if (text->ValueField()) ReplaceInText(valueElement, text->ValueField());
    }
}

void TSchemeGeneratorWorker::ReplaceInText(TElement* valueElement, const QString& text) {
    TTextorElement* target = nullptr;
    if (TElementPortion* portion = PortionOf(valueElement, target))
        ReplaceByCharacters(*target, *portion, text, target->GetNodeTextAttributes(PlainCharsKnot()));
}

void TSchemeGeneratorWorker::ReplaceInText(TElement* valueElement, TTextorElement* source) {
    if (!source) return;
    // Characters and paragraph breaks only: loading their content tree would
    // insert each paragraph's characters and a break between. When the target
    // gives loaded characters no attributes (breaks never get any), inserting
    // the source's text at once does the same.
    if (!source->HasEmbeddedElement()) {
        TTextorElement* target = nullptr;
        TElementPortion* portion = PortionOf(valueElement, target);
        if (!portion) return;
        if (TTextAttributesRef attributes = target->GetNodeTextAttributes(PlainCharsKnot()); !attributes) {
            ReplaceByCharacters(*target, *portion, source->GetText(), attributes);
            return;
        }
    }
    TNodePtr<TKnot> content = TKnot::Create(kContentRootName);
    content->SetFlagsAdded(kfIndexed);
    source->SaveContent(content.get(), fmClipboard, std::nullopt, 0);
    std::vector<TNumbered> sources;
    if (m_messages) CollectEmbedded(*source->Textor(), source->Textor()->GetWholeRange(), sources);
    ReplaceTextRange(valueElement, content.get(), m_messages ? &sources : nullptr);
}

// The elements embedded in range and everything inside them, in pre-order.
void TSchemeGeneratorWorker::CollectEmbedded(const TTextor& text, const TTextorRange& range,
                                             std::vector<TNumbered>& out) {
    text.ForEachInRange(range, false, [&](TParagraph*, TPortion* portion, int, int) {
        if (!portion || portion->Kind() != TPortionKind::Element) return true;
        if (TVisualElement* element = static_cast<TElementPortion*>(portion)->Element())
            for (TNode* node : PreOrder<TNode>(element))
                if (auto* e = ClassAs<TElement>(node)) out.push_back({e->Number(), e->ClassType()});
        return true;
    });
}

TKnot* TSchemeGeneratorWorker::PlainCharsKnot() {
    if (!m_plainChars) m_plainChars = TKnot::Create(kContentCharsName);
    return m_plainChars.get();
}

// What loading a content tree of one "Chars" knot puts in place of the
// element: the characters, inside the brackets loading opens.
void TSchemeGeneratorWorker::ReplaceByCharacters(TTextorElement& target, TElementPortion& portion,
                                                 const QString& chars, const TTextAttributesRef& attributes) {
    TTextor& textor = *target.Textor();
    const TTextorPosition start{portion.Paragraph(), &portion, 0};
    const TTextorPosition at = TTextor::Normalize(textor.DeleteRange({start, TTextor::PositionAfter(start, 1)}));
    TSchemeUpdate schemeUpdate(target.Scheme());
    if (!chars.isEmpty()) textor.InsertText(at, chars, attributes);
    schemeUpdate.End();
}

void TSchemeGeneratorWorker::ReplaceTextRange(TElement* valueElement, TKnot* content,
                                              const std::vector<TNumbered>* sources) {
    TTextorElement* text = nullptr;
    TElementPortion* portion = PortionOf(valueElement, text);
    if (!portion) return;
    TTextor& textor = *text->Textor();
    const TTextorPosition start{portion->Paragraph(), portion, 0};
    const TTextorRange own{start, TTextor::PositionAfter(start, 1)};
    // In clipboard mode: the copies get numbers of their own.
    TSchemeLoader loader(text->Scheme(), m_messages, content, 0, fmClipboard);
    const TTextorRange inserted = text->LoadContent(&loader, content, textor.DeleteRange(own));
    loader.Finish();
    if (!sources || sources->empty()) return;
    std::vector<TNumbered> copies;
    copies.reserve(sources->size());
    CollectEmbedded(textor, inserted, copies);
    const size_t count = std::min(copies.size(), sources->size());
    for (size_t i = 0; i < count && copies[i].Class == (*sources)[i].Class; ++i)
        if (copies[i].Number != (*sources)[i].Number) m_sourceOfCopy[copies[i].Number] = (*sources)[i].Number;
}

// ---------------------------------------------------------------------------
// Messages

void TSchemeGeneratorWorker::AddMessage(uint8_t kind, const QString& text, const std::vector<TElement*>& elements) {
    if (!m_messages) return;
    if (elements.empty()) {
        m_messages->AddTextMessage(kind, text);
        return;
    }
    TScheme* other = elements.front()->Scheme();
    if (Root && other && other != Root->Scheme()) {
        m_messages->AddTextMessage(kind, QFileInfo(other->FileName()).fileName() + QStringLiteral(": ") +
                                             RemoveLinkBrackets(text));
        return;
    }
    m_messages->AddElementLinkMessage(kind, text, NumbersText(elements));
}

void TSchemeGeneratorWorker::ReportUnexpectedElement(TElement* element) {
    if (!element) return;
    AddMessage(mkWarning, LoadStrFmt(strUnexpectedElementType, {element->GetTypeName()}), {element});
}

void TSchemeGeneratorWorker::AddPathMessage(uint8_t kind, int stringId, const QString& path) {
    if (m_messages) m_messages->AddPathLinkMessage(kind, LoadStrFmt(stringId, {SanitizeMessageText(path)}), path);
}

void TSchemeGeneratorWorker::AddPlainMessage(uint8_t kind, int stringId, const QString& path) {
    if (m_messages) m_messages->AddTextMessage(kind, LoadStrFmt(stringId, {SanitizeMessageText(path)}));
}

// ---------------------------------------------------------------------------
// Sub-workers and names

std::unique_ptr<TSchemeGeneratorWorker> TSchemeGeneratorWorker::CreateSubWorker(TFactory factory) {
    std::unique_ptr<TSchemeGeneratorWorker> worker = factory();
    worker->ParameterText = ParameterText;
    worker->HeaderLines = HeaderLines;
    worker->m_encoding = m_encoding;
    worker->OutputFileName = OutputFileName;
    worker->OutputFolder = OutputFolder;
    worker->ProcessingDateTime = ProcessingDateTime;
    worker->SetMessages(m_messages);
    worker->Root = Root;
    worker->ParameterNumber = ParameterNumber;
    return worker;
}

bool TSchemeGeneratorWorker::IsFileLevelElement(TElement* element) {
    return element && (IsExactly(element, TElement_FileConnection::StaticClass()) ||
                       IsExactly(element, TElement_Text::StaticClass()));
}

bool TSchemeGeneratorWorker::GetElementName(TElement* element, QString& name) {
    auto* named = dynamic_cast<TNamedElement*>(element);
    TNameField* field = named ? named->NameField() : nullptr;
    if (!field) return false;
    TNamespaceItem* item = field->Item();
    if (item && item->GetReferenceCount() != 0) return false;
    if (!IsFileLevelElement(element)) return false;
    name = field->GetText();
    return true;
}

void TSchemeGeneratorWorker::TakeFileLists(const TSchemeGeneratorWorker& other) {
    m_createdFolders += other.m_createdFolders;
    for (const QString& file : other.m_writtenFiles) {
        if (!m_writtenIndex.contains(file)) m_writtenIndex.insert(file, int(m_writtenFiles.size()));
        m_writtenFiles << file;
    }
}

// ---------------------------------------------------------------------------
// File services

QString TSchemeGeneratorWorker::GetOutputFolder() const {
    if (!OutputFileName.isEmpty()) return QFileInfo(OutputFileName).path();
    return OutputFolder;
}

QString TSchemeGeneratorWorker::InsideOutputFolder(const QString& path) {
    const QString folder = GetOutputFolder();
    if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && !path.isEmpty()) {
        const QString absolute = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
        const QString resolvedFolder = ResolvedPath(QDir::cleanPath(folder));
        const QString resolved = ResolvedPath(absolute);
        if (!resolvedFolder.isEmpty() && !resolved.isEmpty() && IsWithin(resolved, resolvedFolder)) return absolute;
    }
    ReportCannotCreateFile(path);
    return QString();
}

bool IsFileSystemRoot(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
    return !trimmed.isEmpty() && QFileInfo(trimmed).path() == trimmed;
}

bool TSchemeGeneratorWorker::ForceOutputFolder(const QString& folder) {
    const QString inside = InsideOutputFolder(folder);
    return !inside.isEmpty() && ForceFolder(inside);
}

bool TSchemeGeneratorWorker::ForceFolder(const QString& folder) {
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir() || IsFileSystemRoot(path)) return true;
    const QString parent = info.path();
    if (!ForceFolder(parent)) return false;
    if (!QDir().mkdir(path)) {
        AddPlainMessage(mkWarning, strCanNotCreateFolder, path);
        return false;
    }
    AddPathMessage(mkInformation, strFolderCreated, path);
    m_createdFolders << path;
    return true;
}

bool TSchemeGeneratorWorker::PrepareOutputFile(const QString& fileName) {
    const QString inside = InsideOutputFolder(fileName);
    if (inside.isEmpty()) return false;
    const QFileInfo info(inside);
    if (!info.exists() && !info.isSymLink()) return ForceFolder(info.path());
    QFile file(inside);
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    if (!file.remove()) {
        AddPathMessage(mkWarning, strCanNotDeleteFile, inside);
        return false;
    }
    return true;
}

int TSchemeGeneratorWorker::RegisterOutputFile(const QString& fileName, TOutputFileMode mode) {
    const QString inside = InsideOutputFolder(fileName);
    if (inside.isEmpty()) return -1;
    const bool reported = mode != TOutputFileMode::Quiet;
    const TGenerationSettings* settings = GenerationSettings();
    if (reported && settings && settings->MakeReadOnly()->Value()) {
        QFile file(inside);
        file.setPermissions(file.permissions() &
                            ~(QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup |
                              QFileDevice::WriteOther));
    }
    const auto found = m_writtenIndex.constFind(inside);
    if (found != m_writtenIndex.constEnd()) {
        if (reported) AddPathMessage(mkWarning, strFileReplaced, inside);
        return found.value();
    }
    if (reported) AddPathMessage(mkInformation, strFileCreated, inside);
    const int index = int(m_writtenFiles.size());
    m_writtenFiles << inside;
    m_writtenIndex.insert(inside, index);
    return index;
}

void TSchemeGeneratorWorker::ReportCannotCreateFile(const QString& fileName) {
    AddPlainMessage(mkWarning, strCanNotCreateFile, fileName);
}
