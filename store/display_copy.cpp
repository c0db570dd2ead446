#include "store/display_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

size_t SavedFileLength(const void* content, size_t length)
{
    if (length > 0 && static_cast<const unsigned char*>(content)[length - 1] == 0)
        return length - 1;
    return length;
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error)
{
    auto fail = [&](const std::string& what, int code)
    {
        if (error)
            *error = what + " " + path + ": " + std::strerror(code);
        return false;
    };
    // Named after the process, so that two writers never share one, and what
    // a killed process leaves can be told apart.
    static std::atomic<unsigned> counter{0};
    const std::string partial =
        path + "." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".part";
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("cannot create a file beside", errno);
    const char* bytes = static_cast<const char*>(data);
    for (size_t done = 0; done < size;)
    {
        const ssize_t put = write(fd, bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
        {
            const int code = put < 0 ? errno : ENOSPC;
            close(fd);
            unlink(partial.c_str());
            return fail("cannot write", code);
        }
        done += static_cast<size_t>(put);
    }
    if (close(fd) != 0)
    {
        const int code = errno;
        unlink(partial.c_str());
        return fail("cannot write", code);
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0)
    {
        const int code = errno;
        unlink(partial.c_str());
        return fail("cannot replace", code);
    }
    return true;
}

bool DisplayCopyMatches(const std::string& path, long storedLength)
{
    struct stat info
    {
    };
    if (storedLength <= 0 || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // Rows written by the program end with a zero byte that the copy lacks.
    if (info.st_size == storedLength - 1)
        return true;
    if (info.st_size != storedLength)
        return false;
    // As long as the row: whole only if the row had no zero byte to drop,
    // which a copy made with it (by an older version) still carries.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char last = 0;
    const bool read = pread(fd, &last, 1, info.st_size - 1) == 1;
    close(fd);
    return read && last != 0;
}
