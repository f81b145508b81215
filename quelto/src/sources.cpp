/*
** The layouts of a batch turned into instances and candidates (see
** sources.h).
*/
#include "sources.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "applistd.h"

namespace fs = std::filesystem;

namespace quelto {

namespace {

/* The name of a folder or file: its last component, trailing separators aside. */
std::string name_of(const std::string &path)
{
    fs::path p(path);
    while (!p.empty() && p.filename().empty()) p = p.parent_path();
    return p.filename().string();
}

std::string join(const std::string &dir, const std::string &name)
{
    return (fs::path(dir) / name).string();
}

/* The value of a setting, or a UsageError naming it and the settings file. */
std::string setting(const char *key, const std::string &settings)
{
    const char *v = og_getenv(key);
    if (v == nullptr) throw UsageError(settings + ": setting " + key + " is not defined");
    return v;
}

/* Runs a function with the working folder set to dir, and sets it back, whatever happens. */
template <typename F>
auto in_folder(const std::string &dir, F f)
{
    const fs::path before = fs::current_path();
    std::error_code ec;
    fs::current_path(dir.empty() ? "." : dir, ec);
    if (ec) throw UsageError(dir + ": " + ec.message());
    struct Back {
        fs::path p;
        ~Back()
        {
            std::error_code e;
            fs::current_path(p, e);
        }
    } back{before};
    return f();
}

/* A path of the settings, taken from their folder when relative. */
std::string from_folder(const std::string &folder, const std::string &path)
{
    if (path.empty() || fs::path(path).is_absolute()) return path;
    return (fs::path(folder) / path).lexically_normal().string();
}

}  // namespace

BatchEntry entry_of_folder(const std::string &dir, const FileNames &names, const std::vector<std::string> &solutions)
{
    BatchEntry e;
    e.paths = InstancePaths{name_of(dir), join(dir, names.ratios), join(dir, names.paint), join(dir, names.objectives),
                            join(dir, names.vehicles)};
    for (const std::string &s : solutions) e.candidates.push_back({name_of(s), s});
    return e;
}

BatchEntry entry_of_settings(const std::string &settings)
{
    const fs::path file(settings);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    return in_folder(folder, [&] {
        if (og_add_envfile(file.filename().c_str()) != 0)
            throw UsageError(settings + ": the settings file cannot be loaded (missing, or a line without \"=\")");
        const std::string instance = setting("S_QUELTO_INSTANCE_PB_NAME", settings);
        const std::string root = setting("S_QUELTO_RACINE_PATH_NAME", settings) + instance + "/";
        BatchEntry e;
        e.paths.name = instance;
        e.paths.ratios = from_folder(folder, root + setting("S_QUELTO_ECARTS_CRITERES_FILE_NAME", settings));
        e.paths.paint = from_folder(folder, root + setting("S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME", settings));
        e.paths.objectives = from_folder(folder, root + setting("S_QUELTO_OBJECTIF_OPTIM_FILE_NAME", settings));
        e.paths.vehicles = from_folder(folder, root + setting("S_QUELTO_VEHICULES_FILE_NAME", settings));
        e.candidates.push_back({setting("S_QUELTO_CANDIDATE_NAME", settings),
                                from_folder(folder, setting("S_QUELTO_RESULT_DIRECTORY", settings) + instance)});
        return e;
    });
}

std::vector<BatchEntry> entries_of_root(const std::string &root, const std::vector<std::string> &results,
                                        const std::vector<std::string> &instances, const FileNames &names)
{
    if (!fs::is_directory(root)) throw UsageError(root + ": not a folder of instances");
    for (const std::string &r : results)
        if (!fs::is_directory(r)) throw UsageError(r + ": not a results folder");
    std::vector<std::string> chosen = instances;
    if (chosen.empty()) {
        for (const auto &d : fs::directory_iterator(root))
            if (d.is_directory()) chosen.push_back(d.path().filename().string());
        std::sort(chosen.begin(), chosen.end());
    }
    std::vector<BatchEntry> entries;
    for (const std::string &name : chosen) {
        if (!fs::is_directory(join(root, name))) throw UsageError(join(root, name) + ": no such instance folder");
        std::vector<std::string> solutions;
        for (const std::string &r : results) solutions.push_back(join(r, name));
        BatchEntry e = entry_of_folder(join(root, name), names, solutions);
        for (size_t i = 0; i < results.size(); i++) e.candidates[i].name = name_of(results[i]);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace quelto
