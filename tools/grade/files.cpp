// Folders and files the grader makes, copies and clears away, through
// std::filesystem, with its errors put into a sentence.
#include "files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace grade {

bool make_folders(const std::string &path, std::string *error) {
    std::error_code e;
    fs::create_directories(path, e);
    if (!e && fs::is_directory(path, e)) return true;
    *error = "cannot make the folder " + path + (e ? ": " + e.message() : ": something else has its name");
    return false;
}

void remove_tree(const std::string &path) {
    std::error_code e;
    fs::remove_all(path, e);
}

bool read_file(const std::string &path, std::string *bytes, std::string *error) {
    bytes->clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (f) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
    }
    int why = errno;
    bool ok = f && !ferror(f);
    if (f) fclose(f);
    if (!ok && error) *error = strerror(why);
    return ok;
}

bool copy_file(const std::string &from, const std::string &to, std::string *error) {
    std::error_code e;
    if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, e)) return true;
    *error = "cannot copy " + from + " to " + to + ": " + e.message();
    return false;
}

bool copy_tree(const std::string &from, const std::string &to, std::string *error) {
    std::error_code e;
    fs::create_directories(to, e);
    if (!e) fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::skip_symlinks |
                                   fs::copy_options::overwrite_existing, e);
    if (!e) return true;
    *error = "cannot copy " + from + " to " + to + ": " + e.message();
    return false;
}

std::string base_name(const std::string &path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace grade
