/*
** The picture of a batch: one self-contained HTML file (inline CSS and SVG,
** no script, nothing fetched), in which a person sees where each sequence
** breaks and how the sequences of one instance differ.
**
** For each instance: a summary table (each sequence's validity, objective
** vector, mark and rank), a legend, then each sequence, stacked on one
** position axis so that the eye compares them: a band of the paint colours
** (one cell per vehicle, the colour changes and the batches over the limit
** marked), then one strip per ratio constraint, high priority first, with
** the vehicles that carry its option, every window with an excess shaded by
** its excess (those that reach back into day D-1 in another hue) and a
** label giving the constraint's name, p/q and its violations.  The frozen
** vehicles of day D-1 that the windows reach stand greyed before position 1.
** Every cell and window has a title (shown on hover): position, identifier,
** colour; span, count and excess.
**
** A day of more than BIN_ABOVE vehicles is drawn in bins of equal width
** instead: per bin the dominant colour, the share of option carriers and the
** worst excess of the windows that cross it; the file then stays small
** whatever the day's size.  Every number comes from the evaluated
** sequences that the other formats show.
*/
#include "html.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "QueltoGesDonnees.h"
#include "list.h"
#include "writers.h"

namespace quelto {

namespace {

/* Above this many vehicles a day is drawn in bins (see the head of this file), this many at most. */
constexpr int32_t BIN_ABOVE = 2000, BINS = 1000;
constexpr int CELL = 3, BAND = 14, STRIP = 12, LABEL = 170, GAP = 4;

/* Text for HTML (UTF-8, the five special characters escaped). */
std::string esc(const std::string &latin1)
{
    std::string out;
    for (char c : utf8_of_latin1(latin1)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

/*
** The colour of a paint colour number, the same in every report: hues a
** golden angle apart, lightness in three steps, so that neighbouring
** numbers stay apart.
*/
std::string paint(int32_t colour)
{
    const double hue = std::fmod(std::abs(static_cast<double>(colour)) * 137.508, 360.0);
    const int light = 38 + 14 * static_cast<int>((colour % 3 + 3) % 3);
    return "hsl(" + std::to_string(static_cast<int>(hue)) + ",70%," + std::to_string(light) + "%)";
}

/* How positions map onto the drawing: one cell per vehicle, or one per bin. */
struct Axis {
    int32_t n;       /* vehicles of day D */
    int32_t history; /* frozen vehicles drawn before position 1 */
    int32_t bin;     /* vehicles per cell */

    int32_t cells() const { return (n + bin - 1) / bin; }
    int x_of_position(int32_t position) const /* position from 0; negative ones are frozen */
    {
        return LABEL + (history + (position >= 0 ? position / bin : position)) * CELL;
    }
    int width() const { return LABEL + (history + cells()) * CELL + GAP; }
};

class HtmlWriter : public Writer {
public:
    explicit HtmlWriter(FILE *out) : out_(out) {}
    void begin() override;
    void instance(const InstanceResult &r) override;
    void end() override { put("</body>\n</html>\n"); }

private:
    void put(const std::string &s) { std::fwrite(s.data(), 1, s.size(), out_); }
    void summary(const InstanceResult &r);
    void legend(const Axis &axis);
    void sequence(const InstanceResult &r, const SequenceResult &s, const Axis &axis);
    void band(const InstancePb &pb, const EvaluatedSequence &s, const Axis &axis, int y);
    void strip(const InstancePb &pb, const EvaluatedSequence &s, Priority p, int32_t k, const Axis &axis, int y);

    FILE *out_;
};

void HtmlWriter::begin()
{
    put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>quelto: sequences</title>\n<style>\n"
        "body{font:13px/1.4 sans-serif;margin:16px;color:#222}\n"
        "table.summary{border-collapse:collapse;margin:8px 0}\n"
        "table.summary td,table.summary th{border:1px solid #bbb;padding:2px 8px;text-align:right}\n"
        "table.summary td:first-child,table.summary th:first-child{text-align:left}\n"
        "tr.invalid td{color:#a00}\n"
        ".legend span{display:inline-block;margin-right:14px}\n"
        ".legend i{display:inline-block;width:14px;height:10px;margin-right:4px;vertical-align:middle}\n"
        ".scroll{overflow-x:auto;max-width:100%}\n"
        "figure{margin:10px 0}figcaption{font-weight:bold}\n"
        "svg text{font:11px sans-serif}\n"
        ".frozen{fill:#ccc}.option{fill:#222}.nooption{fill:#f2f2f2}\n"
        ".window{fill:#d00}.window.previous-day{fill:#e80}\n"
        ".change{fill:#000}.over{fill:none;stroke:#d00;stroke-width:2}\n"
        "</style>\n</head>\n<body>\n<h1>Sequences evaluated by quelto</h1>\n");
}

void HtmlWriter::summary(const InstanceResult &r)
{
    const InstancePb &pb = r.instance->record();
    put("<table class=\"summary\"><tr><th>sequence</th><th>valid</th>");
    for (int32_t i = 0; i < pb.i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++) put("<th>" + esc(pb.s_nomsObjectifs[i]) + "</th>");
    put("<th>mark</th><th>rank</th></tr>\n");
    for (const SequenceResult &s : r.sequences) {
        put(std::string("<tr class=\"") + (s.valid ? "valid" : "invalid") + "\"><td>" + esc(s.candidate) + "</td><td>" +
            (s.valid ? "yes" : "no") + "</td>");
        for (size_t i = 0; i < static_cast<size_t>(std::max(0, pb.i_nbObjectifs)) && i < QUELTO_NB_MAX_OBJECTIFS; i++)
            put("<td>" + (i < s.objectives.size() ? std::to_string(s.objectives[i]) : std::string("-")) + "</td>");
        char mark[64] = "-";
        if (s.sequence) std::snprintf(mark, sizeof mark, "%f", s.sequence->results.d_note);
        put(std::string("<td>") + mark + "</td><td>" + std::to_string(s.rank) + "</td></tr>\n");
    }
    put("</table>\n");
}

void HtmlWriter::legend(const Axis &axis)
{
    put("<p class=\"legend\"><span><i style=\"background:#222\"></i>carries the option</span>"
        "<span><i style=\"background:#d00;opacity:.6\"></i>window with an excess (darker: larger excess)</span>"
        "<span><i style=\"background:#e80;opacity:.6\"></i>window reaching back into day D-1</span>"
        "<span><i style=\"background:#ccc\"></i>frozen vehicle of day D-1</span>"
        "<span><i style=\"background:#000\"></i>colour change</span>"
        "<span><i style=\"border:2px solid #d00;height:6px\"></i>batch over the limit</span>");
    if (axis.bin > 1)
        put("<span>each cell: " + std::to_string(axis.bin) +
            " vehicles (its dominant colour, the share of option carriers, the worst excess of the windows across it)</span>");
    put("</p>\n");
}

void HtmlWriter::instance(const InstanceResult &r)
{
    put("<section class=\"instance\" data-instance=\"" + esc(r.name) + "\">\n<h2>Instance " + esc(r.name) + "</h2>\n");
    if (!r.instance) {
        put("<p>The instance cannot be read.</p>\n</section>\n");
        return;
    }
    const InstancePb &pb = r.instance->record();
    const int32_t n = pb.i_longFilm;
    Axis axis{n, std::max(0, pb.i_denominateurMax - 1), n > BIN_ABOVE ? (n + BINS - 1) / BINS : 1};
    if (axis.bin > 1) axis.history = 0;
    summary(r);
    for (const std::string &w : r.warnings) put("<p class=\"warning\">" + esc(w) + "</p>\n");
    legend(axis);
    for (const SequenceResult &s : r.sequences) sequence(r, s, axis);
    put("</section>\n");
}

void HtmlWriter::sequence(const InstanceResult &r, const SequenceResult &s, const Axis &axis)
{
    put("<figure class=\"sequence\" data-candidate=\"" + esc(s.candidate) + "\">\n<figcaption>" + esc(s.candidate) +
        (s.valid ? "" : " (invalid)") + "</figcaption>\n");
    if (!s.sequence) {
        put("<p>" + esc(s.reading.message) + "</p>\n</figure>\n");
        return;
    }
    const InstancePb &pb = r.instance->record();
    const EvaluatedSequence &e = *s.sequence;
    const int32_t strips = e.high.constraints() + e.low.constraints();
    const int height = BAND + GAP + strips * (STRIP + GAP);
    put("<div class=\"scroll\"><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(axis.width()) +
        "\" height=\"" + std::to_string(height) + "\">\n");
    band(pb, e, axis, 0);
    int y = BAND + GAP;
    for (Priority p : {Priority::high, Priority::low})
        for (int32_t k = 0; k < e.options(p).constraints(); k++, y += STRIP + GAP) strip(pb, e, p, k, axis, y);
    put("</svg></div>\n</figure>\n");
}

/* The identifier of the vehicle at a position of the sequence. */
std::string identifier_at(const InstancePb &pb, const EvaluatedSequence &s, int32_t position)
{
    return static_cast<const Vehicule *>(list_element(&pb.l_vehAOrdonnancer, s.order[static_cast<size_t>(position)]))->s_ident;
}

/* The frozen vehicle at history place j (0 the oldest). */
const Vehicule &frozen_at(const InstancePb &pb, int32_t j)
{
    return *static_cast<const Vehicule *>(list_element(&pb.l_vehFiges, pb.i_vectRangVehFiges[j]));
}

std::string rect(int x, int y, int w, int h, const std::string &attributes, const std::string &title)
{
    return "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" + std::to_string(w) +
           "\" height=\"" + std::to_string(h) + "\" " + attributes + "><title>" + title + "</title></rect>\n";
}

void HtmlWriter::band(const InstancePb &pb, const EvaluatedSequence &s, const Axis &axis, int y)
{
    std::string t = "<g class=\"band\"><text x=\"0\" y=\"" + std::to_string(y + 11) + "\">paint colours</text>\n";
    for (int32_t j = 0; j < axis.history; j++) {
        const Vehicule &v = frozen_at(pb, j);
        t += rect(axis.x_of_position(j - axis.history), y, CELL, BAND, "class=\"frozen\"",
                  "day D-1, position " + std::to_string(j - axis.history + 1) + ": " + esc(v.s_ident) + ", colour " +
                      std::to_string(v.i_teinte));
    }
    if (axis.bin == 1) {
        for (int32_t i = 0; i < axis.n; i++)
            t += rect(axis.x_of_position(i), y, CELL, BAND, "fill=\"" + paint(s.colours[static_cast<size_t>(i)]) + "\"",
                      "position " + std::to_string(i + 1) + ": " + esc(identifier_at(pb, s, i)) + ", colour " +
                          std::to_string(s.colours[static_cast<size_t>(i)]));
    } else {
        for (int32_t c = 0; c < axis.cells(); c++) {
            const int32_t first = c * axis.bin, last = std::min(axis.n, first + axis.bin);
            std::vector<int32_t> colours(s.colours.begin() + first, s.colours.begin() + last);
            std::sort(colours.begin(), colours.end());
            int32_t best = colours[0], run = 0, best_run = 0;
            for (size_t i = 0; i < colours.size(); i++) {
                run = i > 0 && colours[i] == colours[i - 1] ? run + 1 : 1;
                if (run > best_run) best_run = run, best = colours[i];
            }
            t += rect(axis.x_of_position(first), y, CELL, BAND, "fill=\"" + paint(best) + "\"",
                      "positions " + std::to_string(first + 1) + "-" + std::to_string(last) + ": mostly colour " +
                          std::to_string(best));
        }
    }
    /* Colour changes and batches over the limit: each one, or per bin how many. */
    std::vector<int32_t> changes(static_cast<size_t>(axis.cells()), 0), over(static_cast<size_t>(axis.cells()), 0);
    mQuelto_pourChaqueRafale(s.colours.data(), s.size(), pb.i_teintePos_1, [&](int32_t first, int32_t length, int32_t colour, bool change) {
        const bool long_batch = pb.d_poidsPurges > 0.0 && length > pb.i_longMaxRafTeintes;
        if (axis.bin > 1) {
            if (change) changes[static_cast<size_t>(first / axis.bin)]++;
            if (long_batch)
                for (int32_t c = first / axis.bin; c <= (first + length - 1) / axis.bin; c++) over[static_cast<size_t>(c)]++;
            return;
        }
        if (change) t += rect(axis.x_of_position(first), y + BAND - 3, 1, 3, "class=\"change\"", "colour change at position " + std::to_string(first + 1));
        if (long_batch)
            t += rect(axis.x_of_position(first), y + 1, length * CELL, BAND - 2, "class=\"over\"",
                      "batch over the limit: colour " + std::to_string(colour) + ", " + std::to_string(length) +
                          " vehicles from position " + std::to_string(first + 1));
    });
    for (int32_t c = 0; axis.bin > 1 && c < axis.cells(); c++) {
        const std::string span = "positions " + std::to_string(c * axis.bin + 1) + "-" + std::to_string(std::min(axis.n, (c + 1) * axis.bin));
        if (changes[static_cast<size_t>(c)] > 0) {
            char share[16];
            std::snprintf(share, sizeof share, "%.2f", std::min(1.0, static_cast<double>(changes[static_cast<size_t>(c)]) / axis.bin));
            t += rect(axis.x_of_position(c * axis.bin), y + BAND - 3, CELL, 3, std::string("class=\"change\" fill-opacity=\"") + share + "\"",
                      span + ": " + std::to_string(changes[static_cast<size_t>(c)]) + " colour changes");
        }
        if (over[static_cast<size_t>(c)] > 0)
            t += rect(axis.x_of_position(c * axis.bin), y + 1, CELL, BAND - 2, "class=\"over\"",
                      span + ": " + std::to_string(over[static_cast<size_t>(c)]) + " batches over the limit");
    }
    put(t + "</g>\n");
}

void HtmlWriter::strip(const InstancePb &pb, const EvaluatedSequence &s, Priority p, int32_t k, const Axis &axis, int y)
{
    const LIST *l = p == Priority::high ? &pb.l_ecartsPrio : &pb.l_ecartsNonPrio;
    const EcartCritere &e = *static_cast<const EcartCritere *>(list_element(l, k));
    const char *priority = p == Priority::high ? "high" : "low";
    std::string t = "<g class=\"strip\" data-priority=\"" + std::string(priority) + "\" data-constraint=\"" +
                    std::to_string(k + 1) + "\"><text x=\"0\" y=\"" + std::to_string(y + 10) + "\">" + priority + " " +
                    esc(e.s_nomEcart) + " " + std::to_string(e.i_numerateur) + "/" + std::to_string(e.i_denominateur) +
                    ": " + std::to_string(s.violations(p)[k]) + " violations</text>\n";
    int32_t **history = p == Priority::high ? pb.i_matBoolEcPrioVehFiges : pb.i_matBoolEcNonPrioVehFiges;
    for (int32_t j = 0; j < axis.history; j++)
        t += rect(axis.x_of_position(j - axis.history), y, CELL, STRIP, history[k][j] == 1 ? "class=\"frozen option\" fill-opacity=\"0.5\"" : "class=\"frozen\"",
                  "day D-1, position " + std::to_string(j - axis.history + 1) + (history[k][j] == 1 ? ": carries the option" : ""));
    const OptionRows &rows = s.options(p);
    if (axis.bin == 1) {
        t += "<rect x=\"" + std::to_string(axis.x_of_position(0)) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
             std::to_string(axis.n * CELL) + "\" height=\"" + std::to_string(STRIP) + "\" class=\"nooption\"/>\n";
        for (int32_t i = 0; i < axis.n; i++)
            if (rows.carries(k, i))
                t += rect(axis.x_of_position(i), y + 3, CELL, STRIP - 6, "class=\"option\"",
                          "position " + std::to_string(i + 1) + ": " + esc(identifier_at(pb, s, i)) + " carries the option");
        const int32_t excess_max = std::max(1, e.i_denominateur - e.i_numerateur);
        for (const Window &w : s.detail ? s.detail->windows : std::deque<Window>{}) {
            if (w.priority != p || w.constraint != k) continue;
            const int x = axis.x_of_position(w.first), width = axis.x_of_position(w.last) - x + CELL;
            const double opacity = 0.15 + 0.55 * std::min(1.0, static_cast<double>(w.excess) / excess_max);
            char o[16];
            std::snprintf(o, sizeof o, "%.2f", opacity);
            t += rect(x, y, width, STRIP, std::string("class=\"window") + (w.reaches_previous_day ? " previous-day" : "") + "\" fill-opacity=\"" + o + "\"",
                      "window " + std::to_string(w.first + 1) + "-" + std::to_string(w.last + 1) + ": " +
                          std::to_string(w.count) + " with the option, excess " + std::to_string(w.excess));
        }
    } else {
        std::vector<int32_t> worst(static_cast<size_t>(axis.cells()), 0);
        if (s.detail)
            for (const Window &w : s.detail->windows) {
                if (w.priority != p || w.constraint != k) continue;
                for (int32_t c = std::max(0, w.first) / axis.bin; c <= w.last / axis.bin && c < axis.cells(); c++)
                    worst[static_cast<size_t>(c)] = std::max(worst[static_cast<size_t>(c)], w.excess);
            }
        for (int32_t c = 0; c < axis.cells(); c++) {
            const int32_t first = c * axis.bin, last = std::min(axis.n, first + axis.bin);
            int32_t carriers = 0;
            for (int32_t i = first; i < last; i++) carriers += rows.carries(k, i);
            char share[16];
            std::snprintf(share, sizeof share, "%.2f", static_cast<double>(carriers) / (last - first));
            const std::string span = std::to_string(first + 1) + "-" + std::to_string(last);
            t += rect(axis.x_of_position(first), y + 3, CELL, STRIP - 3, std::string("class=\"option\" fill-opacity=\"") + share + "\"",
                      span + ": share " + share + ", worst excess " + std::to_string(worst[static_cast<size_t>(c)]));
            if (worst[static_cast<size_t>(c)] > 0) {
                std::snprintf(share, sizeof share, "%.2f", 0.15 + 0.85 * std::min(1.0, worst[static_cast<size_t>(c)] / static_cast<double>(std::max(1, e.i_denominateur - e.i_numerateur))));
                t += "<rect x=\"" + std::to_string(axis.x_of_position(first)) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                     std::to_string(CELL) + "\" height=\"3\" class=\"window\" fill-opacity=\"" + share + "\"/>";
            }
        }
    }
    put(t + "</g>\n");
}

}  // namespace

std::unique_ptr<Writer> make_html_writer(FILE *out)
{
    return std::make_unique<HtmlWriter>(out);
}

}  // namespace quelto
