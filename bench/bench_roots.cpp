// File connections: connecting a scheme file of 10,000 and 100,000 public
// elements, each referenced by a substitution in the connecting scheme, and
// disconnecting it again, as a document whose connection is switched on and
// off (or whose connected file is named and cleared) does.

#include "benchSupport.h"

#include "elements/coValueElements.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A public value of the connected file, known by the name it is given.
class TElement_BenchValue : public TInsideValueElement {
    T_ELEMENT_CLASS(TElement_BenchValue)
public:
    QString Name;
    QString GetValueName() override { return Name; }
    QString GetValue() override { return Name; }
};
T_ELEMENT_CLASS_IMPL(TElement_BenchValue, TInsideValueElement)

const QString kConnectedFile = QStringLiteral("/bench/lib.prm");

// The connected file with count values, and the connecting scheme with a
// connection "Lib" and one substitution of each value.
struct TConnectedFiles {
    std::unique_ptr<TScheme> library = std::make_unique<TScheme>(TRoot::StaticClass(), QStringLiteral("Bench"));
    std::unique_ptr<TScheme> user = std::make_unique<TScheme>(TRoot::StaticClass(), QStringLiteral("Bench"));
    TElement_FileConnection* connection = nullptr;
    std::vector<TElement_Substitution*> substitutions;

    explicit TConnectedFiles(int count) {
        library->SetFileName(kConnectedFile);
        user->SetFileName(QStringLiteral("/bench/user.prm"));
        user->OnGetConnectedScheme = [this](TScheme*, const QString& fileName, TScheme*& scheme) {
            if (fileName == kConnectedFile) scheme = library.get();
        };
        {
            TSchemeUpdate update(library.get());
            // Named before it is placed: placing it registers the name.
            for (int i = 0; i < count; ++i) {
                auto* value = TElement::CreateIn<TElement_BenchValue>(library.get(), nullptr);
                value->Name = Name(i);
                value->SetParent(library->Root());
            }
            update.End();
        }
        TSchemeUpdate update(user.get());
        connection = TElement::CreateIn<TElement_FileConnection>(user.get(), user->Root());
        connection->NameField()->SetText(QStringLiteral("Lib"));
        TElement* holder = TElement::CreateIn(TElement::StaticClass(), user.get(), user->Root());
        substitutions.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            auto* substitution = TElement::CreateIn<TElement_Substitution>(user.get(), holder);
            substitution->SetText(QStringLiteral("Lib.") + Name(i));
            substitutions.push_back(substitution);
        }
        update.End();
    }
    ~TConnectedFiles() {
        user.reset();
        library.reset();
    }
    static QString Name(int i) { return QStringLiteral("Value%1").arg(i); }
    bool AllResolved() const {
        for (TElement_Substitution* s : substitutions)
            if (!s->ValueSource()) return false;
        return true;
    }
};

// Connecting and disconnecting each happen once in a while in the editor (a
// document is opened, a file is named or cleared, the connection disabled),
// so each starts with the schemes out of the caches. (Repeated in a loop,
// the 10k schemes, about 30 MB, would stay in the cache while the 100k ones
// cannot, and the figure would compare cache with memory.)
void BM_ConnectionFileConnect(benchmark::State& state) {
    const int count = int(state.range(0));
    TConnectedFiles files(count);
    TFileConnectionFileNameField* fileName = files.connection->FileNameField();
    fileName->SetValue(kConnectedFile);
    if (!files.AllResolved()) state.SkipWithError("the substitutions did not resolve");
    fileName->SetValue(QString());
    for (auto _ : state) {
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        fileName->SetValue(kConnectedFile);
        state.PauseTiming();
        QuillaneLeaveCaches();
        state.ResumeTiming();
        fileName->SetValue(QString());
    }
    if (files.substitutions.front()->GetTargetItem()) state.SkipWithError("the connection stayed");
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ConnectionFileConnect)
    ->Arg(10000)
    ->Arg(100000)
    ->Apply(QuillaneFastestOf<3>)
    ->Unit(benchmark::kMillisecond);

}  // namespace

QUILLANE_GROWTH(connection_file_connect, "BM_ConnectionFileConnect/100000/repeats:3",
                "BM_ConnectionFileConnect/10000/repeats:3");
