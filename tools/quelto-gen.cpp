/*
** quelto-gen: writes a complete working directory for exeQuelto, either
** drawn from a seed or imported from the classic car sequencing benchmark.
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
** Drawn instances: ratio constraints p/q with 1 <= p < q <= max-q, each
** vehicle carrying an option with a probability of about 0.8 p/q (so the
** demand stays under what the ratio allows and the instance is plausible),
** colours drawn uniformly, frozen vehicles of day D-1 in a random order, and
** the vehicles of day D listed with their reference ranks, a random
** permutation of 1..N.  The candidate is, by default, a greedy sequencer that
** appends, position after position, the vehicle that adds the least weighted
** cost (new ratio violations, a colour change, a batch over the limit):
** better than the random reference, far from optimal, and quadratic in the
** size of the day; large days take a random or the reference order instead.
**
** Everything is drawn from std::mt19937 (whose output the language fixes)
** through the small helpers below, never through the library's
** distributions, so a seed gives the same files with every compiler.  Draws
** that an option adds (the random candidate) come after all the others, so
** the files of the default candidate do not depend on them.
**
** Imported instances (--csplib) come in the benchmark's own format:
**
**     n_cars n_options n_classes
**     p_1 ... p_O
**     q_1 ... q_O
**     c count flag_1 ... flag_O        one line per class, c = 0, 1, ...
**
** Every option becomes a high priority constraint p/q named O1, O2, ...; the
** day-D vehicles are the cars of each class in class order (which is also the
** reference sequence), with colour class + 1 and identifiers Ccc-kkk (class,
** then number within the class, fixed width so that identifiers sort
** byte-wise in that order); day D-1 holds max q - 1 frozen vehicles without
** any option, so that every window reaching back into day D-1 holds exactly
** the day-D cars a window of the benchmark would hold.  The objectives are the
** high priority constraints alone and the batch limit is n_cars, so a sequence
** that is feasible for the benchmark scores 0.  The candidate is the sequence
** of classes given with --sequence (the k-th car of class c in the sequence
** is the k-th vehicle of class c), or the reference order without it.
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
#include <set>
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
    std::string instance;      /* demo, or the stem of the imported file */
    std::string candidat;      /* greedy, or what the imported candidate is */
    std::string solution = "greedy";
    std::string csplib;        /* benchmark instance to import */
    std::string sequence;      /* benchmark sequence of classes */
    bool aide = false;
    std::set<std::string> donnees;  /* the options the command line gave */
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
    std::vector<char> options;  /* one 0/1 per constraint, high ones first */
};

