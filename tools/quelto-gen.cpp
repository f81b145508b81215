/*
** quelto-gen: writes a complete working directory for exeQuelto from a seed.
**
** The directory holds the settings file exeQuelto.ini (with relative
** directories, so the program runs from inside it), an instance made of the
** four instance files, the solution file of a candidate, and the empty
** folder that receives the trace log:
**
**     DIR/exeQuelto.ini
**     DIR/instances/NAME/{ratios.txt, paint_batch_limit.txt,
**                         optimization_objectives.txt, vehicles.txt}
**     DIR/results/NAME              the candidate's solution (rank;ident)
**     DIR/logs/
**
** The instance: ratio constraints p/q with 1 <= p < q <= max-q, each
** vehicle carrying an option with a probability of about 0.8 p/q (so the
** demand stays under what the ratio allows and the instance is plausible),
** colours drawn uniformly, frozen vehicles of day D-1 in a random order, and
** the vehicles of day D listed with their reference ranks, a random
** permutation of 1..N.  The candidate is a greedy sequencer that appends,
** position after position, the vehicle that adds the least weighted cost
** (new ratio violations, a colour change, a batch over the limit): better
** than the random reference, far from optimal.
**
** Everything is drawn from std::mt19937 (whose output the language fixes)
** through the small helpers below, never through the library's
** distributions, so a seed gives the same files with every compiler.
**
** The tool is standalone: it shares no code with the program.
*/
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

/* What the command line sets; the defaults make a small instance. */
struct Options {
    unsigned long seed = 1;
    int vehicules = 100;       /* day D */
    int figes = 20;            /* day D-1 */
    int hautes = 3;            /* high priority constraints */
    int basses = 2;            /* low priority constraints */
    int qMax = 5;
    int teintes = 6;
    int limiteRafale = 5;
    std::string objectifs = "high,low,paint";
    std::string jourJMoins1 = "2026-12-05";
    std::string jourJ = "2026-12-06";
    std::string repertoire;
    std::string instance = "demo";
    std::string candidat = "greedy";
    bool aide = false;
};

struct Contrainte {
    int p, q;
    bool haute;
    std::string nom;
};

struct Vehicule {
    std::string ident;
    int rang;
    int teinte;
    std::vector<int> options;  /* one 0/1 per constraint, high ones first */
};

/* Uniform integer in [lo, hi] by a plain modulo (slightly biased, portable). */
int tirer(std::mt19937 &g, int lo, int hi)
{
    return lo + static_cast<int>(g() % static_cast<unsigned long>(hi - lo + 1));
}

/* Fisher-Yates shuffle driven by tirer(). */
template <class T> void melanger(std::vector<T> &v, std::mt19937 &g)
{
    for (int i = static_cast<int>(v.size()) - 1; i > 0; --i) std::swap(v[i], v[tirer(g, 0, i)]);
}

const char *const USAGE =
    "usage: quelto-gen --out DIR [options]\n"
    "Writes a working directory for exeQuelto: exeQuelto.ini, instances/NAME/*,\n"
    "results/NAME (a greedy candidate's solution) and logs/.\n"
    "  --seed N          seed of the generator (1)\n"
    "  --vehicles N      vehicles of day D (100)\n"
    "  --frozen N        frozen vehicles of day D-1 (20)\n"
    "  --high N          high priority ratio constraints (3)\n"
    "  --low N           low priority ratio constraints (2)\n"
    "  --max-q N         greatest window length q of a ratio p/q (5)\n"
    "  --colours N       paint colours (6)\n"
    "  --batch-limit N   longest batch of one paint colour (5)\n"
    "  --objectives L    comma-separated, in decreasing importance, among high,\n"
    "                    high-difficult, low, paint (high,low,paint)\n"
    "  --day-d1 TEXT     date of day D-1 (2026-12-05)\n"
    "  --day-d TEXT      date of day D, must sort after day D-1 (2026-12-06)\n"
    "  --instance NAME   instance name (demo)\n"
    "  --candidate NAME  candidate name (greedy)\n"
    "  --out DIR         directory to write (created if needed)\n"
    "  --help            this text\n";

/* One option of the table: its name and what to do with its value. */
struct Option {
    const char *nom;
    bool prendValeur;
    std::function<bool(Options &, const std::string &)> appliquer;
};

bool lireEntier(const std::string &texte, int &valeur)
{
    char *fin = nullptr;
    long v = std::strtol(texte.c_str(), &fin, 10);
    if (texte.empty() || *fin != '\0' || v < 0 || v > 1000000) return false;
    valeur = static_cast<int>(v);
    return true;
}

