/*
** Instance preparation, results record and sequence evaluation.
**
** An evaluation returns its sequence as a value (quelto::EvaluatedSequence)
** that its caller owns: the order, colours and options of the sequence, its
** results record and, when asked for, where it breaks.  The reports and any
** other output are functions of that value and of the instance.
*/
#ifndef QUELTOGESDONNEES_H
#define QUELTOGESDONNEES_H

#include "Quelto.h"
#include "evaluated_sequence.h"

/* Preparation of a read instance. 0 / -1. */
int Quelto_majInstancePb(InstancePb *instance);
int mQuelto_majIndicesInInstancePb(InstancePb *instance);
int mQuelto_majPoidsObjectifsInInstancePb(InstancePb *instance);
int mQuelto_majFamillesInInstancePb(InstancePb *instance);
int mQuelto_majVehFigesInInstancePb(InstancePb *instance);
int mQuelto_majRafalesTeintesInInstancePb(InstancePb *instance);
int mQuelto_initFamille(int32_t rang, const Vehicule *premier, Famille *famille, InstancePb *instance);

/* Colour flag of family f for colour t (0 or 1), read from the family's colour. */
int mQuelto_drapeauTeinteFamille(const InstancePb *instance, int32_t f, int32_t t);

/* Results record. 0 / -1. */
int Quelto_initIndicateursSolution(InstancePb *instance, IndicateursSolution *indicateurs);

/*
** Evaluate the sequence installed on l_vehAOrdonnancer of a prepared
** instance into *sequence: its picture (order, colours, options), the
** figures of its results record (whose names and report flag are those of
** enTete) and, with detail, where it breaks.  0, or -1 when a step fails
** (internal errors reported, the sequence then holds what was found before
** the failure).
*/
int Quelto_evaluerSequence(const InstancePb *instance, const IndicateursSolution *enTete, bool detail,
                           quelto::EvaluatedSequence *sequence);

/*
** The reference sequence (installed in i_rangSeq order): evaluated into
** *sequence, its figures copied into the instance's indicateursSeqInitiale.
** 0 / -1.
*/
int Quelto_calculerIndicateursSurSeqInitiale(InstancePb *instance, quelto::EvaluatedSequence *sequence);

/*
** The candidate's sequence (installed in i_rangSeqCandidat order): every
** day-D vehicle left without a candidate rank is reported (S_MSG_ERR_0026,
** trace log then standard output, in rank order), then the sequence is
** evaluated into *sequence with the names and report flag of indicateurs,
** whose figures receive a copy.  0 / -1.
*/
int Quelto_calculerIndicateursSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs,
                                               quelto::EvaluatedSequence *sequence);

/*
** The steps of an evaluation, each on a sequence whose picture is taken,
** writing its figures into the sequence's results (and detail): 0, or -1 on
** an internal error (reported).  The violations of each priority need a day
** D long enough for every window that reaches back into day D-1.
*/
int mQuelto_calculerNbViolEcartsPrio(const InstancePb *instance, quelto::EvaluatedSequence *sequence);
int mQuelto_calculerNbViolEcartsNonPrio(const InstancePb *instance, quelto::EvaluatedSequence *sequence);
int mQuelto_verifierLongMaxRafTeintes(const InstancePb *instance, quelto::EvaluatedSequence *sequence);
int mQuelto_calculerNbPurges(const InstancePb *instance, quelto::EvaluatedSequence *sequence);

/*
** The paint colour batches of a sequence, the one rule that the evaluation,
** the lower bound of colour changes and the reports share: a batch is a
** maximal run of consecutive vehicles of one colour within teintes[0..n-1]
** (day D only: a batch that continues the colour of the vehicle before the
** sequence starts at position 0 all the same), and it starts with a colour
** change when its colour differs from the vehicle before it, the first one
** compared with teinteAvant.  f(first, length, colour, change) is called for
** each batch in sequence order.
*/
template <typename F>
void mQuelto_pourChaqueRafale(const int32_t *teintes, int32_t n, int32_t teinteAvant, F &&f)
{
    int32_t debut = 0;
    for (int32_t i = 1; i <= n; i++) {
        if (i < n && teintes[i] == teintes[debut]) continue;
        f(debut, i - debut, teintes[debut], debut > 0 || teintes[0] != teinteAvant);
        debut = i;
    }
}

/*
** Each byte value spread over eight bytes, bit b of the index becoming byte
** b (0 or 1): what the window counter and the report's marks use to handle
** eight positions of a row of option bits at a time.
*/
struct OctetsDesBits {
    uint64_t v[256];
    constexpr OctetsDesBits() : v()
    {
        for (int o = 0; o < 256; o++)
            for (int b = 0; b < 8; b++) v[o] |= static_cast<uint64_t>(o >> b & 1) << (8 * b);
    }
};
inline constexpr OctetsDesBits QUELTO_OCTETS_DES_BITS{};

/* Vehicle comparators (negative, 0, positive as a comes before, with, after b). */
int mQuelto_comparerVehTeinte(const void *a, const void *b);
int mQuelto_comparerVehEcarts(const void *a, const void *b);
int mQuelto_comparerVehTeinteEcarts(const void *a, const void *b);
int mQuelto_comparerVehRangSeq(const void *a, const void *b);
int mQuelto_comparerVehIdent(const void *a, const void *b);
int mQuelto_comparerVehRangSeqCandidat(const void *a, const void *b);

/* The two constraint counts read by the flag comparators (set by preparation). */
extern int32_t g_QueltoNbEcartsPrio;
extern int32_t g_QueltoNbEcartsNonPrio;

#endif
