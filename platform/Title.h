// The window-title sink: where debug values and the frame counter go.
// Until a window connects itself, titles go nowhere (like writing to the
// title of a window that is not active).
#pragma once

#include <functional>
#include <string>

namespace platform {

using TitleSink = std::function<void(const std::string&)>;

void SetTitleSink(TitleSink sink);  // an empty sink disconnects
void SetWindowTitle(const std::string& text);

}  // namespace platform
