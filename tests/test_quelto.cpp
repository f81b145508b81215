/*
** quelto against exeQuelto: every figure of quelto's JSON equals the figure
** of exeQuelto's reports on the same files (generated days with faults in
** their solutions, the CSPLib instances, the shipped example), the windows
** list equals a plain recount from the files, and the command line keeps its
** promises (statuses, messages, the results file written whole).
*/
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <zlib.h>

#include "testutil.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace testutil;

namespace {

const std::string BIN = fs::path(QUELTO_EXE).parent_path().string();

struct Outcome {
    int status;
    std::string out, err;
};

/* quelto with args (a shell fragment) in dir. */
Outcome quelto(const std::string &dir, const std::string &args)
{
    const std::string cmd = "cd '" + dir + "' && '" + BIN + "/quelto' " + args + " >.out 2>.err </dev/null";
    const int rc = std::system(cmd.c_str());
    Outcome r{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, lireFichier(dir + "/.out"), lireFichier(dir + "/.err")};
    fs::remove(dir + "/.out");
    fs::remove(dir + "/.err");
    return r;
}

/* The figures of one exeQuelto report, as the report prints them. */
struct Figures {
    std::vector<int> high, low;
    int total_high = -1, total_low = -1, changes = -1;
    std::string mean, mark;
    bool batch_ok = true;
    int long_colour = -1, long_length = -1;
};

Figures figures_of_report(const std::string &text)
{
    Figures f;
    std::smatch m;
    static const std::regex constraint(R"(\n[^\n]* -?\d+/-?\d+ : (-?\d+) \(ratio)");
    const size_t low_at = text.find("Violations of low priority");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), constraint); it != std::sregex_iterator(); ++it)
        (static_cast<size_t>(it->position()) < low_at ? f.high : f.low).push_back(std::stoi((*it)[1]));
    auto number = [&](const char *re, int &out) {
        if (std::regex_search(text, m, std::regex(re))) out = std::stoi(m[1]);
    };
    number(R"(Total number of violations of high priority level ratio constraints = (-?\d+))", f.total_high);
    number(R"(Total number of violations of low priority level ratio constraints = (-?\d+))", f.total_low);
    number(R"(Total number of paint color changes = (-?\d+))", f.changes);
    if (std::regex_search(text, m, std::regex(R"(Median length of paint color batches = (\S+))"))) f.mean = m[1];
    if (std::regex_search(text, m, std::regex(R"(Mark of the solution = (\S+))"))) f.mark = m[1];
    if (std::regex_search(text, m, std::regex(R"(paint color \((-?\d+)\) has a length of \((-?\d+)\))"))) {
        f.batch_ok = false;
        f.long_colour = std::stoi(m[1]);
        f.long_length = std::stoi(m[2]);
    }
    return f;
}

std::string printed(double d)
{
    char t[64];
    std::snprintf(t, sizeof t, "%f", d);
    return t;
}

/* A sequence of quelto's JSON shows the figures of the report (those a short report prints). */
void expect_same_figures(const json &s, const Figures &f)
{
    EXPECT_EQ(f.batch_ok, s["batch_limit"]["ok"].get<bool>());
    if (!f.batch_ok) {
        EXPECT_EQ(f.long_colour, s["batch_limit"]["first_over"]["colour"].get<int>());
        EXPECT_EQ(f.long_length, s["batch_limit"]["first_over"]["length"].get<int>());
    }
    if (f.mark.empty()) return; /* a short report */
    std::vector<int> high, low;
    for (const json &c : s["high"]["constraints"]) high.push_back(c["violations"]);
    for (const json &c : s["low"]["constraints"]) low.push_back(c["violations"]);
    EXPECT_EQ(f.high, high);
    EXPECT_EQ(f.low, low);
    EXPECT_EQ(f.total_high, s["high"]["total"].get<int>());
    EXPECT_EQ(f.total_low, s["low"]["total"].get<int>());
    EXPECT_EQ(f.changes, s["colour_changes"].get<int>());
    EXPECT_EQ(f.mean, s["mean_batch_length"].is_null() ? printed(INFINITY) : printed(s["mean_batch_length"]));
    EXPECT_EQ(f.mark, printed(s["mark"]));
}

