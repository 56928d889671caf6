// Splits a program's standard error as it comes: everything passes on to the
// terminal, except a sanitizer's report, which is kept aside (up to a bound)
// for end_words to put into words. The layer's line saying it found no
// display passes on and is kept as well.
#pragma once

#include <string>

namespace end_words {

class ReportFilter {
  public:
    // Takes the next bytes; appends what passes to *out and what is kept to *keep.
    void feed(const std::string &bytes, std::string *out, std::string *keep);
    // The end of the stream: what is still held goes where it belongs.
    void finish(std::string *out, std::string *keep);

    static constexpr size_t kKeepBound = 1 << 20;  // a report of 250 frames is about 30 KB

  private:
    void line(const std::string &text, std::string *out, std::string *keep);
    void add_kept(const std::string &text, std::string *keep);

    std::string partial_;    // the start of a line whose end has not come yet
    std::string rule_;       // a line of '=' held until the next says whether a report follows
    bool in_report_ = false;
    size_t kept_ = 0;
};

}  // namespace end_words
