#include "core/cuKnot.h"

#include "core/cuBlockPool.h"
#include "core/cuStringIds.h"
#include "platform/plFiles.h"

#include <QFile>
#include <QFileDevice>
#include <QIODevice>

#include <new>
#include <typeinfo>
#include <vector>

T_CLASS_IMPL(TKnot, TNode)

// Knots and parameters come from the block pool; the operators are declared
// in the header so that it need not include the pool.
void* TKnot::operator new(size_t size) {
    return TBlockAllocated<TKnot>::operator new(size);
}
void TKnot::operator delete(void* block, size_t size) noexcept {
    TBlockAllocated<TKnot>::operator delete(block, size);
}
void* TKnotParam::operator new(size_t size) {
    return TBlockAllocated<TKnotParam>::operator new(size);
}
void TKnotParam::operator delete(void* block, size_t size) noexcept {
    TBlockAllocated<TKnotParam>::operator delete(block, size);
}

// ---------------------------------------------------------------------------
// TKnotParam

TKnotParam::~TKnotParam() {
    FreeStream();
    if (m_knot) m_knot->UnlinkParam(this);
}

void TKnotParam::FreeStream() noexcept {
    m_ownedStream.reset();
    m_borrowedStream = nullptr;
}

QString TKnotParam::GetValue() {
    m_wasRead = true;
    switch (m_kind) {
    case pkString:
        if (m_block) SetValueText(Value());  // a string of its own from now on, cheap to copy
        return m_value;
    case pkStream:
    case pkStreamRef:
        return Stream() ? KnotText::ToHex(*Stream()) : QString();
    default:
        return {};
    }
}

bool TKnotParam::HasValue() {
    m_wasRead = true;
    return m_kind != pkNone;
}

bool TKnotParam::ReadToStream(QByteArray& stream) {
    m_wasRead = true;
    if (m_kind == pkStream || m_kind == pkStreamRef) {
        stream = Stream() ? *Stream() : QByteArray();
        return true;
    }
    return KnotText::FromHex(m_value, stream);
}

void TKnotParam::SetValueText(QString value) noexcept {
    m_value = std::move(value);
    m_block.Reset();
}

void TKnotParam::SetString(const QString& value) {
    FreeStream();
    SetValueText(value);
    m_kind = pkString;
}

void TKnotParam::SetStream(const QByteArray& stream) {
    auto copy = std::make_unique<const QByteArray>(stream);
    FreeStream();
    SetValueText({});
    m_ownedStream = std::move(copy);
    m_kind = pkStream;
}

void TKnotParam::SetStreamRef(const QByteArray* stream) {
    FreeStream();
    SetValueText({});
    m_borrowedStream = stream;
    m_kind = pkStreamRef;
}

void TKnotParam::SetNone() {
    FreeStream();
    SetValueText({});
    m_kind = pkNone;
}

void TKnotParam::Assign(const TKnotParam& source) {
    if (&source == this) return;
    m_name = source.m_name;
    switch (source.m_kind) {
    case pkString:
        // A view into a block of text is shared with the block, not copied.
        FreeStream();
        m_value = source.m_value;
        m_block = source.m_block;
        m_kind = pkString;
        break;
    case pkStream:
        SetStream(source.m_ownedStream ? *source.m_ownedStream : QByteArray());
        break;
    case pkStreamRef:
        SetStreamRef(source.m_borrowedStream);
        break;
    default:
        SetNone();
    }
}

QString TKnotParam::GetPath() const {
    return (m_knot ? m_knot->GetPath() : QString()) + QLatin1Char('.') + m_name;
}

// ---------------------------------------------------------------------------
// TKnot: structure

TKnot::~TKnot() { FreeParams(); }

bool TKnot::IsValidName(QStringView name) noexcept {
    if (name.isEmpty() || name.front() == u'!' || name.front() == u'?') return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u <= 32 || u == u'"' || u == u'\'' || u == u'&' || u == u'/' || u == u'<' || u == u'=' || u == u'>')
            return false;
    }
    return true;
}

