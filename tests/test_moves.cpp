/*
** The moves library against the core.  Every figure of a sequence must be
** what the core's evaluation finds for the same order of an instance that
** the core read from files written here, and every announced delta must be
** the difference of two such evaluations (the move made on a plain copy of
** the order).  Random days cover the corners: q = 1, p >= N, constraints
** that can never be exceeded, windows into day D-1 with the history cut
** short, batches at the limit, one vehicle, one colour, both priorities,
** more than 64 constraints.  Then: refusals, the batch start index against
** a plain scan, and the solver.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "quelto/moves.h"
#include "run_index.h"
#include "testutil.h"
#include "traces.h"

namespace quelto {

/* Readable figures when a comparison fails. */
void PrintTo(const Delta &d, std::ostream *os)
{
    *os << "{high " << d.high_violations << ", low " << d.low_violations << ", changes " << d.colour_changes
        << ", long " << d.long_batches << ", objectives " << d.objectives[0] << " " << d.objectives[1] << " "
        << d.objectives[2] << ", mark " << d.mark << ", ok " << d.batches_ok << "}";
}

void PrintTo(const SequenceState &s, std::ostream *os)
{
    *os << "{high";
    for (int64_t v : s.high_violations) *os << " " << v;
    *os << ", low";
    for (int64_t v : s.low_violations) *os << " " << v;
    *os << ", totals " << s.high_total << " " << s.low_total << ", changes " << s.colour_changes << ", long "
        << s.long_batches << ", ok " << s.batches_ok << ", mark " << s.mark << "}";
}

}  // namespace quelto

namespace {

using namespace quelto;
using testutil::TempDir;

const char *keyword(Objective o)
{
    switch (o) {
    case Objective::high_priority_violations: return "high_priority_level_and_difficult_to_satisfy_ratio_constraints";
    case Objective::low_priority_violations: return "low_priority_level_ratio_constraints";
    case Objective::colour_changes: return "paint_color_batches";
    }
    return "";
}

/* The four instance files of the records, in dir, as the readers take them. */
InstanceFiles write_files(const InstanceRecords &r, const std::string &dir)
{
    std::string ratios = "Ratio;Prio;Name;F4\n", objectives = "Rank;Objective\n", vehicles = "Date;Rank;Ident;Colour\n";
    for (const RatioConstraint &c : r.constraints)
        ratios += std::to_string(c.p) + "/" + std::to_string(c.q) + ";" + (c.high_priority ? "1" : "0") + ";" + c.name + ";\n";
    for (size_t i = 0; i < r.objectives.size(); i++) objectives += std::to_string(i + 1) + ";" + keyword(r.objectives[i]) + "\n";
    auto line = [&](const char *date, size_t rank, const std::string &ident, int32_t colour, const std::vector<bool> &o) {
        std::string l = std::string(date) + ";" + std::to_string(rank) + ";" + ident + ";" + std::to_string(colour);
        for (bool high : {true, false})
            for (size_t k = 0; k < o.size(); k++)
                if (r.constraints[k].high_priority == high) l += o[k] ? ";1" : ";0";
        vehicles += l + "\n";
    };
    for (size_t i = 0; i < r.frozen.size(); i++)
        line("2026-01-01", i + 1, std::string("F").append(std::to_string(i + 1)), r.frozen[i].colour, r.frozen[i].options);
    for (size_t i = 0; i < r.day.size(); i++) line("2026-01-02", i + 1, r.day[i].ident, r.day[i].colour, r.day[i].options);
    InstanceFiles f = InstanceFiles::in_directory(dir, r.name);
    testutil::ecrireFichier(f.ratios, ratios);
    testutil::ecrireFichier(f.batch_limit, "Limit\n" + std::to_string(r.batch_limit) + "\n");
    testutil::ecrireFichier(f.objectives, objectives);
    testutil::ecrireFichier(f.vehicles, vehicles);
    return f;
}

/* The core's own reading of the files, and its evaluation of an order. */
struct Core {
    InstancePb *inst = static_cast<InstancePb *>(calloc(1, sizeof(InstancePb)));

