/*
** The evaluated sequence value: its storage, copies that keep the results
** record pointing at the value's own arrays, and equality.
*/
#include "evaluated_sequence.h"

#include <cstring>
#include <utility>

namespace quelto {

OptionRows::OptionRows(int32_t constraints, int32_t positions)
    : constraints_(constraints),
      positions_(positions),
      words_per_row_((static_cast<size_t>(positions) + 63) / 64),
      bits_(static_cast<size_t>(constraints) * words_per_row_, 0)
{
}

EvaluatedSequence::EvaluatedSequence() : violations_high_(1, 0), violations_low_(1, 0)
{
    reset(0, 0, 0, IndicateursSolution{});
}

EvaluatedSequence::EvaluatedSequence(const EvaluatedSequence &other)
    : order(other.order),
      colours(other.colours),
      high(other.high),
      low(other.low),
      results(other.results),
      detail(other.detail),
      violations_high_(other.violations_high_),
      violations_low_(other.violations_low_)
{
    point_results_at_arrays();
}

EvaluatedSequence::EvaluatedSequence(EvaluatedSequence &&other) noexcept
    : order(std::move(other.order)),
      colours(std::move(other.colours)),
      high(std::move(other.high)),
      low(std::move(other.low)),
      results(other.results),
      detail(std::move(other.detail)),
      violations_high_(std::move(other.violations_high_)),
      violations_low_(std::move(other.violations_low_))
{
    point_results_at_arrays();
    other.forget_arrays();
}

EvaluatedSequence &EvaluatedSequence::operator=(const EvaluatedSequence &other)
{
    if (this != &other) {
        EvaluatedSequence copy(other);
        *this = std::move(copy);
    }
    return *this;
}

EvaluatedSequence &EvaluatedSequence::operator=(EvaluatedSequence &&other) noexcept
{
    if (this == &other) return *this;
    order = std::move(other.order);
    colours = std::move(other.colours);
    high = std::move(other.high);
    low = std::move(other.low);
    results = other.results;
    detail = std::move(other.detail);
    violations_high_ = std::move(other.violations_high_);
    violations_low_ = std::move(other.violations_low_);
    point_results_at_arrays();
    other.forget_arrays();
    return *this;
}

void EvaluatedSequence::forget_positions()
{
    std::vector<int32_t>().swap(order);
    std::vector<int32_t>().swap(colours);
    high = OptionRows(high.constraints(), 0);
    low = OptionRows(low.constraints(), 0);
}

void EvaluatedSequence::reset(int32_t n, int32_t high_constraints, int32_t low_constraints,
                              const IndicateursSolution &header)
{
    order.assign(static_cast<size_t>(n), -1);
    colours.assign(static_cast<size_t>(n), 0);
    high = OptionRows(high_constraints, n);
    low = OptionRows(low_constraints, n);
    violations_high_.assign(static_cast<size_t>(high_constraints > 0 ? high_constraints : 1), 0);
    violations_low_.assign(static_cast<size_t>(low_constraints > 0 ? low_constraints : 1), 0);
    detail.reset();

    results = IndicateursSolution{};
    std::memcpy(results.s_nomInstance, header.s_nomInstance, sizeof results.s_nomInstance);
    std::memcpy(results.s_nomCandidat, header.s_nomCandidat, sizeof results.s_nomCandidat);
    results.s_nomInstance[QUELTO_LONG_NOM_INSTANCE] = '\0';
    results.s_nomCandidat[QUELTO_LONG_NOM_CANDIDAT] = '\0';
    results.i_flagRapportComplet = header.i_flagRapportComplet;
    results.i_nbPurges = -1;
    results.d_longMoyRafales = -1.0;
    results.i_flagLongMaxRafTeintesOk = 1;
    results.i_teinteRafaleTropLongue = -1;
    results.i_longRafaleTropLongue = -1;
    results.i_nbViolEcPrio = -1;
    results.i_nbViolEcNonPrio = -1;
    results.d_note = 0.0;
    point_results_at_arrays();
}

void EvaluatedSequence::point_results_at_arrays()
{
    results.i_vectNbViolEcPrio = violations_high_.data();
    results.i_vectNbViolEcNonPrio = violations_low_.data();
}

void EvaluatedSequence::forget_arrays()
{
    violations_high_.clear();
    violations_low_.clear();
    results.i_vectNbViolEcPrio = nullptr;
    results.i_vectNbViolEcNonPrio = nullptr;
}

namespace {

bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool same_results(const IndicateursSolution &a, const IndicateursSolution &b)
{
    return std::strncmp(a.s_nomInstance, b.s_nomInstance, sizeof a.s_nomInstance) == 0 &&
           std::strncmp(a.s_nomCandidat, b.s_nomCandidat, sizeof a.s_nomCandidat) == 0 &&
           a.i_flagRapportComplet == b.i_flagRapportComplet && a.i_nbPurges == b.i_nbPurges &&
           same_bits(a.d_longMoyRafales, b.d_longMoyRafales) &&
           a.i_flagLongMaxRafTeintesOk == b.i_flagLongMaxRafTeintesOk &&
           a.i_teinteRafaleTropLongue == b.i_teinteRafaleTropLongue &&
           a.i_longRafaleTropLongue == b.i_longRafaleTropLongue && a.i_nbViolEcPrio == b.i_nbViolEcPrio &&
           a.i_nbViolEcNonPrio == b.i_nbViolEcNonPrio && same_bits(a.d_note, b.d_note);
}

bool same_violations(const EvaluatedSequence &a, const EvaluatedSequence &b, Priority p)
{
    const int32_t n = a.options(p).constraints();
    return n == b.options(p).constraints() &&
           std::memcmp(a.violations(p), b.violations(p), static_cast<size_t>(n) * sizeof(int32_t)) == 0;
}

}  // namespace

bool operator==(const EvaluatedSequence &a, const EvaluatedSequence &b)
{
    return a.order == b.order && a.colours == b.colours && a.high == b.high && a.low == b.low &&
           same_results(a.results, b.results) && same_violations(a, b, Priority::high) &&
           same_violations(a, b, Priority::low) && a.detail == b.detail;
}

}  // namespace quelto
