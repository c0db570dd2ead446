// The room tree file is shared by the program and its companions: each
// change is read, made and written while holding an exclusive lock on a
// lock file beside it, so no process writes over another's change.
#pragma once

#include <string>
#include <sys/types.h>

// flock on "<tree file>.lock", held for the object's life. A lock file that
// cannot be made (a read-only folder) leaves the object unlocked; writing
// the tree fails there anyway.
class CTreeFileLock
{
public:
    explicit CTreeFileLock(const std::string& treeFile);
    ~CTreeFileLock();
    CTreeFileLock(const CTreeFileLock&) = delete;
    CTreeFileLock& operator=(const CTreeFileLock&) = delete;

    bool Locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// What tells one version of a file from the next: replacing it through a
// file beside it gives a new inode, writing in place a new time or size.
struct CFileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    long long modifiedNs = 0;

    bool operator==(const CFileIdentity&) const = default;
};

// The identity of the file at path; size -1 when it does not exist.
CFileIdentity IdentityOfFile(const std::string& path);

// Removes the temporary files a writer killed mid-write left beside the
// tree file ("<name>.tmpXXXXXX"). Call with the lock held. Returns how many.
int RemoveTreeLeftovers(const std::string& treeFile);
