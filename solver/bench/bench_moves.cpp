/*
** quelto-bench-moves: how fast the moves library judges a move.
**
**   SwapDelta/1500, SwapDelta/100000   swap deltas between random positions
**                                      of a random order (counter
**                                      swaps_per_second)
**   ShiftDelta/1500, ReverseDelta/1500 the other moves, over up to 20 places
**   CoreEvaluationPerMove/1500         a swap made on the order, then a full
**                                      evaluation by the core, per move
**   FullRecountPerMove/1500            the same with the library's own full
**                                      count (a new Sequence)
**
** The days are drawn here from a fixed seed: 20 ratio constraints (10 of
** each priority, q from 2 to 10, p below q, options about as frequent as the
** ratio allows), 10 colours, batch limit 6, the three objectives, 20 frozen
** vehicles.  After the table the program prints the three goals: at least
** 5 million swap deltas per second at 1500 vehicles, at least 100 times the
** rate of a full evaluation per move, and the 100 000-vehicle rate within a
** factor 2 of the 1500-vehicle one.
*/
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "quelto/moves.h"
#include "traces.h"

namespace {

using namespace quelto;

InstanceRecords random_day(int32_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
    InstanceRecords r;
    r.name = std::string("bench").append(std::to_string(n));
    std::vector<double> share;
    for (int k = 0; k < 20; k++) {
        const int q = pick(2, 10), p = pick(1, q - 1);
        r.constraints.push_back({std::string("C").append(std::to_string(k)), p, q, k < 10});
        share.push_back(0.9 * p / q);
    }
    auto options = [&] {
        std::vector<bool> o;
        for (double s : share) o.push_back(std::uniform_real_distribution<double>(0, 1)(g) < s);
        return o;
    };
    for (int i = 0; i < 20; i++) r.frozen.push_back({pick(1, 10), options()});
    for (int i = 0; i < n; i++) r.day.push_back({std::string("V").append(std::to_string(i)), pick(1, 10), options()});
    r.batch_limit = 6;
    r.objectives = {Objective::high_priority_violations, Objective::low_priority_violations, Objective::colour_changes};
    return r;
}

/* One day of n vehicles, in a random order, built once. */
struct Day {
    InstanceRecords records;
    Instance instance;
    std::vector<int32_t> order;
    Sequence sequence;

