// The text element's content trees, stored forms and clipboard commands (one
// unit with diTextorElement.cpp; see the header).

#include "text/diTextorElement.h"

#include "platform/plClipboard.h"
#include "scheme/diCanvas.h"
#include "scheme/diFilers.h"
#include "scheme/diPalette.h"
#include "text/diTextorEdit.h"
#include "text/diTextorInteractive.h"

namespace {

const QString kContentLineBreak = QStringLiteral("\r\n");

// Local flags: they must not spread to the knots of embedded elements.
void AddKnotFlags(TKnot* knot, TKnotFlags flags) noexcept {
    knot->SetFlagsAdded(TKnotFlags(knot->FlagsAdded() | flags));
}

}  // namespace

TKnot* AddContentBreak(TKnot* parent) {
    TKnot* br = parent->AddChild(kContentBreakName);
    AddKnotFlags(br, kfSameLine);
    return br;
}

namespace {

// The characters of pieces of text and tab runs, gathered until something
// else comes; then written as one "Chars" knot, or appended to the knot's
// last child when that is a "Chars" knot already.
class TContentCharsRun {
public:
    explicit TContentCharsRun(TKnot* parent) : m_parent(parent) {}

    void Append(const TPortion& portion, int start, int count) {
        const qsizetype at = m_chars.size();
        m_chars.resize(at + count);
        portion.CopyChars(start, count, m_chars.data() + at);
        ++m_pieces;
    }

    void Flush() {
        if (m_chars.isEmpty()) return;
        TKnot* last = static_cast<TKnot*>(m_parent->LastChild());
        if (last && last->Name() == kContentCharsName) {
            const TKnotParam* value = last->FindParam(kContentValueName);
            AddKnotFlags(last, kfUniqueParams);  // the value written next replaces the old one
            last->WriteStr(kContentValueName, (value ? value->Value() : QString()) + m_chars);
        } else {
            TKnot* chars = m_parent->AddChild(kContentCharsName);
            chars->WriteStr(kContentValueName, m_chars);
            if (m_pieces > 1) AddKnotFlags(chars, kfUniqueParams);
        }
        m_chars.clear();
        m_pieces = 0;
    }

private:
    TKnot* m_parent;
    QString m_chars;
    int m_pieces = 0;
};

TVisualElement* PortionElement(const TPortion* portion) noexcept {
    return portion && portion->Kind() == TPortionKind::Element ? static_cast<const TElementPortion*>(portion)->Element()
                                                               : nullptr;
}

// The first embedded element at or after position, none when there is none:
// elements inserted at position go before it.
TVisualElement* ContentNextEmbedded(const TTextorPosition& position) {
    if (position.Paragraph && position.Paragraph->Textor()->ElementPortionCount() == 0) return nullptr;
    TTextorPosition at = TTextor::Normalize(position);
    TPortion* portion = at.Portion;
    if (!portion)
        portion = at.Paragraph && at.Paragraph->Next() ? at.Paragraph->Next()->FirstPortion() : nullptr;
    for (; portion; portion = portion->GetNextPortion())
        if (TVisualElement* element = PortionElement(portion)) return element;
    return nullptr;
}

// The text of a range: characters and tab runs as they are, each embedded
// element through its WriteText, each paragraph break as CR LF.
void AppendContentText(const TTextor& textor, const TTextorRange& range, QString& builder) {
    textor.ForEachInRange(range, false, [&](TParagraph*, TPortion* portion, int start, int count) {
        if (!portion) {
            builder += kContentLineBreak;
        } else if (portion->Kind() == TPortionKind::Element) {
            if (TVisualElement* element = PortionElement(portion)) element->WriteText(builder);
        } else {
            const qsizetype at = builder.size();
            builder.resize(at + count);
            portion->CopyChars(start, count, builder.data() + at);
        }
        return true;
    });
}

void CloseSheetDropDown(ISheet* sheet) {
    if (sheet) sheet->CloseDropDown(false);
}

// Clipboard fragments leave out the elements that ask for it.
bool IsCopied(const TSchemeSaver* saver, const TVisualElement* element) noexcept {
    return saver->Mode() != fmClipboard || !element->HasVisualOption(voNotCopied);
}

// In snapshots, the content of a text whose parent is a sub-element goes into a child knot "Floating".
bool ContentFloats(const TSchemeFiler* filer, TElement* element) {
    const TElement* parent = element->ParentElement();
    return filer->IsSnapshot() && parent && parent->IsSubElement();
}

}  // namespace

