// libFuzzer target over the knot reader: the bytes as a file (any mark), and
// as UTF-16 text. Whatever parses without error must write and read back to
// the same text.

#include "core/cuKnot.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
bool HasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate()) continue;
        if (!text[i].isHighSurrogate() || i + 1 == text.size() || !text[i + 1].isLowSurrogate()) return true;
        ++i;
    }
    return false;
}

bool LoneSurrogateInAName(TKnot& top) {
    for (TKnot* k : PreOrder(&top)) {
        if (HasLoneSurrogate(k->Name())) return true;
        for (TKnotParam* p = k->Params(); p; p = p->Next())
            if (HasLoneSurrogate(p->Name())) return true;
    }
    return false;
}

QString Rewrite(const QString& text, TKnotFlags flags) {
    auto knot = TKnot::Create();
    knot->SetFlags(flags);
    if (!knot->LoadFromString(text)) std::abort();
    return knot->SaveToString();
}

// Whatever parsed writes text that reads back to the same text. Without quotes
// an empty string is written as "Name=", which reads as a name alone: there the
// second writing must be the fixed point.
void CheckRoundTrip(TKnot& knot) {
    if (knot.LoadFailed()) return;
    const QString first = knot.SaveToString();
    // The UTF-8 writer writes the same text as the UTF-16 one, but for
    // surrogates that are not half of a pair, which it writes as references
    // in values (names have no references: UTF-8 cannot hold them there).
    const QByteArray bytes = knot.SaveToBytes(TKnotEncoding::Ansi);
    if (bytes != first.toUtf8() && !LoneSurrogateInAName(knot)) {
        if (!HasLoneSurrogate(first)) std::abort();
        auto back = TKnot::Create();
        back->SetFlags(knot.Flags());
        if (!back->LoadFromBytes(bytes) || Rewrite(back->SaveToString(), knot.Flags()) != Rewrite(first, knot.Flags()))
            std::abort();
    }
    const QString second = Rewrite(first, knot.Flags());
    if (!(knot.Flags() & kfUnquotedValues) && second != first) std::abort();
    if (Rewrite(second, knot.Flags()) != second) std::abort();
}

// UTF-8 text is read by its own scanner: it must read valid UTF-8 (without a
// byte-order mark) exactly as the same text in UTF-16.
void CheckSameAsUtf16(const QByteArray& bytes, TKnot& fromBytes, bool ok) {
    if (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) return;
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) return;  // not valid UTF-8
    auto fromText = TKnot::Create();
    if (fromText->LoadFromString(text) != ok) std::abort();
    if (fromText->SaveToString() != fromBytes.SaveToString()) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto knot = TKnot::Create();
    const bool ok = knot->LoadFromBytes(bytes);
    CheckSameAsUtf16(bytes, *knot, ok);
    CheckRoundTrip(*knot);
    const QString text(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    knot->LoadFromString(text);
    CheckRoundTrip(*knot);
    knot->SetFlags(kfSettingsFile);
    CheckRoundTrip(*knot);
    return 0;
}