    explicit Day(int32_t n)
        : records(random_day(n, 2026)), instance(Instance::build(records)), order(shuffled(instance)),
          sequence(instance, order)
    {
    }
    static std::vector<int32_t> shuffled(const Instance &i)
    {
        std::vector<int32_t> o = i.reference_order();
        std::shuffle(o.begin(), o.end(), std::mt19937(1));
        return o;
    }
    static Day &of(int32_t n)
    {
        static std::map<int32_t, std::unique_ptr<Day>> days;
        auto &d = days[n];
        if (!d) d = std::make_unique<Day>(n);
        return *d;
    }
};

/* Pairs of distinct positions; the second within reach of the first when reach > 0. */
std::vector<std::pair<int32_t, int32_t>> pairs(int32_t n, int32_t reach)
{
    std::mt19937 g(7);
    std::vector<std::pair<int32_t, int32_t>> v;
    while (v.size() < 65536) {
        const int32_t a = static_cast<int32_t>(g() % static_cast<uint32_t>(n));
        int32_t b = reach > 0 ? a + static_cast<int32_t>(g() % static_cast<uint32_t>(2 * reach + 1)) - reach
                              : static_cast<int32_t>(g() % static_cast<uint32_t>(n));
        if (b < 0 || b >= n || b == a) continue;
        v.emplace_back(a, b);
    }
    return v;
}

void rate(benchmark::State &state)
{
    state.counters["swaps_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                            benchmark::Counter::kIsRate);
}

void SwapDelta(benchmark::State &state)
{
    const Day &day = Day::of(static_cast<int32_t>(state.range(0)));
    const auto p = pairs(day.sequence.size(), 0);
    size_t i = 0;
    for (auto _ : state) {
        const auto &[a, b] = p[i++ & 65535];
        benchmark::DoNotOptimize(day.sequence.swap_delta(a, b));
    }
    rate(state);
}

void ShiftDelta(benchmark::State &state)
{
    const Day &day = Day::of(static_cast<int32_t>(state.range(0)));
    const auto p = pairs(day.sequence.size(), 20);
    size_t i = 0;
    for (auto _ : state) {
        const auto &[a, b] = p[i++ & 65535];
        benchmark::DoNotOptimize(day.sequence.shift_delta(a, b));
    }
    rate(state);
}

void ReverseDelta(benchmark::State &state)
{
    const Day &day = Day::of(static_cast<int32_t>(state.range(0)));
    const auto p = pairs(day.sequence.size(), 20);
    size_t i = 0;
    for (auto _ : state) {
        const auto &[a, b] = p[i++ & 65535];
        benchmark::DoNotOptimize(day.sequence.reverse_delta(std::min(a, b), std::max(a, b)));
    }
    rate(state);
}

/* The day's four files in a fresh folder, read and prepared by the core. */
InstancePb *core_instance(const InstanceRecords &r)
{
    char tmpl[] = "/tmp/quelto-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    std::ofstream(dir + "/r") << "R;P;N;F\n";
    for (const RatioConstraint &c : r.constraints)
        std::ofstream(dir + "/r", std::ios::app) << c.p << "/" << c.q << ";" << (c.high_priority ? 1 : 0) << ";" << c.name << ";\n";
    std::ofstream(dir + "/l") << "L\n" << r.batch_limit << "\n";
    std::ofstream(dir + "/o") << "R;O\n1;high_priority_level_and_easy_to_satisfy_ratio_constraints\n"
                                 "2;low_priority_level_ratio_constraints\n3;paint_color_batches\n";
    std::ofstream v(dir + "/v");
    v << "D;R;I;C\n";
    auto line = [&](const char *date, size_t rank, const std::string &ident, int32_t colour, const std::vector<bool> &o) {
        v << date << ";" << rank << ";" << ident << ";" << colour;
        for (bool b : o) v << (b ? ";1" : ";0");
        v << "\n";
    };
    for (size_t i = 0; i < r.frozen.size(); i++) line("1", i + 1, std::string("F").append(std::to_string(i)), r.frozen[i].colour, r.frozen[i].options);
    for (size_t i = 0; i < r.day.size(); i++) line("2", i + 1, r.day[i].ident, r.day[i].colour, r.day[i].options);
    v.close();
    InstancePb *inst = static_cast<InstancePb *>(calloc(1, sizeof(InstancePb)));
    snprintf(inst->s_fichEcartsCriteres, sizeof inst->s_fichEcartsCriteres, "%s/r", dir.c_str());
    snprintf(inst->s_fichLongMaxRafTeintes, sizeof inst->s_fichLongMaxRafTeintes, "%s/l", dir.c_str());
    snprintf(inst->s_fichObjectifOptim, sizeof inst->s_fichObjectifOptim, "%s/o", dir.c_str());
    snprintf(inst->s_fichVehicules, sizeof inst->s_fichVehicules, "%s/v", dir.c_str());
    const bool ok = Quelto_lireFichiersEtMajInstancePb(inst) == 0 && Quelto_majInstancePb(inst) == 0;
    std::filesystem::remove_all(dir);
    return ok ? inst : nullptr;
}

void CoreEvaluationPerMove(benchmark::State &state)
{
    const Day &day = Day::of(static_cast<int32_t>(state.range(0)));
    InstancePb *inst = core_instance(day.records);
    if (inst == nullptr) {
        state.SkipWithError("the core cannot read the day");
        return;
    }
    std::vector<int32_t> order = day.order;
    const auto p = pairs(static_cast<int32_t>(order.size()), 0);
    quelto::EvaluatedSequence e;
    size_t i = 0;
    for (auto _ : state) {
        const auto &[a, b] = p[i++ & 65535];
        std::swap(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
        list_installer_ordre(&inst->l_vehAOrdonnancer, mQuelto_comparerVehRangSeq, order.data());
        Quelto_evaluerSequence(inst, &inst->indicateursSeqInitiale, false, &e);
        benchmark::DoNotOptimize(e.results.d_note);
    }
    rate(state);
}

void FullRecountPerMove(benchmark::State &state)
{
    const Day &day = Day::of(static_cast<int32_t>(state.range(0)));
    std::vector<int32_t> order = day.order;
    const auto p = pairs(static_cast<int32_t>(order.size()), 0);
    size_t i = 0;
    for (auto _ : state) {
        const auto &[a, b] = p[i++ & 65535];
        std::swap(order[static_cast<size_t>(a)], order[static_cast<size_t>(b)]);
        benchmark::DoNotOptimize(Sequence(day.instance, order).mark());
    }
    rate(state);
}

BENCHMARK(SwapDelta)->Arg(1500)->Arg(100000);
BENCHMARK(ShiftDelta)->Arg(1500);
BENCHMARK(ReverseDelta)->Arg(1500);
BENCHMARK(CoreEvaluationPerMove)->Arg(1500);
BENCHMARK(FullRecountPerMove)->Arg(1500);

/* The console table, keeping the swaps_per_second of every run by name. */
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            const auto c = r.counters.find("swaps_per_second");
            if (c != r.counters.end()) rates[r.benchmark_name()] = c->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char **argv)
{
    f_set_dbg_logfile_name("/dev/null", "w");
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto get = [&](const char *name) {
        const auto it = reporter.rates.find(name);
        return it == reporter.rates.end() ? 0.0 : it->second;
    };
    const double small = get("SwapDelta/1500"), large = get("SwapDelta/100000"), full = get("CoreEvaluationPerMove/1500");
    if (small > 0) std::printf("\nswap deltas per second, 1500 vehicles: %.3g (goal >= 5e6: %s)\n", small, small >= 5e6 ? "met" : "MISSED");
    if (small > 0 && full > 0)
        std::printf("swap delta / core evaluation per move, 1500 vehicles: x%.0f (goal >= 100: %s)\n", small / full,
                    small / full >= 100 ? "met" : "MISSED");
    if (small > 0 && large > 0)
        std::printf("rate at 1500 / rate at 100000: %.2f (goal <= 2: %s)\n", small / large, small / large <= 2 ? "met" : "MISSED");
    return 0;
}
