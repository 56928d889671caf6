// results.json and results.csv: writing them, and reading results.json back
// with every value checked, so that a damaged or hand-edited file is refused
// with a sentence rather than half-read.
#include "results_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "capture/output_file.h"
#include "files.h"

namespace grade {

namespace {

using Json = nlohmann::ordered_json;

// The keys of result_files' files.
const char *const kFileKeys[] = {"frame", "expected_frame", "difference", "gif", "transcript"};

Json result_json(const Result &r) {
    Json j;
    j["learner"] = r.learner;
    j["script"] = r.script;
    j["outcome"] = outcome_name(r.outcome);
    j["detail"] = r.detail;
    j["differing_share"] = r.differing_share;
    j["checkpoint"] = r.checkpoint;
    j["build_seconds"] = r.build_seconds;
    j["run_seconds"] = r.run_seconds;
    for (int i = 0; i < 5; ++i) j[kFileKeys[i]] = *result_files(r)[i];
    j["transcript_line"] = r.transcript_line;
    j["learner_line"] = r.learner_line;
    j["expected_line"] = r.expected_line;
    j["transcript_words"] = r.transcript_words;
    return j;
}

// Checks the values of one JSON object, naming the first wrong one.
class Fields {
public:
    Fields(const Json &object, std::string where, std::string *error)
        : object_(object), where_(std::move(where)), error_(error) {}

    bool text(const char *key, std::string *out, bool required = false) {
        const Json *v = find(key, required);
        if (!v) return ok_;
        if (!v->is_string()) return wrong(key, "text", *v);
        *out = v->get<std::string>();
        return true;
    }
    bool number(const char *key, double *out, double most) {
        const Json *v = find(key, false);
        if (!v) return ok_;
        if (!v->is_number() || v->get<double>() < 0 || v->get<double>() > most)
            return wrong(key, most == 1 ? "a number from 0 to 1" : "a number of 0 or more", *v);
        *out = v->get<double>();
        return true;
    }
    bool count(const char *key, int *out) {
        const Json *v = find(key, false);
        if (!v) return ok_;
        if (!v->is_number_integer() || v->get<long long>() < 0 || v->get<long long>() > INT32_MAX)
            return wrong(key, "a whole number of 0 or more", *v);
        *out = v->get<int>();
        return true;
    }
    bool flag(const char *key, bool *out) {
        const Json *v = find(key, false);
        if (!v) return ok_;
        if (!v->is_boolean()) return wrong(key, "true or false", *v);
        *out = v->get<bool>();
        return true;
    }
    // A file beside results.json: a relative path that stays inside the folder.
    bool path(const char *key, std::string *out) {
        if (!text(key, out)) return false;
        if (out->empty()) return true;
        bool escapes = (*out)[0] == '/';
        std::stringstream parts(*out);
        for (std::string part; std::getline(parts, part, '/');) escapes = escapes || part == "..";
        if (escapes) return fail("\"" + std::string(key) + "\" names " + *out + ", which is not inside the results folder");
        return true;
    }
    bool fail(const std::string &what) {
        *error_ = where_ + what;
        return ok_ = false;
    }

private:
    const Json *find(const char *key, bool required) {
        auto it = object_.find(key);
        if (it != object_.end()) return &*it;
        if (required) fail("\"" + std::string(key) + "\" is missing");
        return nullptr;
    }
    bool wrong(const char *key, const char *wanted, const Json &value) {
        std::string shown = value.dump(-1, ' ', false, Json::error_handler_t::replace);
        if (shown.size() > 40) shown = shown.substr(0, 37) + "...";
        return fail("\"" + std::string(key) + "\" should be " + wanted + ", not " + shown);
    }

