/*
** The public face of the moves library: Instance and Sequence over the
** engine, with the checks that keep every call inside the engine's
** contract (positions inside the sequence, orders that are permutations).
*/
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine.h"
#include "quelto/moves.h"

namespace quelto {

namespace detail {
std::shared_ptr<const Model> load_model(const InstanceFiles &files);
std::shared_ptr<const Model> build_model(const InstanceRecords &records);
}  // namespace detail

namespace {

void check_position(int32_t pos, int32_t n, const char *what)
{
    if (pos < 0 || pos >= n)
        throw std::out_of_range(std::string(what) + ": position " + std::to_string(pos) +
                                " is outside the sequence (positions 0 to " + std::to_string(n - 1) + ")");
}

void check_vehicle(int32_t v, int32_t n)
{
    if (v < 0 || v >= n)
        throw std::out_of_range("vehicle " + std::to_string(v) + " does not exist (vehicles 0 to " +
                                std::to_string(n - 1) + ")");
}

/* std::invalid_argument unless order is a permutation of 0 .. n - 1. */
void check_permutation(std::span<const int32_t> order, int32_t n)
{
    if (order.size() != static_cast<size_t>(n))
        throw std::invalid_argument("an order of this instance has " + std::to_string(n) + " vehicles, not " +
                                    std::to_string(order.size()));
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (size_t i = 0; i < order.size(); i++) {
        const int32_t v = order[i];
        if (v < 0 || v >= n || seen[static_cast<size_t>(v)])
            throw std::invalid_argument("position " + std::to_string(i) + " of the order holds vehicle " +
                                        std::to_string(v) + ", which is outside 0 .. " + std::to_string(n - 1) +
                                        " or placed twice");
        seen[static_cast<size_t>(v)] = true;
    }
}

}  // namespace

/* ------------------------------------------------------------------------ */
/* Instance                                                                 */
/* ------------------------------------------------------------------------ */

InstanceFiles InstanceFiles::in_directory(const std::string &directory, const std::string &name)
{
    std::string dir = directory;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    InstanceFiles f;
    f.name = name;
    if (f.name.empty()) {
        const size_t slash = dir.rfind('/');
        f.name = slash == std::string::npos ? dir : dir.substr(slash + 1);
    }
    f.ratios = dir + "/ratios.txt";
    f.batch_limit = dir + "/paint_batch_limit.txt";
    f.objectives = dir + "/optimization_objectives.txt";
    f.vehicles = dir + "/vehicles.txt";
    return f;
}

Instance::Instance(std::shared_ptr<const detail::Model> model) : model_(std::move(model)) {}

Instance Instance::load(const InstanceFiles &files)
{
    return Instance(detail::load_model(files));
}

Instance Instance::build(const InstanceRecords &records)
{
    return Instance(detail::build_model(records));
}

const std::string &Instance::name() const { return model_->name; }
int32_t Instance::size() const { return model_->n; }
int32_t Instance::frozen_count() const { return model_->frozen; }
const std::vector<RatioConstraint> &Instance::constraints() const { return model_->constraints; }
int32_t Instance::high_constraint_count() const { return model_->n_high; }
const std::vector<Objective> &Instance::objectives() const { return model_->objectives; }
Weights Instance::weights() const { return model_->weights; }
int32_t Instance::batch_limit() const { return model_->batch_limit; }
bool Instance::batch_limit_checked() const { return model_->batch_checked; }
const std::vector<int32_t> &Instance::reference_order() const { return model_->reference; }
const std::vector<std::string> &Instance::notes() const { return model_->notes; }

const std::string &Instance::ident(int32_t v) const
{
    check_vehicle(v, model_->n);
    return model_->idents[static_cast<size_t>(v)];
}

int32_t Instance::colour(int32_t v) const
{
    check_vehicle(v, model_->n);
    return model_->colours[static_cast<size_t>(v)];
}

/* ------------------------------------------------------------------------ */
/* Sequence                                                                 */
/* ------------------------------------------------------------------------ */

Sequence::Sequence(const Instance &instance)
    : model_(instance.model_), engine_(std::make_unique<detail::Engine>(model_, model_->reference))
{
}

Sequence::Sequence(const Instance &instance, std::span<const int32_t> order) : model_(instance.model_)
{
    check_permutation(order, model_->n);
    engine_ = std::make_unique<detail::Engine>(model_, std::vector<int32_t>(order.begin(), order.end()));
}

Sequence::Sequence(const Sequence &other)
    : model_(other.model_), engine_(std::make_unique<detail::Engine>(*other.engine_))
{
}

Sequence &Sequence::operator=(const Sequence &other)
{
    if (this != &other) {
        model_ = other.model_;
        engine_ = std::make_unique<detail::Engine>(*other.engine_);
    }
    return *this;
}

Sequence::Sequence(Sequence &&other) noexcept = default;
Sequence &Sequence::operator=(Sequence &&other) noexcept = default;
Sequence::~Sequence() = default;

int32_t Sequence::size() const { return engine_->size(); }

Delta Sequence::swap_delta(int32_t a, int32_t b) const
{
    check_position(a, engine_->size(), "swap");
    check_position(b, engine_->size(), "swap");
    return engine_->delta_swap(a, b);
}

Delta Sequence::shift_delta(int32_t from, int32_t to) const
{
    check_position(from, engine_->size(), "shift");
    check_position(to, engine_->size(), "shift");
    return engine_->delta_shift(from, to);
}

Delta Sequence::reverse_delta(int32_t first, int32_t last) const
{
    check_position(first, engine_->size(), "reverse");
    check_position(last, engine_->size(), "reverse");
    if (first > last)
        throw std::invalid_argument("reverse: first position " + std::to_string(first) + " is after the last " +
                                    std::to_string(last));
    return engine_->delta_reverse(first, last);
}

Delta Sequence::delta(const Move &move) const
{
    switch (move.kind) {
    case Move::Kind::swap: return swap_delta(move.first, move.second);
    case Move::Kind::shift: return shift_delta(move.first, move.second);
    case Move::Kind::reverse: return reverse_delta(move.first, move.second);
    }
    throw std::invalid_argument("unknown kind of move");
}

void Sequence::apply(const Move &move)
{
    const int32_t n = engine_->size();
    switch (move.kind) {
    case Move::Kind::swap:
        check_position(move.first, n, "swap");
        check_position(move.second, n, "swap");
        engine_->apply_swap(move.first, move.second);
        return;
    case Move::Kind::shift:
        check_position(move.first, n, "shift");
        check_position(move.second, n, "shift");
        engine_->apply_shift(move.first, move.second);
        return;
    case Move::Kind::reverse:
        check_position(move.first, n, "reverse");
        check_position(move.second, n, "reverse");
        if (move.first > move.second)
            throw std::invalid_argument("reverse: first position " + std::to_string(move.first) +
                                        " is after the last " + std::to_string(move.second));
        engine_->apply_reverse(move.first, move.second);
        return;
    }
    throw std::invalid_argument("unknown kind of move");
}

SequenceState Sequence::state() const { return engine_->state(); }

std::vector<int64_t> Sequence::objectives() const
{
    std::vector<int64_t> o;
    for (size_t r = 0; r < model_->objectives.size(); r++) o.push_back(engine_->objective(r));
    return o;
}

double Sequence::mark() const { return engine_->mark(); }
bool Sequence::batches_ok() const { return engine_->long_batches() == 0; }
std::span<const int32_t> Sequence::order() const { return engine_->order(); }

}  // namespace quelto
