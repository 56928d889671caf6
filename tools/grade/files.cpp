// Folders and files the grader makes, copies and clears away.
#include "files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace grade {

bool make_folders(const std::string &path, std::string *error) {
    std::string at;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        at = path.substr(0, slash);
        if (!at.empty() && mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = "cannot make the folder " + at + ": " + strerror(errno);
            return false;
        }
        from = slash + 1;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = path + " is not a folder";
        return false;
    }
    return true;
}

void remove_tree(const std::string &path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR *d = opendir(path.c_str())) {
            while (dirent *e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") remove_tree(path + "/" + n);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool copy_file(const std::string &from, const std::string &to, std::string *error) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out || !(out << in.rdbuf()) || !out.flush()) {
        *error = "cannot copy " + from + " to " + to + ": " + strerror(errno);
        return false;
    }
    return true;
}

bool copy_tree(const std::string &from, const std::string &to, std::string *error) {
    if (!make_folders(to, error)) return false;
    DIR *d = opendir(from.c_str());
    if (!d) {
        *error = "cannot read the folder " + from + ": " + strerror(errno);
        return false;
    }
    bool ok = true;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        struct stat st;
        if (n == "." || n == ".." || lstat((from + "/" + n).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) ok = copy_tree(from + "/" + n, to + "/" + n, error);
        else if (S_ISREG(st.st_mode)) ok = copy_file(from + "/" + n, to + "/" + n, error);
        if (!ok) break;
    }
    closedir(d);
    return ok;
}

}  // namespace grade
