/*
** quelto: evaluates many candidate sequences of many instances in one run,
** with the marks of exeQuelto to the last violation, and writes results that
** a program can read (CSV, JSON) or a person can (a text table).
**
**     quelto evaluate --instance DIR [SOLUTION ...]
**     quelto evaluate --ini FILE
**     quelto evaluate --root ROOT --results DIR [--results DIR ...] [INSTANCE ...]
**     quelto solve --instance DIR | --ini FILE --seconds S [--moves K] [--seed N] --out FILE
**
** Each instance is read once by the program's own readers and its reference
** evaluated once; every candidate is then evaluated against that reading as
** exeQuelto's run would evaluate it (see instance.h).  `solve` runs the
** baseline solver of the moves library and writes its sequence as a solution
** file that exeQuelto and `evaluate` read.  Exit status: 0 when
** everything was evaluated and every candidate is valid, 1 when a candidate
** is invalid or its file missing or unusable, 2 for a usage error, 3 when an
** instance cannot be read (the readers' message on standard error), 4 when
** the results cannot be written.  A higher cause wins: 4, 3, 2, 1.
*/
#include <malloc.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "batch.h"
#include "commande_unix.h"
#include "html.h"
#include "quelto/moves.h"
#include "output.h"
#include "sources.h"
#include "traces.h"
#include "writers.h"

#ifndef QUELTO_VERSION
#define QUELTO_VERSION "unknown"
#endif

