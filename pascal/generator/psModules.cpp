#include "pascal/generator/psModules.h"

#include "core/cuCodeWriters.h"

#include <QHash>
#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <deque>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

T_CLASS_IMPL(TPascalUsedUnit, TPascalNamedNode)
T_CLASS_IMPL(TPascalUsedUnits, TPascalNode)
T_CLASS_IMPL(TPascalUnitClause, TPascalNode)
T_CLASS_IMPL(TPascalModule, TPascalNamedNode)
T_CLASS_IMPL(TPascalUnit, TPascalModule)


// ---------------------------------------------------------------------------
// Used units and clauses

void TPascalUsedUnit::Write(TPascalCodeWriter& writer) {
    writer.Write(Name);
    WriteTrailingComment(writer);
}

TPascalUsedUnit* TPascalUsedUnits::FindUnit(const QString& name) const {
    for (TPascalNode* c = First(); c; c = c->Next())
        if (auto* unit = PascalAs<TPascalUsedUnit>(c); unit && PascalSameName(unit->Name, name)) return unit;
    return nullptr;
}

TPascalUsedUnit* TPascalUsedUnits::AddUnit(const QString& name) {
    if (TPascalUsedUnit* unit = FindUnit(name)) return unit;
    return CreateNamedNode<TPascalUsedUnit>(this, name);
}

void TPascalUsedUnits::Write(TPascalCodeWriter& writer) {
    // The implementation clause may not repeat a unit of the interface.
    QSet<TPascalName> written;
    if (auto* clause = PascalAs<TPascalUnitClause>(Parent()))
        if (auto* unit = PascalAs<TPascalUnit>(clause->Parent()); unit && unit->ImplementationClause == clause)
            for (TPascalNode* c = unit->InterfaceClause->UsedUnits->First(); c; c = c->Next())
                if (auto* used = PascalAs<TPascalUsedUnit>(c)) written.insert({used->Name});
    QList<TPascalUsedUnit*> units;
    for (TPascalNode* c = First(); c; c = c->Next()) {
        auto* used = PascalAs<TPascalUsedUnit>(c);
        if (!used) continue;
        const TPascalName key{used->Name};
        if (written.contains(key)) continue;
        written.insert(key);
        units.append(used);
    }
    if (units.isEmpty()) return;
    writer.WriteLn(u"uses"_s);
    writer.Indent();
    for (qsizetype i = 0; i < units.size(); ++i) {
        // Names are written one by one, each too short for the writer to
        // break; the separator's check keeps the list within the line length.
        if (i > 0) WriteSeparator(writer, u","_s);
        units[i]->Write(writer);
    }
    writer.WriteLn(u";"_s);
    writer.Unindent();
    writer.NewLine();
}

void TPascalUnitClause::Create() {
    UsedUnits = CreateNode<TPascalUsedUnits>(this);
    Declarations = CreateNode<TPascalDeclarations>(this);
    Declarations->HeaderKinds = {TPascalEntryKind::Const, TPascalEntryKind::Type, TPascalEntryKind::Var};
    Declarations->IndentKinds = Declarations->HeaderKinds;
    Declarations->SeparateSections = true;
}

void TPascalUnitClause::Write(TPascalCodeWriter& writer) {
    UsedUnits->Write(writer);
    Declarations->Write(writer);
}

// ---------------------------------------------------------------------------
// The unit

void TPascalUnit::Create() {
    InterfaceClause = CreateNode<TPascalUnitClause>(this);
    ImplementationClause = CreateNode<TPascalUnitClause>(this);
    Initialization = CreateNode<TPascalCommands>(this);
    Finalization = CreateNode<TPascalCommands>(this);
}

void TPascalUnit::Write(TPascalCodeWriter& writer) {
    writer.WriteLn(u"unit "_s + Name + u";"_s);
    writer.WriteComment(Comment);
    writer.NewLine();
    writer.WriteLn(u"interface"_s);
    writer.NewLine();
    InterfaceClause->Write(writer);
    writer.EnsureEmptyLine();
    writer.WriteLn(u"implementation"_s);
    writer.NewLine();
    ImplementationClause->Write(writer);
    writer.EnsureEmptyLine();
    auto section = [&](const QString& word, TPascalCommands* commands) {
        writer.WriteLn(word);
        WriteIndented(writer, commands);
        writer.NewLine();
    };
    // A finalization section needs an initialization section before it.
    const bool finalization = Finalization->HasChildren();
    if (Initialization->HasChildren() || finalization) section(u"initialization"_s, Initialization);
    if (finalization) section(u"finalization"_s, Finalization);
    writer.Write(u"end."_s);
}

