/*
** quelto's quick reader of solution files against the program's own reader:
** a file the quick reader takes is one the program's reader reads without a
** problem, into the same positions; the files it refuses are left to that
** reader.  The reading ahead hands the same readings over, in order.
*/
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <random>
#include <sstream>

#include "read_ahead.h"
#include "solution.h"
#include "testutil.h"

namespace fs = std::filesystem;
using namespace testutil;

namespace {

const std::string BIN = fs::path(QUELTO_EXE).parent_path().string();

using Lines = std::vector<std::pair<std::string, std::string>>; /* position, identifier */

/* A generated day of n vehicles in dir, its vehicles.txt edited by edit; the lines of its random candidate. */
Lines generate(const TempDir &dir, int n, const std::function<void(std::string &)> &edit = {})
{
    const std::string cmd = BIN + "/quelto-gen --seed 7 --vehicles " + std::to_string(n) +
                            " --solution random --instance day --out '" + dir.path() + "' >/dev/null";
    EXPECT_EQ(0, std::system(cmd.c_str()));
    if (edit) {
        std::string vehicles = lireFichier(dir / "instances/day/vehicles.txt");
        edit(vehicles);
        ecrireFichier(dir / "instances/day/vehicles.txt", vehicles);
    }
    std::istringstream in(lireFichier(dir / "results/day"));
    Lines lines;
    for (std::string l; std::getline(in, l);) lines.emplace_back(l.substr(0, l.find(';')), l.substr(l.find(';') + 1));
    return lines;
}

std::unique_ptr<quelto::LoadedInstance> load(const TempDir &dir)
{
    const std::string i = dir / "instances/day/";
    return quelto::LoadedInstance::load({"day", i + "ratios.txt", i + "paint_batch_limit.txt",
                                         i + "optimization_objectives.txt", i + "vehicles.txt"}, false);
}

std::string text_of(const Lines &lines, const std::string &end = "\n")
{
    std::string t;
    for (const auto &[p, id] : lines) t += p + ";" + id + end;
    return t;
}

/* The candidate rank of each day-D vehicle, by list rank. */
std::vector<int32_t> ranks(quelto::LoadedInstance &loaded)
{
    std::vector<int32_t> r;
    for (int32_t i = 0; i < loaded.record().i_longFilm; i++)
        r.push_back(static_cast<const Vehicule *>(list_element(&loaded.record().l_vehAOrdonnancer, i))->i_rangSeqCandidat);
    return r;
}

/*
** Whether the quick reader takes the file at path; when it does, the
** program's reader must find no problem and both must give the same ranks.
*/
bool quick_agrees(quelto::LoadedInstance &loaded, const std::string &path)
{
    std::vector<int32_t> order;
    const bool listed = loaded.permutations().read(path, order);
    const quelto::SolutionReading own = quelto::read_solution(loaded, path, nullptr);
    const std::vector<int32_t> own_ranks = ranks(loaded);
    if (!listed) return false;
    EXPECT_EQ(quelto::SolutionState::read, own.state) << path;
    EXPECT_TRUE(own.problems.places_every_vehicle_once() && own.problems.ignored_lines.empty()) << path;
    EXPECT_EQ(static_cast<size_t>(loaded.record().i_longFilm), order.size());
    const quelto::SolutionReading quick = quelto::read_solution(loaded, path, &order);
    EXPECT_EQ(own_ranks, ranks(loaded)) << path;
    return true;
}

struct Variant {
    const char *name;
    std::function<std::string(Lines)> text;
    bool taken;
};

const Variant VARIANTS[] = {
    {"plain", [](Lines l) { return text_of(l); }, true},
    {"CR LF", [](Lines l) { return text_of(l, "\r\n"); }, true},
    {"no final newline", [](Lines l) { std::string t = text_of(l); t.pop_back(); return t; }, true},
    {"lines in another order", [](Lines l) { std::swap(l[0], l[5]); return text_of(l); }, true},
    {"leading zeros", [](Lines l) { l[3].first = "000" + l[3].first; return text_of(l); }, true},
    {"empty file", [](Lines) { return std::string(); }, false},
    {"a space", [](Lines l) { l[2].second += " "; return text_of(l); }, false},
    {"an empty line", [](Lines l) { return text_of(l) + "\n"; }, false},
    {"a lone CR", [](Lines l) { return text_of(l, "\r"); }, false},
    {"a vehicle missing", [](Lines l) { l.pop_back(); return text_of(l); }, false},
    {"a line too many", [](Lines l) { l.push_back({"1", l[0].second}); return text_of(l); }, false},
    {"position 0", [](Lines l) { l[1].first = "0"; return text_of(l); }, false},
    {"position N + 1", [](Lines l) { l[1].first = std::to_string(l.size() + 1); return text_of(l); }, false},
    {"11 digits", [](Lines l) { l[1].first = "00000000001"; return text_of(l); }, false},
    {"a sign", [](Lines l) { l[1].first = "+" + l[1].first; return text_of(l); }, false},
    {"a repeated position", [](Lines l) { l[1].first = l[0].first; return text_of(l); }, false},
    {"a repeated vehicle", [](Lines l) { l[1].second = l[0].second; return text_of(l); }, false},
    {"an unknown vehicle", [](Lines l) { l[1].second = "NOBODY"; return text_of(l); }, false},
    {"an empty identifier", [](Lines l) { l[1].second.clear(); return text_of(l); }, false},
    {"31 bytes", [](Lines l) { l[1].second += std::string(31, 'X'); return text_of(l); }, false},
    {"a third field", [](Lines l) { l[1].second += ";x"; return text_of(l); }, false},
    {"a single field", [](Lines l) { return l[0].first + "\n" + text_of(Lines(l.begin() + 1, l.end())); }, false},
    {"a NUL", [](Lines l) { l[1].second += std::string(1, '\0'); return text_of(l); }, false},
};

}  // namespace