namespace {

constexpr int OK = 0, INVALID = 1, USAGE = 2, UNREADABLE = 3, UNWRITABLE = 4;

/* What `quelto evaluate` was asked for. */
struct EvaluateOptions {
    std::string instance, ini, root, out;
    std::vector<std::string> results, positional;
    quelto::FileNames names;
    std::string format = "text";
    std::string html;
    bool windows = false;
};

/* The batch that the options describe; UsageError when they describe none or several. */
std::vector<quelto::BatchEntry> batch_of(const EvaluateOptions &o)
{
    const int layouts = !o.instance.empty() + !o.ini.empty() + !o.root.empty();
    if (layouts != 1) throw quelto::UsageError("give one of --instance, --ini and --root");
    if (!o.results.empty() && o.root.empty()) throw quelto::UsageError("--results goes with --root");
    if (!o.ini.empty()) {
        if (!o.positional.empty()) throw quelto::UsageError("--ini takes its solution file from the settings");
        return {quelto::entry_of_settings(o.ini)};
    }
    if (!o.instance.empty()) return {quelto::entry_of_folder(o.instance, o.names, o.positional)};
    if (o.results.empty()) throw quelto::UsageError("--root needs at least one --results folder");
    return quelto::entries_of_root(o.root, o.results, o.positional, o.names);
}

/* The status a result adds to the run's: 3 for an instance that cannot be read, 1 for an invalid candidate. */
int status_of(const quelto::InstanceResult &r)
{
    if (!r.instance) return UNREADABLE;
    for (const quelto::SequenceResult &s : r.sequences)
        if (!s.reference && !s.valid) return INVALID;
    return OK;
}

int evaluate(const EvaluateOptions &o)
{
    const std::vector<quelto::BatchEntry> batch = batch_of(o);
    const quelto::Format format = o.format == "csv" ? quelto::Format::csv
                                  : o.format == "json" ? quelto::Format::json
                                                       : quelto::Format::text;
    quelto::Output output(o.out);
    std::unique_ptr<quelto::Output> picture_file = o.html.empty() ? nullptr : std::make_unique<quelto::Output>(o.html);
    std::vector<std::unique_ptr<quelto::Writer>> writers;
    writers.push_back(quelto::make_writer(format, output.stream(), o.windows));
    if (picture_file) writers.push_back(quelto::make_html_writer(picture_file->stream()));
    const quelto::Shown shown{o.windows || picture_file != nullptr, picture_file != nullptr};
    int status = OK;
    {
        quelto::Progress progress("instances", batch.size());
        for (auto &w : writers) w->begin();
        for (size_t i = 0; i < batch.size(); i++) {
            const quelto::InstanceResult r = quelto::evaluate_instance(batch[i].paths, batch[i].candidates, shown);
            for (const std::string &w : r.warnings) std::fprintf(stderr, "quelto: %s: %s\n", r.name.c_str(), w.c_str());
            status = std::max(status, status_of(r));
            for (auto &w : writers) w->instance(r);
            progress.step(i + 1);
        }
        for (auto &w : writers) w->end();
    }
    const bool written = output.commit();
    return written && (!picture_file || picture_file->commit()) ? status : UNWRITABLE;
}

void add_evaluate(CLI::App &app, EvaluateOptions &o, int &status)
{
    CLI::App *e = app.add_subcommand("evaluate", "Evaluate the reference and candidate sequences of instances");
    e->add_option("--instance", o.instance, "an instance folder; the SOLUTION files are its candidates");
    e->add_option("--ini", o.ini, "an exeQuelto settings file naming the instance, its files and the candidate");
    e->add_option("--root", o.root, "a folder of instance folders (the INSTANCE arguments choose some)");
    e->add_option("--results", o.results, "with --root: a folder of solution files named after the instances, "
                                          "one candidate named after the folder (repeatable)")
        ->allow_extra_args(false);
    e->add_option("--ratios", o.names.ratios, "file name of the ratio constraints")->capture_default_str();
    e->add_option("--paint", o.names.paint, "file name of the paint batch limit")->capture_default_str();
    e->add_option("--objectives", o.names.objectives, "file name of the optimisation objectives")->capture_default_str();
    e->add_option("--vehicles", o.names.vehicles, "file name of the vehicles")->capture_default_str();
    e->add_option("--format", o.format, "text, csv or json")->check(CLI::IsMember({"text", "csv", "json"}))->capture_default_str();
    e->add_option("--out", o.out, "write the results to this file (written whole, then renamed) instead of stdout");
    e->add_option("--html", o.html, "also write the picture of every sequence to this HTML file (one section per "
                                    "instance)");
    e->add_flag("--windows", o.windows, "JSON: add every window with an excess, every batch over the limit and the "
                                        "positions of the colour changes");
    e->add_option("SOLUTION_OR_INSTANCE", o.positional, "solution files (--instance) or instance names (--root)");
    e->callback([&] { status = evaluate(o); });
}

/* What `quelto solve` was asked for. */
struct SolveOptions {
    std::string instance, ini, out;
    double seconds = 0;
    uint64_t moves = 0, seed = 1;
};

/* The progress line of the solver, on standard error when it is a terminal. */
void show_progress(const quelto::SolveProgress &p)
{
    std::string objectives;
    for (int64_t v : p.objectives) objectives += (objectives.empty() ? "" : " ") + std::to_string(v);
    std::fprintf(stderr, "\r\033[K%.1f s, %llu moves: objectives %s, %lld batches over the limit%s", p.seconds,
                 static_cast<unsigned long long>(p.moves), objectives.c_str(), static_cast<long long>(p.long_batches),
                 p.finished ? "\n" : "");
    std::fflush(stderr);
}

int solve(const SolveOptions &o)
{
    if (o.instance.empty() == o.ini.empty()) throw quelto::UsageError("give one of --instance and --ini");
    if (o.seconds <= 0) throw quelto::UsageError("--seconds must be greater than 0");
    quelto::InstanceFiles files;
    if (!o.instance.empty()) {
        files = quelto::InstanceFiles::in_directory(o.instance);
    } else {
        const quelto::BatchEntry e = quelto::entry_of_settings(o.ini);
        files = quelto::InstanceFiles{e.paths.name, e.paths.ratios, e.paths.paint, e.paths.objectives, e.paths.vehicles};
    }
    quelto::Output output(o.out); /* created first: a path that cannot be written is a usage error */
    std::optional<quelto::Instance> loaded;
    try {
        loaded = quelto::Instance::load(files);
    } catch (const quelto::LoadError &e) {
        for (const std::string &m : e.core_messages()) std::fputs(m.c_str(), stderr);
        std::fprintf(stderr, "quelto: %s\n", e.what());
        return UNREADABLE;
    }
    const quelto::Instance &instance = *loaded;
    quelto::SolveOptions options;
    options.seconds = o.seconds;
    options.moves = o.moves;
    options.seed = o.seed;
    if (isatty(STDERR_FILENO) == 1) options.progress = show_progress;
    const quelto::SolveResult result = quelto::solve(instance, options);
    for (size_t i = 0; i < result.order.size(); i++)
        std::fprintf(output.stream(), "%zu;%s\n", i + 1, instance.ident(result.order[i]).c_str());
    return output.commit() ? OK : UNWRITABLE;
}

void add_solve(CLI::App &app, SolveOptions &o, int &status)
{
    CLI::App *s = app.add_subcommand("solve", "Search for a good sequence of an instance (a baseline solver)");
    s->add_option("--instance", o.instance, "the instance folder (ratios.txt, paint_batch_limit.txt, "
                                            "optimization_objectives.txt, vehicles.txt)");
    s->add_option("--ini", o.ini, "an exeQuelto settings file naming the instance and its files");
    s->add_option("--seconds", o.seconds, "the time allowed")->required();
    s->add_option("--moves", o.moves, "the moves allowed: with it, the result depends only on the seed");
    s->add_option("--seed", o.seed, "the seed of the search")->capture_default_str();
    s->add_option("--out", o.out, "the solution file to write (written whole, then renamed)")->required();
    s->callback([&] { status = solve(o); });
}

}  // namespace

int main(int argc, char **argv)
{
    preparerTasPourGrandsTableaux();
#ifdef M_ARENA_MAX
    /*
    ** One heap for both threads: the read-ahead thread's arrays then come
    ** from the heap just prepared, in large pages, rather than from an arena
    ** of its own in small ones (a fifth of a million-vehicle run).
    */
    mallopt(M_ARENA_MAX, 1);
#endif
    /* The readers' error reports go to standard error; the trace log, which would repeat them, nowhere. */
    f_set_dbg_logfile_name("/dev/null", "w");
    CLI::App app{"quelto: evaluates sequences of vehicles for an assembly line with a paint shop, many at once"};
    app.set_version_flag("--version", std::string("quelto ") + QUELTO_VERSION);
    app.require_subcommand(1);
    EvaluateOptions evaluate_options;
    SolveOptions solve_options;
    int status = OK;
    add_evaluate(app, evaluate_options, status);
    add_solve(app, solve_options, status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        const int rc = app.exit(e);
        return rc == 0 ? OK : USAGE;
    } catch (const quelto::UsageError &e) {
        std::fprintf(stderr, "quelto: %s\n", e.what());
        return USAGE;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "quelto: not enough memory\n");
        return UNREADABLE;
    }
    return status;
}
