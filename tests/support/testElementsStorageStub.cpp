// Temporary until the knot tree lands.
#include "support/testElements.h"
#if QUILLANE_TEST_LAYER >= 3
void TElement_TestLeaf::LoadFrom(TSchemeLoader* l, TKnot* k) { TElement::LoadFrom(l, k); }
void TElement_TestLeaf::SaveTo(TSchemeSaver* s, TKnot* k) { TElement::SaveTo(s, k); }
void TElement_TestContainer::LoadFrom(TSchemeLoader* l, TKnot* k) { TElement::LoadFrom(l, k); }
void TElement_TestContainer::SaveTo(TSchemeSaver* s, TKnot* k) { TElement::SaveTo(s, k); }
void TElement_TestNamed::LoadFrom(TSchemeLoader* l, TKnot* k) { TElement::LoadFrom(l, k); }
void TElement_TestNamed::SaveTo(TSchemeSaver* s, TKnot* k) { TElement::SaveTo(s, k); }
#endif
