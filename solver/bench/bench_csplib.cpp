/*
** quelto-bench-csplib: the solver over the satisfiable instances of the car
** sequencing benchmark (tests/data/csplib).
**
**   quelto-bench-csplib [--gen QUELTO_GEN] [--data CSPLIB_DIR] [--exe EXEQUELTO]
**                       [--seconds S] [--seed N] [NAME ...]
**
** Each instance is imported with `quelto-gen --csplib FILE --out DIR` (one
** high priority constraint per option, batch limit n_cars, the high priority
** violations as the only objective) into a temporary folder, loaded, and
** solved with a time limit of S seconds (10 by default); the solver stops as
** soon as it reaches 0 violations.  With --exe, the solution file is written
** and exeQuelto evaluates it; its report must agree.  Prints one line per
** instance (solved or not, seconds, moves, violations reached), then how
** many were solved.  Without NAME, the 82 instances known to be satisfiable,
** then the other instances of the data folder (none known to be
** satisfiable; each runs its whole time limit), with the counts reached.
** Defaults: quelto-gen and exeQuelto (when built) of the build folder of
** this program, the data of the source tree.  Exit status 0 when every
** satisfiable (or named) instance was solved (and checked), and exeQuelto
** agreed with the counts reached on the others.
*/
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quelto/moves.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> satisfiable()
{
    std::vector<std::string> names;
    for (int u = 60; u <= 90; u += 5)
        for (int i = 1; i <= 10; i++) {
            char name[16];
            std::snprintf(name, sizeof name, "%d-%02d", u, i);
            names.push_back(name);
        }
    for (const char *n : {"4_72", "16_81", "41_66", "26_82", "pb_200_01", "pb_200_07", "pb_300_01", "pb_300_07",
                          "pb_400_05", "pb_400_06", "pb_400_10", "dincbas10"})
        names.push_back(n);
    return names;
}

/* The instances of the data folder that satisfiable() does not list, by name. */
std::vector<std::string> others(const fs::path &data)
{
    const std::vector<std::string> known = satisfiable();
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(data / "instances")) {
        const std::string name = e.path().stem().string();
        if (e.path().extension() == ".txt" && std::find(known.begin(), known.end(), name) == known.end())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string read(const fs::path &p)
{
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int main(int argc, char **argv)
{
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    std::string gen = (build / "quelto-gen").string(), exe, data = std::string(QUELTO_SOURCE_DIR) + "/tests/data/csplib";
    double seconds = 10;
    uint64_t seed = 1;
    std::vector<std::string> names;
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--gen" && value) gen = argv[++i];
        else if (a == "--data" && value) data = argv[++i];
        else if (a == "--exe" && value) exe = argv[++i];
        else if (a == "--seconds" && value) seconds = std::atof(argv[++i]);
        else if (a == "--seed" && value) seed = std::strtoull(argv[++i], nullptr, 10);
        else if (a.rfind("--", 0) == 0) {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        } else
            names.push_back(a);
    }
    std::vector<std::string> rest;
    if (names.empty()) {
        names = satisfiable();
        rest = others(data);
    }
    if (exe.empty() && fs::exists(build / "exeQuelto")) exe = (build / "exeQuelto").string();

    char tmpl[] = "/tmp/quelto-csplib-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 2;
    const fs::path work = tmpl;
    int solved = 0, checked = 0, others_disagree = 0;
    double total = 0, slowest = 0;
    std::printf("%-10s %6s %8s %12s %10s %s\n", "instance", "cars", "solved", "seconds", "moves", "violations");
    std::vector<std::string> all = names;
    all.insert(all.end(), rest.begin(), rest.end());
    std::string reached; /* the counts reached on the other instances */
    for (size_t k = 0; k < all.size(); k++) {
        const std::string &name = all[k];
        const bool other = k >= names.size();
        if (k == names.size()) std::printf("\nnot known to be satisfiable:\n");
        const fs::path dir = work / name;
        const std::string cmd = "'" + gen + "' --csplib '" + data + "/instances/" + name + ".txt' --out '" +
                                dir.string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) {
            std::printf("%-10s import failed\n", name.c_str());
            continue;
        }
        try {
            const quelto::Instance instance = quelto::Instance::load(quelto::InstanceFiles::in_directory((dir / "instances" / name).string()));
            quelto::SolveOptions options;
            options.seconds = seconds;
            options.seed = seed;
            const quelto::SolveResult r = quelto::solve(instance, options);
            const bool ok = r.state.high_total == 0;
            if (other) {
                reached += (reached.empty() ? "" : ", ") + name + " " + std::to_string(r.state.high_total);
            } else {
                solved += ok;
                total += r.seconds;
                slowest = std::max(slowest, r.seconds);
            }
            std::string check;
            if (!exe.empty()) {
                quelto::write_solution(instance, r.order, (dir / "results" / name).string());
                const std::string run = "cd '" + dir.string() + "' && '" + exe + "' >/dev/null 2>&1";
                const std::string report = std::system(run.c_str()) == 0 ? read(dir / "results" / (name + "_candidate_report.txt")) : "";
                const std::string expected = "Total number of violations of high priority level ratio constraints = " +
                                             std::to_string(r.state.high_total) + "\n";
                const bool agree = report.find(expected) != std::string::npos;
                checked += agree && !other;
                others_disagree += !agree && other;
                check = agree ? "  (exeQuelto agrees)" : "  (exeQuelto DISAGREES)";
            }
            std::printf("%-10s %6d %8s %12.3f %10llu %lld%s\n", name.c_str(), instance.size(), ok ? "yes" : "no",
                        r.seconds, static_cast<unsigned long long>(r.moves), static_cast<long long>(r.state.high_total),
                        check.c_str());
        } catch (const std::exception &e) {
            std::printf("%-10s %s\n", name.c_str(), e.what());
        }
        std::fflush(stdout);
    }
    fs::remove_all(work);
    std::printf("\nsolved %d of %zu within %.0f s each (seed %llu); total %.2f s, slowest %.3f s\n", solved,
                names.size(), seconds, static_cast<unsigned long long>(seed), total, slowest);
    if (!exe.empty()) std::printf("exeQuelto agreed on %d of %zu\n", checked, names.size());
    if (!rest.empty())
        std::printf("the %zu others, violations reached in %.0f s each: %s\n", rest.size(), seconds, reached.c_str());
    return solved == static_cast<int>(names.size()) && (exe.empty() || checked == solved) && others_disagree == 0 ? 0 : 1;
}
