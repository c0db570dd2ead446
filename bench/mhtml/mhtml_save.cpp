// Saves one page as a web archive: mhtml_save URL PATH
#include "platform/net/page_archiver.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s URL PATH\n", argv[0]);
        return 2;
    }
    ArchiveResult r = SavePageAsMhtml(argv[1], argv[2]);
    if (!r.ok)
    {
        std::fprintf(stderr, "%s\n", r.error.c_str());
        return 1;
    }
    std::printf("%zu parts: the page and %zu resources saved, %zu missed\n", r.partCount,
                r.savedCount, r.missing.size());
    for (const auto& m : r.missing)
        std::printf("missing: %s\n", m.c_str());
    return 0;
}
