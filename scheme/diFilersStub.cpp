// Temporary: storage operations until the knot tree is available.
#include "scheme/diClasses.h"

void TElement::LoadFrom(TSchemeLoader*, TKnot*) {}
void TElement::SaveToKnot(TKnot*, uint8_t, uint8_t) {}
void TElement::SaveTo(TSchemeSaver*, TKnot*) {}
bool TElement::ShouldSaveChild(TSchemeFiler*, TElement*) { return true; }
bool TElement::IsStoredInParentNode(TSchemeFiler*) { return false; }
void TElement::GetStoredName(TSchemeFiler*, QString&) {}
void TElement::LoadFromKnot(TKnot*, uint8_t, uint8_t) {}
void TScheme::LoadFromFile(const QString&) {}
void TScheme::SaveToFile(const QString&, bool) {}
void TScheme::SaveRootToKnot(TKnot*, uint8_t, uint8_t) {}
