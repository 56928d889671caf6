// Merging shards of a grade: results joined, files copied under a folder per
// shard so that two shards' frames of the same name never meet.
#include "merge.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "report_html.h"
#include "results_files.h"

namespace fs = std::filesystem;

namespace grade {

namespace {

// "a, b, c", or "none".
std::string listed(const std::vector<std::string> &names) {
    return names.empty() ? "none" : joined(names, ", ");
}

// Whether two shards graded the same scripts, in any order.
bool same_scripts(std::vector<std::string> a, std::vector<std::string> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// The folder of out a shard's files go under: its own name, made unique.
std::string subfolder(const std::string &shard, std::set<std::string> *taken) {
    std::string base = fs::path(shard).lexically_normal().filename().string();
    if (base.empty() || base == "." || base == "..") base = "shard";
    std::string name = base;
    for (int n = 2; !taken->insert(name).second; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// Copies shard/path to out/sub/path (once) and points path at the copy; a
// file that is not there (or not inside the shard) is left out, with a warning.
bool take_file(const std::string &shard, const std::string &out, const std::string &sub, std::string *path,
               std::map<std::string, bool> *copied, std::string *error) {
    if (path->empty()) return true;
    std::string to = sub + "/" + *path;
    auto done = copied->find(to);
    if (done == copied->end()) {
        std::string bytes;
        bool there = read_results_file(shard, *path, &bytes);
        if (!there)
            fprintf(stderr, "kaplo_grade merge: %s/%s is missing: the report shows none\n", shard.c_str(),
                    path->c_str());
        std::error_code ec;
        if (there) fs::create_directories(fs::path(out + "/" + to).parent_path(), ec);
        if (ec) {
            *error = out + "/" + to + ": cannot make its folder: " + ec.message();
            return false;
        }
        if (there && !write_whole_file(out + "/" + to, bytes, error)) return false;
        done = copied->emplace(to, there).first;
    }
    *path = done->second ? to : "";
    return true;
}

// The time of a merged grade: the shards' one time, or their first to last.
std::string span(std::vector<std::string> times) {
    times.erase(std::remove(times.begin(), times.end(), ""), times.end());
    if (times.empty()) return "";
    std::sort(times.begin(), times.end());
    return times.front() == times.back() ? times.front() : times.front() + " to " + times.back();
}

}  // namespace

bool merge_results(const std::vector<std::string> &shards, const std::string &out, std::string *error) {
    if (shards.empty()) {
        *error = "no results folders to merge";
        return false;
    }
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        *error = out + ": cannot make the folder: " + ec.message();
        return false;
    }
    Summary merged;
    std::vector<Result> all;
    std::vector<std::string> times, sandboxes;
    std::map<std::pair<std::string, std::string>, std::string> seen;  // learner and script: their shard
    std::set<std::string> taken;
    std::map<std::string, bool> copied;  // files of out: whether each was there to copy
    merged.sandboxed = true;
    for (size_t i = 0; i < shards.size(); ++i) {
        const std::string &shard = shards[i];
        if (fs::equivalent(shard, out, ec)) {
            *error = shard + " is both a shard and the folder to merge into: name another folder for the merge";
            return false;
        }
        Summary summary;
        std::vector<Result> results;
        if (!read_results(shard, &summary, &results, error)) return false;
        if (i == 0) {
            merged.title = summary.title;
            merged.scripts = summary.scripts;
        } else if (!same_scripts(summary.scripts, merged.scripts)) {
            *error = shard + " graded the scripts " + listed(summary.scripts) + ", but " + shards[0] + " graded " +
                     listed(merged.scripts) + ": shards must grade the same task";
            return false;
        }
        if (summary.title != merged.title)
            fprintf(stderr, "kaplo_grade merge: %s is titled \"%s\", %s \"%s\": the report takes the first\n",
                    shard.c_str(), summary.title.c_str(), shards[0].c_str(), merged.title.c_str());
        merged.sandboxed = merged.sandboxed && summary.sandboxed;
        if (std::find(sandboxes.begin(), sandboxes.end(), summary.sandbox) == sandboxes.end())
            sandboxes.push_back(summary.sandbox);
        times.push_back(summary.when);
        std::string sub = subfolder(shard, &taken);
        for (Result &r : results) {
            auto first = seen.emplace(std::make_pair(r.learner, r.script), shard);
            if (!first.second) {
                fprintf(stderr, "kaplo_grade merge: %s's run on %s is in %s and in %s: keeping the one from %s\n",
                        r.learner.c_str(), r.script.c_str(), first.first->second.c_str(), shard.c_str(),
                        first.first->second.c_str());
                continue;
            }
            for (std::string *path : result_files(r))
                if (!take_file(shard, out, sub, path, &copied, error)) return false;
            all.push_back(std::move(r));
        }
    }
    merged.sandbox = joined(sandboxes, "; ");
    merged.when = span(times);
    return write_results(out, merged, all, error) && write_report(out, merged, all, error);
}

}  // namespace grade
