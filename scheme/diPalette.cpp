#include "scheme/diPalette.h"

#include "scheme/diVisual.h"

T_CLASS_IMPL(TPaletteNode, TNode)
T_CLASS_IMPL(TPaletteGroup, TPaletteNode)
T_CLASS_IMPL(TPaletteItem, TPaletteNode)
T_CLASS_IMPL(TSchemePaletteItem, TPaletteItem)
T_CLASS_IMPL(TElementPaletteItem, TSchemePaletteItem)
T_CLASS_IMPL(TDisablePaletteItem, TSchemePaletteItem)
T_CLASS_IMPL(TPalette, TNode)

namespace {
TNodePtr<TPalette> g_palette;
TDisablePaletteItem* g_disable = nullptr;
}  // namespace

TPalette* Palette() noexcept { return g_palette.get(); }
TDisablePaletteItem* DisablePaletteItem() noexcept { return g_disable; }

void InitPaletteUnit() {
    g_palette = MakeNode<TPalette>();
    TNodePtr<TPaletteGroup> state = MakeNode<TPaletteGroup>();
    state->CaptionId = 2324;
    state->Order = 150;
    TPaletteGroup* group = state.release();
    group->SetParent(g_palette.get());
    TNodePtr<TDisablePaletteItem> disable = MakeNode<TDisablePaletteItem>();
    disable->Flags = 0x0341;
    disable->CaptionId = 2335;
    disable->Order = 10;
    disable->Letter = QStringLiteral("D");
    g_disable = disable.release();
    g_disable->SetParent(group);
}

void FinalPaletteUnit() {
    g_disable = nullptr;
    g_palette.reset();
}
