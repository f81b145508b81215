/*
** Where the instances and candidates of a batch come from, as the command
** line gives them: one instance folder and solution files, an exeQuelto
** settings file, or a root of instance folders and result folders laid out
** as exeQuelto lays them out.  Every layout is turned into the same list of
** instances, each with its files and its candidates.
*/
#ifndef QUELTO_SOURCES_H
#define QUELTO_SOURCES_H

#include <stdexcept>
#include <string>
#include <vector>

#include "batch.h"
#include "instance.h"

namespace quelto {

/* A command line that cannot be followed: the message says why (exit status 2). */
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/* The file names of an instance folder. */
struct FileNames {
    std::string ratios = "ratios.txt";
    std::string paint = "paint_batch_limit.txt";
    std::string objectives = "optimization_objectives.txt";
    std::string vehicles = "vehicles.txt";
};

/* One instance of a batch with its candidates. */
struct BatchEntry {
    InstancePaths paths;
    std::vector<Candidate> candidates;
};

/* The instance of folder dir (named after it) and the solution files, each a candidate named after its file. */
BatchEntry entry_of_folder(const std::string &dir, const FileNames &names, const std::vector<std::string> &solutions);

/*
** The instance, files, solution and candidate that an exeQuelto settings
** file names (read as exeQuelto reads it: includes, "$" references, the
** environment for what the file does not define).  Relative paths are taken
** from the settings file's folder, as exeQuelto run there would take them.
** Throws UsageError when the file cannot be loaded or a setting is missing.
*/
BatchEntry entry_of_settings(const std::string &settings);

/*
** Every instance folder of root (or those named), in name order, each with
** one candidate per result folder, named after the folder, whose solution
** file is the folder's file named after the instance.  Throws UsageError
** when root or a result folder is not a folder, or a named instance is not
** in root.
*/
std::vector<BatchEntry> entries_of_root(const std::string &root, const std::vector<std::string> &results,
                                        const std::vector<std::string> &instances, const FileNames &names);

}  // namespace quelto

#endif
