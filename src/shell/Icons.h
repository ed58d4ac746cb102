#pragma once
// The tool bar's icons, drawn for this program as SVG (resources/icons) and
// rendered into crisp pixmaps at the sizes a tool bar and a menu use.
#include <QCursor>
#include <QIcon>

#include "commands/CommandId.h"

namespace movigram {

// A null icon for a command without one.
QIcon iconForCommand(CommandId id);
// The application's own icon.
QIcon applicationIcon();
// The canvas's cursor while a colour is picked: a pipette with its tip at
// the hot spot.
QCursor pickCursor();

}  // namespace movigram
