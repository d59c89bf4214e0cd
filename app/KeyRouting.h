#pragma once

class QWidget;

namespace app {

// Whether keys sent to `widget` are text the user is typing into it: an
// editable line or text box, or the edit field of an editable drop-down.
// Read-only boxes only show values and type nothing.
bool TakesTypedText(const QWidget* widget);

} // namespace app
