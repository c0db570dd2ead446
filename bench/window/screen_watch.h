// Looks at the whole X screen: how many of its pixels have given colours,
// read through shared memory so that looking often costs little.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CScreenWatch
{
public:
    // Opens $DISPLAY; throws std::runtime_error when there is none or its
    // pixels are not 8-bit red, green, blue.
    CScreenWatch();
    ~CScreenWatch();
    CScreenWatch(const CScreenWatch&) = delete;
    CScreenWatch& operator=(const CScreenWatch&) = delete;

    // Reads the screen as it is now.
    void Grab();
    // Of the last grab: pixels of each colour (0xRRGGBB), in order.
    std::vector<long> Count(const std::vector<std::uint32_t>& colours) const;
    // Of the last grab, as a binary PPM file.
    bool Save(const std::string& file) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};
