/*
** Example consumer of the installed moves library.
**
** quelto-moves-consumer INSTANCE_DIR SOLUTION_FILE
**
** Loads the instance folder (the four files that quelto-gen writes), checks
** on a few moves that the announced change of the mark is what applying the
** move gives, runs the solver on a small fixed move budget and writes its
** solution file.  Exit status 0 when everything agrees, 1 otherwise.
*/
#include <cstdio>
#include <exception>

#include "quelto/moves.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INSTANCE_DIR SOLUTION_FILE\n", argv[0]);
        return 1;
    }
    try {
        const quelto::Instance instance = quelto::Instance::load(quelto::InstanceFiles::in_directory(argv[1]));
        quelto::Sequence sequence(instance);
        std::printf("%s: %d vehicles, reference mark %.0f\n", instance.name().c_str(), instance.size(),
                    sequence.mark());

        const int32_t n = sequence.size();
        const quelto::Move moves[] = {quelto::Move::swap(0, n - 1), quelto::Move::shift(1, n / 2),
                                      quelto::Move::reverse(n / 4, n / 2)};
        for (const quelto::Move &move : moves) {
            const double before = sequence.mark();
            const quelto::Delta delta = sequence.delta(move);
            sequence.apply(move);
            if (sequence.mark() - before != delta.mark) {
                std::fprintf(stderr, "delta %.0f, applied %.0f\n", delta.mark, sequence.mark() - before);
                return 1;
            }
        }

        quelto::SolveOptions options;
        options.moves = 20000;
        options.seed = 7;
        const quelto::SolveResult result = quelto::solve(instance, options);
        quelto::write_solution(instance, result.order, argv[2]);
        std::printf("solver: mark %.0f after %llu moves, solution in %s\n", result.state.mark,
                    static_cast<unsigned long long>(result.moves), argv[2]);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
