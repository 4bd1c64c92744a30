#include "pascal/generation/prPascalGeneratorSupport.h"

#include "core/cuClassAnswers.h"
#include "elements/diNamingElements.h"
#include "pascal/elements/prCommon.h"
#include "pascal/elements/prCustomFieldElements.h"
#include "pascal/elements/prExpressionElements.h"
#include "pascal/elements/prMethodElements.h"
#include "pascal/elements/prSimpleElements.h"
#include "text/diTextorElement.h"

#include <array>

namespace {

template <class Visit>
void ForEachPiece(TTextorElement* text, Visit visit) {
    // A text never filled has no textor yet and no pieces: asking would make one.
    if (!text || !text->HasTextor()) return;
    QString run;
    for (TParagraph* p = text->Textor()->FirstParagraph(); p; p = p->Next()) {
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next()) {
            if (portion->Kind() == TPortionKind::Element) {
                if (!QStringView(run).trimmed().isEmpty()) visit(TBodyPiece{nullptr, run});
                run.clear();
                if (TVisualElement* element = static_cast<TElementPortion*>(portion)->Element())
                    visit(TBodyPiece{element, QString()});
            } else if (portion->Kind() == TPortionKind::Text) {
                run += static_cast<TTextPortion*>(portion)->Text();
            } else {
                run += QLatin1Char(' ');
            }
        }
        if (!QStringView(run).trimmed().isEmpty()) visit(TBodyPiece{nullptr, run});
        run.clear();
    }
}

const QString kConstStandardTypes[] = {QStringLiteral("int.64"), QStringLiteral("uint.64"), QStringLiteral("str"),
                                       QStringLiteral("float"),  QStringLiteral("datetime"), QStringLiteral("variant")};

}  // namespace

std::vector<TBodyPiece> BodyPieces(TTextorElement* text) {
    std::vector<TBodyPiece> pieces;
    ForEachPiece(text, [&](TBodyPiece piece) { pieces.push_back(std::move(piece)); });
    return pieces;
}

std::vector<TElement*> EmbeddedElements(TTextorElement* text) {
    // The pieces' elements, without gathering the runs of text between them.
    std::vector<TElement*> elements;
    if (!text || !text->HasTextor()) return elements;
    for (TParagraph* p = text->Textor()->FirstParagraph(); p; p = p->Next())
        for (TPortion* portion = p->FirstPortion(); portion; portion = portion->Next())
            if (portion->Kind() == TPortionKind::Element)
                if (TVisualElement* element = static_cast<TElementPortion*>(portion)->Element())
                    elements.push_back(element);
    return elements;
}

bool HasPlainText(const TTextorElement* text) {
    QString buffer;
    return text && !text->TextView(buffer).trimmed().isEmpty();
}

namespace {

// What the generator reads of a text element lies in several cache lines of
// the element and in separate blocks reached through it one after another:
// the link of a reference, the item it points to, that item's original and
// its element; the textor, its first paragraph, first portion and
// characters. Asked for a level at a time across a batch of elements, the
// waits of one level overlap instead of queueing during generation.
constexpr size_t kPrefetchBatch = 32;
// Beyond this many text elements what was asked for first would leave the
// cache before it is read, and the walk would only be paid twice.
constexpr size_t kPrefetchLimit = 512;
// How far the paragraph chains of a batch are followed.
constexpr int kParagraphSteps = 64;
constexpr size_t kCacheLine = 64;

// The text elements of a batch, each with itself as a reference when it is one.
struct TTextBatch {
    std::array<const TTextorElement*, kPrefetchBatch> texts{};
    std::array<const TCustomReferenceElement*, kPrefetchBatch> references{};
};

void PrefetchObject(const void* object, size_t size) {
    const auto* bytes = static_cast<const char*>(object);
    for (size_t offset = kCacheLine; offset < size; offset += kCacheLine) __builtin_prefetch(bytes + offset);
}

void PrefetchBatch(const TTextBatch& batch, size_t count) {
    const auto& references = batch.references;
    std::array<const TTextor*, kPrefetchBatch> textors{};
    for (size_t i = 0; i < count; ++i) {
        if (references[i]) __builtin_prefetch(references[i]->Link());
        textors[i] = batch.texts[i]->HasTextor() ? batch.texts[i]->Textor() : nullptr;
        __builtin_prefetch(textors[i]);
    }
    std::array<const TParagraph*, kPrefetchBatch> paragraphs{};
    for (size_t i = 0; i < count; ++i) {
        if (references[i]) __builtin_prefetch(references[i]->GetTargetItem());
        paragraphs[i] = textors[i] ? textors[i]->FirstParagraph() : nullptr;
        __builtin_prefetch(paragraphs[i]);
    }
    std::array<const TPortion*, kPrefetchBatch> portions{};
    std::array<TNamespaceItem*, kPrefetchBatch> originals{};
    for (size_t i = 0; i < count; ++i) {
        TNamespaceItem* target = references[i] ? references[i]->GetTargetItem() : nullptr;
        originals[i] = target ? target->GetOriginal() : nullptr;
        __builtin_prefetch(originals[i]);
        portions[i] = paragraphs[i] ? paragraphs[i]->FirstPortion() : nullptr;
        __builtin_prefetch(portions[i]);
    }
    for (size_t i = 0; i < count; ++i) {
        if (originals[i]) __builtin_prefetch(originals[i]->GetElement());
        if (portions[i] && portions[i]->Kind() == TPortionKind::Text)
            __builtin_prefetch(static_cast<const TTextPortion*>(portions[i])->Chars());
    }
    // A body holds a paragraph per statement: the chains of the batch are
    // followed a step at a time together, each step asking for the first
    // portions of the paragraphs asked for by the step before, and for the
    // paragraphs after them.
    for (int step = 0; step < kParagraphSteps; ++step) {
        bool more = false;
        for (size_t i = 0; i < count; ++i) {
            if (!paragraphs[i]) continue;
            __builtin_prefetch(paragraphs[i]->FirstPortion());
            paragraphs[i] = paragraphs[i]->Next();
            __builtin_prefetch(paragraphs[i]);
            more = more || paragraphs[i];
        }
        if (!more) break;
    }
}

}  // namespace