void TKnot::SetName(const QString& name) {
    Q_ASSERT_X(name.isEmpty() || IsValidName(name), "TKnot::SetName", "not a valid knot name");
    m_name = name;
}

int TKnot::ParamCount() const noexcept {
    int n = 0;
    for (TKnotParam* p = m_params; p; p = p->m_next) ++n;
    return n;
}

void TKnot::FreeParams() noexcept {
    TKnotParam* p = m_params;
    m_params = m_lastParam = nullptr;
    while (p) {
        TKnotParam* next = p->m_next;
        p->m_knot = nullptr;  // no unlinking walk
        delete p;
        p = next;
    }
}

void TKnot::UnlinkParam(TKnotParam* param) noexcept {
    TKnotParam* prev = nullptr;
    for (TKnotParam* p = m_params; p; prev = p, p = p->m_next) {
        if (p != param) continue;
        (prev ? prev->m_next : m_params) = p->m_next;
        if (m_lastParam == p) m_lastParam = prev;
        p->m_next = nullptr;
        p->m_knot = nullptr;
        return;
    }
}

// Frees the subtree of each child without recursion. A subtree made of plain
// knots only (no derived class that could act before destruction) is unlinked
// once and its knots deleted children first, relying on the node destructor
// not to look at the links; any other subtree is freed leaf first through
// Free() with a moving cursor.
void TKnot::FreeChildren() noexcept {
    // The list's storage is reused: growing a fresh list for every subtree costs
    // more than the frees. It is taken out of the spare slot while in use, so
    // that a derived knot freeing knots from a notification gets its own.
    thread_local std::vector<TKnot*> spare;
    std::vector<TKnot*> order;
    order.swap(spare);
    while (TNode* child = LastChild()) {
        order.clear();
        bool plain = true;
        for (TNode* n : PreOrder(child)) {
            if (typeid(*n) != typeid(TKnot)) {
                plain = false;
                break;
            }
            order.push_back(static_cast<TKnot*>(n));
            // The walk reads the links at the start of the knot; the rest of
            // it is fetched meanwhile for the delete that follows.
            __builtin_prefetch(reinterpret_cast<const char*>(n) + sizeof(TKnot) - 1);
        }
        if (plain) {
            child->SetParentBefore(nullptr, nullptr);
            DeletePlain(order);
            continue;
        }
        TNode* n = child;
        for (;;) {
            while (n->LastChild()) n = n->LastChild();
            TNode* parent = n->Parent();
            n->Free();
            if (n == child) break;
            n = parent;
        }
    }
    order.clear();
    if (order.capacity() <= 65536) spare.swap(order);  // a huge subtree's list is not kept
}

// Deletes detached plain knots, children before parents. Plain knots do
// nothing before destruction but free their children, which come earlier in
// the list, so each is left with the last step of Free(): its destructor and
// its class's deallocation. The links between them are not undone one by
// one: the node destructor does not look at them.
void TKnot::DeletePlain(const std::vector<TKnot*>& order) noexcept {
    for (size_t i = order.size(); i-- > 0;) delete order[i];
}

void TKnot::BeforeDestruction() { FreeChildren(); }

void TKnot::ParentChanged() {
    TNode* parent = Parent();
    if (parent && parent->InheritsFrom(StaticClass())) SetFlags(static_cast<TKnot*>(parent)->m_flags);
}

void TKnot::SetFlags(TKnotFlags flags) {
    // A subtree whose top already has the value is skipped.
    for (auto it = PreOrder(this).begin(); it != std::default_sentinel;) {
        TKnot* k = *it;
        if (k->m_flags == flags) {
            it.SkipChildren();
            continue;
        }
        k->m_flags = flags;
        ++it;
    }
}

void TKnot::SetWasRead(bool value) noexcept {
    m_state = value ? (m_state | ksRead) : (m_state & ~ksRead);
}


void TKnot::SetWasReadAll(bool value) {
    for (TKnot* k : PreOrder(this)) {
        k->SetWasRead(value);
        for (TKnotParam* p = k->m_params; p; p = p->m_next) p->m_wasRead = value;
    }
}

