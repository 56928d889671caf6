// The stream filter of a program's standard error (report_filter.h).
#include "report_filter.h"

#include "end_words.h"

namespace end_words {
namespace {

bool has(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

// The first line of a report: AddressSanitizer's (after its rule of '='), a
// signal either sanitizer caught, or UndefinedBehaviorSanitizer's finding.
bool report_begins(const std::string &line) {
    return has(line, "Sanitizer:DEADLYSIGNAL") || has(line, "==ERROR: AddressSanitizer: ") ||
           has(line, ": runtime error: ");
}

// AddressSanitizer's rule before its report: a long line of '='.
bool is_rule(const std::string &line) {
    size_t n = line.size() - (!line.empty() && line.back() == '\n');
    return n >= 60 && line.find_first_not_of('=') >= n;
}

}  // namespace

void ReportFilter::add_kept(const std::string &text, std::string *keep) {
    if (kept_ >= kKeepBound) return;
    std::string part = text.substr(0, kKeepBound - kept_);
    kept_ += part.size();
    *keep += part;
}

void ReportFilter::line(const std::string &text, std::string *out, std::string *keep) {
    if (!in_report_ && report_begins(text)) in_report_ = true;
    if (in_report_) {
        if (!rule_.empty()) add_kept(rule_, keep), rule_.clear();
        add_kept(text, keep);
        return;
    }
    if (!rule_.empty()) *out += rule_, rule_.clear();
    if (is_rule(text)) {
        rule_ = text;
        return;
    }
    *out += text;
    if (text.rfind(no_display_message, 0) == 0 || text.find(unresponsive_end_message) != std::string::npos)
        add_kept(text, keep);
}

void ReportFilter::feed(const std::string &bytes, std::string *out, std::string *keep) {
    size_t start = 0;
    for (size_t nl; (nl = bytes.find('\n', start)) != std::string::npos; start = nl + 1) {
        line(partial_ + bytes.substr(start, nl + 1 - start), out, keep);
        partial_.clear();
    }
    partial_ += bytes.substr(start);
    // A long line with no end in sight is passed on in pieces.
    if (partial_.size() > 4096 && !in_report_) *out += partial_, partial_.clear();
}

void ReportFilter::finish(std::string *out, std::string *keep) {
    if (!partial_.empty()) line(partial_, out, keep);
    partial_.clear();
    if (!rule_.empty()) *out += rule_, rule_.clear();
}

}  // namespace end_words
