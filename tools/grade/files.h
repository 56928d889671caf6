// Folders and files the grader makes, copies and clears away.
#pragma once

#include <string>

namespace grade {

// Makes a folder and those above it; false with why in *error.
bool make_folders(const std::string &path, std::string *error);
// Removes a folder and all in it (quietly: what cannot go stays).
void remove_tree(const std::string &path);
// A file's bytes; false (with why in *error, when given) when it cannot be
// read whole: a folder, a file that vanished, a read error.
bool read_file(const std::string &path, std::string *bytes, std::string *error = nullptr);
// Copies a file's bytes; false with why in *error.
bool copy_file(const std::string &from, const std::string &to, std::string *error);
// Copies a folder with all in it (symbolic links left out).
bool copy_tree(const std::string &from, const std::string &to, std::string *error);
// The last part of a path ("task3.SCR" of "/a/b/task3.SCR"; "b" of "/a/b/").
std::string base_name(const std::string &path);

}  // namespace grade