TKnot* TKnot::Marked(TKnot* knot) noexcept {
    if (knot) knot->m_state |= ksRead;
    return knot;
}

void TKnot::AppendBuilt(TKnot* child) {
    // Plain knots with the same inherited flags react to no notification of
    // the attach protocol (TKnot only takes its parent's flags over, and they
    // are equal), so the child is linked directly. A derived knot at either
    // end gets the whole protocol.
    if (typeid(*this) == typeid(TKnot) && typeid(*child) == typeid(TKnot) && child->m_flags == m_flags &&
        !child->Parent()) {
        AppendChildQuietly(child);
        return;
    }
    child->SetParentBefore(this, nullptr);
}

TKnot* TKnot::AddChild(const QString& name) {
    Q_ASSERT_X(name.isEmpty() || IsValidName(name), "TKnot::AddChild", "not a valid knot name");
    TNodePtr<TKnot> child = Create(name);
    child->m_flags = m_flags;
    child->SetParentBefore(this, nullptr);
    return Marked(child.release());
}

TKnot* TKnot::FindChild(QStringView name) {
    for (TKnot* k = FirstKnot(); k; k = k->NextKnot())
        if (k->m_name == name) return Marked(k);
    return nullptr;
}

TKnot* TKnot::FindNextSibling(QStringView name) {
    for (TKnot* k = NextKnot(); k; k = k->NextKnot())
        if (k->m_name == name) return Marked(k);
    return nullptr;
}

TKnot* TKnot::FindOrAddChild(const QString& name) {
    if (TKnot* k = FindChild(name)) return k;
    return AddChild(name);
}

TKnot* TKnot::FindPath(QStringView path, bool create) {
    TKnot* k = this;
    for (;;) {
        const qsizetype dot = path.indexOf(u'.');
        const QStringView name = dot < 0 ? path : path.left(dot);
        TKnot* next = k->FindChild(name);
        if (!next) {
            if (!create) return nullptr;
            next = k->AddChild(name.toString());
        }
        k = next;
        if (dot < 0) return k;
        path = path.mid(dot + 1);
    }
}

TKnot* TKnot::GetFirstChild() { return Marked(FirstKnot()); }
TKnot* TKnot::GetLastChild() { return Marked(static_cast<TKnot*>(LastChild())); }
TKnot* TKnot::GetNextSibling() { return Marked(NextKnot()); }
TKnot* TKnot::GetParentKnot() {
    TNode* parent = Parent();
    return parent && parent->InheritsFrom(StaticClass()) ? Marked(static_cast<TKnot*>(parent)) : nullptr;
}

TKnotParam* TKnot::AddParam(const QString& name) {
    Q_ASSERT_X(IsValidName(name), "TKnot::AddParam", "not a valid parameter name");
    return NewParam(name);
}

TKnotParam* TKnot::NewParam(const QString& name) {
    auto* p = new TKnotParam(this, name);
    (m_lastParam ? m_lastParam->m_next : m_params) = p;
    m_lastParam = p;
    return p;
}

TKnotParam* TKnot::FindParam(QStringView name) const noexcept {
    for (TKnotParam* p = m_params; p; p = p->m_next)
        if (p->m_name == name) return p;
    return nullptr;
}

bool TKnot::HasParam(QStringView name) {
    TKnotParam* p = FindParam(name);
    if (p) p->m_wasRead = true;
    return p;
}

bool TKnot::IsEmpty() const {
    if (m_params) return false;
    if (!FirstChild()) return true;
    if (GetFlags() & kfIndexed) return false;
    // Any knot below with parameters, or an indexed knot with children, makes it non-empty.
    for (const TKnot* k : PreOrder(this))
        if (k != this && (k->m_params || (k->FirstChild() && (k->GetFlags() & kfIndexed)))) return false;
    return true;
}

void TKnot::Clear() {
    m_name.clear();
    m_flagsRemoved = m_flagsAdded = 0;
    FreeParams();
    FreeChildren();
    m_state = 0;
}

