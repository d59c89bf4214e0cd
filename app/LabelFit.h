#pragma once

class QWidget;

namespace app {

// The layout was drawn for one face; another face's wider text must neither
// run under the control to a label's right nor touch it. Moves each such
// left-aligned label of `parent` to the left, as far as needed to leave
// `gapPixels` of air before that control, and no further than the control
// on its left allows. Controls are the children with an object name (their
// id); labels are the QLabels without one.
void FitLabelsBesideControls(QWidget* parent, int gapPixels);

} // namespace app
