/*
** A candidate's solution file read for one instance, with an account of
** every line that does not simply place a vehicle.
**
** The file is read as exeQuelto reads it (the same line reader, the same
** fields, numbers and identifiers cut to 30 characters, and among vehicles
** that share an identifier the one that the binary search of the
** identifier-sorted day meets), so that the candidate ranks it leaves in the
** day-D vehicles, and hence the evaluated sequence, are exeQuelto's.  Where
** exeQuelto warns and goes on, this reading notes the problem with its line
** number (the physical line of the file, from 1); where exeQuelto stops the
** run (a missing file, a line with a single field, a file that cannot be
** read), the reading says the file cannot be used.
*/
#ifndef QUELTO_SOLUTION_H
#define QUELTO_SOLUTION_H

#include <cstdint>
#include <string>
#include <vector>

#include "Quelto.h"
#include "instance.h"

namespace quelto {

/* What a solution file does that does not place each day-D vehicle once at a position of its own. */
struct SolutionProblems {
    /* A day-D vehicle that no line placed (listed in the order of the vehicles file). */
    struct Missing {
        std::string identifier;
    };
    /* A line naming no day-D vehicle. */
    struct Unknown {
        std::string identifier;
        int64_t line;
    };
    /* A position that several lines give to different vehicles (exeQuelto accepts them). */
    struct RepeatedPosition {
        int32_t position;
        std::vector<std::string> identifiers;
        std::vector<int64_t> lines;
    };
    /* A line placing a vehicle that an earlier line placed already (the first stands). */
    struct RepeatedVehicle {
        std::string identifier;
        int64_t line;
        int64_t first_line;
    };
    /* A line that places nothing: an invalid position or an empty identifier. */
    struct IgnoredLine {
        int64_t line;
        std::string reason;
        std::string text;
    };

    std::vector<Missing> missing;
    std::vector<Unknown> unknown;
    std::vector<RepeatedPosition> repeated_positions;
    std::vector<RepeatedVehicle> repeated_vehicles;
    std::vector<IgnoredLine> ignored_lines;

    /* Whether the file places every vehicle exactly once, at distinct positions, naming no unknown vehicle. */
    bool places_every_vehicle_once() const
    {
        return missing.empty() && unknown.empty() && repeated_positions.empty() && repeated_vehicles.empty();
    }
};

enum class SolutionState { read, missing, unreadable };

struct SolutionReading {
    SolutionState state = SolutionState::read;
    std::string message; /* why the file cannot be used */
    SolutionProblems problems;
};

/*
** Read the solution file at path into the candidate ranks of the day-D
** vehicles of instance.  listed is the quick reader's order of that file
** (see permutation.h) when it took the file, else null: the file then goes
** through the program's own reader (the day sorted by identifier from the
** reference order first, every rank set to -1), which notes its problems.
** Both leave the same ranks.  Writes nothing to any stream.
*/
SolutionReading read_solution(LoadedInstance &instance, const std::string &path, const std::vector<int32_t> *listed);

}  // namespace quelto

#endif
