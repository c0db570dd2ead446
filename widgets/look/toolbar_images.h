// Which image of the toolbar strips (132 large, 141 small) belongs to which
// command. The strips hold one image per toolbar button in button order, a
// blank image where the toolbar has a separator.
#pragma once

#include <span>

struct ToolbarImage
{
    unsigned int command; // command id; 0 for a separator
    int index;            // image in the strips
};

// The 20 toolbar buttons in order, separators included.
std::span<const ToolbarImage> ToolbarImages();

// The strip image of a command, or -1 when the toolbar has no such button.
int ToolbarImageIndex(unsigned int command);