TNodePtr<TPascalUnit> CreatePascalUnit(const QString& name) {
    TNodePtr<TPascalUnit> unit = CreateRootNode<TPascalUnit>();
    unit->Name = name;
    return unit;
}

QString WritePascalModule(TPascalModule* module, bool simplify) {
    if (simplify) module->Simplify();
    MakeNamesUnique(module);
    TPascalCodeWriter writer;
    module->Write(writer);
    return writer.Text();
}

// ---------------------------------------------------------------------------
// Unique names
//
// A scope is the set of fixed names that one level of the tree contributes:
// its named children (and the items of enumerations among them); for a
// routine with a body also its parameters and the members of its class and
// the class's ancestors; for a class the members of all its sections and its
// ancestors; for the unit its name, its used units and the declarations of
// both clauses. Each set is built once, when first needed, and a name that
// becomes fixed is added to every built set that holds it, so the pass stays
// linear in the size of the model.

bool IsPascalReservedWord(const QString& name) {
    // Sorted, lower case: a name is folded into a small buffer and searched
    // for, so that asking about every name allocates nothing.
    static constexpr std::u16string_view kWords[] = {
        u"and", u"array", u"as", u"asm", u"begin", u"case", u"class", u"const", u"constructor", u"destructor",
        u"dispinterface", u"div", u"do", u"downto", u"else", u"end", u"except", u"exports", u"file",
        u"finalization", u"finally", u"for", u"function", u"goto", u"if", u"implementation", u"in", u"inherited",
        u"initialization", u"inline", u"interface", u"is", u"label", u"library", u"mod", u"nil", u"not", u"object",
        u"of", u"or", u"packed", u"procedure", u"program", u"property", u"raise", u"record", u"repeat",
        u"resourcestring", u"set", u"shl", u"shr", u"string", u"then", u"threadvar", u"to", u"try", u"type", u"unit",
        u"until", u"uses", u"var", u"while", u"with", u"xor"};
    static_assert(std::is_sorted(std::begin(kWords), std::end(kWords)));
    constexpr qsizetype kLongest = 14;  // "initialization", "resourcestring"
    if (name.size() < 2 || name.size() > kLongest) return false;
    char16_t folded[kLongest];
    for (qsizetype i = 0; i < name.size(); ++i) folded[i] = PascalFoldedChar(name[i]);
    return std::binary_search(std::begin(kWords), std::end(kWords), std::u16string_view(folded, size_t(name.size())));
}

namespace {

// How many scopes of ancestors a look-up follows at most (a cycle of
// ancestors would otherwise never end).
constexpr int MaxAncestorDepth = 64;

// A set of names compared as Pascal compares them. Most scopes (a routine's
// parameters and locals) hold a few names: they are kept in a short list
// searched in order, and only a scope that outgrows it takes a hashed set,
// which would otherwise be made (with its tables) for every routine. The set
// views the names it is given: they are the fixed names of nodes, which
// neither change nor go while the pass runs.
class TNameSet {
public:
    void insert(const QString& name) {
        const TPascalNameView key{name};
        if (!m_many.isEmpty()) {
            m_many.insert(key);
        } else if (std::find(m_few.begin(), m_few.end(), key) == m_few.end()) {
            if (m_few.size() < kFew) {
                m_few.push_back(key);
                return;
            }
            MoveToMany(kFew + 1);
            m_many.insert(key);
        }
    }
    bool contains(const QString& name) const {
        const TPascalNameView key{name};
        return m_many.isEmpty() ? std::find(m_few.begin(), m_few.end(), key) != m_few.end() : m_many.contains(key);
    }
    // Room for `more` further names at once (a long list of declarations),
    // so that the hashed set is not rebuilt again and again as it grows.
    void reserve(qsizetype more) {
        const qsizetype wanted = (m_many.isEmpty() ? m_few.size() : m_many.size()) + more;
        if (wanted <= kFew) return;
        if (m_many.isEmpty())
            MoveToMany(wanted);
        else
            m_many.reserve(wanted);
    }

private:
    void MoveToMany(qsizetype capacity) {
        m_many.reserve(capacity);
        for (const TPascalNameView& few : m_few) m_many.insert(few);
        m_few.clear();
    }

