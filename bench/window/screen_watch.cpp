#include "bench/window/screen_watch.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <stdexcept>

struct CScreenWatch::Impl
{
    Display* display = nullptr;
    Window root = 0;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shared = false;
    int width = 0;
    int height = 0;
};

CScreenWatch::CScreenWatch() : m(std::make_unique<Impl>())
{
    m->display = XOpenDisplay(nullptr);
    if (!m->display)
        throw std::runtime_error("no X display (run under xvfb-run)");
    const int screen = DefaultScreen(m->display);
    m->root = RootWindow(m->display, screen);
    m->width = DisplayWidth(m->display, screen);
    m->height = DisplayHeight(m->display, screen);
    Visual* visual = DefaultVisual(m->display, screen);
    if (visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 || visual->blue_mask != 0xff)
        throw std::runtime_error("the screen is not 24-bit RGB");
    if (!XShmQueryExtension(m->display))
        return;
    m->image = XShmCreateImage(m->display, visual, DefaultDepth(m->display, screen), ZPixmap,
                               nullptr, &m->shm, m->width, m->height);
    if (!m->image)
        return;
    m->shm.shmid =
        shmget(IPC_PRIVATE, m->image->bytes_per_line * m->image->height, IPC_CREAT | 0600);
    if (m->shm.shmid < 0)
    {
        XDestroyImage(m->image);
        m->image = nullptr;
        return;
    }
    m->shm.shmaddr = m->image->data = static_cast<char*>(shmat(m->shm.shmid, nullptr, 0));
    m->shm.readOnly = False;
    XShmAttach(m->display, &m->shm);
    XSync(m->display, False);
    // Removed now; the segment lives until both sides detach.
    shmctl(m->shm.shmid, IPC_RMID, nullptr);
    m->shared = true;
}

CScreenWatch::~CScreenWatch()
{
    if (m->shared)
    {
        XShmDetach(m->display, &m->shm);
        m->image->data = nullptr;
        XDestroyImage(m->image);
        shmdt(m->shm.shmaddr);
    }
    else if (m->image)
        XDestroyImage(m->image);
    XCloseDisplay(m->display);
}

void CScreenWatch::Grab()
{
    if (m->shared)
    {
        XShmGetImage(m->display, m->root, m->image, 0, 0, AllPlanes);
        return;
    }
    if (m->image)
        XDestroyImage(m->image);
    m->image = XGetImage(m->display, m->root, 0, 0, static_cast<unsigned>(m->width),
                         static_cast<unsigned>(m->height), AllPlanes, ZPixmap);
}

std::vector<long> CScreenWatch::Count(const std::vector<std::uint32_t>& colours) const
{
    std::vector<long> counts(colours.size(), 0);
    if (!m->image || m->image->bits_per_pixel != 32)
        return counts;
    for (int y = 0; y < m->height; ++y)
    {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(m->image->data + y * m->image->bytes_per_line);
        for (int x = 0; x < m->width; ++x)
        {
            const std::uint32_t pixel = row[x] & 0xffffff;
            for (size_t i = 0; i < colours.size(); ++i)
                if (pixel == colours[i])
                    ++counts[i];
        }
    }
    return counts;
}

bool CScreenWatch::Save(const std::string& file) const
{
    if (!m->image || m->image->bits_per_pixel != 32)
        return false;
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", m->width, m->height);
    for (int y = 0; y < m->height; ++y)
    {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(m->image->data + y * m->image->bytes_per_line);
        for (int x = 0; x < m->width; ++x)
        {
            const unsigned char rgb[3] = {static_cast<unsigned char>(row[x] >> 16),
                                          static_cast<unsigned char>(row[x] >> 8),
                                          static_cast<unsigned char>(row[x])};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    return std::fclose(out) == 0;
}