    explicit Core(const InstanceFiles &f)
    {
        snprintf(inst->s_fichEcartsCriteres, sizeof inst->s_fichEcartsCriteres, "%s", f.ratios.c_str());
        snprintf(inst->s_fichLongMaxRafTeintes, sizeof inst->s_fichLongMaxRafTeintes, "%s", f.batch_limit.c_str());
        snprintf(inst->s_fichObjectifOptim, sizeof inst->s_fichObjectifOptim, "%s", f.objectives.c_str());
        snprintf(inst->s_fichVehicules, sizeof inst->s_fichVehicules, "%s", f.vehicles.c_str());
        EXPECT_EQ(0, Quelto_lireFichiersEtMajInstancePb(inst));
        EXPECT_EQ(0, Quelto_majInstancePb(inst));
    }
    /* Every figure of the order, as a SequenceState; long_batches from a plain count of the colours. */
    SequenceState evaluate(const std::vector<int32_t> &order) const
    {
        EXPECT_EQ(1, list_installer_ordre(&inst->l_vehAOrdonnancer, mQuelto_comparerVehRangSeq, order.data()));
        quelto::EvaluatedSequence e;
        EXPECT_EQ(0, Quelto_evaluerSequence(inst, &inst->indicateursSeqInitiale, false, &e));
        const IndicateursSolution &r = e.results;
        SequenceState s;
        s.high_violations.assign(r.i_vectNbViolEcPrio, r.i_vectNbViolEcPrio + inst->i_nbEcartsPrio);
        s.low_violations.assign(r.i_vectNbViolEcNonPrio, r.i_vectNbViolEcNonPrio + inst->i_nbEcartsNonPrio);
        s.high_total = r.i_nbViolEcPrio;
        s.low_total = r.i_nbViolEcNonPrio;
        s.colour_changes = r.i_nbPurges;
        for (size_t i = 0, run = 1; inst->d_poidsPurges > 0 && i < e.colours.size(); i++, run++) {
            if (i > 0 && e.colours[i] != e.colours[i - 1]) run = 1;
            s.long_batches += run == static_cast<size_t>(inst->i_longMaxRafTeintes) + 1;
        }
        s.batches_ok = r.i_flagLongMaxRafTeintesOk == 1;
        EXPECT_EQ(s.batches_ok, s.long_batches == 0);
        for (int i = 0; i < inst->i_nbObjectifs; i++) {
            const int c = inst->i_codesObjectifs[i];
            s.objectives.push_back(c == 1 ? s.high_total : c == 2 ? s.low_total : s.colour_changes);
        }
        s.mark = r.d_note;
        return s;
    }
};

Delta difference(const SequenceState &before, const SequenceState &after)
{
    Delta d;
    d.high_violations = after.high_total - before.high_total;
    d.low_violations = after.low_total - before.low_total;
    d.colour_changes = after.colour_changes - before.colour_changes;
    d.long_batches = after.long_batches - before.long_batches;
    for (size_t r = 0; r < after.objectives.size(); r++) d.objectives[r] = after.objectives[r] - before.objectives[r];
    d.mark = after.mark - before.mark;
    d.batches_ok = after.batches_ok;
    return d;
}

/* The move made on a plain copy of the order. */
std::vector<int32_t> moved(std::vector<int32_t> o, const Move &m)
{
    const auto at = [&](int32_t p) { return o.begin() + p; };
    if (m.kind == Move::Kind::swap) std::swap(o[m.first], o[m.second]);
    if (m.kind == Move::Kind::reverse) std::reverse(at(m.first), at(m.second + 1));
    if (m.kind == Move::Kind::shift) {
        const int32_t v = o[m.first];
        o.erase(at(m.first));
        o.insert(at(m.second), v);
    }
    return o;
}

struct Shape {
    int32_t n_max, frozen_max, constraints_max, q_max, colours_max;
};

/* A random day of at most the shape's sizes; every p/q has q - 2 < n. */
InstanceRecords random_day(std::mt19937 &g, const Shape &s, int number)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
    InstanceRecords r;
    r.name = "day" + std::to_string(number);
    const int n = pick(1, s.n_max), nc = pick(0, s.constraints_max), colours = pick(1, s.colours_max);
    for (int k = 0; k < nc; k++) {
        const int q = pick(1, std::min(s.q_max, n + 1));
        r.constraints.push_back({"C" + std::to_string(k), pick(0, q + 1), q, pick(0, 2) != 0});
    }
    auto options = [&](int percent) {
        std::vector<bool> o;
        for (int k = 0; k < nc; k++) o.push_back(pick(1, 100) <= percent);
        return o;
    };
    const int density = pick(10, 90);
    for (int i = pick(1, s.frozen_max); i > 0; i--) r.frozen.push_back({pick(1, colours + 1), options(density)});
    for (int i = 0; i < n; i++) r.day.push_back({"V" + std::to_string(i), pick(1, colours), options(density)});
    r.batch_limit = pick(0, 3) == 0 ? n + pick(0, 2) : pick(1, 4);
    std::vector<Objective> all = {Objective::high_priority_violations, Objective::low_priority_violations,
                                  Objective::colour_changes};
    std::shuffle(all.begin(), all.end(), g);
    r.objectives.assign(all.begin(), all.begin() + pick(1, 3));
    return r;
}