bool ElementHasOwnLine(const TElement* element) {
    const TPalette* palette = Palette();
    const TPaletteItem* item = palette ? palette->FindItemForClass(element->ElementClass()) : nullptr;
    return item && (item->Flags() & pifOwnLine);
}

namespace {

// Clipboard data that is not text (an image, element data): an element of the
// class that the ancestors name (node message 100), prepared by them (101) and
// filled from the clipboard, inserted at the selection as one edit.
bool PasteContentData(TTextorElement& target) {
    const TElementClass* cls = nullptr;
    target.SendNodeMessageUp(nmClipboardElementClass, reinterpret_cast<intptr_t>(&cls), 0);
    if (!cls) return false;
    TNodePtr<TElement> element(TElement::CreateIn(cls, target.Scheme(), nullptr));
    target.SendNodeMessageUp(nmPrepareClipboardElement, reinterpret_cast<intptr_t>(element.get()), 0);
    auto* data = dynamic_cast<IClipboardDataElement*>(element.get());
    if (!data || !data->PasteFromClipboard(false)) return false;
    const int32_t number = element->Number();
    std::vector<TNodePtr<TElement>> elements;
    elements.push_back(std::move(element));
    target.InsertElements(TEnterMode::Selection, {}, std::move(elements));
    ISheet* sheet = target.Sheet();
    const TSheetSettings* settings = sheet ? sheet->Settings() : nullptr;
    if (settings && settings->FocusNewProperty() && settings->FocusNewProperty()->Value() && target.Scheme())
        if (auto* made = dynamic_cast<TVisualElement*>(target.Scheme()->FindElement(number)))
            sheet->FocusDelayed(made);
    return true;
}

// Reads the children of a content tree into a text at a place that moves on
// with each insertion.
class TContentReader {
public:
    TContentReader(TTextorElement& element, TSchemeLoader* loader, const TTextorPosition& position)
        : m_element(element),
          m_textor(*element.Textor()),
          m_loader(loader),
          m_at(TTextor::Normalize(position)),
          m_start(m_textor.PositionToNumeric(m_at)),
          m_breaksAsUnknown(loader->HasOption(kContentNoBreaksWithoutText) && !element.AllowsText()),
          m_rich(element.HasTextorOption(toRichContent)) {}

    void Read(TKnot* child) {
        if (child->Name() == kContentCharsName)
            m_at = child->ReadStrView(kContentValueName, {}, [this, child](QStringView chars) {
                const TTextAttributesRef attributes = m_element.GetNodeTextAttributes(child);
                return m_textor.InsertText(m_at, chars.constData(), int(chars.size()), attributes).End;
            });
        else if (child->Name() == kContentBreakName && !m_breaksAsUnknown)
            m_at = m_textor.InsertText(m_at, kContentLineBreak).End;
        else if (m_rich)
            ReadElement(child);
        else
            child->SetWasRead(false);  // the loader reports it
    }

    // From the first insertion to the last.
    TTextorRange Inserted() const {
        TTextorRange range{m_at, m_at};
        m_textor.NumericToPosition(m_start, range.Start);
        return range;
    }