/* Each kind of file: taken or left to the program's reader, and the same ranks when taken. */
TEST(QuickReader, TakesOnlyWhatTheProgramsReaderReadsWithoutProblem)
{
    TempDir d;
    const Lines lines = generate(d, 40);
    auto loaded = load(d);
    ASSERT_NE(nullptr, loaded);
    for (const Variant &v : VARIANTS) {
        ecrireFichier(d / "candidate", v.text(lines));
        EXPECT_EQ(v.taken, quick_agrees(*loaded, d / "candidate")) << v.name;
    }
    EXPECT_FALSE(quick_agrees(*loaded, d / "absent"));
    EXPECT_FALSE(quick_agrees(*loaded, d.path())) << "a folder";
}

/* Random damage to a file: whatever the quick reader takes, the program's reader reads alike. */
TEST(QuickReader, AgreesWithTheProgramsReaderOnDamagedFiles)
{
    TempDir d;
    const Lines lines = generate(d, 30);
    auto loaded = load(d);
    ASSERT_NE(nullptr, loaded);
    std::mt19937 rng(13);
    const std::string alphabet(";\n\r0123456789 A\0\xe9", 17);
    int taken = 0;
    for (int k = 0; k < 600; k++) {
        std::string t = text_of(lines);
        for (unsigned e = 0, edits = 1 + rng() % 3; e < edits; e++) {
            const size_t at = rng() % t.size();
            switch (rng() % 3) {
            case 0: t[at] = alphabet[rng() % alphabet.size()]; break;
            case 1: t.erase(at, 1); break;
            default: t.insert(at, 1, alphabet[rng() % alphabet.size()]);
            }
        }
        ecrireFichier(d / "candidate", t);
        taken += quick_agrees(*loaded, d / "candidate");
    }
    EXPECT_GT(taken, 0) << "some damage leaves a plain list (a digit for a digit)";
}