void TKnot::Assign(const TKnot& source) {
    if (&source == this) return;
    // A copy of the source first, so that assigning from one's own subtree works.
    TNodePtr<TKnot> copy = Create(source.m_name);
    copy->m_flags = m_flags;
    std::vector<std::pair<const TKnot*, TKnot*>> stack;  // source knot, its detached copy
    auto copyOwn = [](const TKnot& from, TKnot& to) {
        to.m_name = from.m_name;
        to.m_flagsRemoved = from.m_flagsRemoved;
        to.m_flagsAdded = from.m_flagsAdded;
        for (TKnotParam* p = from.m_params; p; p = p->m_next) to.NewParam(p->m_name)->Assign(*p);
    };
    copyOwn(source, *copy);
    // Depth-first; each copy is linked to its parent once its own subtree is complete.
    stack.emplace_back(&source, copy.get());
    std::vector<const TKnot*> cursor{source.FirstKnot()};
    while (!stack.empty()) {
        const TKnot* next = cursor.back();
        if (!next) {
            TKnot* done = stack.back().second;
            stack.pop_back();
            cursor.pop_back();
            if (!stack.empty()) stack.back().second->AppendBuilt(done);
            continue;
        }
        cursor.back() = next->NextKnot();
        auto* c = new TKnot();
        c->m_flags = m_flags;
        copyOwn(*next, *c);
        stack.emplace_back(next, c);
        cursor.push_back(next->FirstKnot());
    }
    // Take the copy over.
    const TKnotFlags inherited = m_flags;
    Clear();
    m_name = copy->m_name;
    m_flagsRemoved = copy->m_flagsRemoved;
    m_flagsAdded = copy->m_flagsAdded;
    m_params = copy->m_params;
    m_lastParam = copy->m_lastParam;
    copy->m_params = copy->m_lastParam = nullptr;
    for (TKnotParam* p = m_params; p; p = p->m_next) p->m_knot = this;
    while (TNode* c = copy->FirstChild()) static_cast<TKnot*>(c)->SetParentBefore(this, nullptr);
    m_flags = inherited;
}

// ---------------------------------------------------------------------------
// Typed values

QString TKnot::ReadStr(QStringView name, const QString& defaultValue) {
    TKnotParam* p = FindParam(name);
    return p ? p->GetValue() : defaultValue;
}

bool TKnot::ReadBool(QStringView name, bool defaultValue) {
    TKnotParam* p = FindParam(name);
    if (!p) return defaultValue;
    return p->ReadView([defaultValue](QStringView v) {
        if (v == u"1") return true;
        if (v == u"0") return false;
        return defaultValue;
    });
}

int TKnot::ReadInt(QStringView name, int defaultValue, int min, int max) {
    TKnotParam* p = FindParam(name);
    if (!p) return defaultValue;
    int value;
    if (!p->ReadView([&value](QStringView v) { return KnotText::ParseInt(v, value); })) return defaultValue;
    if (min != max && (value < min || value > max)) return defaultValue;
    return value;
}

bool TKnot::ReadStream(QStringView name, QByteArray& stream) {
    TKnotParam* p = FindParam(name);
    return !p || p->ReadToStream(stream);
}

TKnotParam* TKnot::ParamForWrite(const QString& name) {
    Q_ASSERT_X(IsValidName(name), "TKnot::Write", "not a valid parameter name");
    if (GetFlags() & kfUniqueParams)
        if (TKnotParam* p = FindParam(name)) return p;
    return NewParam(name);
}

TKnotParam* TKnot::WriteStr(const QString& name, const QString& text) {
    TKnotParam* p = ParamForWrite(name);
    p->SetString(text);
    return p;
}