Move random_move(std::mt19937 &g, int32_t n)
{
    auto pos = [&] { return std::uniform_int_distribution<int32_t>(0, n - 1)(g); };
    int32_t a = pos(), b = g() % 4 == 0 ? std::clamp(a + static_cast<int32_t>(g() % 5) - 2, 0, n - 1) : pos();
    switch (g() % 3) {
    case 0: return Move::swap(a, b);
    case 1: return Move::shift(a, b);
    default: return Move::reverse(std::min(a, b), std::max(a, b));
    }
}

class Moves : public ::testing::Test {
protected:
    static void SetUpTestSuite() { f_set_dbg_logfile_name("/dev/null", "w"); }

    /* Days of a shape, each with a chain of moves checked one by one against the core. */
    static void chain(unsigned seed, int days, int moves, const Shape &shape)
    {
        std::mt19937 g(seed);
        for (int day = 0; day < days; day++) {
            const InstanceRecords records = random_day(g, shape, day);
            TempDir dir;
            const Core core(write_files(records, dir.path()));
            const Instance built = Instance::build(records);
            ASSERT_EQ(built.reference_order(), Instance::load(InstanceFiles::in_directory(dir.path())).reference_order());
            std::vector<int32_t> order = built.reference_order();
            std::shuffle(order.begin(), order.end(), g);
            Sequence seq(built, order);
            SequenceState expected = core.evaluate(order);
            ASSERT_EQ(expected, seq.state()) << "day " << day << " before any move";
            for (int i = 0; i < moves; i++) {
                const Move m = random_move(g, seq.size());
                const std::vector<int32_t> next = moved(order, m);
                const SequenceState after = core.evaluate(next);
                ASSERT_EQ(difference(expected, after), seq.delta(m)) << "day " << day << " move " << i;
                seq.apply(m);
                ASSERT_TRUE(std::equal(next.begin(), next.end(), seq.order().begin(), seq.order().end()));
                ASSERT_EQ(after, seq.state()) << "day " << day << " move " << i;
                order = next;
                expected = after;
            }
        }
    }
};

TEST_F(Moves, SmallDaysMatchTheCoreAfterEveryMove)
{
    chain(1, 300, 1000, Shape{40, 10, 6, 8, 4});
}

TEST_F(Moves, LargerDaysAndManyConstraintsMatchTheCore)
{
    chain(2, 12, 1500, Shape{400, 30, 8, 12, 6});
    chain(3, 4, 500, Shape{80, 20, 70, 6, 3});
    chain(4, 6, 400, Shape{150, 90, 3, 80, 3});
}

TEST_F(Moves, MovesOutsideTheSequenceAreRefusedAndChangeNothing)
{
    std::mt19937 g(4);
    InstanceRecords r = random_day(g, Shape{1, 3, 2, 3, 2}, 0);
    for (int i = 1; i < 5; i++) r.day.push_back({"V" + std::to_string(i), 1, r.day[0].options});
    Sequence seq(Instance::build(r));
    const std::vector<int32_t> before(seq.order().begin(), seq.order().end());
    const struct {
        Move move;
        bool range;  /* out_of_range, else invalid_argument */
    } refused[] = {{Move::swap(-1, 0), true},  {Move::swap(0, 5), true},     {Move::shift(5, 0), true},
                   {Move::shift(2, -3), true}, {Move::reverse(0, 5), true},  {Move::reverse(3, 2), false},
                   {Move::reverse(-1, 2), true}};
    for (const auto &c : refused) {
        if (c.range) {
            EXPECT_THROW(seq.delta(c.move), std::out_of_range);
            EXPECT_THROW(seq.apply(c.move), std::out_of_range);
        } else {
            EXPECT_THROW(seq.delta(c.move), std::invalid_argument);
            EXPECT_THROW(seq.apply(c.move), std::invalid_argument);
        }
    }
    try {
        seq.swap_delta(1, 7);
        ADD_FAILURE();
    } catch (const std::out_of_range &e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("position 7 is outside the sequence (positions 0 to 4)"));
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), seq.order().begin()));
    for (const std::vector<int32_t> &bad : std::vector<std::vector<int32_t>>{{0, 1, 2, 3}, {0, 1, 2, 3, 3}, {0, 1, 2, 3, 5}})
        EXPECT_THROW(Sequence(Instance::build(r), bad), std::invalid_argument);
}

