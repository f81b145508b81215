/*
** Reading a candidate's solution file for quelto (see solution.h): the
** program's own reader, told to hand what it meets to a receiver that notes
** the problems instead of writing exeQuelto's messages.
*/
#include "solution.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "QueltoDecodageLignesFichiers.h"
#include "commande_unix.h"
#include "list.h"

namespace quelto {

namespace {

/* The identifier of the day-D vehicle of rank rank. */
std::string identifier_of(const InstancePb &instance, int32_t rank)
{
    const Vehicule *v = static_cast<const Vehicule *>(list_element(&instance.l_vehAOrdonnancer, rank));
    assert(v != nullptr);
    return v->s_ident;
}

/* Notes what the reading meets, and where each vehicle was placed. */
class Receiver : public RecepteurSolution {
public:
    Receiver(const InstancePb &instance, SolutionProblems &problems)
        : instance_(instance), problems_(problems), line_of_rank_(static_cast<size_t>(instance.i_longFilm), 0)
    {
    }
    void identifiantVide(int64_t line, const char *position) override
    {
        problems_.ignored_lines.push_back({line, "empty identifier", position});
    }
    void rangInvalide(int64_t line, const char *identifier, const char *position) override
    {
        problems_.ignored_lines.push_back({line, "invalid position", std::string(position) + ";" + identifier});
    }
    void identifiantInconnu(int64_t line, const char *identifier) override
    {
        problems_.unknown.push_back({identifier, line});
    }
    void vehiculePlace(int64_t line, int32_t rank, int32_t position) override
    {
        line_of_rank_[static_cast<size_t>(rank)] = line;
        placed_.emplace_back(position, rank);
    }
    void deuxRangs(int64_t line, int32_t rank, int32_t, int32_t) override
    {
        problems_.repeated_vehicles.push_back({identifier_of(instance_, rank), line, line_of_rank_[static_cast<size_t>(rank)]});
    }
    void champUnique(int64_t line) override { refusal_ = "line " + std::to_string(line) + " has a single field"; }

    const std::string &refusal() const { return refusal_; }

    /* The positions given to several vehicles, and the vehicles that no line placed. */
    void note_gaps()
    {
        std::vector<int32_t> count(static_cast<size_t>(instance_.i_longFilm) + 1, 0);
        for (const auto &[position, rank] : placed_) count[static_cast<size_t>(position)]++;
        std::vector<size_t> where(count.size(), SIZE_MAX); /* by position: its entry in repeated_positions */
        for (const auto &[position, rank] : placed_) {
            if (count[static_cast<size_t>(position)] < 2) continue;
            size_t &w = where[static_cast<size_t>(position)];
            if (w == SIZE_MAX) {
                w = problems_.repeated_positions.size();
                problems_.repeated_positions.push_back({position, {}, {}});
            }
            problems_.repeated_positions[w].identifiers.push_back(identifier_of(instance_, rank));
            problems_.repeated_positions[w].lines.push_back(line_of_rank_[static_cast<size_t>(rank)]);
        }
        std::sort(problems_.repeated_positions.begin(), problems_.repeated_positions.end(),
                  [](const auto &a, const auto &b) { return a.position < b.position; });
        for (int32_t rank = 0; rank < instance_.i_longFilm; rank++)
            if (line_of_rank_[static_cast<size_t>(rank)] == 0) problems_.missing.push_back({identifier_of(instance_, rank)});
    }

private:
    const InstancePb &instance_;
    SolutionProblems &problems_;
    std::vector<int64_t> line_of_rank_;                 /* by vehicle rank: the line that placed it, 0 for none */
    std::vector<std::pair<int32_t, int32_t>> placed_;   /* (position, rank) of every vehicle placed */
    std::string refusal_;
};

/*
** Give each day-D vehicle the position at which order (by position, the
** vehicles' ranks in the list) puts it, as the program's reader of such a
** file does.
*/
void place(InstancePb &instance, const std::vector<int32_t> &order)
{
    for (size_t p = 0; p < order.size(); p++) {
        Vehicule *v = static_cast<Vehicule *>(list_element(&instance.l_vehAOrdonnancer, order[p]));
        assert(v != nullptr);
        v->i_rangSeqCandidat = static_cast<int32_t>(p) + 1;
    }
}

}  // namespace

SolutionReading read_solution(LoadedInstance &loaded, const std::string &path, const std::vector<int32_t> *listed)
{
    InstancePb &instance = loaded.record();
    SolutionReading reading;
    if (listed != nullptr) {
        place(instance, *listed);
        return reading;
    }
    if (testerExistenceFichier(path.c_str(), nullptr) != 1) {
        reading.state = SolutionState::missing;
        reading.message = "no solution file";
        return reading;
    }
    loaded.prepare_candidate();
    Receiver receiver(instance, reading.problems);
    if (Quelto_lireSolution(&instance, path.c_str(), &receiver, &loaded.context()) != 0) {
        reading.state = SolutionState::unreadable;
        reading.message = receiver.refusal().empty() ? "the file cannot be read" : receiver.refusal();
        return reading;
    }
    receiver.note_gaps();
    return reading;
}

}  // namespace quelto