/* The day-D identifiers of vehicles.txt, the one of the k-th changed to name(first identifier). */
std::function<void(std::string &)> rename_vehicle(size_t k, std::function<std::string(const std::string &)> name)
{
    return [k, name](std::string &v) {
        std::vector<std::pair<size_t, size_t>> fields; /* where each day-D identifier is, and its length */
        for (size_t at = v.find("\n2026-12-06;"); at != std::string::npos; at = v.find("\n2026-12-06;", at + 1)) {
            const size_t a = v.find(';', v.find(';', at + 1) + 1) + 1;
            fields.emplace_back(a, v.find(';', a) - a);
        }
        ASSERT_LT(k, fields.size());
        v.replace(fields[k].first, fields[k].second, name(v.substr(fields[0].first, fields[0].second)));
    };
}

/* The day-D vehicles of dir's vehicles.txt listed in their file order. */
Lines listed_from_vehicles(const TempDir &dir)
{
    std::istringstream in(lireFichier(dir / "instances/day/vehicles.txt"));
    Lines lines;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("2026-12-06;", 0) != 0) continue;
        const size_t a = l.find(';', l.find(';') + 1) + 1;
        lines.emplace_back(std::to_string(lines.size() + 1), l.substr(a, l.find(';', a) - a));
    }
    return lines;
}

/* Identifiers with bytes above 127 are read as any; one that several vehicles share is left to the program's reader. */
TEST(QuickReader, Latin1AndSharedIdentifiers)
{
    const struct {
        const char *name;
        std::function<std::string(const std::string &)> identifier;
        bool taken;
    } cases[] = {
        {"Latin-1", [](const std::string &) { return std::string("V\xe9\xe8\xff"); }, true},
        {"shared", [](const std::string &first) { return first; }, false},
    };
    for (const auto &c : cases) {
        TempDir d;
        generate(d, 20, rename_vehicle(2, c.identifier));
        auto loaded = load(d);
        ASSERT_NE(nullptr, loaded) << c.name;
        const Lines lines = listed_from_vehicles(d);
        EXPECT_EQ(c.taken, loaded->permutations().find(lines[2].second) >= 0) << c.name;
        ecrireFichier(d / "candidate", text_of(lines));
        EXPECT_EQ(c.taken, quick_agrees(*loaded, d / "candidate")) << c.name;
    }
}

/* The reading ahead hands over, in order, what the reader finds in each file, and stops early without harm. */
TEST(QuickReader, ReadingAheadKeepsTheOrder)
{
    TempDir d;
    const Lines lines = generate(d, 25);
    auto loaded = load(d);
    ASSERT_NE(nullptr, loaded);
    std::vector<std::string> paths;
    std::vector<std::pair<bool, std::vector<int32_t>>> expected;
    for (int k = 0; k < 30; k++) {
        Lines l = lines;
        std::swap(l[static_cast<size_t>(k) % l.size()], l[static_cast<size_t>(k * 7) % l.size()]);
        paths.push_back(d / std::to_string(k));
        ecrireFichier(paths.back(), k % 4 != 3 ? text_of(l) : text_of(l) + "\n");
    }
    paths.push_back(d / "absent");
    for (const std::string &p : paths) {
        expected.emplace_back();
        expected.back().first = loaded->permutations().read(p, expected.back().second);
    }
    for (size_t stop : {paths.size(), size_t{3}, size_t{0}}) {
        quelto::ReadAhead ahead([&]() -> quelto::PermutationReader & { return loaded->permutations(); }, paths);
        for (size_t k = 0; k < stop; k++) {
            std::vector<int32_t> order;
            ASSERT_EQ(expected[k].first, ahead.next(order)) << paths[k];
            if (expected[k].first) {
                EXPECT_EQ(expected[k].second, order) << paths[k];
            }
        }
    }
    /* A reader that cannot be built leaves every file, in turn, to the program's reader. */
    quelto::ReadAhead without([]() -> quelto::PermutationReader & { throw std::bad_alloc(); }, paths);
    std::vector<int32_t> order;
    for (size_t k = 0; k < paths.size(); k++) EXPECT_FALSE(without.next(order)) << paths[k];
    EXPECT_FALSE(without.next(order));
}
