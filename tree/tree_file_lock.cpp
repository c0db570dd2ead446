#include "tree/tree_file_lock.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CTreeFileLock::CTreeFileLock(const std::string& treeFile)
{
    if (treeFile.empty())
        return;
    m_fd = ::open((treeFile + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return;
    while (::flock(m_fd, LOCK_EX) != 0)
    {
        if (errno != EINTR)
        {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

CTreeFileLock::~CTreeFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

CFileIdentity IdentityOfFile(const std::string& path)
{
    CFileIdentity identity;
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return identity;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs =
        static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return identity;
}

int RemoveTreeLeftovers(const std::string& treeFile)
{
    const size_t slash = treeFile.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : treeFile.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? treeFile : treeFile.substr(slash + 1)) + ".tmp";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        // The atomic writer's names: the prefix and six generated characters.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0 &&
            ::unlink((folder + name).c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}