/* Loads that cannot succeed give the core's message and print nothing. */
TEST_F(Moves, FailedLoadsCarryTheCoreMessageAndPrintNothing)
{
    std::mt19937 g(5);
    const InstanceRecords good = random_day(g, Shape{6, 3, 2, 3, 2}, 0);
    struct Case {
        const char *file;     /* file to replace ("" none, "-" remove the ratios file) */
        const char *content;
        const char *expected; /* in the message */
    };
    const Case cases[] = {
        {"-", "", "S_MSG_ERR_0009"},
        {"ratios.txt", "R;P;N;F\n1-2;1;A;\n", "S_MSG_ERR_0034"},
        {"paint_batch_limit.txt", "L\n0\n", "S_MSG_ERR_0014"},
        {"optimization_objectives.txt", "R;O\n1;colour\n", "S_MSG_ERR_0016"},
        {"ratios.txt", "R;P;N;F\n1/9;1;LONG;\n", "cannot be evaluated"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        InstanceRecords r = good;
        if (std::strcmp(c.expected, "cannot be evaluated") == 0) {
            r.constraints = {};
            for (auto &v : r.day) v.options.clear();
            for (auto &v : r.frozen) v.options.clear();
        }
        const InstanceFiles f = write_files(r, dir.path());
        if (std::strcmp(c.file, "-") == 0) std::filesystem::remove(f.ratios);
        else if (*c.file) testutil::ecrireFichier(dir / c.file, c.content);
        if (std::strcmp(c.expected, "cannot be evaluated") == 0)
            testutil::ecrireFichier(f.vehicles, "D;R;I;C;H\n2026-01-01;1;F;1;0\n2026-01-02;1;V;1;1\n");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        try {
            Instance::load(f);
            ADD_FAILURE() << c.expected;
        } catch (const LoadError &e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.expected)) << e.what();
        }
        EXPECT_EQ("", testing::internal::GetCapturedStdout());
        EXPECT_EQ("", testing::internal::GetCapturedStderr());
    }
    const auto broken = [&](auto change) {
        InstanceRecords r = good;
        change(r);
        EXPECT_THROW(Instance::build(r), std::invalid_argument);
    };
    broken([](InstanceRecords &r) { r.constraints.push_back({"Z", 1, 0, true}); });
    broken([](InstanceRecords &r) { r.day[0].colour = 0; });
    broken([](InstanceRecords &r) { r.day[0].options.push_back(true); });
    broken([](InstanceRecords &r) { r.frozen.clear(); });
    broken([](InstanceRecords &r) { r.day.push_back(r.day[0]); });
    broken([](InstanceRecords &r) { r.objectives.clear(); });
    broken([](InstanceRecords &r) { r.batch_limit = 0; });
}

/* The batch start index answers as plain scans of the same set do. */
TEST(RunIndex, PredecessorAndSuccessorAsAPlainScan)
{
    std::mt19937 g(6);
    for (int64_t size : {1, 2, 63, 64, 65, 4095, 4096, 4097, 70000, 300000}) {
        detail::RunIndex index(size);
        std::vector<bool> plain(static_cast<size_t>(size), false);
        const int64_t spread = std::max<int64_t>(1, size / (1 + g() % 8));
        for (int64_t op = 0; op < std::min<int64_t>(3000, 30000000 / size); op++) {
            const int64_t p = static_cast<int64_t>(g() % static_cast<uint64_t>(size));
            const bool on = g() % 3 != 0 && (g() % static_cast<uint64_t>(spread)) == 0;
            index.assign(p, on);
            plain[static_cast<size_t>(p)] = on;
            const int64_t x = static_cast<int64_t>(g() % static_cast<uint64_t>(size));
            int64_t pred = x, succ = x;
            while (pred >= 0 && !plain[static_cast<size_t>(pred)]) pred--;
            while (succ < size && !plain[static_cast<size_t>(succ)]) succ++;
            ASSERT_EQ(pred, index.pred(x)) << size << " " << x;
            ASSERT_EQ(succ, index.succ(x)) << size << " " << x;
            ASSERT_EQ(plain[static_cast<size_t>(x)], index.contains(x));
        }
    }
}

