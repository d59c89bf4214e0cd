#pragma once

#include <optional>
#include <string>

namespace app {

// Runs the editor window until the user quits; opens songPath first when
// given, exactly as if it had been chosen in the open dialog.
int RunEditor(int argc, char** argv, const std::optional<std::string>& songPath);

} // namespace app