/* The lines of a file split at ";". */
std::vector<std::vector<std::string>> rows(const std::string &path)
{
    std::vector<std::vector<std::string>> r;
    std::istringstream in(lireFichier(path));
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        std::vector<std::string> f;
        std::istringstream l(line);
        for (std::string x; std::getline(l, x, ';');) f.push_back(x);
        r.push_back(f);
    }
    return r;
}

/*
** The windows with an excess of a generated day (distinct ranks, a solution
** placing every vehicle once), recounted from its files: the frozen
** vehicles in rank order, then the candidate's sequence; each window of q
** consecutive vehicles holding the last frozen one, and each window
** starting in day D at 1 .. N - p (cut at the end of the day).
*/
std::multiset<std::string> recounted_windows(const std::string &dir)
{
    const auto ratios = rows(dir + "/instances/demo/ratios.txt"), vehicles = rows(dir + "/instances/demo/vehicles.txt");
    const auto solution = rows(dir + "/results/demo");
    std::map<int, std::vector<int>> frozen;      /* by rank: flags */
    std::map<std::string, std::vector<int>> day; /* by identifier: flags */
    const std::string d1 = vehicles[1][0];
    for (size_t i = 1; i < vehicles.size(); i++) {
        std::vector<int> flags;
        for (size_t k = 4; k < vehicles[i].size(); k++) flags.push_back(vehicles[i][k] == "1");
        if (vehicles[i][0] == d1) frozen[std::stoi(vehicles[i][1])] = flags;
        else day[vehicles[i][2]] = flags;
    }
    std::vector<std::vector<int>> seq(solution.size());
    for (const auto &line : solution) seq[static_cast<size_t>(std::stoi(line[0]) - 1)] = day.at(line[1]);
    int max_q = 1;
    for (size_t c = 1; c < ratios.size(); c++) max_q = std::max(max_q, std::stoi(ratios[c][0].substr(ratios[c][0].find('/') + 1)));
    const int history = std::min(max_q - 1, static_cast<int>(frozen.size()));
    std::vector<std::vector<int>> before;
    for (auto it = std::prev(frozen.end(), history); history > 0; ++it) {
        before.push_back(it->second);
        if (std::next(it) == frozen.end()) break;
    }
    std::multiset<std::string> windows;
    std::map<bool, int> place;
    const long n = static_cast<long>(seq.size()), h = static_cast<long>(before.size());
    for (size_t c = 1; c < ratios.size(); c++) {
        const bool high = ratios[c][1] == "1";
        const int k = place[high]++, p = std::stoi(ratios[c][0]), q = std::stoi(ratios[c][0].substr(ratios[c][0].find('/') + 1));
        const size_t flag = high ? static_cast<size_t>(k) : static_cast<size_t>(k) + std::count_if(ratios.begin() + 1, ratios.end(), [](const auto &r) { return r[1] == "1"; });
        auto carries = [&](long pos) { return pos >= 0 ? seq[static_cast<size_t>(pos)][flag] : pos >= -h ? before[static_cast<size_t>(h + pos)][flag] : 0; };
        auto add = [&](long first, long last) {
            int count = 0;
            for (long t = first; t <= last; t++) count += carries(t);
            if (count > p)
                windows.insert(std::string(high ? "high " : "low ") + std::to_string(k + 1) + " " + std::to_string(first + 1) + " " +
                               std::to_string(last + 1) + " " + std::to_string(count) + " " + std::to_string(count - p));
        };
        for (long first = -(q - 1); first < 0; first++) add(first, first + q - 1);
        for (long first = 0; first < n - p; first++) add(first, std::min<long>(first + q, n) - 1);
    }
    return windows;
}

std::multiset<std::string> json_windows(const json &s)
{
    std::multiset<std::string> w;
    for (const json &x : s["windows"])
        w.insert(x["priority"].get<std::string>() + " " + std::to_string(x["constraint"].get<int>()) + " " +
                 std::to_string(x["start"].get<int>()) + " " + std::to_string(x["end"].get<int>()) + " " +
                 std::to_string(x["count"].get<int>()) + " " + std::to_string(x["excess"].get<int>()));
    return w;
}