/* Sequences compared as the solver compares them: batches over the limit, then the objectives. */
std::vector<int64_t> key(const SequenceState &s)
{
    std::vector<int64_t> k = {s.long_batches};
    k.insert(k.end(), s.objectives.begin(), s.objectives.end());
    return k;
}

TEST_F(Moves, SolverIsDeterministicNeverWorseThanTheReferenceAndItsFileReadsBack)
{
    std::mt19937 g(7);
    for (int day = 0; day < 20; day++) {
        const InstanceRecords records = random_day(g, Shape{120, 10, 6, 8, 5}, day);
        const Instance instance = Instance::build(records);
        SolveOptions o;
        o.moves = 3000;
        o.seed = static_cast<uint64_t>(day);
        const SolveResult a = solve(instance, o), b = solve(instance, o);
        EXPECT_EQ(a.order, b.order);
        EXPECT_LE(a.moves, o.moves);
        const SequenceState reference = Sequence(instance).state();
        EXPECT_LE(key(a.state), key(reference));
        EXPECT_EQ(a.reference_kept, key(a.state) == key(reference));
        EXPECT_EQ(Sequence(instance, a.order).state(), a.state);
        if (day % 5 != 0) continue;

        /* exeQuelto reads the solution file and finds the same mark. */
        TempDir dir;
        std::filesystem::create_directories(dir / "instances/x");
        std::filesystem::create_directories(dir / "results");
        std::filesystem::create_directories(dir / "logs");
        write_files(records, dir / "instances/x");
        testutil::ecrireFichier(dir / "exeQuelto.ini",
                                "S_QUELTO_LOGS_DIRECTORY=logs/\nS_QUELTO_EXE_LOGFILE_FILE_NAME=log\n"
                                "S_QUELTO_RACINE_PATH_NAME=instances/\nS_QUELTO_INSTANCE_PB_NAME=x\n"
                                "S_QUELTO_ECARTS_CRITERES_FILE_NAME=ratios.txt\n"
                                "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME=paint_batch_limit.txt\n"
                                "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME=optimization_objectives.txt\n"
                                "S_QUELTO_VEHICULES_FILE_NAME=vehicles.txt\nS_QUELTO_RESULT_DIRECTORY=results/\n"
                                "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME=_ref.txt\n"
                                "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME=_cand.txt\nS_QUELTO_CANDIDATE_NAME=solver\n");
        write_solution(instance, a.order, dir / "results/x");
        ASSERT_EQ(0, testutil::lancerExe(dir.path()).status);
        const std::string report = testutil::lireFichier(dir / "results/x_cand.txt");
        char mark[64];
        snprintf(mark, sizeof mark, "Mark of the solution = %f", a.state.mark);
        if (a.state.batches_ok)
            EXPECT_NE(std::string::npos, report.find(mark)) << report;
        else
            EXPECT_NE(std::string::npos, report.find("S_MSG_ERR_0031")) << report;
    }
    EXPECT_THROW(solve(Instance::build(random_day(g, Shape{5, 2, 1, 2, 2}, 0)), SolveOptions{}), std::invalid_argument);
}

/* The 10-car benchmark example: its reference counted by hand (3 2 2 2 4), and a sequence without violation found. */
TEST_F(Moves, SolverSatisfiesTheTenCarExample)
{
    const std::string gen = (std::filesystem::path(QUELTO_EXE).parent_path() / "quelto-gen").string();
    ASSERT_TRUE(testutil::existe(gen)) << gen << " is not built";
    TempDir dir;
    ASSERT_EQ(0, std::system((gen + " --csplib " + QUELTO_TEST_DATA + "/csplib/instances/dincbas10.txt --out " +
                              dir.path() + " >/dev/null")
                                 .c_str()));
    const Instance instance = Instance::load(InstanceFiles::in_directory(dir / "instances/dincbas10"));
    EXPECT_EQ((std::vector<int64_t>{3, 2, 2, 2, 4}), Sequence(instance).state().high_violations);
    SolveOptions o;
    o.moves = 200000;
    const SolveResult r = solve(instance, o);
    EXPECT_EQ(0, r.state.high_total);
    EXPECT_FALSE(r.reference_kept);
}