void PrefetchTexts(std::span<TElement* const> tops) {
    // Each walk moves one node per round and asks for the node it moves
    // to, which arrives while the other walks take their turns.
    std::vector<TPreOrderIterator<TNode>> walks;
    walks.reserve(tops.size());
    for (TElement* top : tops)
        if (top) walks.emplace_back(top);
    // What the walk asks of each node depends on its class alone.
    struct TKind {
        bool Text = false;
        bool Reference = false;
    };
    TClassAnswers<TKind, 7> kinds;
    const auto kindOf = [](const TClass* type) {
        return TKind{type->InheritsFrom(TTextorElement::StaticClass()),
                     type->InheritsFrom(TCustomReferenceElement::StaticClass())};
    };
    TTextBatch batch;
    size_t count = 0;
    size_t total = 0;
    for (bool walking = true; walking && total < kPrefetchLimit;) {
        walking = false;
        for (TPreOrderIterator<TNode>& walk : walks) {
            if (walk == std::default_sentinel) continue;
            walking = true;
            TNode* node = *walk;
            __builtin_prefetch(node->NextSibling());
            ++walk;
            if (walk != std::default_sentinel) __builtin_prefetch(*walk);
            const TKind& kind = kinds.For(node->ClassType(), kindOf);
            if (!kind.Text) continue;
            auto* text = static_cast<TTextorElement*>(node);
            PrefetchObject(text, kind.Reference ? sizeof(TCustomReferenceElement) : sizeof(TTextorElement));
            batch.texts[count] = text;
            batch.references[count] = kind.Reference ? static_cast<TCustomReferenceElement*>(node) : nullptr;
            ++total;
            if (++count == kPrefetchBatch) {
                PrefetchBatch(batch, count);
                count = 0;
            }
        }
    }
    PrefetchBatch(batch, count);
}

TElement* ElementOf(TNamespaceItem* item) {
    TNamespaceItem* original = item ? item->GetOriginal() : nullptr;
    return original ? original->GetElement() : nullptr;
}

TTypeDescriptor StandardType(const QString& name) {
    TTypeDescriptor type;
    GetStandardTypeDescriptor(name, type);
    return type;
}

TTypeDescriptor DeclaredTypeOf(TElement* declaration) {
    TTypeDescriptor type = StandardType(StandardTypeName::Variant);
    if (auto* value = Supports<IValueDeclaration>(declaration))
        value->GetDeclaredValueType(MainNameItem(declaration), type);
    return type;
}

TTypeDescriptor TypeOfItem(TNamespaceItem* typeItem) {
    TTypeDescriptor type;
    GetTypeDescriptor(typeItem, type);
    return type;
}

TTypeDescriptor ResultTypeOf(TElement* routine) {
    if (auto* method = ClassAs<TElement_Method>(routine))
        return TypeOfItem(method->ResultType() ? method->ResultType()->GetTargetItem() : nullptr);
    if (auto* methodType = ClassAs<TElement_MethodType>(routine))
        return TypeOfItem(methodType->ResultType() ? methodType->ResultType()->GetTargetItem() : nullptr);
    return StandardType(StandardTypeName::Variant);
}

QString StandardNameOf(const TTypeDescriptor& type) {
    auto* standard = ClassAs<TStandardTypeElement>(ElementOf(type.TypeItem));
    return standard ? standard->TypeName() : QString();
}

bool PassedAsConst(const TTypeDescriptor& type) {
    switch (type.Kind) {
    case TValueTypeKind::Record:
    case TValueTypeKind::Array: return true;
    case TValueTypeKind::MethodType: {
        auto* methodType = ClassAs<TElement_MethodType>(ElementOf(type.TypeItem));
        return methodType && methodType->InClass();
    }
    default: break;
    }
    const QString name = StandardNameOf(type);
    for (const QString& constType : kConstStandardTypes)
        if (name == constType) return true;
    return false;
}

bool IsStaticArrayOrRecord(const TTypeDescriptor& type) {
    if (type.Kind == TValueTypeKind::Record) return true;
    if (type.Kind != TValueTypeKind::Array) return false;
    auto* array = ClassAs<TElement_Array>(ElementOf(type.TypeItem));
    return array && array->HasBounds();
}

bool IsOrdinalType(const TTypeDescriptor& type) {
    switch (type.Kind) {
    case TValueTypeKind::Integer:
    case TValueTypeKind::Index:
    case TValueTypeKind::Bool:
    case TValueTypeKind::Char:
    case TValueTypeKind::Enum: return true;
    default: return false;
    }
}