TKnotParam* TKnot::WriteBool(const QString& name, bool value) {
    return WriteStr(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

TKnotParam* TKnot::WriteInt(const QString& name, int value) { return WriteStr(name, QString::number(value)); }

TKnotParam* TKnot::WriteStream(const QString& name, const QByteArray& stream) {
    TKnotParam* p = ParamForWrite(name);
    p->SetStream(stream);
    return p;
}

TKnotParam* TKnot::WriteStreamRef(const QString& name, const QByteArray* stream) {
    TKnotParam* p = ParamForWrite(name);
    p->SetStreamRef(stream);
    return p;
}

// ---------------------------------------------------------------------------
// Reports

QString TKnot::GetPath() const {
    // Collect the steps upwards, then join them from the root down.
    QStringList steps;
    for (const TKnot* k = this; k; k = k->Parent() && k->Parent()->InheritsFrom(StaticClass()) ? k->ParentKnot() : nullptr) {
        const TKnot* parent = k->Parent() && k->Parent()->InheritsFrom(StaticClass()) ? k->ParentKnot() : nullptr;
        if (parent && (parent->GetFlags() & kfIndexed))
            steps.append(k->m_name + QLatin1Char('[') + QString::number(k->GetIndex() + 1) + QLatin1Char(']'));
        else
            steps.append(k->m_name);
    }
    std::reverse(steps.begin(), steps.end());
    return steps.join(QLatin1Char('.'));
}

bool TKnot::CollectUnread(QList<TKnot*>* knots, QList<TKnotParam*>* params, bool checkSelf) {
    bool found = false;
    // The top knot is examined with the caller's checkSelf, every knot below with checkSelf set.
    for (auto it = PreOrder(this).begin(); it != std::default_sentinel;) {
        TKnot* k = *it;
        if ((k != this || checkSelf) && !k->GetWasRead()) {
            if (knots) knots->append(k);
            found = true;
            it.SkipChildren();
            continue;
        }
        for (TKnotParam* p = k->m_params; p; p = p->m_next)
            if (!p->m_wasRead) {
                if (params) params->append(p);
                found = true;
            }
        ++it;
    }
    return found;
}

// ---------------------------------------------------------------------------
// Text and files

QString TKnot::SaveToString() const { return KnotText::Write(*this); }

QByteArray TKnot::SaveToBytes(TKnotEncoding encoding) const {
    return KnotText::WriteBytes(*this, encoding);
}

void TKnot::SaveToStream(QIODevice& stream, TKnotEncoding encoding) const {
    const QByteArray bytes = SaveToBytes(encoding);
    if (stream.write(bytes) != bytes.size()) {
        const auto* file = qobject_cast<const QFileDevice*>(&stream);
        throw Exception::FromId(strCannotWriteFile, {file ? file->fileName() : stream.objectName()});
    }
}

void TKnot::SaveToFile(const QString& fileName, TKnotEncoding encoding) const {
    KnotText::WriteFileAtomically(fileName, SaveToBytes(encoding));
}

bool TKnot::LoadFromText(const QChar* chars, qsizetype count) {
    return KnotText::Read(*this, reinterpret_cast<const char16_t*>(chars), count);
}

bool TKnot::LoadFromBytes(const QByteArray& bytes) { return KnotText::ReadBytes(*this, bytes); }

namespace {
// Reading runs out of memory only on absurd input: it is the load error of the source.
template <class F>
bool ReadGuarded(const QString& source, F&& read) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        throw Exception::FromId(strCannotReadFile, {source});
    }
}
}  // namespace

bool TKnot::LoadFromStream(QIODevice& stream) {
    const auto* file = qobject_cast<const QFileDevice*>(&stream);
    return ReadGuarded(file ? file->fileName() : stream.objectName(),
                       [&] { return LoadFromBytes(stream.readAll()); });
}

bool TKnot::LoadFromFile(const QString& fileName) {
    // Only regular files: a device or a pipe may never end (and opening a
    // pipe waits for its writer).
    QFile file(fileName);
    const TOpenForReading opened = OpenRegularFileForReading(file);
    if (opened == TOpenForReading::Missing) throw Exception::FromId(strFileNotFound, {fileName});
    if (opened != TOpenForReading::Opened) throw Exception::FromId(strCannotReadFile, {fileName});
    return LoadFromStream(file);
}
