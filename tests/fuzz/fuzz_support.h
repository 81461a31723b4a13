#pragma once
// Folders for the fuzz targets: made once per process under the system's
// temporary folder and removed when it exits.
#include <string>

namespace delve::fuzz {

// A fresh empty folder, removed with everything in it at exit.
std::string makeTempFolder();
// Writes a file (relative path with "/"), creating its folders.
void writeFile(const std::string& folder, const std::string& relative, const std::string& bytes);
// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
// Copies a folder tree into another; a missing source copies nothing.
void copyTree(const std::string& from, const std::string& to);

}  // namespace delve::fuzz
