/*
** Reading, preparing and evaluating the reference of one instance (see
** instance.h).
*/
#include "instance.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "list.h"
#include "util_string.h"

namespace quelto {

namespace {

/* Copy text into a path field of the instance record; false when it does not fit. */
bool copy_path(char (&field)[QUELTO_LONG_CHEMIN + 1], const std::string &text)
{
    if (text.size() > QUELTO_LONG_CHEMIN) {
        std::fprintf(stderr, "quelto: path too long (%zu characters, %d at most): %s\n", text.size(),
                     QUELTO_LONG_CHEMIN, text.c_str());
        return false;
    }
    og_strncpyz(field, text.c_str(), QUELTO_LONG_CHEMIN);
    return true;
}

}  // namespace

std::unique_ptr<LoadedInstance> LoadedInstance::load(const InstancePaths &files, bool detail)
{
    std::unique_ptr<LoadedInstance> loaded = read(files, detail);
    if (loaded == nullptr || !loaded->evaluate_reference()) return nullptr;
    return loaded;
}

std::unique_ptr<LoadedInstance> LoadedInstance::read(const InstancePaths &files, bool detail)
{
    std::unique_ptr<LoadedInstance> loaded(new LoadedInstance());
    loaded->name_ = files.name;
    loaded->detail_ = detail;
    loaded->record_ = new InstancePb{};
    InstancePb &pb = *loaded->record_;
    og_strncpyz(pb.s_nomInstance, files.name.c_str(), QUELTO_LONG_NOM_INSTANCE);
    if (!copy_path(pb.s_fichEcartsCriteres, files.ratios) || !copy_path(pb.s_fichLongMaxRafTeintes, files.paint) ||
        !copy_path(pb.s_fichObjectifOptim, files.objectives) || !copy_path(pb.s_fichVehicules, files.vehicles))
        return nullptr;
    if (Quelto_lireFichiersEtMajInstancePb(&pb) != 0 || Quelto_majInstancePb(&pb) != 0) return nullptr;
    loaded->identifiers_ = PermutationReader::identifiers(pb.l_vehAOrdonnancer, pb.i_longFilm);
    return loaded;
}

bool LoadedInstance::evaluate_reference()
{
    InstancePb &pb = *record_;
    list_trier(&pb.l_vehAOrdonnancer, mQuelto_comparerVehRangSeq);
    if (Quelto_evaluerSequence(&pb, &pb.indicateursSeqInitiale, detail_, &reference_) != 0) return false;
    og_strncpyz(reference_.results.s_nomInstance, name_.c_str(), QUELTO_LONG_NOM_INSTANCE);
    keep_identifier_order();
    return true;
}

/* The order of the sort by identifier from the reference order, as every candidate's reading starts from it. */
void LoadedInstance::keep_identifier_order()
{
    LIST *l = &record_->l_vehAOrdonnancer;
    list_trier(l, mQuelto_comparerVehIdent);
    identifier_order_.resize(static_cast<size_t>(record_->i_longFilm));
    if (list_rangs_trie(l, identifier_order_.data()) != 1) throw std::bad_alloc();
}

PermutationReader &LoadedInstance::permutations()
{
    if (permutations_ == nullptr) permutations_ = std::make_unique<PermutationReader>(identifiers_);
    return *permutations_;
}

void LoadedInstance::prepare_candidate()
{
    /* The order is a permutation of the ranks: only memory can be refused. */
    if (list_installer_ordre(&record_->l_vehAOrdonnancer, mQuelto_comparerVehIdent, identifier_order_.data()) != 1)
        throw std::bad_alloc();
}

}  // namespace quelto
