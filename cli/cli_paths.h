#pragma once
// Paths as the front end compares them, before anything is opened.
#include <filesystem>
#include <string>

// Paths are UTF-8 inside; a path object made from a plain string would read
// it in the system's narrow code page on Windows.
std::filesystem::path PathOf(const std::string& strUtf8);

// Two paths of one file or device: the same file (links included), or the
// same place once links are resolved (the library does not compare two
// device nodes). False when either does not exist.
bool IsSameObject(const std::string& strFirst, const std::string& strSecond);