    const Json &object_;
    std::string where_;
    std::string *error_;
    bool ok_ = true;
};

bool read_result(const Json &j, int index, const std::string &file, Result *r, std::string *error) {
    std::string where = file + ": result " + std::to_string(index + 1) + ": ";
    if (!j.is_object()) {
        *error = where + "should be an object in braces { }";
        return false;
    }
    Fields f(j, where, error);
    std::string outcome;
    if (!f.text("learner", &r->learner, true) || !f.text("script", &r->script, true)) return false;
    // From here on the message names the run.
    Fields g(j, where.substr(0, where.size() - 2) + " (" + r->learner + ", " + r->script + "): ", error);
    if (!g.text("outcome", &outcome, true)) return false;
    if (!outcome_from_name(outcome, &r->outcome)) {
        std::string names;
        for (int i = 0; i <= (int)Outcome::NotRun; ++i)
            names += std::string(i ? ", " : "") + outcome_name((Outcome)i);
        return g.fail("\"outcome\" is \"" + outcome + "\", which is none of: " + names);
    }
    if (!g.text("detail", &r->detail) || !g.number("differing_share", &r->differing_share, 1) ||
        !g.count("checkpoint", &r->checkpoint) || !g.number("build_seconds", &r->build_seconds, HUGE_VAL) ||
        !g.number("run_seconds", &r->run_seconds, HUGE_VAL))
        return false;
    for (int i = 0; i < 5; ++i)
        if (!g.path(kFileKeys[i], result_files(*r)[i])) return false;
    return g.count("transcript_line", &r->transcript_line) && g.text("learner_line", &r->learner_line) &&
           g.text("expected_line", &r->expected_line) && g.text("transcript_words", &r->transcript_words);
}

// Line and column of a byte offset (1-based) in text.
std::string place(const std::string &text, size_t byte) {
    size_t line = 1, column = 1;
    for (size_t i = 0; i + 1 < byte && i < text.size(); ++i, ++column)
        if (text[i] == '\n') line++, column = 0;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A cell of text: quoted where it holds a comma, quote, line break or
// surrounding space; a leading = + - @ (or tab, CR) that a spreadsheet would
// take for a formula is kept as text by a leading apostrophe.
std::string csv_cell(const std::string &text) {
    std::string s = text;
    if (!s.empty() && strchr("=+-@\t\r", s[0])) s.insert(0, "'");
    bool quote = s.find_first_of(",\"\r\n") != std::string::npos ||
                 (!s.empty() && (s.front() == ' ' || s.back() == ' '));
    if (!quote) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string csv_number(const char *format, double value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

bool read_results_file(const std::string &folder, const std::string &path, std::string *bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::canonical(folder, ec), real = fs::canonical(folder + "/" + path, ec);
    if (ec || !fs::is_regular_file(real, ec)) return false;
    auto rest = std::mismatch(base.begin(), base.end(), real.begin(), real.end());
    return rest.first == base.end() && read_file(real.string(), bytes);
}

bool write_whole_file(const std::string &path, const std::string &text, std::string *error) {
    OutputFile file;
    if (!file.open(path, error)) return false;
    fwrite(text.data(), 1, text.size(), file.stream());
    return file.commit(error);
}

std::string results_csv(const std::vector<Result> &results) {
    std::string out =
        "\xEF\xBB\xBFlearner,script,outcome,differing_percent,checkpoint,build_seconds,run_seconds,detail,"
        "transcript_words\r\n";
    for (const Result &r : results) {
        out += csv_cell(r.learner) + "," + csv_cell(r.script) + "," + outcome_name(r.outcome) + "," +
               csv_number("%.6g", r.differing_share * 100) + "," + std::to_string(r.checkpoint) + "," +
               csv_number("%.2f", r.build_seconds) + "," + csv_number("%.2f", r.run_seconds) + "," +
               csv_cell(r.detail) + "," + csv_cell(r.transcript_words) + "\r\n";
    }
    return out;
}

bool write_results(const std::string &folder, const Summary &summary, const std::vector<Result> &results,
                   std::string *error) {
    Json j;
    j["title"] = summary.title;
    j["sandbox"] = summary.sandbox;
    j["sandboxed"] = summary.sandboxed;
    j["scripts"] = summary.scripts;
    j["when"] = summary.when;
    j["results"] = Json::array();
    for (const Result &r : results) j["results"].push_back(result_json(r));
    // Names are file names, which need not be UTF-8: such bytes become U+FFFD.
    std::string text = j.dump(1, '\t', false, Json::error_handler_t::replace) + "\n";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return write_whole_file(folder + "/results.json", text, error) &&
           write_whole_file(folder + "/results.csv", results_csv(results), error);
}

bool read_results(const std::string &folder, Summary *summary, std::vector<Result> *results,
                  std::string *error) {
    std::string file = folder + "/results.json";
    std::string text, why;
    if (!read_file(file, &text, &why)) {
        *error = file + ": cannot read it: " + why;
        return false;
    }
    Json j;
    try {
        j = Json::parse(text);
    } catch (const Json::parse_error &e) {
        *error = file + (text.find_first_not_of(" \t\r\n") == std::string::npos
                             ? ": the file is empty"
                             : ": not a results file: its JSON is broken at " + place(text, e.byte));
        return false;
    }
    if (!j.is_object()) {
        *error = file + ": not a results file: it should be one object in braces { }";
        return false;
    }
    Fields f(j, file + ": ", error);
    Summary s;
    if (!f.text("title", &s.title) || !f.text("sandbox", &s.sandbox) || !f.flag("sandboxed", &s.sandboxed) ||
        !f.text("when", &s.when))
        return false;
    auto scripts = j.find("scripts");
    if (scripts == j.end() || !scripts->is_array()) return f.fail("\"scripts\" should be a list of script names");
    for (const Json &name : *scripts) {
        if (!name.is_string()) return f.fail("\"scripts\" should hold only names in quotes");
        s.scripts.push_back(name.get<std::string>());
    }
    auto list = j.find("results");
    if (list == j.end() || !list->is_array()) return f.fail("\"results\" should be a list in brackets [ ]");
    std::vector<Result> read(list->size());
    for (size_t i = 0; i < list->size(); ++i)
        if (!read_result((*list)[i], (int)i, file, &read[i], error)) return false;
    *summary = s;
    *results = std::move(read);
    return true;
}

}  // namespace grade