std::function<bool(Options &, const std::string &)> entier(int Options::*champ)
{
    return [champ](Options &o, const std::string &t) { return lireEntier(t, o.*champ); };
}

std::function<bool(Options &, const std::string &)> texte(std::string Options::*champ)
{
    return [champ](Options &o, const std::string &t) { o.*champ = t; return true; };
}

const std::vector<Option> &tableOptions()
{
    static const std::vector<Option> table = {
        {"--seed", true, [](Options &o, const std::string &t) {
             char *fin = nullptr;
             o.seed = std::strtoul(t.c_str(), &fin, 10);
             return !t.empty() && *fin == '\0';
         }},
        {"--vehicles", true, entier(&Options::vehicules)},
        {"--frozen", true, entier(&Options::figes)},
        {"--high", true, entier(&Options::hautes)},
        {"--low", true, entier(&Options::basses)},
        {"--max-q", true, entier(&Options::qMax)},
        {"--colours", true, entier(&Options::teintes)},
        {"--batch-limit", true, entier(&Options::limiteRafale)},
        {"--objectives", true, texte(&Options::objectifs)},
        {"--day-d1", true, texte(&Options::jourJMoins1)},
        {"--day-d", true, texte(&Options::jourJ)},
        {"--instance", true, texte(&Options::instance)},
        {"--candidate", true, texte(&Options::candidat)},
        {"--out", true, texte(&Options::repertoire)},
        {"--help", false, [](Options &o, const std::string &) { o.aide = true; return true; }},
    };
    return table;
}

/* Parse argv into o; false (with a message on stderr) on a bad command line. */
bool analyser(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const Option *trouvee = nullptr;
        for (const Option &opt : tableOptions())
            if (arg == opt.nom) trouvee = &opt;
        if (trouvee == nullptr) {
            std::fprintf(stderr, "quelto-gen: unknown option %s\n", arg.c_str());
            return false;
        }
        std::string valeur;
        if (trouvee->prendValeur) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "quelto-gen: %s needs a value\n", arg.c_str());
                return false;
            }
            valeur = argv[++i];
        }
        if (!trouvee->appliquer(o, valeur)) {
            std::fprintf(stderr, "quelto-gen: invalid value for %s: %s\n", arg.c_str(), valeur.c_str());
            return false;
        }
    }
    return true;
}

/* The keywords of the objectives file, in order; false on an unknown name. */
bool motsClesObjectifs(const std::string &liste, std::vector<std::string> &mots, std::vector<char> &codes)
{
    std::stringstream s(liste);
    std::string nom;
    while (std::getline(s, nom, ',')) {
        if (nom == "high") {
            mots.push_back("high_priority_level_and_easy_to_satisfy_ratio_constraints"), codes.push_back('H');
        } else if (nom == "high-difficult") {
            mots.push_back("high_priority_level_and_difficult_to_satisfy_ratio_constraints"), codes.push_back('H');
        } else if (nom == "low") {
            mots.push_back("low_priority_level_ratio_constraints"), codes.push_back('L');
        } else if (nom == "paint") {
            mots.push_back("paint_color_batches"), codes.push_back('P');
        } else {
            return false;
        }
    }
    return !mots.empty() && mots.size() <= 3;
}

/* Refuse sizes the program cannot evaluate; false with a message on stderr. */
bool verifier(const Options &o)
{
    const char *faute = nullptr;
    if (o.repertoire.empty()) faute = "--out is required";
    else if (o.vehicules < 1) faute = "--vehicles must be at least 1";
    else if (o.figes < 1) faute = "--frozen must be at least 1";
    else if (o.qMax < 2) faute = "--max-q must be at least 2";
    else if (o.vehicules < o.qMax) faute = "--vehicles must be at least --max-q";
    else if (o.teintes < 1) faute = "--colours must be at least 1";
    else if (o.limiteRafale < 1) faute = "--batch-limit must be at least 1";
    else if (!(o.jourJMoins1 < o.jourJ)) faute = "--day-d must sort after --day-d1";
    else if (o.instance.empty() || o.instance.find('/') != std::string::npos) faute = "--instance must be a plain name";
    if (faute != nullptr) std::fprintf(stderr, "quelto-gen: %s\n", faute);
    return faute == nullptr;
}

std::vector<Contrainte> tirerContraintes(const Options &o, std::mt19937 &g)
{
    std::vector<Contrainte> c;
    for (int k = 0; k < o.hautes + o.basses; ++k) {
        const bool haute = k < o.hautes;
        const int q = tirer(g, 2, o.qMax);
        const int p = tirer(g, 1, q - 1);
        c.push_back({p, q, haute, (haute ? "H" : "L") + std::to_string(haute ? k + 1 : k - o.hautes + 1)});
    }
    return c;
}

