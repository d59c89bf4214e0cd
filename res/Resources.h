#pragma once

// The program's own images, compiled in. res/make_images.py draws them.
namespace res {

// Registers the compiled-in images with Qt. A static library's resources are
// not registered by themselves; call this (any number of times, window
// thread) before loading one of the paths below.
void InitResources();

// Arrow sheet, 64 x 64: cells of 16 x 16, columns Up, Down, Left, Right;
// rows target (white fill), even slot (red), odd slot (cyan), green.
inline constexpr char kArrowSheet[] = ":/beatwright/arrows.xpm";
// Note sheet, 96 x 192: cells of 16 x 16, columns Up, Down, Left, Right,
// Up-Left, Up-Right; rows target, the nine note colours of edit::NoteColour
// in order (4th red and 8th cyan as on the arrow sheet), hold body, hold
// tail.
inline constexpr char kNoteSheet[] = ":/beatwright/notes.xpm";
// Seek strips, 32 x 106: three buttons 34 rows tall, 2 white rows between.
inline constexpr char kRewindStrip[] = ":/beatwright/rewind.xpm";
inline constexpr char kForwardStrip[] = ":/beatwright/forward.xpm";
// Application icon, 128 x 128 with transparency.
inline constexpr char kAppIcon128[] = ":/beatwright/beatwright-128.png";

} // namespace res