/* What both modes produce and writeDirectory() writes. */
struct Modele {
    std::vector<Contrainte> contraintes;
    std::vector<Vehicule> figes, jourJ;
    std::vector<const Vehicule *> solution;  /* the candidate's sequence */
    std::string origine;                     /* for the settings file's comment */
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
    "       quelto-gen --csplib FILE [--sequence FILE] --out DIR [options]\n"
    "Writes a working directory for exeQuelto: exeQuelto.ini, instances/NAME/*,\n"
    "results/NAME (a candidate's solution) and logs/.\n"
    "Drawn from a seed:\n"
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
    "  --solution KIND   the candidate: greedy (quadratic in N, for small days),\n"
    "                    random or reference (greedy)\n"
    "Imported from the car sequencing benchmark (CSPLib problem 001 format):\n"
    "  --csplib FILE     instance: every option a high priority constraint,\n"
    "                    colour = class + 1, max q - 1 option-free frozen\n"
    "                    vehicles, objectives high, batch limit n_cars\n"
    "  --sequence FILE   the candidate: car classes in sequence order ('#' lines\n"
    "                    are comments); without it, the cars in class order\n"
    "                    (--frozen, --batch-limit, --objectives may override)\n"
    "Both:\n"
    "  --day-d1 TEXT     date of day D-1 (2026-12-05)\n"
    "  --day-d TEXT      date of day D, must sort after day D-1 (2026-12-06)\n"
    "  --instance NAME   instance name (demo, or the stem of the --csplib file)\n"
    "  --candidate NAME  candidate name (greedy, random, reference, or the stem\n"
    "                    of the --sequence file)\n"
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
    if (texte.empty() || *fin != '\0' || v < 0 || v > 100000000) return false;
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
        {"--solution", true, [](Options &o, const std::string &t) {
             o.solution = t;
             return t == "greedy" || t == "random" || t == "reference";
         }},
        {"--csplib", true, texte(&Options::csplib)},
        {"--sequence", true, texte(&Options::sequence)},
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
        o.donnees.insert(arg);
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

/* Print the message on stderr; false, for the callers' returns. */
bool refuser(const std::string &message)
{
    std::fprintf(stderr, "quelto-gen: %s\n", message.c_str());
    return false;
}

/* Refuse a command line the mode cannot use; false with a message on stderr. */
bool verifier(const Options &o)
{
    if (o.repertoire.empty()) return refuser("--out is required");
    if (!(o.jourJMoins1 < o.jourJ)) return refuser("--day-d must sort after --day-d1");
    if (!o.instance.empty() && o.instance.find('/') != std::string::npos)
        return refuser("--instance must be a plain name");
    if (o.limiteRafale < 1) return refuser("--batch-limit must be at least 1");
    if (!o.csplib.empty()) {
        for (const char *seul : {"--seed", "--vehicles", "--high", "--low", "--max-q", "--colours", "--solution"})
            if (o.donnees.count(seul)) return refuser(std::string(seul) + " does not apply to --csplib");
        return true;
    }
    if (!o.sequence.empty()) return refuser("--sequence needs --csplib");
    if (o.vehicules < 1) return refuser("--vehicles must be at least 1");
    if (o.figes < 1) return refuser("--frozen must be at least 1");
    if (o.qMax < 2) return refuser("--max-q must be at least 2");
    if (o.vehicules < o.qMax) return refuser("--vehicles must be at least --max-q");
    if (o.teintes < 1) return refuser("--colours must be at least 1");
    return true;
}

std::vector<Contrainte> tirerContraintes(const Options &o, std::mt19937 &g)
{
    std::vector<Contrainte> c;
    for (int k = 0; k < o.hautes + o.basses; ++k) {
        const bool haute = k < o.hautes;
        const int q = tirer(g, 2, o.qMax);
        const int p = tirer(g, 1, q - 1);
        std::string nom(1, haute ? 'H' : 'L');
        nom += std::to_string(haute ? k + 1 : k - o.hautes + 1);
        c.push_back({p, q, haute, nom});
    }
    return c;
}

/* numero written on the width of total (at least `largeurMin` digits) after prefixe. */
std::string numeroFixe(const std::string &prefixe, int numero, int total, std::size_t largeurMin)
{
    const std::string n = std::to_string(numero);
    const std::size_t largeur = std::max(largeurMin, std::to_string(total).size());
    return prefixe + std::string(largeur - n.size(), '0') + n;
}

std::string identifiant(char prefixe, int numero, int total)
{
    return numeroFixe(std::string(1, prefixe), numero, total, 4);
}

/* count vehicles; option k carried with probability 0.8 p/q (in per mille). */
std::vector<Vehicule> tirerVehicules(int nombre, char prefixe, const Options &o, const std::vector<Contrainte> &c,
                                     std::mt19937 &g)
{
    std::vector<Vehicule> v;
    v.reserve(static_cast<std::size_t>(nombre));
    for (int i = 1; i <= nombre; ++i) {
        Vehicule x{identifiant(prefixe, i, nombre), i, tirer(g, 1, o.teintes), {}};
        x.options.reserve(c.size());
        for (const Contrainte &k : c) x.options.push_back(tirer(g, 0, 999) < 800 * k.p / k.q ? 1 : 0);
        v.push_back(std::move(x));
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

/* The day-D vehicles in reference order (by rank). */
std::vector<const Vehicule *> ordreReference(const std::vector<Vehicule> &jourJ)
{
    std::vector<const Vehicule *> s;
    for (const Vehicule &v : jourJ) s.push_back(&v);
    std::sort(s.begin(), s.end(), [](const Vehicule *a, const Vehicule *b) { return a->rang < b->rang; });
    return s;
}

/* Draw an instance and its candidate from the seed. */
bool tirerModele(const Options &o, const std::vector<char> &codes, Modele &m)
{
    std::mt19937 g(static_cast<std::mt19937::result_type>(o.seed));
    m.origine = "--seed " + std::to_string(o.seed);
    m.contraintes = tirerContraintes(o, g);
    m.figes = tirerVehicules(o.figes, 'F', o, m.contraintes, g);
    m.jourJ = tirerVehicules(o.vehicules, 'V', o, m.contraintes, g);
    std::vector<int> rangs;
    for (int i = 1; i <= o.vehicules; ++i) rangs.push_back(i);
    melanger(rangs, g);
    for (std::size_t i = 0; i < m.jourJ.size(); ++i) m.jourJ[i].rang = rangs[i];

    if (o.solution == "reference") {
        m.solution = ordreReference(m.jourJ);
    } else if (o.solution == "random") {
        for (const Vehicule &v : m.jourJ) m.solution.push_back(&v);
        melanger(m.solution, g);
    } else {
        /* The objectives' weights, as the program gives them by position. */
        const double table[3] = {1000000.0, 1000.0, 1.0};
        double poidsHaut = 0, poidsBas = 0, poidsPeinture = 0;
        for (std::size_t i = 0; i < codes.size(); ++i)
            (codes[i] == 'H' ? poidsHaut : codes[i] == 'L' ? poidsBas : poidsPeinture) = table[i];
        std::vector<double> poids;
        for (const Contrainte &k : m.contraintes) poids.push_back(k.haute ? poidsHaut : poidsBas);
        m.solution = sequencer(m.figes, m.jourJ, m.contraintes, poids, poidsPeinture, o.limiteRafale);
    }
    return true;
}

/* ---- Import of the car sequencing benchmark ---------------------------- */

/*
** The integers of a benchmark file, in order; lines whose first non-blank
** character is '#' are comments.  False (with a message) when the file
** cannot be read or holds anything but integers.
*/
bool lireEntiersCsplib(const std::string &chemin, std::vector<long> &nombres)
{
    std::ifstream f(chemin);
    if (!f) return refuser("cannot read " + chemin);
    std::string ligne;
    int numero = 0;
    while (std::getline(f, ligne)) {
        ++numero;
        const std::size_t debut = ligne.find_first_not_of(" \t\r");
        if (debut == std::string::npos || ligne[debut] == '#') continue;
        std::istringstream s(ligne);
        std::string mot;
        while (s >> mot) {
            char *fin = nullptr;
            const long v = std::strtol(mot.c_str(), &fin, 10);
            if (*fin != '\0' || v < 0 || v > 100000000)
                return refuser(chemin + ":" + std::to_string(numero) + ": not a number: " + mot);
            nombres.push_back(v);
        }
    }
    if (f.bad()) return refuser("cannot read " + chemin);
    return true;
}

/* A benchmark instance as its file gives it. */
struct InstanceCsplib {
    int nbVoitures = 0;
    std::vector<int> p, q;
    std::vector<int> demandes;               /* cars of each class */
    std::vector<std::vector<char>> options;  /* per class, one flag per option */
};

/* Read and check an instance file; false with a message naming the fault. */
bool lireInstanceCsplib(const std::string &chemin, InstanceCsplib &x)
{
    std::vector<long> n;
    if (!lireEntiersCsplib(chemin, n)) return false;
    const auto faute = [&](const std::string &m) { return refuser(chemin + ": " + m); };
    if (n.size() < 3) return faute("the first line must be n_cars n_options n_classes");
    const long voitures = n[0], nbOptions = n[1], classes = n[2];
    if (voitures < 1 || classes < 1) return faute("n_cars and n_classes must be at least 1");
    if (n.size() != static_cast<std::size_t>(3 + 2 * nbOptions + classes * (2 + nbOptions)))
        return faute("expected " + std::to_string(nbOptions) + " capacities, " + std::to_string(nbOptions) +
                     " block sizes and " + std::to_string(classes) + " class lines of " +
                     std::to_string(2 + nbOptions) + " numbers");
    x.nbVoitures = static_cast<int>(voitures);
    std::size_t i = 3;
    for (long o = 0; o < nbOptions; ++o) x.p.push_back(static_cast<int>(n[i++]));
    for (long o = 0; o < nbOptions; ++o) {
        x.q.push_back(static_cast<int>(n[i++]));
        if (x.q.back() < 1) return faute("option " + std::to_string(o + 1) + " has a block size below 1");
    }
    long total = 0;
    for (long c = 0; c < classes; ++c) {
        if (n[i++] != c) return faute("class lines must be numbered 0, 1, ... in order (line of class " + std::to_string(c) + ")");
        x.demandes.push_back(static_cast<int>(n[i++]));
        total += x.demandes.back();
        std::vector<char> drapeaux;
        for (long o = 0; o < nbOptions; ++o) {
            if (n[i] > 1) return faute("class " + std::to_string(c) + " has an option flag other than 0 or 1");
            drapeaux.push_back(static_cast<char>(n[i++]));
        }
        x.options.push_back(drapeaux);
    }
    if (total != voitures)
        return faute("the class demands add up to " + std::to_string(total) + ", not n_cars = " + std::to_string(voitures));
    return true;
}

/*
** The candidate's sequence from a file of classes: the k-th car of class c
** becomes the k-th day-D vehicle of class c (parDeClasse[c][k]).  False with
** a message when a class is unknown or the counts differ from the demands.
*/
bool lireSequenceCsplib(const std::string &chemin, const InstanceCsplib &x,
                        const std::vector<std::vector<const Vehicule *>> &parClasse,
                        std::vector<const Vehicule *> &solution)
{
    std::vector<long> classes;
    if (!lireEntiersCsplib(chemin, classes)) return false;
    const auto faute = [&](const std::string &m) { return refuser(chemin + ": " + m); };
    std::vector<std::size_t> pris(parClasse.size(), 0);
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const long c = classes[i];
        const std::string ou = "car " + std::to_string(i + 1) + ": class " + std::to_string(c);
        if (c >= static_cast<long>(parClasse.size())) return faute(ou + " is not a class of the instance");
        if (pris[c] == parClasse[c].size()) return faute(ou + " is over its demand of " + std::to_string(x.demandes[c]));
        solution.push_back(parClasse[c][pris[c]++]);
    }
    if (classes.size() != static_cast<std::size_t>(x.nbVoitures))
        return faute(std::to_string(classes.size()) + " cars, the instance has " + std::to_string(x.nbVoitures));
    return true;
}

/* The stem of a path: its file name without the last extension. */
std::string radical(const std::string &chemin)
{
    return std::filesystem::path(chemin).stem().string();
}

/* Build the working directory's model from a benchmark instance (see the top). */
bool importerModele(const Options &o, int &figes, Modele &m)
{
    InstanceCsplib x;
    if (!lireInstanceCsplib(o.csplib, x)) return false;
    m.origine = "--csplib " + radical(o.csplib);
    int qMax = 1;
    for (std::size_t k = 0; k < x.p.size(); ++k) {
        m.contraintes.push_back({x.p[k], x.q[k], true, "O" + std::to_string(k + 1)});
        qMax = std::max(qMax, x.q[k]);
    }
    if (x.nbVoitures < qMax - 1)
        return refuser(o.csplib + ": n_cars is below the greatest block size - 1, which the program cannot evaluate");
    if (!o.donnees.count("--frozen")) figes = std::max(1, qMax - 1);
    if (figes < std::max(1, qMax - 1))
        return refuser("--frozen must be at least " + std::to_string(std::max(1, qMax - 1)) + " (greatest q - 1)");

    const int nbClasses = static_cast<int>(x.demandes.size());
    const int teinteFigee = nbClasses + 1;
    for (int i = 1; i <= figes; ++i)
        m.figes.push_back({identifiant('F', i, figes), i, teinteFigee, std::vector<char>(x.p.size(), 0)});
    const int demandeMax = *std::max_element(x.demandes.begin(), x.demandes.end());
    m.jourJ.reserve(static_cast<std::size_t>(x.nbVoitures));
    for (int c = 0; c < nbClasses; ++c)
        for (int k = 1; k <= x.demandes[c]; ++k) {
            const std::string ident = numeroFixe("C", c, nbClasses - 1, 2) + numeroFixe("-", k, demandeMax, 3);
            m.jourJ.push_back({ident, static_cast<int>(m.jourJ.size()) + 1, c + 1, x.options[c]});
        }
    std::vector<std::vector<const Vehicule *>> parClasse(nbClasses);
    for (const Vehicule &v : m.jourJ) parClasse[v.teinte - 1].push_back(&v);
    if (o.sequence.empty()) {
        m.solution = ordreReference(m.jourJ);
        return true;
    }
    return lireSequenceCsplib(o.sequence, x, parClasse, m.solution);
}

/* ---- Writing the working directory ------------------------------------- */

/* Write text to path; false with a message on stderr when that fails. */
bool ecrire(const std::filesystem::path &chemin, const std::string &contenu)
{
    std::ofstream f(chemin, std::ios::binary | std::ios::trunc);
    f << contenu;
    f.close();
    if (!f) std::fprintf(stderr, "quelto-gen: cannot write %s\n", chemin.string().c_str());
    return static_cast<bool>(f);
}

void lignesVehicules(std::string &s, const std::string &date, const std::vector<Vehicule> &v)
{
    for (const Vehicule &x : v) {
        s += date + ";" + std::to_string(x.rang) + ";" + x.ident + ";" + std::to_string(x.teinte);
        for (char o : x.options) s += o ? ";1" : ";0";
        s += "\n";
    }
}

/* Write the settings, the four instance files and the solution; 0 or 1. */
int ecrireRepertoire(const Options &o, const std::vector<std::string> &mots, int limite, const Modele &m)
{
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

    std::string ini = "# Settings of exeQuelto, written by quelto-gen " + m.origine + "\n"
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
    for (const Contrainte &k : m.contraintes)
        ratios += std::to_string(k.p) + "/" + std::to_string(k.q) + (k.haute ? ";1;" : ";0;") + k.nom + ";0\n";

    std::string objectifs = "Rank;Objective\n";
    for (std::size_t i = 0; i < mots.size(); ++i) objectifs += std::to_string(i + 1) + ";" + mots[i] + "\n";

    std::string vehicules = "Date;SeqRank;Ident;PaintColor";
    for (const Contrainte &k : m.contraintes) vehicules += ";" + k.nom;
    vehicules += "\n";
    lignesVehicules(vehicules, o.jourJMoins1, m.figes);
    lignesVehicules(vehicules, o.jourJ, m.jourJ);

    std::string sol;
    for (std::size_t i = 0; i < m.solution.size(); ++i) sol += std::to_string(i + 1) + ";" + m.solution[i]->ident + "\n";

    const bool ok = ecrire(racine / "exeQuelto.ini", ini) && ecrire(dossier / "ratios.txt", ratios) &&
                    ecrire(dossier / "paint_batch_limit.txt", "Limitation\n" + std::to_string(limite) + "\n") &&
                    ecrire(dossier / "optimization_objectives.txt", objectifs) &&
                    ecrire(dossier / "vehicles.txt", vehicules) && ecrire(racine / "results" / o.instance, sol);
    return ok ? 0 : 1;
}

/* Fill the defaults that depend on the mode, build the model, write it; 0, 1 or 2. */
int generer(Options o)
{
    const bool import = !o.csplib.empty();
    if (import && !o.donnees.count("--objectives")) o.objectifs = "high";
    std::vector<std::string> mots;
    std::vector<char> codes;
    if (!motsClesObjectifs(o.objectifs, mots, codes)) {
        std::fprintf(stderr, "quelto-gen: --objectives takes 1 to 3 of high, high-difficult, low, paint\n");
        return 2;
    }
    if (o.instance.empty()) o.instance = import ? radical(o.csplib) : "demo";
    if (o.instance.empty() || o.instance.find('/') != std::string::npos) {
        std::fprintf(stderr, "quelto-gen: --instance must be a plain name\n");
        return 2;
    }
    if (o.candidat.empty())
        o.candidat = !import ? o.solution : o.sequence.empty() ? "reference" : radical(o.sequence);

    Modele m;
    int figes = o.figes;
    if (!(import ? importerModele(o, figes, m) : tirerModele(o, codes, m))) return 2;
    int limite = o.limiteRafale;
    if (import && !o.donnees.count("--batch-limit")) limite = static_cast<int>(m.jourJ.size());
    return ecrireRepertoire(o, mots, limite, m);
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
