// The loading bar: progress shown on the loading frame while the demo
// system loads its items, in the 800 x 600 loading projection. Updated
// when an item starts and while long files are read, at most about twenty
// times a second; the state items leave behind is left as it was.
#pragma once

#include <cstddef>
#include <cstdint>

class vtLoadingBar {
 public:
  static constexpr std::uint32_t kMinInterval = 50;  // ms between two pictures

  // Starts showing progress over count items; connects the reader's hook.
  void Begin(std::size_t count);
  void StartItem(std::size_t index);
  void SetFileProgress(double fraction);
  // Disconnects the reader's hook.
  void End();

  float Progress() const;  // 0..1 over all items
  std::uint32_t Pictures() const { return pictures_; }

 private:
  void Show(bool force);
  void Draw() const;

  std::size_t count_ = 0;
  std::size_t index_ = 0;
  double fileFraction_ = 0;
  std::uint32_t lastShown_ = 0;
  std::uint32_t pictures_ = 0;
};
