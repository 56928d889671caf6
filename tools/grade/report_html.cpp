// The HTML report. Pictures go in as data: URIs in the page's style, one rule
// per distinct picture, so that the solution's frame, shown in every row,
// is in the file once. Thumbnails grow to full size while focused (a click)
// by style alone; the few lines of script only sort the rows and decode a
// run's GIF when its button is pressed (without script the buttons stay
// hidden, and the rest of the page reads the same).
#include "report_html.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include <glib.h>

#include "results_files.h"

namespace grade {

namespace {

const int kOutcomes = (int)Outcome::NotRun + 1;

std::string escape(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
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

// A relative path as a link: every byte but letters, digits and -._~/ percent-encoded.
std::string link(const std::string &path) {
    std::string out;
    for (unsigned char c : path) {
        if (isalnum(c) || strchr("-._~/", c)) {
            out += (char)c;
        } else {
            char hex[4];
            snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string data_uri(const char *type, const std::string &bytes) {
    gchar *text = g_base64_encode((const guchar *)bytes.data(), bytes.size());
    std::string uri = std::string("data:") + type + ";base64," + text;
    g_free(text);
    return uri;
}

// The size a PNG declares in its header.
bool png_size(const std::string &bytes, int *width, int *height) {
    auto at = [&](size_t i) {
        return (uint32_t)(unsigned char)bytes[i] << 24 | (uint32_t)(unsigned char)bytes[i + 1] << 16 |
               (uint32_t)(unsigned char)bytes[i + 2] << 8 | (uint32_t)(unsigned char)bytes[i + 3];
    };
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return false;
    *width = (int)std::min<uint32_t>(at(16), 1 << 16);
    *height = (int)std::min<uint32_t>(at(20), 1 << 16);
    return *width > 0 && *height > 0;
}

std::string megabytes(size_t bytes) {
    char text[32];
    snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
    return text;
}

// The pictures of a report, each distinct one kept once as a style rule.
class Pictures {
public:
    explicit Pictures(std::string folder) : folder_(std::move(folder)) {}

    // A thumbnail of folder/path with a caption under it; empty for no path.
    std::string figure(const std::string &path, const char *caption) {
        if (path.empty()) return "";
        std::string bytes, inside;
        int width, height;
        if (!read_results_file(folder_, path, &bytes)) {
            inside = "<div class=\"nopic\">missing: " + escape(path) + "</div>";
        } else if (!png_size(bytes, &width, &height)) {
            inside = "<div class=\"nopic\">not a PNG: " + escape(path) + "</div>";
        } else {
            auto found = rules_.emplace(std::move(bytes), (int)rules_.size());
            if (found.second)
                style_ += ".p" + std::to_string(found.first->second) + "{background-image:url(" +
                          data_uri("image/png", found.first->first) + ")}\n";
            char size[96];
            snprintf(size, sizeof size, "--w:%dpx;--h:%dpx;aspect-ratio:%d/%d", width, height, width, height);
            inside = "<div class=\"pic p" + std::to_string(found.first->second) + "\" tabindex=\"0\" style=\"" +
                     size + "\" title=\"" + caption + ", " + std::to_string(width) + " x " +
                     std::to_string(height) + ": click for full size\"></div>";
        }
        return "<figure>" + inside + "<figcaption>" + caption + "</figcaption></figure>";
    }

    // The run's GIF behind a button, or a link to it beside the report when large.
    std::string gif(const std::string &path) {
        std::string bytes;
        if (path.empty()) return "";
        if (!read_results_file(folder_, path, &bytes))
            return "<div class=\"nopic\">run missing: " + escape(path) + "</div>";
        if (bytes.compare(0, 4, "GIF8") != 0) return "<div class=\"nopic\">run not a GIF: " + escape(path) + "</div>";
        if (bytes.size() > kReportGifMostBytes || gif_bytes_ + bytes.size() > kReportGifsMostBytes) {
            linked_gifs_++;
            return "<a class=\"run\" href=\"" + link(path) + "\">the run (GIF, " + megabytes(bytes.size()) +
                   ")</a><div class=\"note\">too large for this page: it is beside it, in " + escape(path) + "</div>";
        }
        gif_bytes_ += bytes.size();
        return "<button class=\"run\" type=\"button\" hidden data-src=\"" + data_uri("image/gif", bytes) +
               "\">show the run</button>";
    }

    const std::string &style() const { return style_; }
    int linked_gifs() const { return linked_gifs_; }

private:
    std::string folder_;
    std::map<std::string, int> rules_;  // a picture's bytes, and its rule's number
    std::string style_;
    size_t gif_bytes_ = 0;
    int linked_gifs_ = 0;
};

const char kStyle[] = R"(
body{font:15px/1.4 system-ui,"DejaVu Sans",sans-serif;color:#1f2328;margin:24px;background:#fff}
h1{font-size:24px;margin:0 0 6px}
.meta{color:#57606a;margin:2px 0}
.warning{background:#fff1e5;border:1px solid #d1242f;border-left-width:6px;padding:8px 12px;margin:10px 0;max-width:70em}
.kept{margin:6px 0;max-width:70em}
.counts{margin:10px 0;display:flex;flex-wrap:wrap;gap:6px 14px}
.o{font-weight:600;padding:1px 7px;border-radius:9px;color:#fff;white-space:nowrap}
.o0{background:#1a7f37}.o1{background:#bc4c00}.o2,.o3,.o4,.o5{background:#953800}
.o6,.o7{background:#cf222e}.o8{background:#6e7781}
#sort{margin:8px 0}#sort button{margin-right:6px}
table{border-collapse:collapse}
th,td{border:1px solid #d0d7de;padding:6px 8px;vertical-align:top;text-align:left}
thead th{background:#f6f8fa;position:sticky;top:0;z-index:1}
tbody th{font-weight:600;max-width:14em;overflow-wrap:anywhere}
td{min-width:250px;max-width:380px}
.measure{margin-top:4px}.detail{color:#57606a;margin-top:2px;overflow-wrap:anywhere;white-space:pre-wrap}
.pics{display:flex;gap:6px;margin-top:6px}
figure{margin:0;font-size:12px;color:#57606a;text-align:center}
.pic{width:110px;background:#fff center/contain no-repeat;border:1px solid #d0d7de;cursor:zoom-in}
.pic:focus{outline:3px solid #0969da}
.pic:focus::after{content:"";position:fixed;inset:0;margin:auto;z-index:10;width:min(var(--w),94vw);
  height:min(var(--h),90vh);background:inherit;background-size:contain;image-rendering:pixelated;
  box-shadow:0 0 0 100vmax rgba(0,0,0,.55);cursor:zoom-out}
.nopic{font-size:12px;color:#cf222e;overflow-wrap:anywhere}
.lines{margin-top:6px;font-size:13px}
.lines code{display:block;background:#f6f8fa;padding:1px 4px;overflow-wrap:anywhere;white-space:pre-wrap}
.words{font-style:italic}
.run{margin-top:6px;display:inline-block}.note{font-size:12px;color:#57606a}
td img{display:block;max-width:100%;margin-top:6px}
.none{color:#6e7781}
)";

const char kScript[] = R"(
(function () {
  var body = document.querySelector('#grid tbody');
  var bar = document.getElementById('sort');
  function key(row, name) { return Number(row.getAttribute('data-' + name)); }
  function sort(how) {
    var rows = Array.prototype.slice.call(body.rows);
    rows.sort(function (a, b) {
      var d = how == 'name' ? 0 : (key(a, 'worst') - key(b, 'worst')) || (key(a, 'sum') - key(b, 'sum'));
      if (how == 'worst') d = -d;
      return d || a.cells[0].textContent.localeCompare(b.cells[0].textContent);
    });
    rows.forEach(function (row) { body.appendChild(row); });
  }
  bar.hidden = false;
  document.querySelectorAll('button.run').forEach(function (b) { b.hidden = false; });
  bar.addEventListener('click', function (e) {
    if (e.target.getAttribute('data-sort')) sort(e.target.getAttribute('data-sort'));
  });
  document.addEventListener('click', function (e) {
    var button = e.target;
    if (!button.matches || !button.matches('button.run')) return;
    var img = document.createElement('img');
    img.alt = 'the run';
    img.src = button.getAttribute('data-src');
    button.replaceWith(img);
  });
})();
)";

// A share as a percentage with enough decimals to show a single pixel.
std::string percent(double share) {
    double p = share * 100;
    int decimals = p >= 1 ? 1 : p >= 0.01 ? 2 : std::min(8, (int)std::ceil(-std::log10(p)) + 1);
    char text[48];
    snprintf(text, sizeof text, "%.*f%%", decimals, p);
    return text;
}

// What the comparison measured, in words.
std::string measure(const Result &r) {
    bool differs = r.outcome == Outcome::Differs;
    if (!differs && r.outcome != Outcome::Passed) return "";
    if (r.differing_share <= 0)
        return differs && r.transcript_line > 0 ? "The frames are the solution's; the transcript differs." : "";
    std::string where = r.checkpoint ? " at frame " + std::to_string(r.checkpoint) : " in the last frame";
    return percent(r.differing_share) + " of pixels differ" + where + (differs ? "" : ", within the tolerance");
}

std::string cell(const Result &r, Pictures &pictures) {
    int rank = (int)r.outcome;
    std::string html = "<td data-rank=\"" + std::to_string(rank) + "\"><span class=\"o o" + std::to_string(rank) +
                       "\">" + outcome_name(r.outcome) + "</span>";
    std::string m = measure(r);
    if (!m.empty()) html += "<div class=\"measure\">" + m + "</div>";
    if (!r.detail.empty()) html += "<div class=\"detail\">" + escape(r.detail) + "</div>";
    std::string figures = pictures.figure(r.frame, "learner's") + pictures.figure(r.expected_frame, "solution's") +
                          pictures.figure(r.difference, "difference");
    if (!figures.empty()) html += "<div class=\"pics\">" + figures + "</div>";
    if (r.transcript_line > 0) {
        html += "<div class=\"lines\">Transcript line " + std::to_string(r.transcript_line) +
                ", the learner's:<code>" + escape(r.learner_line) + "</code>the solution's:<code>" +
                escape(r.expected_line) + "</code>";
        if (!r.transcript_words.empty()) html += "<span class=\"words\">" + escape(r.transcript_words) + "</span>";
        html += "</div>";
    }
    return html + pictures.gif(r.gif) + "</td>";
}

}  // namespace

bool write_report(const std::string &folder, const Summary &summary, const std::vector<Result> &results,
                  std::string *error) {
    // Columns: the summary's scripts, then any other a result names.
    std::vector<std::string> scripts = summary.scripts;
    std::vector<std::string> learners;
    std::map<std::pair<std::string, std::string>, const Result *> runs;
    int counts[kOutcomes] = {};
    for (const Result &r : results) {
        if (std::find(scripts.begin(), scripts.end(), r.script) == scripts.end()) scripts.push_back(r.script);
        if (!runs.emplace(std::make_pair(r.learner, r.script), &r).second) continue;
        if (std::find(learners.begin(), learners.end(), r.learner) == learners.end()) learners.push_back(r.learner);
        counts[(int)r.outcome]++;
    }
    std::sort(learners.begin(), learners.end());

    Pictures pictures(folder);
    std::string rows;
    for (const std::string &learner : learners) {
        std::string cells;
        int worst = 0, sum = 0;
        for (const std::string &script : scripts) {
            auto run = runs.find({learner, script});
            if (run == runs.end()) {
                cells += "<td class=\"none\" data-rank=\"" + std::to_string(kOutcomes) + "\">no result</td>";
                worst = kOutcomes, sum += kOutcomes;
                continue;
            }
            worst = std::max(worst, (int)run->second->outcome);
            sum += (int)run->second->outcome;
            cells += cell(*run->second, pictures);
        }
        rows += "<tr data-worst=\"" + std::to_string(worst) + "\" data-sum=\"" + std::to_string(sum) +
                "\"><th scope=\"row\">" + escape(learner) + "</th>" + cells + "</tr>\n";
    }

    std::string title = summary.title.empty() ? "Grade" : summary.title;
    std::string head = "<h1>" + escape(title) + "</h1>\n<p class=\"meta\">Graded " + escape(summary.when) + ": " +
                       std::to_string(learners.size()) + (learners.size() == 1 ? " learner" : " learners") +
                       ", " + std::to_string(scripts.size()) + (scripts.size() == 1 ? " script" : " scripts");
    for (size_t i = 0; i < scripts.size(); ++i) head += (i ? ", " : " (") + escape(scripts[i]);
    head += scripts.empty() ? "</p>\n" : ")</p>\n";
    if (summary.sandboxed)
        head += "<p class=\"kept\">Runs kept apart: " + escape(summary.sandbox) + "</p>\n";
    else
        head += "<p class=\"warning\"><strong>Not sandboxed.</strong> The learners' programs ran with only time "
                "and memory bounds: while they ran they could read and change your files and use the network. " +
                escape(summary.sandbox) + "</p>\n";
    head += "<div class=\"counts\"><span>" + std::to_string(runs.size()) + (runs.size() == 1 ? " run:" : " runs:") +
            "</span>";
    for (int i = 0; i < kOutcomes; ++i)
        if (counts[i])
            head += "<span><span class=\"o o" + std::to_string(i) + "\">" + outcome_name((Outcome)i) + "</span> " +
                    std::to_string(counts[i]) + "</span>";
    head += "</div>\n";

    std::string table = "<div id=\"sort\" hidden>Sort: <button type=\"button\" data-sort=\"worst\">worst first</button>"
                        "<button type=\"button\" data-sort=\"best\">best first</button>"
                        "<button type=\"button\" data-sort=\"name\">by name</button></div>\n"
                        "<table id=\"grid\"><thead><tr><th>Learner</th>";
    for (const std::string &script : scripts) table += "<th>" + escape(script) + "</th>";
    table += "</tr></thead>\n<tbody>\n" + rows + "</tbody></table>\n";
    if (pictures.linked_gifs())
        head += "<p class=\"note\">" + std::to_string(pictures.linked_gifs()) +
                " runs' GIFs were too large to put in this page: they are linked, and open only where the "
                "results folder is beside it.</p>\n";

    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       escape(title) + ": results</title>\n<style>" + kStyle + pictures.style() +
                       "</style>\n</head>\n<body>\n" + head + table + "<script>" + kScript +
                       "</script>\n</body>\n</html>\n";
    return write_whole_file(folder + "/report.html", page, error);
}

}  // namespace grade
