#include "text/diHyperlinks.h"

#include "core/cuUtils.h"
#include "platform/plInput.h"
#include "platform/plShell.h"
#include "text/diTextor.h"

#include <QFileInfo>
#include <QUrl>

#include <array>
#include <vector>

namespace {

constexpr std::array<QStringView, 5> kLinkSchemes{u"http", u"https", u"ftp", u"file", u"url"};
constexpr std::array<QStringView, 2> kLinkSeparators{u"://", u":\\\\"};
constexpr int kLinkSeparatorLength = 3;
constexpr QStringView kFileScheme = u"file";
constexpr QStringView kUrlScheme = u"url";

bool IsLinkSeparator(QChar c) noexcept {
    return c == u'\t' || c == u' ' || c == u'"' || c == u'<' || c == u'>';
}

// The scheme the word begins with, followed by a separator; empty when none.
QStringView LinkScheme(QStringView word) {
    for (QStringView scheme : kLinkSchemes) {
        if (!word.startsWith(scheme, Qt::CaseInsensitive)) continue;
        const QStringView separator = word.mid(scheme.size(), kLinkSeparatorLength);
        for (QStringView known : kLinkSeparators)
            if (separator.compare(known, Qt::CaseInsensitive) == 0) return scheme;
    }
    return {};
}

TLinkOpening OpenFileLink(const QString& address) { return OpenLocalFile(QUrl(address).toLocalFile()); }

// A word's start and length in a run's text.
struct TLinkWord {
    int Start;
    int Length;
};

std::vector<TLinkWord> FindLinks(const QString& text) {
    std::vector<TLinkWord> links;
    const int size = int(text.size());
    for (int i = 0; i < size;) {
        if (IsLinkSeparator(text[i])) {
            ++i;
            continue;
        }
        int end = i;
        while (end < size && !IsLinkSeparator(text[end])) ++end;
        if (IsHyperlink(QStringView(text).mid(i, end - i))) links.push_back(TLinkWord{i, end - i});
        i = end;
    }
    return links;
}

std::vector<TPortion*> PortionsOf(const TParagraph* paragraph) {
    std::vector<TPortion*> portions;
    for (TPortion* p = paragraph->FirstPortion(); p; p = p->Next()) portions.push_back(p);
    return portions;
}

// Joins text portions of the same attributes from first up to (not including) stop.
void JoinEqualNeighbours(TPortion* first, TPortion* stop) {
    for (TPortion* p = first; p && p != stop;) {
        TPortion* next = p->Next();
        if (next && next != stop && p->Kind() == TPortionKind::Text && next->Kind() == TPortionKind::Text &&
            p->Attributes() == next->Attributes()) {
            p->Absorb(*next);
            next->Free();
            continue;
        }
        p = next;
    }
}

// Gives a run's stretches their attributes from its start on, stretch by
// stretch, walking only the portions it passes. A stretch that is already one
// portion of its attributes is left as it is (its rows stay).
class TRunMarking {
public:
    TRunMarking(TTextor& textor, const TTextorPosition& start) : m_textor(textor), m_at(TTextor::Normalize(start)) {}

    // The characters up to `end` (an offset in the run) get `attributes`.
    void MarkUpTo(int end, const TTextAttributesRef& attributes) {
        const int count = end - m_done;
        if (count <= 0) return;
        m_done = end;
        TPortion* portion = m_at.Portion;
        if (m_at.Offset == 0 && portion && portion->Kind() == TPortionKind::Text && portion->Length() == count &&
            portion->Attributes() == attributes.get()) {
            m_at = TTextorPosition{m_at.Paragraph, portion->Next(), 0};
            return;
        }
        const TTextorRange stretch{m_at, TTextor::PositionAfter(m_at, count)};
        m_at = TTextor::Normalize(m_textor.SetRangeAttributes(stretch, false, attributes).End);
    }

private:
    TTextor& m_textor;
    TTextorPosition m_at;
    int m_done = 0;
};

// Marks the links of one run; answers where the next run starts. A run ends
// at an element or at the paragraph end, neither of which marking touches.
TTextorPosition MarkRun(TTextor& textor, const TTextorRange& run, const THyperlinkAttributesMaker& make) {
    const QString text = textor.GetRangeText(run);
    const TTextorPosition start = TTextor::Normalize(run.Start);
    TPortion* before = start.Portion->Prev();
    TRunMarking marking(textor, start);
    for (const TLinkWord& link : FindLinks(text)) {
        marking.MarkUpTo(link.Start, {});
        marking.MarkUpTo(link.Start + link.Length, make(text.mid(link.Start, link.Length)));
    }
    marking.MarkUpTo(int(text.size()), {});
    TPortion* first = before ? before->Next() : start.Paragraph->FirstPortion();
    JoinEqualNeighbours(first, TTextor::Normalize(run.End).Portion);
    return run.End;
}

}  // namespace

bool IsHyperlink(QStringView word) {
    if (word.size() < kHyperlinkMinLength || word.size() > kHyperlinkMaxLength) return false;
    const QStringView scheme = LinkScheme(word);
    return !scheme.isEmpty() && word.size() >= scheme.size() + kLinkSeparatorLength + 1;
}

bool MarkHyperlinks(TParagraph* paragraph, const THyperlinkAttributesMaker& make) {
    TTextor& textor = *paragraph->Textor();
    const std::vector<TPortion*> before = PortionsOf(paragraph);
    textor.BeginUpdate();
    try {
        TTextorPosition at = paragraph->StartPosition();
        for (;;) {
            const TTextorRange run = textor.GetTextRun(at, true, false);
            if (run.Start == run.End) break;
            at = MarkRun(textor, run, make);
        }
    } catch (...) {
        textor.EndUpdate();
        throw;
    }
    textor.EndUpdate();
    return PortionsOf(paragraph) != before;
}

TLinkOpening OpenLocalFile(const QString& path) {
    const QFileInfo file(path);
    if (file.filePath().isEmpty()) return TLinkOpening::Refused;
    if (IsDocumentFile(file.absoluteFilePath())) {
        if (ShellOpen(file.absoluteFilePath(), {}, {}, false)) return TLinkOpening::File;
        return TLinkOpening::Refused;
    }
    const QString folder = file.isDir() ? file.absoluteFilePath() : file.absolutePath();
    if (QFileInfo(folder).isDir() && ShellOpen(folder, {}, {}, false)) return TLinkOpening::Folder;
    return TLinkOpening::Refused;
}

TLinkOpening OpenHyperlink(const QString& target) {
    const QStringView scheme = LinkScheme(target);
    if (scheme.isEmpty() || scheme.compare(kUrlScheme, Qt::CaseInsensitive) == 0) {
        SystemBeep();
        return TLinkOpening::Refused;
    }
    const QString address = scheme.toString() + QStringLiteral("://") +
                            target.mid(scheme.size() + kLinkSeparatorLength);
    if (scheme.compare(kFileScheme, Qt::CaseInsensitive) != 0) {
        OpenURL(address);
        return TLinkOpening::Address;
    }
    const TLinkOpening opened = OpenFileLink(address);
    if (opened == TLinkOpening::Refused) SystemBeep();
    return opened;
}