    // Deletes what was inserted so far: a read that raised leaves the text as it was.
    void TakeBack() {
        const TTextorRange inserted = Inserted();
        if (!inserted.IsEmpty()) m_textor.DeleteRange(inserted);
    }

private:
    // The element is made before the next embedded one, in the text and among
    // the visual children (looked for once, at the first element: typing never walks the text).
    void ReadElement(TKnot* child) {
        if (!m_before) m_before = ContentNextEmbedded(m_at);
        TElement* made = m_element.CreateChildFromNode(m_loader, child, *m_before, m_classes, m_classesFilled);
        auto* element = dynamic_cast<TVisualElement*>(made);
        if (!element) {
            if (made) made->Free();
            return;
        }
        try {
            m_at = m_textor.InsertElement(m_at, element).End;
        } catch (...) {
            element->Free();
            throw;
        }
        element->SetVisualParentAt(&m_element, *m_before);
    }

    TTextorElement& m_element;
    TTextor& m_textor;
    TSchemeLoader* m_loader;
    TTextorPosition m_at;
    const TTextorNumericPosition m_start;
    const bool m_breaksAsUnknown;
    const bool m_rich;
    std::optional<TVisualElement*> m_before;
    TElementClassList m_classes;
    bool m_classesFilled = false;
};

// Clipboard text: a content tree where the element takes one, else plain text.
bool PasteContentText(TTextorElement& target, const QString& text) {
    const bool anyCharacters = target.TextRestrictions() & trAllCharacters;
    TNodePtr<TKnot> tree = TKnot::Create();
    // Text that is not knot text, or only partly so, is plain text: a partial
    // tree would paste what happened to parse.
    if (!tree->LoadFromString(text) || tree->Name() != kContentRootName) {
        if (anyCharacters) target.EnterText(TEnterMode::Selection, {}, false, text);
        return anyCharacters;
    }
    if (target.HasTextorOption(toRichContent)) {
        target.EnterContent(TEnterMode::Selection, {}, false, std::move(tree), fmClipboard, kContentFreshNumbers);
        return true;
    }
    if (!anyCharacters) return false;
    QString plain;
    target.EnterText(TEnterMode::Selection, {}, false,
                     TTextorElement::GetPlainContentText(tree.get(), plain) ? plain : text);
    return true;
}

// Runs load inside the textor's update bracket.
template <class Load>
TTextorRange InTextorUpdate(TTextor& textor, Load load) {
    textor.BeginUpdate();
    TTextorRange range;
    try {
        range = load();
    } catch (...) {
        textor.EndUpdate();
        throw;
    }
    textor.EndUpdate();
    return range;
}

}  // namespace

// ---------------------------------------------------------------------------
// Content trees

void TTextorElement::WriteContent(TSchemeSaver* saver, TKnot* knot, const std::optional<TTextorRange>& range) {
    if (!m_textor) return;  // an empty text writes nothing
    const bool dropBreaks = saver->HasOption(kContentNoBreaksWithoutText) && !AllowsText();
    TContentCharsRun run(knot);
    const auto write = [&](TParagraph*, TPortion* portion, int start, int count) {
        if (portion && portion->Kind() != TPortionKind::Element) {
            run.Append(*portion, start, count);
            return true;
        }
        run.Flush();
        if (!portion && !dropBreaks) AddContentBreak(knot);
        if (TVisualElement* element = PortionElement(portion); element && IsCopied(saver, element))
            SaveChildToNode(saver, knot, element);
        return true;
    };
    Textor()->ForEachInRange(range.value_or(Textor()->GetWholeRange()), false, write);
    run.Flush();
}

void TTextorElement::SaveContent(TKnot* knot, uint8_t saverMode, const std::optional<TTextorRange>& range,
                                 uint8_t saverOption) {
    TSchemeSaver saver(saverMode, knot, saverOption);
    WriteContent(&saver, knot, range);
}

TTextorRange TTextorElement::LoadContent(TSchemeLoader* loader, TKnot* knot,
                                         const std::optional<TTextorPosition>& position, const QStringList& ownKnots) {
    TSchemeUpdate schemeUpdate(Scheme());
    const TTextorRange range = InTextorUpdate(*Textor(), [&] {
        TContentReader reader(*this, loader, position.value_or(Textor()->GetEndPosition()));
        try {
            for (TKnot* child = knot->GetFirstChild(); child; child = child->GetNextSibling())
                if (!ownKnots.contains(child->Name())) reader.Read(child);
        } catch (...) {
            reader.TakeBack();
            throw;
        }
        return reader.Inserted();
    });
    schemeUpdate.End();
    return range;
}

