// The work folder every engine path starts with ("C:\demo" style paths are
// joined to it with '\'), and the one way to leave it out of a text shown
// to the author.
#pragma once

#include <string>

// GlobalFunc's work folder, or the current directory before there is one.
std::string WorkDir();

// text with every "workDir\" taken out (the script's spelling of the paths
// in it); an empty workDir changes nothing.
std::string WithoutWorkDir(std::string text, const std::string& workDir);
