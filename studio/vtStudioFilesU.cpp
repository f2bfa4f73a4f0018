#include "studio/vtStudioFilesU.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "platform/StagedFile.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::mutex settingsMutex;  // one reader or writer of the settings file at a time

bool Hidden(const fs::path& path) { return !path.filename().empty() && path.filename().string()[0] == '.'; }

std::string SettingsPath(const std::string& demoFolder) { return demoFolder + "/" + kStudioSettingsFile; }

bool ReadSettingsLocked(const std::string& demoFolder, json& settings, std::string& why) {
  settings = {{"tempo", nullptr}, {"offset", 0}};
  std::error_code error;
  if (!fs::exists(SettingsPath(demoFolder), error)) return true;
  std::string bytes;
  if (!platform::ReadWholeFile(SettingsPath(demoFolder), bytes, why)) return false;
  const json stored = json::parse(bytes, nullptr, false);
  if (!stored.is_object()) return true;
  if (stored.contains("tempo") && (stored["tempo"].is_null() || stored["tempo"].is_number()))
    settings["tempo"] = stored["tempo"];
  if (stored.contains("offset") && stored["offset"].is_number()) settings["offset"] = stored["offset"];
  return true;
}

}  // namespace

std::vector<std::string> DemoFiles(const std::string& workFolder, const std::string& demoFolder,
                                   const std::string& extension) {
  std::vector<std::string> files;
  std::error_code error;
  const std::string suffix = "." + extension;
  fs::recursive_directory_iterator it(demoFolder, fs::directory_options::skip_permission_denied, error), end;
  for (; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (Hidden(path) || it.depth() >= kMaxListDepth) {
      if (it->is_directory(error)) it.disable_recursion_pending();
      continue;
    }
    const std::string name = path.string();
    if (!it->is_regular_file(error) || name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::string relative = fs::path(name).lexically_relative(workFolder).string();
    if (relative.empty() || relative.compare(0, 2, "..") == 0) continue;
    std::replace(relative.begin(), relative.end(), '/', '\\');
    files.push_back(std::move(relative));
    if (files.size() >= kMaxListedFiles) break;
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool ReadStudioSettings(const std::string& demoFolder, json& settings, std::string& why) {
  std::lock_guard<std::mutex> lock(settingsMutex);
  return ReadSettingsLocked(demoFolder, settings, why);
}

bool UpdateStudioSettings(const std::string& demoFolder, const json& change, json& settings, std::string& why) {
  std::lock_guard<std::mutex> lock(settingsMutex);
  if (!ReadSettingsLocked(demoFolder, settings, why)) return false;
  for (const auto& [key, value] : change.items()) settings[key] = value;
  platform::StagedFile staged;
  return staged.Stage(SettingsPath(demoFolder), settings.dump(2) + "\n", why) && staged.Commit(why);
}
