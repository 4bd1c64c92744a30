#include "scheme/diUnaccepted.h"

#include "core/cuKnot.h"
#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "scheme/diCanvas.h"
#include "scheme/diThemes.h"
#include "scheme/diFilers.h"
#include "scheme/diSheet.h"

#include <algorithm>

T_ELEMENT_CLASS_IMPL(TElement_Unaccepted, TVisualElement)

namespace {
constexpr int kMaxLineLength = 100;
}

TElement_Unaccepted::TElement_Unaccepted() noexcept { InitOptions(eoOmitWithFilerOption20 | eoValidated); }

const TElementClass* TVisualElement::UnknownNodeClass(TSchemeFiler*) { return TElement_Unaccepted::StaticClass(); }

QString TElement_Unaccepted::DisplayLine(const QString& line) {
    QString s = line;
    s.replace(QLatin1Char('\t'), QString(8, QLatin1Char(' ')));
    if (s.size() > kMaxLineLength) s = s.left(kMaxLineLength - 3) + QStringLiteral("...");
    return s;
}

void TElement_Unaccepted::CheckContent() {
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromString(m_lines.join(QStringLiteral("\r\n")));
    GetMessages()->AddElementLinkMessage(
        mkInvalidContent, LoadStrFmt(strUnsupportedElementThisEditor, {SanitizeMessageText(knot->Name())}),
        QString::number(Number()));
}

void TElement_Unaccepted::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    TVisualElement::LoadFrom(loader, knot);
    TKnot* taken = loader->IsSnapshot() ? knot->GetFirstChild() : knot;
    m_lines.clear();
    if (taken) {
        taken->SetWasReadAll(true);
        m_lines = taken->SaveToString().split(QStringLiteral("\r\n"));
        while (!m_lines.isEmpty() && m_lines.last().isEmpty()) m_lines.removeLast();
    }
    CheckAll();
    Measure();
}

void TElement_Unaccepted::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    TVisualElement::SaveTo(saver, knot);
    if (m_lines.isEmpty()) return;
    TKnot* target = saver->IsSnapshot() ? knot->AddChild(QStringLiteral("Unaccepted")) : knot;
    target->LoadFromString(m_lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void TElement_Unaccepted::UpdateLayout(bool force, bool all, bool widthChanged, bool heightChanged) {
    TVisualElement::UpdateLayout(force, all, widthChanged, heightChanged);
    if (force) Measure();
}

void TElement_Unaccepted::VisibilityChanged() {
    TVisualElement::VisibilityChanged();
    Measure();
}

// Lines up to the last non-empty one in the fixed font, inside the padding of
// the theme kind; without text one line high and two thirds of a line wide.
void TElement_Unaccepted::Measure() {
    ISheet* sheet = Sheet();
    if (!sheet) return;
    TSheetCanvas* canvas = sheet->Canvas();
    const int lineHeight = canvas->FixedLineHeight();
    int count = int(m_lines.size());
    while (count > 0 && m_lines[count - 1].trimmed().isEmpty()) --count;
    int width = 0;
    for (int i = 0; i < count; ++i) width = std::max(width, canvas->TextWidthFixed(DisplayLine(m_lines[i])));
    int height = count * lineHeight;
    if (count == 0) {
        height = lineHeight;
        width = lineHeight * 2 / 3;
    }
    const TRect pad = canvas->GetThemePadding(tekUnaccepted);
    SetSize(width + pad.Left + pad.Right, height + pad.Top + pad.Bottom);
}

void TElement_Unaccepted::Paint(TSheetCanvas& canvas) {
    canvas.DrawThemeFrame(tekUnaccepted, GetClientRect());
    const TRect pad = canvas.GetThemePadding(tekUnaccepted);
    const int lineHeight = canvas.FixedLineHeight();
    int y = pad.Top;
    for (const QString& line : m_lines) {
        canvas.TextOutFixed(pad.Left, y, canvas.Theme().GetFontData(tfkFixed).Color, DisplayLine(line));
        y += lineHeight;
    }
}
