// File names in messages: as the demo writes them.
//
// The engine holds paths in two forms, WorkDir + "\" + the name the demo
// wrote ("/home/me/demo\data\a.vtl") and canonical disk paths
// ("/home/me/demo/data/a.png", the texture store's keys). An author wrote
// neither, so messages, events and findings name files relative to the
// demo folder with '\' between their parts: "data\a.vtl". Pure; any thread.
#pragma once

#include <string>

// path relative to workDir with '\' separators, when path lies in workDir
// (followed by '\' or '/'); any other path comes back unchanged.
std::string DemoPath(const std::string& path, const std::string& workDir);

// The same against GlobalFunc's WorkDir (the working directory without
// GlobalFunc). Reads GlobalFunc: the thread that owns it, or after start-up.
std::string DemoPath(const std::string& path);