    static constexpr qsizetype kFew = 8;
    QVarLengthArray<TPascalNameView, kFew> m_few;
    QSet<TPascalNameView> m_many;
};

struct TScope {
    TNameSet names;
    std::vector<const TScope*> also;  // further scopes seen from here (class ancestors)

    bool Contains(const QString& key, int depth = 0) const {
        if (names.contains(key)) return true;
        if (depth > MaxAncestorDepth) return false;
        for (const TScope* s : also)
            if (s->Contains(key, depth + 1)) return true;
        return false;
    }
};

class TUniqueNames {
public:
    explicit TUniqueNames(TPascalModule* module) : m_module(module) {
        m_unit = PascalAs<TPascalUnit>(module);
    }

    void Run() { Visit(m_module); }

private:
    void Visit(TPascalNode* node) {
        if (TPascalNamedNode* named = PascalAsNamed(node); named && named->Provisional) MakeUnique(named);
        for (TPascalNode* c = node->First(); c; c = c->Next())
            // Statement lists and expressions hold no declarations, except
            // the parts of a conditional block, which are containers: the
            // pass need not read the statements (most of a unit's nodes).
            if (HoldsDeclarations(c) || PascalAs<TPascalIfDef>(node)) Visit(c);
    }

    static bool HoldsDeclarations(const TPascalNode* node) {
        return node->NodeKind() != TPascalKind::Expression && node->NodeKind() != TPascalKind::Commands;
    }

    bool InScope(const TPascalNamedNode* node, const QString& key) {
        // A wish that is a reserved word takes a number like a taken name.
        if (IsPascalReservedWord(key)) return true;
        for (TPascalNode* level = node->ParentNode(); level; level = level->ParentNode())
            if (Scope(level)->Contains(key)) return true;
        return !m_unit && PascalSameName(m_module->Name, key);
    }

    void MakeUnique(TPascalNamedNode* node) {
        const QString own = node->Name;
        QString candidate = own;
        const bool letter = own.size() == 1 && own[0] >= u'A' && own[0] <= u'Y';
        // Names are only ever added during the pass, so a counter found taken
        // for this name under this parent stays taken: the search for the
        // next node of the same wish goes on after the last one given.
        const std::pair<const void*, TPascalName> key(node->Parent(), TPascalName{own});
        int counter = 0;
        while (InScope(node, candidate)) {
            if (letter && candidate.size() == 1 && candidate[0] < u'Z') {
                candidate = QString(QChar(candidate[0].unicode() + 1));
            } else {
                if (counter == 0) counter = m_lastCounter.value(key, 0);
                candidate = own + QString::number(++counter);
            }
        }
        if (counter > 0) m_lastCounter.insert(key, counter);
        node->Name = candidate;
        node->Provisional = false;
        NoteFixed(node);
    }

    // Adds a newly fixed name to every scope already built that holds it.
    void NoteFixed(TPascalNamedNode* node) {
        auto add = [&](const void* level) {
            if (TScope* scope = m_scopes.value(level)) scope->names.insert(node->Name);
        };
        TPascalNode* parent = node->ParentNode();
        if (!parent) return;
        add(parent);
        if (PascalAs<TPascalEnum>(parent) && parent->Parent()) add(parent->Parent());
        TPascalNode* list = PascalAs<TPascalEnum>(parent) ? parent->ParentNode() : parent;
        if (auto* params = PascalAs<TPascalMethodParameters>(parent))
            if (TPascalNode* head = params->ParentNode()) add(head->Parent());
        if (list && list->Parent()) {
            if (auto* cls = PascalAs<TPascalClass>(list->Parent())) add(MemberKey(cls));
            if (PascalAs<TPascalUnitClause>(list->Parent()) && m_unit) add(m_unit);
        }
    }

    static const void* MemberKey(const TPascalClass* cls) {
        // The member scope of a class is kept apart from the class's own
        // level (whose children are not named).
        return reinterpret_cast<const char*>(cls) + 1;
    }

    TScope* NewScope(const void* key) {
        TScope* scope = &m_scopeStore.emplace_back();
        m_scopes.insert(key, scope);
        return scope;
    }