std::string identifiant(char prefixe, int numero, int total)
{
    std::string n = std::to_string(numero);
    const std::size_t largeur = std::max<std::size_t>(4, std::to_string(total).size());
    return prefixe + std::string(largeur - n.size(), '0') + n;
}

/* count vehicles; option k carried with probability 0.8 p/q (in per mille). */
std::vector<Vehicule> tirerVehicules(int nombre, char prefixe, const Options &o, const std::vector<Contrainte> &c,
                                     std::mt19937 &g)
{
    std::vector<Vehicule> v;
    for (int i = 1; i <= nombre; ++i) {
        Vehicule x{identifiant(prefixe, i, nombre), i, tirer(g, 1, o.teintes), {}};
        for (const Contrainte &k : c) x.options.push_back(tirer(g, 0, 999) < 800 * k.p / k.q ? 1 : 0);
        v.push_back(x);
    }
    return v;
}

/*
** The greedy candidate: day-D vehicles appended one at a time behind the
** frozen ones.  A vehicle's cost is the weight of each ratio window it would
** overfill, plus the paint weight when its colour differs from the previous
** one, plus a prohibitive cost when it would lengthen a batch past the limit
** (batches count day-D vehicles only).  Ties go to the vehicle carrying more
** options, then to the earliest in file order.
*/
std::vector<const Vehicule *> sequencer(const std::vector<Vehicule> &figes, const std::vector<Vehicule> &jourJ,
                                        const std::vector<Contrainte> &c, const std::vector<double> &poids,
                                        double poidsPeinture, int limite)
{
    std::vector<const Vehicule *> seq;
    for (const Vehicule &f : figes) seq.push_back(&f);
    const std::size_t debut = seq.size();
    std::vector<bool> place(jourJ.size(), false);
    int rafale = 0;
    for (std::size_t n = 0; n < jourJ.size(); ++n) {
        int meilleur = -1;
        double coutMin = 0;
        int optionsMax = 0;
        for (std::size_t i = 0; i < jourJ.size(); ++i) {
            if (place[i]) continue;
            const Vehicule &v = jourJ[i];
            double cout = 0;
            int nbOptions = 0;
            for (std::size_t k = 0; k < c.size(); ++k) {
                if (!v.options[k]) continue;
                ++nbOptions;
                int dansFenetre = 1;
                for (int d = 1; d < c[k].q && static_cast<int>(seq.size()) - d >= 0; ++d)
                    dansFenetre += seq[seq.size() - d]->options[k];
                if (dansFenetre > c[k].p) cout += poids[k];
            }
            const bool memeTeinte = v.teinte == seq.back()->teinte;
            if (!memeTeinte) cout += poidsPeinture;
            if (memeTeinte && seq.size() > debut && rafale + 1 > limite) cout += 1e12;
            if (meilleur < 0 || cout < coutMin || (cout == coutMin && nbOptions > optionsMax)) {
                meilleur = static_cast<int>(i), coutMin = cout, optionsMax = nbOptions;
            }
        }
        const Vehicule &choisi = jourJ[meilleur];
        rafale = (seq.size() > debut && choisi.teinte == seq.back()->teinte) ? rafale + 1 : 1;
        place[meilleur] = true;
        seq.push_back(&choisi);
    }
    return std::vector<const Vehicule *>(seq.begin() + static_cast<long>(debut), seq.end());
}

/* Write text to path; false with a message on stderr when that fails. */
bool ecrire(const std::filesystem::path &chemin, const std::string &contenu)
{
    std::ofstream f(chemin, std::ios::binary | std::ios::trunc);
    f << contenu;
    f.close();
    if (!f) std::fprintf(stderr, "quelto-gen: cannot write %s\n", chemin.string().c_str());
    return static_cast<bool>(f);
}

std::string lignesVehicules(const std::string &date, const std::vector<Vehicule> &v)
{
    std::string s;
    for (const Vehicule &x : v) {
        s += date + ";" + std::to_string(x.rang) + ";" + x.ident + ";" + std::to_string(x.teinte);
        for (int o : x.options) s += o ? ";1" : ";0";
        s += "\n";
    }
    return s;
}

