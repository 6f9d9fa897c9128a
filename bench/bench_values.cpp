// The value tree against the plain containers it is built on: a lookup by path against a bare
// QHash lookup of the same paths, and one change notification to 1,000 observers against a loop
// of 1,000 virtual calls.

#include <benchmark/benchmark.h>
#include <tevbase/observable.h>
#include <values/tree.h>
#include <values/value.h>

#include <QHash>
#include <QStringList>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kValueCount = 100000;

// Paths like the ones front ends use: "/Device3/Channel12/Trace4/Level27", four levels deep.
const QStringList& valuePaths()
{
    static const QStringList paths = [] {
        QStringList list;
        list.reserve(kValueCount);
        for (int i = 0; list.size() < kValueCount; ++i) {
            list << QStringLiteral("/Bench/Device%1/Channel%2/Trace%3/Level%4")
                        .arg(i / 5000)
                        .arg(i / 250 % 20)
                        .arg(i / 25 % 10)
                        .arg(i % 25);
        }
        return list;
    }();
    return paths;
}

// The lookups in a fixed random order, so that neither side profits from walking its storage.
const std::vector<int>& lookupOrder()
{
    static const std::vector<int> order = [] {
        std::vector<int> indices(kValueCount);
        for (int i = 0; i < kValueCount; ++i)
            indices[i] = i;
        std::shuffle(indices.begin(), indices.end(), std::mt19937(42));
        return indices;
    }();
    return order;
}

void fillTree()
{
    static const bool filled = [] {
        for (const QString& path : valuePaths()) {
            const int slash = path.lastIndexOf(QLatin1Char('/'));
            values::Tree::Instance()->AddValue(
                path.left(slash), new values::StringValue(path.mid(slash + 1)));
        }
        return true;
    }();
    (void)filled;
}

void BM_TreeFindValue(benchmark::State& state)
{
    fillTree();
    const QStringList& paths = valuePaths();
    const std::vector<int>& order = lookupOrder();
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(values::Tree::Instance()->FindValue(paths.at(order[next])));
        next = (next + 1) % order.size();
    }
}
BENCHMARK(BM_TreeFindValue);

// The same value objects the tree holds, allocated the same way, so that both sides look through
// the same amount of memory; only the index differs. Built once, as the tree is: rebuilt for
// each repetition it would land in the holes the previous one left, a layout that changes from
// one repetition to the next.
const QHash<QString, void*>& baselineHash()
{
    static const auto hash = [] {
        auto built = std::make_unique<QHash<QString, void*>>();
        built->reserve(kValueCount);
        for (const QString& path : valuePaths()) {
            // Kept to the end of the process, as the tree's values are.
            auto* target
                = new values::StringValue(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
            // Keys of their own, as the tree has: a key sharing the looked-up string's data
            // would compare equal by its pointer without reading a character.
            built->insert(QString(path.constData(), path.size()), target);
        }
        return built;
    }();
    return *hash;
}

void BM_BaselineHashLookup(benchmark::State& state)
{
    const QHash<QString, void*>& hash = baselineHash();
    const QStringList& paths = valuePaths();
    const std::vector<int>& order = lookupOrder();
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hash.value(paths.at(order[next]), nullptr));
        next = (next + 1) % order.size();
    }
}
BENCHMARK(BM_BaselineHashLookup);

constexpr int kObserverCount = 1000;

// Both sides call this observer. Kept out of line, so that the baseline makes real calls
// rather than an inlined, vectorised sum the compiler may derive from its one known type.
class CountingObserver : public IObserver
{
public:
    __attribute__((noinline)) void Update(Observable*, TChangeCode code) override
    {
        m_count += code;
    }
    long long m_count = 0;
};

void BM_SetValueToObservers(benchmark::State& state)
{
    values::StringValue value(QStringLiteral("Watched"));
    std::vector<CountingObserver> observers(kObserverCount);
    for (CountingObserver& observer : observers)
        value.AddObserver(&observer);
    // Two texts taken in turn, so that every set is a change; both share their data, so no
    // string is built inside the loop.
    const QString texts[] = { QStringLiteral("one"), QStringLiteral("two") };
    int turn = 0;
    for (auto _ : state) {
        value.SetValue(texts[turn], nullptr);
        turn ^= 1;
    }
    benchmark::DoNotOptimize(observers.front().m_count);
    for (CountingObserver& observer : observers)
        value.DeleteObserver(&observer);
}
BENCHMARK(BM_SetValueToObservers);

void BM_BaselineVirtualCalls(benchmark::State& state)
{
    std::vector<CountingObserver> observers(kObserverCount);
    std::vector<IObserver*> targets;
    for (CountingObserver& observer : observers)
        targets.push_back(&observer);
    Observable* source = nullptr;
    for (auto _ : state) {
        for (IObserver* target : targets)
            target->Update(source, CC_Changed);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(observers.front().m_count);
}
BENCHMARK(BM_BaselineVirtualCalls);

} // namespace

BENCHMARK_MAIN();
