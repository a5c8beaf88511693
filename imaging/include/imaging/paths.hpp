#pragma once
// File names as the programs show them. Defaults are Windows-style ("C:\frHgg.txt"); when such a
// name is opened on Linux a leading drive letter and colon stand for the user's home directory
// and "\" is accepted as a separator.

#include <string>

namespace imaging {

// The file-system path for a name typed into a text box: "C:\dir\x.txt" -> "$HOME/dir/x.txt".
std::string hostPath(const std::string& name);

// The platform's directory separator ('/' here), used where the programs join a folder and a name.
constexpr char kPathSeparator = '/';

// Deletes a file; a missing or undeletable file is a run-time error naming it.
void deleteFile(const std::string& name);
bool fileExists(const std::string& name);

}  // namespace imaging
