#include "scheme/diFilers.h"

#include "core/cuLocalization.h"
#include "core/cuStringIds.h"
#include "core/cuUtils.h"

#include <limits>

// ---------------------------------------------------------------------------
// Format version

namespace {
// The whole text as a decimal integer, or def.
int64_t ToIntDef(const QString& text, int64_t def) {
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : def;
}
}  // namespace

int ParseFormatVersion(const QString& text) noexcept {
    int64_t value;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        value = ToIntDef(text.left(dot), 1) * 1000 + ToIntDef(text.mid(dot + 1), 0);
    else
        value = ToIntDef(text, 1) * 1000;
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(value);
}

// ---------------------------------------------------------------------------
// TSchemeFiler

TSchemeFiler::TSchemeFiler(uint8_t mode, TKnot* knot, uint8_t options) : m_mode(mode), m_options(options) {
    if (!knot) {
        m_ownKnot = TKnot::Create();
        knot = m_ownKnot.get();
    }
    m_knot = knot;
}

TSchemeFiler::~TSchemeFiler() = default;

// ---------------------------------------------------------------------------
// TSchemeLoader

TSchemeLoader::TSchemeLoader(TScheme* scheme, TElementMessages* messages, TKnot* knot, uint8_t options,
                             uint8_t mode)
    : TSchemeFiler(mode, knot, options), m_scheme(scheme), m_messages(messages), m_update(scheme) {
    m_formatVersion = ParseFormatVersion(Knot()->ReadStr(QStringLiteral("FormatVersion")));
    if (m_messages) {
        if (static_cast<TKnot*>(Knot()->GetRoot())->LoadFailed())
            m_messages->AddTextMessage(mkWarning, LoadStr(strDataProvidedAreCorrupt));
        if (m_formatVersion >= kSchemeFormatNewer)
            m_messages->AddTextMessage(mkWarning, LoadStr(strFormatDataProvidedNewer));
    }
}

TSchemeLoader::~TSchemeLoader() = default;

void TSchemeLoader::AddDeferred(TElement* element, intptr_t datum) {
    m_deferred.push_back({element, element->Number(), datum});
}

void TSchemeLoader::AddNumberMapping(int32_t stored, int32_t renumbered) {
    m_storedNumbers.push_back(stored);
    m_newNumbers.push_back(renumbered);
    if (!m_numberIndex.contains(stored)) m_numberIndex.insert(stored, renumbered);
}

void TSchemeLoader::EnterNesting() {
    if (m_nesting >= MaxNesting) throw Exception::FromId(strDataProvidedAreCorrupt);
    ++m_nesting;
}

void TSchemeLoader::Finish() {
    if (m_finished) return;
    m_finished = true;
    // Elements deferred later during these steps are taken too.
    for (size_t i = 0; i < m_deferred.size(); ++i) {
        const Deferred d = m_deferred[i];
        if (m_scheme && !m_scheme->IsRegistered(d.element, d.number)) continue;
        d.element->AfterLoad(this, d.datum);
    }
    m_deferred.clear();
    m_update.End();
    if (m_messages && !IsSnapshot()) ReportUnread();
}

void TSchemeLoader::ReportUnread() {
    QList<TKnot*> knots;
    QList<TKnotParam*> params;
    static_cast<TKnot*>(Knot()->GetRoot())->CollectUnread(&knots, &params, false);
    for (TKnot* k : knots)
        m_messages->AddTextMessage(mkWarning, LoadStrFmt(strNodeWasNotRead, {SanitizeMessageText(k->GetPath())}));
    for (TKnotParam* p : params)
        m_messages->AddTextMessage(mkWarning,
                                   LoadStrFmt(strAttributeWasNotRead, {SanitizeMessageText(p->GetPath())}));
}

// ---------------------------------------------------------------------------
// TSchemeSaver

void TSchemeSaver::WriteFormatVersion() {
    Knot()->WriteStr(QStringLiteral("FormatVersion"),
                     QStringLiteral("%1.%2").arg(kSchemeFormatVersion / 1000).arg(kSchemeFormatVersion % 1000));
}

QByteArray SchemeFileBytes(const TKnot& knot) { return knot.SaveToBytes(TKnotEncoding::Utf8); }

// ---------------------------------------------------------------------------
// Element storage

namespace {
const QString kId = QStringLiteral("ID");

template <class F>
void ForEachSubElement(TElement* owner, F&& f) {
    for (TNode* c = owner->FirstChild(); c;) {
        TNode* next = c->NextSibling();
        if (auto* e = dynamic_cast<TElement*>(c); e && e->IsSubElement()) f(e);
        c = next;
    }
}
}  // namespace

