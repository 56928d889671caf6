// Folders and files the grader makes, copies and clears away, through
// std::filesystem, with its errors put into a sentence.
#include "files.h"

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
