#include "LQSMTP/base64.h"

namespace MUtils
{
const char* const kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const char* a = kBase64Alphabet;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3)
    {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned b2 = static_cast<unsigned char>(bytes[i + 2]);
        out += a[b0 >> 2];
        out += a[((b0 & 3) << 4) | (b1 >> 4)];
        out += a[((b1 & 15) << 2) | (b2 >> 6)];
        out += a[b2 & 63];
    }
    const std::size_t left = bytes.size() - i;
    if (left == 1)
    {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        out += a[b0 >> 2];
        out += a[(b0 & 3) << 4];
        out += "==";
    }
    else if (left == 2)
    {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        out += a[b0 >> 2];
        out += a[((b0 & 3) << 4) | (b1 >> 4)];
        out += a[(b1 & 15) << 2];
        out += '=';
    }
    return out;
}
} // namespace MUtils