bool TElement::ShouldSaveChild(TSchemeFiler* filer, TElement* child) {
    if (!filer->IsSnapshot() && (child->Options() & eoNotStored)) return false;
    if (filer->HasOption(foSkipOption10) && (child->Options() & eoOmitWithFilerOption40)) return false;
    return true;
}

bool TElement::IsStoredInParentNode(TSchemeFiler* filer) {
    return IsSubElement() && (Options() & eoStoredInParentNode) && !filer->IsSnapshot();
}

// A sub-element that its owner leaves unnamed is stored under its type name:
// an empty knot name would make the written text unreadable.
void TElement::GetStoredName(TSchemeFiler* filer, QString& name) {
    name.clear();
    if (TElement* p = ParentElement()) p->GetChildName(this, filer, name);
    if (name.isEmpty()) name = GetTypeName();
}

void TElement::SaveToKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeSaver saver(mode, knot, options);
    SaveTo(&saver, knot);
}

void TElement::SaveTo(TSchemeSaver* saver, TKnot* knot) {
    if (saver->IsSnapshot() || (Options() & eoReferable)) knot->WriteInt(kId, m_number);
    ForEachSubElement(this, [&](TElement* child) {
        if (!ShouldSaveChild(saver, child)) return;
        if (saver->HasOption(foSaveInPlace) && child->SaveInPlace(saver, knot)) return;
        if (child->IsStoredInParentNode(saver)) {
            child->SaveTo(saver, knot);
            return;
        }
        QString name;
        child->GetStoredName(saver, name);
        TKnot* sub = knot->AddChild(name);
        child->SaveTo(saver, sub);
        if (sub->IsEmpty() && !(child->IsValidated() && !child->IsDefault())) sub->Free();
    });
}

void TElement::LoadFrom(TSchemeLoader* loader, TKnot* knot) {
    if (loader->IsSnapshot()) {
        const int32_t stored = knot->ReadInt(kId, 0);
        RaiseElementNumber(stored);
        SetNumber(stored);
    } else if (Options() & eoReferable) {
        // A stored 0 names no element and is not mapped.
        const int32_t stored = knot->ReadInt(kId, 0);
        if (stored != 0 && stored != m_number) loader->AddNumberMapping(stored, m_number);
    }
    if (loader->HasOption(foSharedData)) m_state |= esSharedData;
    ForEachSubElement(this, [&](TElement* child) {
        if (!loader->IsSnapshot() && (child->Options() & eoNotStored)) return;
        if (child->IsStoredInParentNode(loader)) {
            child->LoadFrom(loader, knot);
            return;
        }
        QString name;
        child->GetStoredName(loader, name);
        if (TKnot* sub = knot->FindChild(name)) child->LoadFrom(loader, sub);
    });
}

void TElement::LoadFromKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeLoader loader(m_scheme, m_scheme ? m_scheme->Messages() : nullptr, knot, options, mode);
    LoadFrom(&loader, knot);
    loader.Finish();
}

// ---------------------------------------------------------------------------
// Scheme files

void TScheme::SaveRootToKnot(TKnot* knot, uint8_t mode, uint8_t options) {
    TSchemeSaver saver(mode, knot, options);
    knot->SetName(m_name);
    saver.WriteFormatVersion();
    if (m_root) m_root->SaveTo(&saver, knot);
}

void TScheme::LoadFromFile(const QString& fileName) {
    TWaitScope wait;
    SetFileName(fileName);
    TNodePtr<TKnot> knot = TKnot::Create();
    knot->LoadFromFile(fileName);
    TSchemeLoader loader(this, m_messages, knot.get(), 0, fmFile);
    if (m_root) m_root->LoadFrom(&loader, knot.get());
    loader.Finish();
}

// The new content is written completely into a temporary file beside the
// target and renamed over it (TKnot::SaveToFile); until the rename the old
// file is untouched. A read-only target is replaced all the same.
void TScheme::SaveToFile(const QString& fileName, bool keepOldName) {
    TWaitScope wait;
    const QString oldName = m_fileName;
    SetFileName(fileName);
    try {
        TNodePtr<TKnot> knot = TKnot::Create();
        SaveRootToKnot(knot.get(), fmFile, foSchemeFile);
        knot->SaveToFile(fileName, TKnotEncoding::Utf8);
    } catch (...) {
        if (keepOldName) SetFileName(oldName);
        throw;
    }
    if (keepOldName) SetFileName(oldName);
}