    // The fixed names among a list's children, enumeration items included.
    static void AddChildren(const TPascalNode* level, TScope* scope) {
        qsizetype named = 0;
        for (TPascalNode* c = level->First(); c; c = c->Next()) named += PascalAsNamed(c) ? 1 : 0;
        scope->names.reserve(named);
        for (TPascalNode* c = level->First(); c; c = c->Next()) {
            TPascalNamedNode* named = PascalAsNamed(c);
            if (!named) continue;
            if (!named->Provisional) scope->names.insert(named->Name);
            if (PascalAs<TPascalEnum>(c))
                for (TPascalNode* item = c->First(); item; item = item->Next())
                    if (auto* e = PascalAs<TPascalEnumItem>(item); e && !e->Provisional)
                        scope->names.insert(e->Name);
        }
    }

    TScope* Scope(TPascalNode* level) {
        if (TScope* scope = m_scopes.value(level)) return scope;
        TScope* scope = NewScope(level);
        if (!IsClauseList(level)) AddChildren(level, scope);
        if (auto* method = PascalAs<TPascalMethodWithImplementation>(level)) {
            AddChildren(method->Head->Parameters, scope);
            if (TPascalClass* cls = ClassOfMethod(method)) scope->also.push_back(Members(cls));
        } else if (auto* cls = PascalAs<TPascalClass>(level)) {
            scope->also.push_back(Members(cls));
        } else if (level == m_unit) {
            scope->names.insert(m_unit->Name);
            for (TPascalUnitClause* clause : {m_unit->InterfaceClause, m_unit->ImplementationClause}) {
                AddChildren(clause->Declarations, scope);
                AddChildren(clause->UsedUnits, scope);
            }
        } else if (level == m_module) {
            scope->names.insert(m_module->Name);
        }
        return scope;
    }

    // A list of one of the unit's clauses. The unit's own scope holds its
    // names (NoteFixed adds each fixed one there too), and every look-up
    // from under the list reaches the unit: the list's scope need not file
    // them a second time.
    bool IsClauseList(const TPascalNode* level) const {
        if (!m_unit) return false;
        for (const TPascalUnitClause* clause : {m_unit->InterfaceClause, m_unit->ImplementationClause})
            if (level == clause->Declarations || level == clause->UsedUnits) return true;
        return false;
    }

    // The members of a class's sections and of its ancestors in this unit.
    const TScope* Members(TPascalClass* cls) {
        const void* key = MemberKey(cls);
        if (TScope* scope = m_scopes.value(key)) return scope;
        TScope* scope = NewScope(key);  // registered first: a cycle of ancestors ends here
        for (TPascalDeclarations* section : cls->Sections) AddChildren(section, scope);
        if (TPascalClass* ancestor = ParentClass(cls); ancestor && ancestor != cls)
            scope->also.push_back(Members(ancestor));
        return scope;
    }

    TPascalClass* ClassOfMethod(const TPascalMethodWithImplementation* method) {
        if (method->Declaration)
            if (TPascalNode* section = method->Declaration->ParentNode())
                if (auto* cls = PascalAs<TPascalClass>(section->Parent())) return cls;
        return method->ClassName.isEmpty() ? nullptr : FindClass(method->ClassName);
    }

    TPascalClass* ParentClass(const TPascalClass* cls) {
        TPascalNode* only = OnlyItem(cls->Parent);
        if (auto* call = PascalAs<TPascalCallInExpression>(only)) {
            if (call->Target) return PascalAs<TPascalClass>(call->Target);
            return call->Suffix.isEmpty() ? FindClass(call->Name) : nullptr;
        }
        if (auto* text = PascalAs<TPascalCustomExpressionItem>(only)) return FindClass(text->Text);
        return nullptr;
    }

    TPascalClass* FindClass(const QString& name) {
        if (!m_classesIndexed) {
            m_classesIndexed = true;
            if (m_unit)
                for (TPascalUnitClause* clause : {m_unit->InterfaceClause, m_unit->ImplementationClause})
                    for (TPascalNode* c = clause->Declarations->First(); c; c = c->Next())
                        if (auto* cls = PascalAs<TPascalClass>(c)) m_classes.insert({cls->Name}, cls);
        }
        return m_classes.value({name});
    }

    TPascalModule* m_module;
    TPascalUnit* m_unit = nullptr;
    // The scopes lie in a few large blocks rather than one allocation each.
    std::deque<TScope> m_scopeStore;
    QHash<const void*, TScope*> m_scopes;
    QHash<TPascalName, TPascalClass*> m_classes;
    bool m_classesIndexed = false;
    QHash<std::pair<const void*, TPascalName>, int> m_lastCounter;
};
}  // namespace

void MakeNamesUnique(TPascalModule* module) {
    TUniqueNames(module).Run();
}
