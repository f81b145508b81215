/*
** The three writers of a batch's results (see writers.h).
*/
#include "writers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <vector>

#include "QueltoGesDonnees.h"
#include "list.h"

namespace quelto {

std::string utf8_of_latin1(const std::string &text)
{
    std::string u;
    u.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            u += static_cast<char>(c);
        } else {
            u += static_cast<char>(0xc0 | c >> 6);
            u += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return u;
}

namespace {

/* What the rows of every format show of a sequence. */
struct Row {
    std::string instance, candidate, file, valid, high, low, changes, batch, mark, rank, note;
    bool reference;
};

/* The figure as the reports print it, or "-" without an evaluated sequence. */
std::string figure(const SequenceResult &r, int32_t IndicateursSolution::*field)
{
    return r.sequence ? std::to_string(r.sequence->results.*field) : "-";
}

std::string problems_note(const SolutionProblems &p)
{
    std::string note;
    auto add = [&note](size_t n, const char *one, const char *many) {
        if (n == 0) return;
        note += (note.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
    };
    add(p.missing.size(), "vehicle missing", "vehicles missing");
    add(p.unknown.size(), "unknown vehicle", "unknown vehicles");
    add(p.repeated_positions.size(), "position given twice", "positions given twice");
    add(p.repeated_vehicles.size(), "vehicle placed twice", "vehicles placed twice");
    add(p.ignored_lines.size(), "line ignored", "lines ignored");
    return note;
}

Row row_of(const InstanceResult &ir, const SequenceResult &r)
{
    Row row{ir.name, r.candidate, r.file, r.valid ? "yes" : "no", figure(r, &IndicateursSolution::i_nbViolEcPrio),
            figure(r, &IndicateursSolution::i_nbViolEcNonPrio), figure(r, &IndicateursSolution::i_nbPurges), "-", "-",
            std::to_string(r.rank), "", r.reference};
    if (!r.sequence) {
        row.note = r.reading.message;
        return row;
    }
    const IndicateursSolution &res = r.sequence->results;
    const bool checked = ir.instance->record().d_poidsPurges > 0.0;
    row.batch = !checked ? "-" : res.i_flagLongMaxRafTeintesOk == 1 ? "ok" : "over";
    char mark[64];
    std::snprintf(mark, sizeof mark, "%f", res.d_note);
    row.mark = mark;
    row.note = problems_note(r.reading.problems);
    if (res.i_flagLongMaxRafTeintesOk == 0)
        row.note += (row.note.empty() ? "" : ", ") + std::string("a batch of colour ") +
                    std::to_string(res.i_teinteRafaleTropLongue) + " has " + std::to_string(res.i_longRafaleTropLongue) +
                    " vehicles";
    return row;
}

const char *const COLUMNS[] = {"instance", "candidate", "valid", "high", "low", "colour changes", "batch limit",
                               "mark", "rank", "note"};

/* The aligned table, written when the batch ends. */
class TextWriter : public Writer {
public:
    explicit TextWriter(FILE *out) : out_(out) {}
    void instance(const InstanceResult &ir) override
    {
        if (!ir.instance) rows_.push_back({ir.name, "-", "", "-", "-", "-", "-", "-", "-", "-", "instance cannot be read", false});
        for (const SequenceResult &r : ir.sequences) rows_.push_back(row_of(ir, r));
    }
    void end() override
    {
        std::vector<std::vector<std::string>> cells;
        cells.push_back(std::vector<std::string>(std::begin(COLUMNS), std::end(COLUMNS)));
        for (const Row &r : rows_)
            cells.push_back({r.instance, r.candidate, r.valid, r.high, r.low, r.changes, r.batch, r.mark, r.rank, r.note});
        std::vector<size_t> width(std::size(COLUMNS), 0);
        for (const auto &line : cells)
            for (size_t c = 0; c < line.size(); c++) width[c] = std::max(width[c], line[c].size());
        for (const auto &line : cells) {
            std::string text;
            for (size_t c = 0; c < line.size(); c++) {
                const bool number = c >= 3 && c <= 8 && c != 6;
                const std::string pad(width[c] - line[c].size(), ' ');
                text += (c > 0 ? "  " : "") + (number ? pad + line[c] : line[c] + (c + 1 < line.size() ? pad : ""));
            }
            while (!text.empty() && text.back() == ' ') text.pop_back();
            std::fprintf(out_, "%s\n", text.c_str());
        }
    }

private:
    FILE *out_;
    std::vector<Row> rows_;
};

/* A CSV field: quoted when it holds a comma, a quote or a line end (RFC 4180), in UTF-8. */
std::string csv_field(const std::string &latin1)
{
    const std::string s = utf8_of_latin1(latin1);
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

class CsvWriter : public Writer {
public:
    explicit CsvWriter(FILE *out) : out_(out) {}
    void begin() override
    {
        std::fputs("instance,candidate,file,reference,valid,high,low,colour_changes,batch_limit,mark,rank,note\r\n", out_);
    }
    void instance(const InstanceResult &ir) override
    {
        if (!ir.instance) std::fprintf(out_, "%s,,,,,,,,,,,instance cannot be read\r\n", csv_field(ir.name).c_str());
        for (const SequenceResult &r : ir.sequences) {
            const Row w = row_of(ir, r);
            const std::string fields[] = {w.instance, w.candidate, w.file, w.reference ? "true" : "false", w.valid,
                                          w.high, w.low, w.changes, w.batch, w.mark, w.rank, w.note};
            std::string line;
            for (const std::string &f : fields) {
                if (&f != fields) line += ',';
                line += csv_field(f);
            }
            std::fprintf(out_, "%s\r\n", line.c_str());
        }
    }

private:
    FILE *out_;
};

/* JSON, written as it goes: the windows of a large day are far too many for a document in memory. */
class JsonWriter : public Writer {
public:
    JsonWriter(FILE *out, bool windows) : out_(out), windows_(windows) {}
    void begin() override { put("{\"schema\": 1, \"instances\": ["); }
    void instance(const InstanceResult &ir) override;
    void end() override { put("\n]}\n"); }

private:
    void put(const std::string &s) { std::fwrite(s.data(), 1, s.size(), out_); }
    static std::string str(const std::string &latin1) { return nlohmann::json(utf8_of_latin1(latin1)).dump(); }
    static std::string num(double d) { return std::isfinite(d) ? nlohmann::json(d).dump() : "null"; }
    static std::string num(int64_t i) { return std::to_string(i); }
    void sequence(const InstanceResult &ir, const SequenceResult &r);
    void problems(const SolutionProblems &p);
    void priority(const InstancePb &pb, const EvaluatedSequence &s, Priority p);
    void detail(const EvaluatedSequence &s);

    FILE *out_;
    bool windows_;
    bool first_instance_ = true;
};

void JsonWriter::instance(const InstanceResult &ir)
{
    put(std::string(first_instance_ ? "\n" : ",\n") + "{\"instance\": " + str(ir.name));
    first_instance_ = false;
    if (!ir.instance) put(", \"error\": \"the instance cannot be read\"");
    put(", \"warnings\": [");
    for (size_t i = 0; i < ir.warnings.size(); i++) put((i > 0 ? ", " : "") + str(ir.warnings[i]));
    put("], \"sequences\": [");
    for (size_t i = 0; i < ir.sequences.size(); i++) {
        put(i > 0 ? ",\n  " : "\n  ");
        sequence(ir, ir.sequences[i]);
    }
    put("]}");
}

void JsonWriter::sequence(const InstanceResult &ir, const SequenceResult &r)
{
    static const char *const STATES[] = {"evaluated", "missing", "unreadable"};
    put("{\"instance\": " + str(ir.name) + ", \"candidate\": " + str(r.candidate) +
        ", \"file\": " + (r.reference ? std::string("null") : str(r.file)) + ", \"reference\": " +
        (r.reference ? "true" : "false") + ", \"valid\": " + (r.valid ? "true" : "false") + ", \"state\": \"" +
        (r.sequence ? "evaluated" : STATES[static_cast<int>(r.reading.state)]) + "\"");
    if (!r.sequence) put(", \"message\": " + str(r.reading.message));
    put(", \"rank\": " + std::to_string(r.rank) + ", \"problems\": ");
    problems(r.reading.problems);
    if (!r.sequence) {
        put(", \"high\": null, \"low\": null, \"colour_changes\": null, \"mean_batch_length\": null, "
            "\"batch_limit\": null, \"objectives\": null, \"mark\": null}");
        return;
    }
    const InstancePb &pb = ir.instance->record();
    const EvaluatedSequence &s = *r.sequence;
    const IndicateursSolution &res = s.results;
    put(", \"high\": ");
    priority(pb, s, Priority::high);
    put(", \"low\": ");
    priority(pb, s, Priority::low);
    put(", \"colour_changes\": " + num(int64_t{res.i_nbPurges}) +
        ", \"mean_batch_length\": " + (res.i_nbPurges > 0 ? num(res.d_longMoyRafales) : "null"));
    const bool checked = pb.d_poidsPurges > 0.0;
    put(", \"batch_limit\": {\"limit\": " + num(int64_t{pb.i_longMaxRafTeintes}) + ", \"checked\": " +
        (checked ? "true" : "false") + ", \"ok\": " + (res.i_flagLongMaxRafTeintesOk == 1 ? "true" : "false") +
        ", \"first_over\": ");
    if (res.i_flagLongMaxRafTeintesOk == 1) {
        put("null}");
    } else {
        /* The first batch over the limit: colour and length are the record's. */
        put("{\"colour\": " + num(int64_t{res.i_teinteRafaleTropLongue}) + ", \"start\": " + num(int64_t{r.first_long_batch}) +
            ", \"length\": " + num(int64_t{res.i_longRafaleTropLongue}) + "}}");
    }
    put(", \"objectives\": [");
    const double weights[] = {pb.d_poidsEcPrio, pb.d_poidsEcNonPrio, pb.d_poidsPurges};
    for (size_t i = 0; i < r.objectives.size(); i++) {
        const int32_t code = pb.i_codesObjectifs[i];
        put(std::string(i > 0 ? ", " : "") + "{\"name\": " + str(pb.s_nomsObjectifs[i]) + ", \"weight\": " +
            num(code >= 1 && code <= 3 ? weights[code - 1] : 0.0) + ", \"value\": " + num(r.objectives[i]) + "}");
    }
    put("], \"mark\": " + num(res.d_note));
    if (windows_ && s.detail) detail(s);
    put("}");
}

void JsonWriter::problems(const SolutionProblems &p)
{
    std::string t = "{\"missing\": [";
    for (size_t i = 0; i < p.missing.size(); i++) t += (i ? ", " : "") + std::string("{\"identifier\": ") + str(p.missing[i].identifier) + "}";
    t += "], \"unknown\": [";
    for (size_t i = 0; i < p.unknown.size(); i++)
        t += (i ? ", " : "") + std::string("{\"identifier\": ") + str(p.unknown[i].identifier) +
             ", \"line\": " + num(p.unknown[i].line) + "}";
    t += "], \"repeated_positions\": [";
    for (size_t i = 0; i < p.repeated_positions.size(); i++) {
        const auto &rp = p.repeated_positions[i];
        t += (i ? ", " : "") + std::string("{\"position\": ") + num(int64_t{rp.position}) + ", \"identifiers\": [";
        for (size_t k = 0; k < rp.identifiers.size(); k++) t += (k ? ", " : "") + str(rp.identifiers[k]);
        t += "], \"lines\": [";
        for (size_t k = 0; k < rp.lines.size(); k++) t += (k ? ", " : "") + num(rp.lines[k]);
        t += "]}";
    }
    t += "], \"repeated_vehicles\": [";
    for (size_t i = 0; i < p.repeated_vehicles.size(); i++)
        t += (i ? ", " : "") + std::string("{\"identifier\": ") + str(p.repeated_vehicles[i].identifier) +
             ", \"line\": " + num(p.repeated_vehicles[i].line) + ", \"first_line\": " +
             num(p.repeated_vehicles[i].first_line) + "}";
    t += "], \"ignored_lines\": [";
    for (size_t i = 0; i < p.ignored_lines.size(); i++)
        t += (i ? ", " : "") + std::string("{\"line\": ") + num(p.ignored_lines[i].line) + ", \"reason\": " +
             str(p.ignored_lines[i].reason) + ", \"text\": " + str(p.ignored_lines[i].text) + "}";
    put(t + "]}");
}

void JsonWriter::priority(const InstancePb &pb, const EvaluatedSequence &s, Priority p)
{
    const LIST *l = p == Priority::high ? &pb.l_ecartsPrio : &pb.l_ecartsNonPrio;
    const int32_t total = p == Priority::high ? s.results.i_nbViolEcPrio : s.results.i_nbViolEcNonPrio;
    std::string t = "{\"total\": " + num(int64_t{total}) + ", \"constraints\": [";
    for (int32_t k = 0; k < s.options(p).constraints(); k++) {
        const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
        t += (k ? ", " : "") + std::string("{\"name\": ") + str(e->s_nomEcart) + ", \"p\": " +
             num(int64_t{e->i_numerateur}) + ", \"q\": " + num(int64_t{e->i_denominateur}) +
             ", \"violations\": " + num(int64_t{s.violations(p)[k]}) + "}";
    }
    put(t + "]}");
}

/*
** The detail of a large day holds millions of windows: they are composed in a
** buffer, numbers written by hand, and handed to the stream a block at a time.
*/
class Composer {
public:
    explicit Composer(FILE *out) : out_(out) {}
    ~Composer() { flush(); }
    template <size_t N>
    Composer &operator<<(const char (&text)[N])
    {
        write(text, N - 1);
        return *this;
    }
    Composer &operator<<(int64_t v)
    {
        room(24);
        n_ = static_cast<size_t>(std::to_chars(buffer_ + n_, buffer_ + sizeof buffer_, v).ptr - buffer_);
        return *this;
    }
    void write(const char *text, size_t length)
    {
        room(length);
        std::memcpy(buffer_ + n_, text, length);
        n_ += length;
    }

private:
    void room(size_t k)
    {
        if (sizeof buffer_ - n_ < k) flush();
    }
    void flush()
    {
        std::fwrite(buffer_, 1, n_, out_);
        n_ = 0;
    }
    FILE *out_;
    size_t n_ = 0;
    char buffer_[1 << 16];
};

void JsonWriter::detail(const EvaluatedSequence &s)
{
    const SequenceDetail &d = *s.detail;
    Composer c(out_);
    c << ", \"windows\": [";
    for (size_t i = 0; i < d.windows.size(); i++) {
        const Window &w = d.windows[i];
        /* Written without blanks: they would be a tenth of a large day's file. */
        if (i > 0) c << ",";
        if (w.priority == Priority::high) c << "{\"priority\":\"high";
        else c << "{\"priority\":\"low";
        c << "\",\"constraint\":" << int64_t{w.constraint + 1} << ",\"start\":" << int64_t{w.first + 1}
          << ",\"end\":" << int64_t{w.last + 1} << ",\"count\":" << int64_t{w.count} << ",\"excess\":"
          << int64_t{w.excess};
        if (w.reaches_previous_day) c << ",\"reaches_previous_day\":true}";
        else c << ",\"reaches_previous_day\":false}";
    }
    c << "], \"long_batches\": [";
    for (size_t i = 0; i < d.long_batches.size(); i++) {
        const Batch &b = d.long_batches[i];
        if (i > 0) c << ",";
        c << "{\"colour\":" << int64_t{b.colour} << ",\"start\":" << int64_t{b.first + 1}
          << ",\"length\":" << int64_t{b.length} << "}";
    }
    c << "], \"colour_change_positions\": [";
    for (size_t i = 0; i < d.colour_changes.size(); i++) {
        if (i > 0) c << ",";
        c << int64_t{d.colour_changes[i] + 1};
    }
    c << "]";
}

}  // namespace

std::unique_ptr<Writer> make_writer(Format format, FILE *out, bool windows)
{
    switch (format) {
    case Format::csv: return std::make_unique<CsvWriter>(out);
    case Format::json: return std::make_unique<JsonWriter>(out, windows);
    case Format::text: break;
    }
    return std::make_unique<TextWriter>(out);
}

}  // namespace quelto
