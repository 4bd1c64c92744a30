#pragma once
// What the Pascal generator asks of the program elements, in one place: the
// elements and text runs of a rich-text body in text order, and the value
// types of declarations as the code model needs them (type names, empty
// values, how a parameter is passed).

#include "pascal/elements/prStandard.h"

#include <QString>

#include <span>
#include <vector>

class TElement;
class TNamespaceItem;
class TTextorElement;

// One piece of a body: an embedded element, or a run of plain text.
struct TBodyPiece {
    TElement* Element = nullptr;
    QString Text;
};
// The pieces of the text in text order; runs of white space only are left out.
std::vector<TBodyPiece> BodyPieces(TTextorElement* text);
// The embedded elements of the text in text order.
std::vector<TElement*> EmbeddedElements(TTextorElement* text);
// Whether the text holds more than white space (read without a copy).
bool HasPlainText(const TTextorElement* text);
// Asks memory early for what the generator reads of the text elements in
// the subtrees of tops (their links and first characters), the first few
// hundred of them: a hint only, nothing is changed or made. The subtrees
// are walked side by side, so that the waits of the walks overlap.
void PrefetchTexts(std::span<TElement* const> tops);

// The element an item names (covers followed); nil.
TElement* ElementOf(TNamespaceItem* item);

TTypeDescriptor StandardType(const QString& name);
inline TTypeDescriptor IntegerType() { return StandardType(StandardTypeName::Int); }
// The value type a declaration gives (a field's, a parameter's, a
// constant's); "variant" when it says none.
TTypeDescriptor DeclaredTypeOf(TElement* declaration);
// The result type of a routine (a method, a method type); "variant".
TTypeDescriptor ResultTypeOf(TElement* routine);
// The type a type reference names; "variant" when unresolved.
TTypeDescriptor TypeOfItem(TNamespaceItem* typeItem);

// The name of the standard type the descriptor names; empty for others.
QString StandardNameOf(const TTypeDescriptor& type);
// Records, arrays, method types of an object and the standard int.64,
// uint.64, str, float, datetime and variant are passed as const.
bool PassedAsConst(const TTypeDescriptor& type);
// A record, or an array with bounds.
bool IsStaticArrayOrRecord(const TTypeDescriptor& type);
// The int family, index, bool, char and enumerations.
bool IsOrdinalType(const TTypeDescriptor& type);