int generer(const Options &o)
{
    std::vector<std::string> mots;
    std::vector<char> codes;
    if (!motsClesObjectifs(o.objectifs, mots, codes)) {
        std::fprintf(stderr, "quelto-gen: --objectives takes 1 to 3 of high, high-difficult, low, paint\n");
        return 2;
    }
    std::mt19937 g(static_cast<std::mt19937::result_type>(o.seed));
    const std::vector<Contrainte> c = tirerContraintes(o, g);
    std::vector<Vehicule> figes = tirerVehicules(o.figes, 'F', o, c, g);
    std::vector<Vehicule> jourJ = tirerVehicules(o.vehicules, 'V', o, c, g);
    std::vector<int> rangs;
    for (int i = 1; i <= o.vehicules; ++i) rangs.push_back(i);
    melanger(rangs, g);
    for (std::size_t i = 0; i < jourJ.size(); ++i) jourJ[i].rang = rangs[i];

    /* The objectives' weights, as the program gives them by position. */
    const double table[3] = {1000000.0, 1000.0, 1.0};
    double poidsHaut = 0, poidsBas = 0, poidsPeinture = 0;
    for (std::size_t i = 0; i < codes.size(); ++i)
        (codes[i] == 'H' ? poidsHaut : codes[i] == 'L' ? poidsBas : poidsPeinture) = table[i];
    std::vector<double> poids;
    for (const Contrainte &k : c) poids.push_back(k.haute ? poidsHaut : poidsBas);
    const std::vector<const Vehicule *> solution = sequencer(figes, jourJ, c, poids, poidsPeinture, o.limiteRafale);

    namespace fs = std::filesystem;
    const fs::path racine(o.repertoire), dossier = racine / "instances" / o.instance;
    std::error_code ec;
    for (const fs::path &d : {dossier, racine / "results", racine / "logs"}) {
        fs::create_directories(d, ec);
        if (ec) {
            std::fprintf(stderr, "quelto-gen: cannot create %s\n", d.string().c_str());
            return 1;
        }
    }

    std::string ini = "# Settings of exeQuelto, written by quelto-gen --seed " + std::to_string(o.seed) + "\n"
        "# Directories are prefixes: each ends with its \"/\".\n"
        "S_QUELTO_LOGS_DIRECTORY=logs/\n"
        "S_QUELTO_EXE_LOGFILE_FILE_NAME=exeQuelto.log\n"
        "S_QUELTO_RACINE_PATH_NAME=instances/\n"
        "S_QUELTO_INSTANCE_PB_NAME=" + o.instance + "\n"
        "S_QUELTO_ECARTS_CRITERES_FILE_NAME=ratios.txt\n"
        "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME=paint_batch_limit.txt\n"
        "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME=optimization_objectives.txt\n"
        "S_QUELTO_VEHICULES_FILE_NAME=vehicles.txt\n"
        "S_QUELTO_RESULT_DIRECTORY=results/\n"
        "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME=_reference_report.txt\n"
        "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME=_candidate_report.txt\n"
        "S_QUELTO_CANDIDATE_NAME=" + o.candidat + "\n"
        "S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES=1\n";

    std::string ratios = "Ratio;Priority;Ident;Field4\n";
    for (const Contrainte &k : c)
        ratios += std::to_string(k.p) + "/" + std::to_string(k.q) + (k.haute ? ";1;" : ";0;") + k.nom + ";0\n";

    std::string objectifs = "Rank;Objective\n";
    for (std::size_t i = 0; i < mots.size(); ++i) objectifs += std::to_string(i + 1) + ";" + mots[i] + "\n";

    std::string vehicules = "Date;SeqRank;Ident;PaintColor";
    for (const Contrainte &k : c) vehicules += ";" + k.nom;
    vehicules += "\n" + lignesVehicules(o.jourJMoins1, figes) + lignesVehicules(o.jourJ, jourJ);

    std::string sol;
    for (std::size_t i = 0; i < solution.size(); ++i) sol += std::to_string(i + 1) + ";" + solution[i]->ident + "\n";

    const bool ok = ecrire(racine / "exeQuelto.ini", ini) && ecrire(dossier / "ratios.txt", ratios) &&
                    ecrire(dossier / "paint_batch_limit.txt",
                           "Limitation\n" + std::to_string(o.limiteRafale) + "\n") &&
                    ecrire(dossier / "optimization_objectives.txt", objectifs) &&
                    ecrire(dossier / "vehicles.txt", vehicules) && ecrire(racine / "results" / o.instance, sol);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!analyser(argc, argv, o)) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (o.aide) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (!verifier(o)) return 2;
    try {
        return generer(o);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quelto-gen: %s\n", e.what());
        return 1;
    }
}