/* Run exeQuelto and quelto --ini in dir and compare both sequences' figures. */
json compare_with_exequelto(const std::string &dir, const std::string &instance,
                            const std::string &reference = "_reference_report.txt",
                            const std::string &candidate = "_candidate_report.txt")
{
    const Execution e = lancerExe(dir);
    const Outcome q = quelto(dir, "evaluate --ini exeQuelto.ini --format json --windows");
    EXPECT_EQ(e.status == 0 ? 0 : 3, q.status == 1 ? 0 : q.status) << q.err;
    if (e.status != 0) return json();
    const json doc = json::parse(q.out);
    const json &seqs = doc["instances"][0]["sequences"];
    expect_same_figures(seqs[0], figures_of_report(lireFichier(dir + "/results/" + instance + reference)));
    expect_same_figures(seqs[1], figures_of_report(lireFichier(dir + "/results/" + instance + candidate)));
    return doc;
}

/* Lines of the candidate's solution changed as a faulty solver might: ties, gaps, repeats, unknowns. */
void spoil(const std::string &file, std::mt19937 &rng)
{
    auto lines = rows(file);
    std::string text;
    for (size_t i = 0; i < lines.size(); i++) {
        const unsigned r = rng() % 40;
        if (r == 0) continue;                                             /* a vehicle missing */
        if (r == 1) lines[i][0] = lines[(i + 1) % lines.size()][0];       /* two at one position */
        if (r == 2) text += lines[i][0] + ";UNKNOWN" + std::to_string(i) + "\n";
        if (r == 3) text += "0;" + lines[i][1] + "\n";                    /* an invalid position */
        if (r == 4) text += lines[i][0] + ";" + lines[i][1] + "\n";       /* placed twice */
        text += lines[i][0] + ";" + lines[i][1] + "\n";
    }
    ecrireFichier(file, text);
}

}  // namespace

/* Generated days, their candidates spoilt or not: the reports' figures, and the windows of a plain recount. */
TEST(Quelto, FiguresOfGeneratedDaysAreThoseOfExeQuelto)
{
    std::mt19937 rng(2026);
    for (int day = 0; day < 24; day++) {
        TempDir d;
        const int n = 5 + static_cast<int>(rng() % 300), q = 2 + static_cast<int>(rng() % 12);
        const std::string objectives[] = {"high,low,paint", "paint,high", "low,high", "high"};
        const std::string cmd = BIN + "/quelto-gen --seed " + std::to_string(day) + " --vehicles " + std::to_string(n) +
                                " --frozen " + std::to_string(1 + rng() % 12) + " --high " + std::to_string(rng() % 5) +
                                " --low " + std::to_string(rng() % 4) + " --max-q " + std::to_string(std::min(q, n)) +
                                " --colours " + std::to_string(1 + rng() % 6) + " --batch-limit " + std::to_string(1 + rng() % 5) +
                                " --objectives " + objectives[day % 4] + " --solution random --out '" + d.path() + "' >/dev/null";
        ASSERT_EQ(0, std::system(cmd.c_str()));
        const bool spoilt = day % 2 == 1;
        if (spoilt) spoil(d / "results/demo", rng);
        SCOPED_TRACE("day " + std::to_string(day));
        const json doc = compare_with_exequelto(d.path(), "demo");
        if (doc.is_null() || spoilt) continue;
        const json &candidate = doc["instances"][0]["sequences"][1];
        EXPECT_EQ(recounted_windows(d.path()), json_windows(candidate));
    }
}