TTextorRange TTextorElement::InsertContent(TKnot* knot, uint8_t loaderMode, uint8_t loaderOption,
                                           const std::optional<TTextorPosition>& position) {
    TScheme* scheme = Scheme();
    TSchemeLoader loader(scheme, scheme ? scheme->Messages() : nullptr, knot, loaderOption, loaderMode);
    const TTextorRange range = LoadContent(&loader, knot, position);
    loader.Finish();
    return range;
}

void TTextorElement::WriteElements(TSchemeSaver* saver, TKnot* root, TEnterMode mode,
                                   const std::vector<TElement*>& elements, const TTextorRange& range) {
    root->SetName(kContentRootName);
    AddKnotFlags(root, kfIndexed);
    const bool paragraphs = Textor()->AllowsParagraphs();
    if (paragraphs && !elements.empty() && (HasTextorOption(toElementOwnLine) || ElementHasOwnLine(elements.front())) &&
        Textor()->PositionToNumeric(GetEnterRange(mode, range).Start).Char != 0)
        AddContentBreak(root);
    bool first = true;
    for (TElement* element : elements) {
        if (!first && paragraphs) AddContentBreak(root);
        first = false;
        element->SaveTo(saver, root->AddChild(element->GetTypeName()));
    }
}

void TTextorElement::InsertElements(TEnterMode mode, const TTextorRange& range,
                                    std::vector<TNodePtr<TElement>> elements) {
    TNodePtr<TKnot> tree = TKnot::Create(kContentRootName);
    {
        TSchemeSaver saver(fmSnapshot, tree.get(), 0);
        std::vector<TElement*> written;
        written.reserve(elements.size());
        for (const TNodePtr<TElement>& element : elements) written.push_back(element.get());
        WriteElements(&saver, tree.get(), mode, written, range);
    }
    elements.clear();  // the edit makes them again from the tree, with their numbers
    EnterContent(mode, range, false, std::move(tree), fmSnapshot, 0);
}

