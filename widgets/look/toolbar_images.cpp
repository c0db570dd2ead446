#include "widgets/look/toolbar_images.h"

#include <array>

namespace
{

constexpr std::array<ToolbarImage, 20> kToolbar{{
    {32772, 0},               // settings
    {0, 1},      {32773, 2},  // search off-line community data
    {32795, 3},               // search off-line document data
    {0, 4},      {32780, 5},  // back
    {32781, 6},               // forward
    {32782, 7},               // stop
    {32779, 8},               // refresh
    {0, 9},      {32792, 10}, // reply
    {0, 11},     {32806, 12}, // forum search
    {32783, 13},              // community
    {32776, 14},              // documents
    {0, 15},     {32786, 16}, // help
    {32789, 17},              // sponsor
    {32790, 18},              // check for updates
    {32791, 19},              // home page
}};

} // namespace

std::span<const ToolbarImage> ToolbarImages()
{
    return kToolbar;
}

int ToolbarImageIndex(unsigned int command)
{
    if (command == 0)
        return -1;
    for (const ToolbarImage& button : kToolbar)
    {
        if (button.command == command)
            return button.index;
    }
    return -1;
}