/* The end-to-end cases that run through, the shipped example, CSPLib instances with their published sequences. */
TEST(Quelto, FiguresOfTheCasesTheExampleAndCsplibAreThoseOfExeQuelto)
{
    for (const char *name : {"complete", "batch_limit", "missing_vehicle", "ties"}) {
        TempDir d;
        const std::string e2e = QUELTO_TEST_DATA "/e2e/";
        for (const std::string &c : {lireFichier(e2e + name + "/base"), std::string(name)})
            if (!c.empty() && fs::exists(e2e + c.substr(0, c.find('\n')) + "/input"))
                fs::copy(e2e + c.substr(0, c.find('\n')) + "/input", d.path(),
                         fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        SCOPED_TRACE(name);
        EXPECT_FALSE(compare_with_exequelto(d.path(), std::string(name) == "ties" ? "ties" : "tiny", "_ref.txt", "_cand.txt").is_null());
    }
    TempDir demo;
    fs::copy(QUELTO_TEST_DATA "/../../examples/demo", demo.path(), fs::copy_options::recursive);
    EXPECT_FALSE(compare_with_exequelto(demo.path(), "demo").is_null());
    for (const char *name : {"4_72", "90-10", "dincbas10"}) {
        TempDir d;
        const std::string data = QUELTO_TEST_DATA "/csplib/";
        const std::string seq = std::string(name) == "dincbas10" ? data + "solutions/dincbas10.seq" : data + "solutions/computed/" + name + ".seq";
        ASSERT_EQ(0, std::system((BIN + "/quelto-gen --csplib " + data + "instances/" + name + ".txt --sequence " + seq +
                                  " --out '" + d.path() + "' >/dev/null").c_str()));
        const json doc = compare_with_exequelto(d.path(), name);
        ASSERT_FALSE(doc.is_null());
        EXPECT_EQ(0, doc["instances"][0]["sequences"][1]["high"]["total"].get<int>()) << name;
    }
}

/* The command line: statuses, messages, layouts, and a results file never left half written. */
TEST(Quelto, CommandLine)
{
    TempDir d;
    ASSERT_EQ(0, std::system((BIN + "/quelto-gen --seed 3 --vehicles 30 --out '" + d.path() + "' >/dev/null").c_str()));
    fs::copy(d / "results/demo", d / "good");
    ecrireFichier(d / "bad", "1;V0001\n");
    ecrireFichier(d / "single", "1;V0001\n2\n");
    ecrireFichier(d / "kept.csv", "earlier results\n");
    fs::create_directories(d / "root/other");
    fs::create_directories(d / "others");
    ecrireFichier(d / "others/demo", "1;V0001\n");
    fs::copy(d / "instances/demo", d / "root/demo");
    const struct {
        const char *args;
        int status;
        const char *in_out, *in_err;
    } cases[] = {
        {"--version", 0, "quelto 1.", ""},
        {"--help", 0, "evaluate", ""},
        {"evaluate --help", 0, "--windows", ""},
        {"", 2, "", "subcommand is required"},
        {"evaluate", 2, "", "give one of --instance, --ini and --root"},
        {"evaluate --instance instances/demo --ini exeQuelto.ini", 2, "", "give one of"},
        {"evaluate --instance instances/demo --format xml", 2, "", "--format"},
        {"evaluate --instance instances/demo good", 0, "demo      good", ""},
        {"evaluate --instance instances/demo good bad nothing --format csv", 1, "nothing,", ""},
        {"evaluate --instance instances/demo single --format json", 1, "line 2 has a single field", ""},
        {"evaluate --instance instances/demo bad --out kept.csv --format csv", 1, "", ""},
        {"evaluate --instance instances/demo good --out no/such/dir/x.csv", 2, "", "no/such/dir/x.csv"},
        {"evaluate --instance root/other good", 3, "instance cannot be read", "S_MSG_ERR_0013"},
        {"evaluate --ini exeQuelto.ini --format csv", 0, "demo,greedy,results/demo,false,yes", ""},
        {"evaluate --ini missing.ini", 2, "", "missing.ini"},
        {"evaluate --root root --results results --results others demo --format csv", 1, "demo,others,", ""},
        {"evaluate --root root --results results nope", 2, "", "no such instance"},
    };
    for (const auto &c : cases) {
        const Outcome r = quelto(d.path(), c.args);
        EXPECT_EQ(c.status, r.status) << c.args << "\n" << r.err;
        EXPECT_NE(std::string::npos, r.out.find(c.in_out)) << c.args << "\n" << r.out;
        EXPECT_NE(std::string::npos, r.err.find(c.in_err)) << c.args << "\n" << r.err;
    }
    EXPECT_NE(std::string::npos, lireFichier(d / "kept.csv").find("demo,bad,bad,false,no")); /* replaced whole */
    for (const auto &f : fs::directory_iterator(d.path()))
        EXPECT_EQ(std::string::npos, f.path().filename().string().find(".kept.csv")) << "temporary file left";
    /* exeQuelto's own arguments: --help and --version touch no file, anything else is refused. */
    for (const auto &[arg, status] : std::vector<std::pair<std::string, int>>{{"--help", 0}, {"--version", 0}, {"-x", 2}}) {
        const int rc = std::system(("cd '" + d.path() + "' && " QUELTO_EXE " " + arg + " >/dev/null 2>&1").c_str());
        EXPECT_EQ(status, WEXITSTATUS(rc)) << arg;
        EXPECT_FALSE(existe(d / "logs/exeQuelto.log") || existe(d / "results/demo_reference_report.txt")) << arg;
    }
}

namespace {

/* The browser that renders the picture: Debian's headless shell, or Chromium itself. */
std::string browser()
{
    for (const char *b : {"/usr/bin/chromium-headless-shell", "/usr/bin/chromium"})
        if (existe(b)) return b;
    return "";
}

std::string in_browser(const std::string &profile, const std::string &what)
{
    return std::string("'") + browser() + "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
           "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" + profile +
           "' --window-size=1400,1000 " + what + " 2>/dev/null";
}

size_t occurrences(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

/* The distinct byte values of a PNG's pixels (its IDAT chunks inflated, filter bytes and all). */
size_t distinct_pixel_bytes(const std::string &png)
{
    std::string idat;
    for (size_t at = 8; at + 8 <= png.size();) {
        const uint32_t length = static_cast<uint32_t>(static_cast<unsigned char>(png[at])) << 24 |
                                static_cast<uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8 |
                                static_cast<unsigned char>(png[at + 3]);
        if (png.compare(at + 4, 4, "IDAT") == 0) idat += png.substr(at + 8, length);
        at += 12 + length;
    }
    std::vector<unsigned char> pixels(64 << 20);
    uLongf size = pixels.size();
    if (uncompress(pixels.data(), &size, reinterpret_cast<const Bytef *>(idat.data()), idat.size()) != Z_OK) return 0;
    std::set<unsigned char> seen(pixels.begin(), pixels.begin() + static_cast<ptrdiff_t>(size));
    return seen.size();
}

}  // namespace

/*
** The picture in a real browser: the shipped example's page holds one strip per
** constraint and sequence and as many shaded windows as the JSON lists, and
** its screenshot is not blank.  A missing browser is a failure.
*/
TEST(Quelto, PictureInABrowser)
{
    ASSERT_NE("", browser()) << "no headless browser: install chromium-headless-shell";
    TempDir d;
    fs::copy(QUELTO_TEST_DATA "/../../examples/demo", d.path(), fs::copy_options::recursive);
    const Outcome q = quelto(d.path(), "evaluate --ini exeQuelto.ini --format json --windows --html picture.html");
    ASSERT_EQ(0, q.status) << q.err;
    const json doc = json::parse(q.out);
    size_t strips = 0, windows = 0;
    for (const json &s : doc["instances"][0]["sequences"]) {
        strips += s["high"]["constraints"].size() + s["low"]["constraints"].size();
        windows += s["windows"].size();
    }
    ASSERT_EQ(0, std::system((in_browser(d / "profile", "--dump-dom 'file://" + (d / "picture.html") + "'") + " > '" +
                              (d / "dom.html") + "'").c_str()));
    const std::string dom = lireFichier(d / "dom.html");
    EXPECT_EQ(strips, occurrences(dom, "<g class=\"strip\""));
    EXPECT_EQ(windows, occurrences(dom, "class=\"window"));
    EXPECT_EQ(2u, occurrences(dom, "<figure class=\"sequence\""));
    ASSERT_EQ(0, std::system((in_browser(d / "profile", "--screenshot='" + (d / "shot.png") + "' 'file://" +
                                                         (d / "picture.html") + "'") + " >/dev/null").c_str()));
    EXPECT_GT(distinct_pixel_bytes(lireFichier(d / "shot.png")), 16u) << "blank screenshot";
}