/* Constraints come high priority first; the weights and the batch check follow the objectives' ranks. */
TEST_F(Moves, InstanceFiguresFollowTheRanksOfTheObjectives)
{
    using O = Objective;
    const struct {
        std::vector<Objective> objectives;
        Weights weights;
        bool checked;
    } cases[] = {
        {{O::high_priority_violations, O::low_priority_violations, O::colour_changes}, {1e6, 1e3, 1}, true},
        {{O::colour_changes, O::high_priority_violations}, {1e3, 0, 1e6}, true},
        {{O::low_priority_violations}, {0, 1e6, 0}, false},
        {{O::high_priority_violations, O::colour_changes, O::high_priority_violations}, {1, 0, 1e3}, true},
    };
    std::mt19937 g(8);
    InstanceRecords r = random_day(g, Shape{12, 2, 0, 1, 3}, 0);
    r.constraints = {{"L1", 1, 3, false}, {"H1", 1, 2, true}, {"L2", 2, 5, false}, {"H2", 0, 1, true}};
    for (auto &v : r.day) v.options = {true, false, true, false};
    for (auto &v : r.frozen) v.options = {false, true, false, true};
    for (const auto &c : cases) {
        r.objectives = c.objectives;
        const Instance i = Instance::build(r);
        std::vector<std::string> names;
        for (const RatioConstraint &k : i.constraints()) names.push_back(k.name);
        EXPECT_EQ((std::vector<std::string>{"H1", "H2", "L1", "L2"}), names);
        EXPECT_EQ(2, i.high_constraint_count());
        EXPECT_EQ(c.weights.high, i.weights().high);
        EXPECT_EQ(c.weights.low, i.weights().low);
        EXPECT_EQ(c.weights.changes, i.weights().changes);
        EXPECT_EQ(c.checked, i.batch_limit_checked());
        EXPECT_FALSE(i.notes().empty());  /* greatest q - 1 = 4 > 2 frozen vehicles */
    }
}

/* A failed load leaves the trace log where it was, and a log file keeps receiving the messages. */
TEST_F(Moves, LoadsPutTheTraceLogBack)
{
    TempDir dir;
    const std::string log = dir / "trace.log";
    ASSERT_EQ(0, f_set_dbg_logfile_name(log.c_str(), "w"));
    EXPECT_THROW(Instance::load(InstanceFiles::in_directory(dir / "missing")), LoadError);
    EXPECT_EQ(log, f_get_dbg_logfile_name());
    f_dbg_trace(nullptr, 0, nullptr, 0, "%s", "after the load");
    EXPECT_NE(std::string::npos, testutil::lireFichier(log).find("after the load"));
    f_set_dbg_logfile_name("/dev/null", "w");
}

TEST_F(Moves, CopiesAreIndependent)
{
    std::mt19937 g(9);
    const Instance instance = Instance::build(random_day(g, Shape{30, 5, 4, 5, 3}, 0));
    Sequence a(instance), b = a;
    const SequenceState before = a.state();
    b.apply(Move::reverse(0, b.size() - 1));
    b.apply(Move::shift(0, b.size() - 1));
    EXPECT_EQ(before, a.state());
    EXPECT_TRUE(std::equal(a.order().begin(), a.order().end(), instance.reference_order().begin()));
    a = b;
    EXPECT_EQ(b.state(), a.state());
}

/* A time limit stops the search, the last progress call says so, and files that could not be read back are refused. */
TEST_F(Moves, SolverStopsOnTimeAndRefusesBadSolutionFiles)
{
    std::mt19937 g(10);
    const Instance instance = Instance::build(random_day(g, Shape{300, 10, 6, 8, 5}, 0));
    SolveOptions o;
    o.seconds = 0.2;
    o.progress_interval = 0.05;
    std::vector<SolveProgress> calls;
    o.progress = [&](const SolveProgress &p) { calls.push_back(p); };
    const SolveResult r = solve(instance, o);
    EXPECT_LT(r.seconds, 1.0);
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls.back().finished);
    EXPECT_EQ(r.state.objectives, calls.back().objectives);
    for (size_t i = 1; i < calls.size(); i++) EXPECT_LE(calls[i - 1].moves, calls[i].moves);

    TempDir dir;
    std::vector<int32_t> twice = r.order;
    twice[0] = twice[1];
    EXPECT_THROW(write_solution(instance, twice, dir / "s"), std::invalid_argument);
    EXPECT_THROW(write_solution(instance, std::vector<int32_t>(r.order.begin() + 1, r.order.end()), dir / "s"),
                 std::invalid_argument);
    EXPECT_THROW(write_solution(instance, r.order, dir / "no/such/folder/s"), std::runtime_error);
    write_solution(instance, r.order, dir / "s");
    EXPECT_EQ("1;" + instance.ident(r.order[0]) + "\n", testutil::lireFichier(dir / "s").substr(0, 3 + instance.ident(r.order[0]).size()));
}

}  // namespace
