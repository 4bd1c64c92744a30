#include "support/testSchemeReplay.h"

#if QUILLANE_TEST_LAYER >= 3

#include <QRegularExpression>

T_ELEMENT_CLASS_IMPL(TElement_ReplayBox, TElement_TestBox)

void TElement_ReplayBox::FillAcceptedClasses(TElementClassList& list) {
    list << TElement_ReplayBox::StaticClass() << TElement_TestBox::StaticClass() << TPanelElement::StaticClass()
         << TElement_TestDropDown::StaticClass() << TElement_TestButton::StaticClass()
         << TElement_TestImage::StaticClass() << TElement_TestLeaf::StaticClass()
         << TElement_TestOwner::StaticClass() << TElement_TestNamed::StaticClass()
         << TElement_TestContainer::StaticClass();
}

namespace {

// One scheme on its own sheet, with its own message list.
struct TReplayScheme : TSheetFixture {
    TReplayScheme() : TSheetFixture(TElement_ReplayBox::StaticClass(), QStringLiteral("ReplayModule")) {}

    // Whether the load ended without the project's exception.
    bool Load(TKnot* knot, uint8_t mode) {
        try {
            LoadSchemeKnot(scheme.get(), knot, mode, &messages);
        } catch (const Exception&) {
            return false;
        }
        Layout();
        return true;
    }

    QString Save(uint8_t mode) { return SchemeText(scheme.get(), mode, mode == fmSnapshot ? 0 : foSchemeFile); }
};

// Referable elements get new numbers at every file load: their "ID" values
// say nothing about the content.
QString WithoutNumbers(const QString& text) {
    static const QRegularExpression id(QStringLiteral("\\bID=\"-?[0-9]*\""));
    QString s = text;
    return s.replace(id, QStringLiteral("ID=\"\""));
}

}  // namespace

TSchemeReplay ReplaySchemeBytes(const QByteArray& bytes, uint8_t mode) {
    TSchemeReplay result;
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromBytes(bytes);  // a corrupt file loads as far as it parsed
    {
        TReplayScheme target;
        result.loaded = target.Load(knot.get(), mode);
        result.messages = target.messages.GetCount();
        if (!result.loaded) return result;
        result.first = target.Save(mode);
    }
    TNodePtr<TKnot> again = TKnot::Create();
    result.reread = again->LoadFromString(result.first);
    TReplayScheme copy;
    if (!copy.Load(again.get(), mode)) {
        result.stable = false;
        return result;
    }
    result.second = copy.Save(mode);
    result.stable = mode == fmSnapshot ? result.second == result.first
                                       : WithoutNumbers(result.second) == WithoutNumbers(result.first);
    return result;
}

#endif
