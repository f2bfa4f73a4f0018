#include "platform/Title.h"

namespace platform {
namespace {
TitleSink& CurrentSink() {
  static TitleSink sink;
  return sink;
}
}  // namespace

void SetTitleSink(TitleSink sink) { CurrentSink() = std::move(sink); }

void SetWindowTitle(const std::string& text) {
  if (CurrentSink()) CurrentSink()(text);
}

}  // namespace platform