bool TTextorElement::GetPlainContentText(const TKnot* knot, QString& text) {
    text.clear();
    for (auto* child = static_cast<const TKnot*>(knot->FirstChild()); child;
         child = static_cast<const TKnot*>(child->NextSibling())) {
        if (child->Name() == kContentBreakName) {
            text += kContentLineBreak;
        } else if (child->Name() == kContentCharsName) {
            if (const TKnotParam* value = child->FindParam(kContentValueName)) text += value->ValueView();
        } else {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Stored forms

void TTextorElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TCustomDropDownElement::SaveTo(saver, knot);
    if (!HasTextorOption(toRichContent)) {
        const QString text = GetText();
        if (text == m_defaultText) return;
        QString name = kContentValueName;
        if (IsStoredInParentNode(saver)) GetStoredName(saver, name);
        knot->WriteStr(name, text);
        return;
    }
    if (GetIsDefault() && !(saver->IsSnapshot() && GetIsFilled())) return;
    TKnot* target = ContentFloats(saver, this) ? knot->AddChild(kContentFloatingName) : knot;
    AddKnotFlags(target, kfIndexed);
    WriteContent(saver, target, std::nullopt);
}

// The knots SaveTo writes for sub-elements into the element's own knot (a
// snapshot also writes those that a file leaves out, such as a root's namespace).
QStringList TTextorElement::OwnKnotNames(TSchemeFiler* filer) {
    QStringList names;
    for (TNode* c = FirstChild(); c; c = c->NextSibling()) {
        auto* child = dynamic_cast<TElement*>(c);
        if (!child || !child->IsSubElement() || !ShouldSaveChild(filer, child) || child->IsStoredInParentNode(filer))
            continue;
        QString name;
        child->GetStoredName(filer, name);
        names << name;
    }
    return names;
}

void TTextorElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TCustomDropDownElement::LoadFrom(loader, knot);
    if (!HasTextorOption(toRichContent)) {
        QString name = kContentValueName;
        if (IsStoredInParentNode(loader)) GetStoredName(loader, name);
        knot->ReadStrView(name, m_defaultText, [this](QStringView text) { SetText(text); });
        return;
    }
    TKnot* source = ContentFloats(loader, this) ? knot->FindChild(kContentFloatingName) : knot;
    if (!source || !source->FirstChild()) return;
    Textor()->Clear();  // the stored content replaces what the element was made with
    LoadContent(loader, source, std::nullopt, source == knot ? OwnKnotNames(loader) : QStringList());
}

void TTextorElement::WriteText(QString& builder) {
    if (m_textor) AppendContentText(*m_textor, m_textor->GetWholeRange(), builder);
}

// ---------------------------------------------------------------------------
// Clipboard

namespace {

// The content of a range as a copy puts it on the clipboard.
TNodePtr<TKnot> ClipboardFragment(TTextorElement& source, const TTextorRange& range) {
    TNodePtr<TKnot> root = TKnot::Create(kContentRootName);
    AddKnotFlags(root.get(), kfIndexed);
    source.SaveContent(root.get(), fmClipboard, range, foPathsAsIs);
    return root;
}

}  // namespace

void TTextorElement::Copy() {
    if (!m_interactive || m_interactive->IsSelectionEmpty()) return;
    TNodePtr<TKnot> root = ClipboardFragment(*this, m_interactive->GetSelection());
    QString plain;
    TClipboard::Current().SetText(GetPlainContentText(root.get(), plain) ? plain : root->SaveToString());
    CloseSheetDropDown(Sheet());
}

void TTextorElement::CopyAsText() {
    if (!m_interactive || m_interactive->IsSelectionEmpty()) return;
    QString text;
    AppendContentText(*Textor(), m_interactive->GetSelection(), text);
    TClipboard::Current().SetText(text);
}

bool TTextorElement::Paste() {
    if (IsReadOnly()) return false;
    TClipboard& clipboard = TClipboard::Current();
    bool pasted = false;
    if (clipboard.HasText()) {
        pasted = PasteContentText(*this, clipboard.Text());
    } else if (clipboard.HasElementData()) {
        pasted = PasteContentData(*this);
    }
    if (pasted) CloseSheetDropDown(Sheet());
    return pasted;
}

// ---------------------------------------------------------------------------
// Dropping dragged text

namespace {

// The element whose caret object a drop comes from.
TTextorElement* DropSourceElement(const TTextorDrop& drop) {
    auto* textor = drop.Source ? dynamic_cast<TSchemeTextor*>(drop.Source->Textor()) : nullptr;
    return textor ? textor->Element() : nullptr;
}

// Whether target lies in an element embedded in range of source: a move
// would take it away with the range, a copy would put the range into itself.
bool LiesInRange(const TElement& target, const TTextorElement& source, const TTextorRange& range) {
    for (const TElement* e = &target; e; e = e->ParentElement()) {
        if (e->ParentElement() != &source) continue;
        const auto* embedded = dynamic_cast<const TVisualElement*>(e);
        auto* portion = embedded ? dynamic_cast<TElementPortion*>(embedded->TextorSlot()) : nullptr;
        return portion && source.Textor()->RangeContains(range, TTextorPosition{portion->Paragraph(), portion, 0});
    }
    return false;
}

// What a drop puts in, as a content tree with its loader settings: the
// fragment for a rich text, else the plain text (nothing for a text that
// takes no characters).
struct TDroppedContent {
    TNodePtr<TKnot> Tree;
    uint8_t LoaderMode = fmSnapshot;
    uint8_t LoaderOption = 0;

    TDroppedContent(TTextorElement& source, const TTextorRange& range, const TTextorElement& target) {
        if (target.HasTextorOption(toRichContent)) {
            Tree = ClipboardFragment(source, range);
            LoaderMode = fmClipboard;
            LoaderOption = kContentFreshNumbers;
        } else if (target.TextRestrictions() & trAllCharacters) {
            QString text;
            AppendContentText(*source.Textor(), range, text);
            if (text.isEmpty()) return;
            Tree = TKnot::Create(kContentRootName);
            AddKnotFlags(Tree.get(), kfIndexed);
            Tree->AddChild(kContentCharsName)->WriteStr(kContentValueName, text);
        }
    }
    bool IsEmpty() const { return !Tree || !Tree->HasChildren(); }
};

// A move within one text is one edit: the range out, the content in at the
// place (in the text before the removal), selected. The edit puts the range
// back when the content is refused.
void MoveWithinText(TTextorElement& text, const TTextorNumericRange& moved, const TTextorNumericPosition& at,
                    TDroppedContent content) {
    TTextorEdit edit;
    edit.Replaced = moved;
    edit.InsertAt = at;
    edit.Content = std::move(content.Tree);
    edit.LoaderMode = content.LoaderMode;
    edit.LoaderOption = content.LoaderOption;
    edit.SelectInserted = true;
    TNodePtr<TTextorEditOperation> op = text.CreateEditOperation();
    op->Fill(std::move(edit));
    TSchemeOperation::Execute(std::move(op));
}

// The content in at the place, selected, as a paste enters it; only then the
// moved range (if any) out of the source.
void InsertThenRemove(TTextorElement& target, TTextorElement& source, const std::optional<TTextorNumericRange>& moved,
                      const TTextorNumericPosition& at, TDroppedContent content) {
    TTextorPosition place;
    if (!target.Textor()->NumericToPosition(at, place)) return;
    target.EnterContent(TEnterMode::Range, TTextorRange{place, place}, true, std::move(content.Tree),
                        content.LoaderMode, content.LoaderOption);
    TTextorRange removed;
    if (moved && source.Textor()->NumericToRange(*moved, removed))
        source.EnterText(TEnterMode::Range, removed, false, std::nullopt);
}

// One undo step. Nothing is taken out before the content went in, so a drop
// whose content is refused (nested too deep) changes neither text.
void EnterDrop(TTextorElement& target, TTextorElement& source, const std::optional<TTextorNumericRange>& moved,
               const TTextorNumericPosition& at, TDroppedContent content) {
    TScheme* scheme = target.Scheme();
    if (scheme) scheme->BeginOperationGroup(false);
    try {
        if (moved && &source == &target)
            MoveWithinText(target, *moved, at, std::move(content));
        else
            InsertThenRemove(target, source, moved, at, std::move(content));
    } catch (...) {
        if (scheme) scheme->EndOperationGroup();
        throw;
    }
    if (scheme) scheme->EndOperationGroup();
}

}  // namespace

void TTextorElement::AcceptDrop(TTextorDrop& drop) {
    TTextorElement* source = DropSourceElement(drop);
    if (!source || source->Scheme() != Scheme() || IsReadOnly()) return;
    const bool same = source == this;
    const TTextorRange range = drop.Source->GetSelection();
    const TTextorNumericRange from = source->Textor()->RangeToNumeric(range);
    const TTextorNumericPosition at = Textor()->PositionToNumeric(drop.Place);
    if (from.Start == from.End || (same && (at == from.Start || Textor()->RangeContains(range, drop.Place)))) return;
    if (!same && LiesInRange(*this, *source, range)) return;
    const bool move = !drop.Copy && !source->IsReadOnly();
    if (same && move && at == from.End) return;  // it is there already
    TDroppedContent content(*source, range, *this);
    if (content.IsEmpty()) return;
    // Another text takes the focus (the source's caret object goes), so that
    // the dropped content ends up selected; a refused drop gives the source
    // its focus and selection back.
    QString sourceFocus;
    if (!same) {
        source->GetFocusData(sourceFocus);
        FocusText(TTextFocusPlace::Start);
    }
    try {
        EnterDrop(*this, *source, move ? std::optional(from) : std::nullopt, at, std::move(content));
    } catch (...) {
        if (!same) source->SetFocus(sourceFocus);
        throw;
    }
    drop.Inserted = true;
    drop.SourceRemoved = move;
}
