#pragma once

#include <functional>
#include <string_view>

namespace chart {

// Asks the user a Yes/No question with a caption; true for Yes. The window
// supplies a message box, tests a scripted answer.
using AskYesNo = std::function<bool(std::string_view text, std::string_view caption)>;

// Tells the user something (an OK message box in the window).
using ShowMessage = std::function<void(std::string_view text)>;

} // namespace chart
