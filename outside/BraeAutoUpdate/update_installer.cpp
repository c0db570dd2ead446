#include "outside/BraeAutoUpdate/update_installer.h"

#include "base/app_mode.h"
#include "platform/net/cookie_store.h"

#include <archive.h>
#include <archive_entry.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace
{

constexpr const char* kWorkFolder = ".myzelk-update";
constexpr const char* kNewSuffix = ".myzelk-new";
constexpr const char* kOldSuffix = ".myzelk-old";
constexpr const char* kUnchanged = "原有的安装保持不变。";
constexpr const char* kInstalledCopyReason =
    "这个 MyZELK 安装在系统中（程序文件夹属于软件包管理器或不可写），在线更新不会改动它。"
    "请用软件包管理器安装新版本，例如：sudo apt update && sudo apt install --only-upgrade myzelk";
constexpr std::size_t kMaxEntries = 20000;
constexpr std::size_t kMaxPathBytes = 259; // as the program's own path buffers

// Relative paths of the user's data; a folder covers everything below it.
constexpr const char* kUserData[] = {
    "DataBase",  "MyZELK.cfg", "Resource/RoomList/OffLine.xml",
    "Temp",      "debug.txt",  kBrowserProfileFolder,
    kWorkFolder,
};

CUpdateResult Failure(const std::string& reason)
{
    CUpdateResult result;
    result.outcome = UpdateOutcome::Failed;
    result.reason = reason + "\n" + kUnchanged;
    return result;
}

std::string ErrorText(int error)
{
    return error == ENOSPC || error == EDQUOT ? "磁盘空间不足" : std::strerror(error);
}

// "dir/name" -> "dir/.name" + suffix, in the same folder so a rename is atomic.
std::string Beside(const std::string& target, const char* suffix)
{
    const size_t slash = target.rfind('/');
    return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + suffix;
}

bool EndsWith(const std::string& s, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

void FsyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.rfind('/'));
}

std::string ArchiveError(archive* a)
{
    const char* text = archive_error_string(a);
    return text ? text : "未知错误";
}

// A package path made safe, or empty when it must be refused.
std::string CleanRelativePath(const char* raw)
{
    if (!raw)
        return {};
    std::string path = raw;
    while (path.starts_with("./"))
        path.erase(0, 2);
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.front() == '/')
        return {};
    size_t start = 0;
    while (start <= path.size())
    {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == ".." || part.size() > 255 ||
            EndsWith(part, kNewSuffix) || EndsWith(part, kOldSuffix))
            return {};
        for (unsigned char c : part)
            if (c < 0x20 || c == 0x7F)
                return {};
        start = end + 1;
    }
    return path;
}

struct PlannedFile
{
    std::string target;
    std::string staged;
    std::string kept;
    bool replaces = false;
    int state = 0; // 1: old file kept, 2: new file in place
};

// The set of files being replaced; undoes everything unless committed.
class ReplacementSet
{
public:
    ReplacementSet(std::string installDir, const CUpdateHooks& hooks)
        : m_installDir(std::move(installDir)), m_hooks(hooks),
          m_workDir(m_installDir + "/" + kWorkFolder)
    {
    }
    ~ReplacementSet()
    {
        if (!m_committed)
            Discard();
    }

    // Folders on the way to `relative` exist as real folders (created when
    // missing); false with a reason when something else is in the way.
    bool PrepareFolders(const std::string& relative, std::string& reason)
    {
        size_t slash = relative.find('/');
        while (slash != std::string::npos)
        {
            const std::string part = relative.substr(0, slash);
            if (m_plannedFiles.count(part))
            {
                reason = "更新包中的 " + part + " 既是文件又是文件夹。";
                return false;
            }
            m_plannedFolders.insert(part);
            const std::string full = m_installDir + "/" + part;
            struct stat st
            {
            };
            if (::lstat(full.c_str(), &st) == 0)
            {
                if (S_ISLNK(st.st_mode))
                {
                    reason = "安装文件夹中的 " + part + " 是一个链接，更新不写入链接所指之处。";
                    return false;
                }
                if (!S_ISDIR(st.st_mode))
                {
                    reason = "无法替换 " + part + "：那里是一个文件，更新包要一个文件夹。";
                    return false;
                }
            }
            else if (errno == ENOENT)
            {
                if (::mkdir(full.c_str(), 0755) != 0)
                {
                    reason = "无法建立文件夹 " + part + "：" + ErrorText(errno);
                    return false;
                }
                m_createdFolders.push_back(full);
            }
            else
            {
                reason = "无法读取 " + part + "：" + ErrorText(errno);
                return false;
            }
            slash = relative.find('/', slash + 1);
        }
        return true;
    }

    bool AddFolder(const std::string& relative, std::string& reason)
    {
        return PrepareFolders(relative + "/", reason);
    }

    // Writes the entry's data beside its target.
    bool StageFile(const std::string& relative, archive* a, mode_t mode, std::string& reason)
    {
        if (!m_plannedFiles.insert(relative).second)
        {
            reason = "更新包中的 " + relative + " 出现了两次。";
            return false;
        }
        if (m_plannedFolders.count(relative))
        {
            reason = "更新包中的 " + relative + " 既是文件又是文件夹。";
            return false;
        }
        if (!PrepareFolders(relative, reason))
            return false;
        PlannedFile file;
        file.target = m_installDir + "/" + relative;
        file.staged = Beside(file.target, kNewSuffix);
        file.kept = Beside(file.target, kOldSuffix);
        if (file.target.size() > kMaxPathBytes)
        {
            reason = "更新包中的路径太长：" + relative;
            return false;
        }
        struct stat st
        {
        };
        if (::lstat(file.target.c_str(), &st) == 0)
        {
            if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            {
                reason = "无法替换 " + relative + "：那里不是一个普通文件。";
                return false;
            }
            file.replaces = true;
        }
        else if (errno != ENOENT)
        {
            reason = "无法读取 " + relative + "：" + ErrorText(errno);
            return false;
        }

        ::unlink(file.staged.c_str()); // left by an updater that was stopped
        const int fd =
            ::open(file.staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0)
        {
            reason = "无法写入 " + relative + "：" + ErrorText(errno);
            return false;
        }
        m_files.push_back(file);
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        la_int64_t written = 0;
        int rc;
        while ((rc = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK)
        {
            // Sparse entries give offsets; a plain package has none, but
            // honouring them costs nothing.
            if (offset != written && ::lseek(fd, offset, SEEK_SET) < 0)
            {
                reason = "无法写入 " + relative + "：" + ErrorText(errno);
                ::close(fd);
                return false;
            }
            const char* p = static_cast<const char*>(block);
            size_t left = size;
            while (left > 0)
            {
                const ssize_t n = ::write(fd, p, left);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                {
                    reason = "无法写入 " + relative + "：" + ErrorText(n < 0 ? errno : ENOSPC);
                    ::close(fd);
                    return false;
                }
                p += n;
                left -= static_cast<size_t>(n);
            }
            written = offset + static_cast<la_int64_t>(size);
        }
        if (rc != ARCHIVE_EOF)
        {
            reason = "更新包已损坏：" + ArchiveError(a);
            ::close(fd);
            return false;
        }
        if (::ftruncate(fd, written) != 0 || ::fsync(fd) != 0)
        {
            reason = "无法写入 " + relative + "：" + ErrorText(errno);
            ::close(fd);
            return false;
        }
        if (::close(fd) != 0)
        {
            reason = "无法写入 " + relative + "：" + ErrorText(errno);
            return false;
        }
        return true;
    }

    bool Commit(std::string& reason)
    {
        if (!WriteJournal(reason))
            return false;
        for (PlannedFile& file : m_files)
        {
            if (file.replaces)
            {
                ::unlink(file.kept.c_str());
                if (::link(file.target.c_str(), file.kept.c_str()) != 0)
                {
                    reason = "无法保留旧文件 " + file.target + "：" + ErrorText(errno);
                    Rollback();
                    return false;
                }
                file.state = 1;
            }
            const int rc = m_hooks.rename ? m_hooks.rename(file.staged.c_str(), file.target.c_str())
                                          : ::rename(file.staged.c_str(), file.target.c_str());
            if (rc != 0)
            {
                reason = "无法替换文件 " + file.target + "：" + ErrorText(errno);
                Rollback();
                return false;
            }
            file.state = 2;
        }
        for (const std::string& folder : ChangedFolders())
            FsyncFolder(folder);
        // The commit point: without the journal nothing is rolled back.
        ::unlink(JournalPath().c_str());
        FsyncFolder(m_workDir);
        m_committed = true;
        for (const PlannedFile& file : m_files)
            if (file.replaces)
                ::unlink(file.kept.c_str());
        return true;
    }

    size_t FileCount() const { return m_files.size(); }

private:
    std::string JournalPath() const { return m_workDir + "/journal"; }

    std::set<std::string> ChangedFolders() const
    {
        std::set<std::string> folders;
        for (const PlannedFile& file : m_files)
            folders.insert(FolderOf(file.target));
        return folders;
    }

    // One line per file ("R" replaces, "N" new) and created folder ("D").
    bool WriteJournal(std::string& reason)
    {
        std::string text;
        for (const std::string& folder : m_createdFolders)
            text += "D\t" + folder + "\n";
        for (const PlannedFile& file : m_files)
            text += std::string(file.replaces ? "R\t" : "N\t") + file.target + "\n";
        const std::string temporary = JournalPath() + ".tmp";
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = fd >= 0;
        if (ok)
            ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                 ::fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        if (ok && ::rename(temporary.c_str(), JournalPath().c_str()) != 0)
            ok = false;
        if (!ok)
        {
            ::unlink(temporary.c_str());
            reason = "无法写入更新记录：" + ErrorText(error);
            return false;
        }
        FsyncFolder(m_workDir);
        return true;
    }

    void Rollback()
    {
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it)
        {
            if (it->state == 2 && it->replaces)
                ::rename(it->kept.c_str(), it->target.c_str());
            else if (it->state == 2)
                ::unlink(it->target.c_str());
            else if (it->state == 1)
                ::unlink(it->kept.c_str());
            it->state = 0;
        }
        for (const std::string& folder : ChangedFolders())
            FsyncFolder(folder);
        ::unlink(JournalPath().c_str());
    }

    void Discard()
    {
        for (const PlannedFile& file : m_files)
            ::unlink(file.staged.c_str());
        for (auto it = m_createdFolders.rbegin(); it != m_createdFolders.rend(); ++it)
            ::rmdir(it->c_str());
        m_files.clear();
        m_createdFolders.clear();
    }

    std::string m_installDir;
    const CUpdateHooks& m_hooks;
    std::string m_workDir;
    std::vector<PlannedFile> m_files;
    std::vector<std::string> m_createdFolders;
    std::set<std::string> m_plannedFiles, m_plannedFolders;
    bool m_committed = false;
};

struct ArchiveCloser
{
    void operator()(archive* a) const { archive_read_free(a); }
};

bool MakeWorkFolder(const std::string& installDir)
{
    const std::string work = installDir + "/" + kWorkFolder;
    return ::mkdir(work.c_str(), 0700) == 0 || errno == EEXIST;
}

void RemoveWorkFolder(const std::string& installDir)
{
    const std::string work = installDir + "/" + kWorkFolder;
    ::unlink((work + "/package.tar.gz").c_str());
    ::unlink((work + "/journal.tmp").c_str());
    ::rmdir(work.c_str());
}

// One updater per installation: a second one would take the journal of a
// first one still at work for that of a stopped one and roll it back under
// its feet. The lock ends with the process, so a killed updater holds none,
// and it is not inherited by the program started again.
class InstallationLock
{
public:
    explicit InstallationLock(const std::string& installDir)
        : m_fd(::open(installDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~InstallationLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    InstallationLock(const InstallationLock&) = delete;
    InstallationLock& operator=(const InstallationLock&) = delete;

    // False only when another process holds it.
    bool Take()
    {
        return m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    }

private:
    int m_fd;
};

struct DownloadSink
{
    int fd = -1;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;
    int writeError = 0;
    bool tooLarge = false;
    const CUpdateHooks* hooks = nullptr;
};

size_t OnPackageData(char* data, size_t size, size_t count, void* user)
{
    DownloadSink& sink = *static_cast<DownloadSink*>(user);
    const size_t n = size * count;
    if (sink.written + n > sink.limit)
    {
        sink.tooLarge = true;
        return 0;
    }
    size_t left = n;
    while (left > 0)
    {
        const ssize_t w = ::write(sink.fd, data, left);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
        {
            sink.writeError = w < 0 ? errno : ENOSPC;
            return 0;
        }
        data += w;
        left -= static_cast<size_t>(w);
    }
    sink.written += n;
    return n;
}

int OnPackageProgress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    const DownloadSink& sink = *static_cast<const DownloadSink*>(user);
    if (sink.hooks && sink.hooks->progress)
        sink.hooks->progress(static_cast<std::uint64_t>(now), static_cast<std::uint64_t>(total));
    return 0;
}

bool Download(const std::string& url, const std::string& file, const CUpdateOptions& options,
              const CUpdateHooks& hooks, std::string& reason)
{
    DownloadSink sink;
    sink.fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (sink.fd < 0)
    {
        reason = "无法保存更新包：" + ErrorText(errno);
        return false;
    }
    sink.limit = options.maxPackageBytes;
    sink.hooks = &hooks;
    CURL* curl = curl_easy_init();
    if (!curl)
    {
        ::close(sink.fd);
        reason = "无法开始下载。";
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    // A package may be large: no total time-out, but a stalled one ends.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The connect time-out also ends a stalled name look-up (see the manifest fetch).
    curl_easy_setopt(curl, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(options.maxPackageBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnPackageData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnPackageProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "MyZELK updater");
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (rc == CURLE_OK && ::fsync(sink.fd) != 0)
        sink.writeError = errno;
    ::close(sink.fd);

    if (sink.writeError)
    {
        reason = "无法保存更新包：" + ErrorText(sink.writeError);
        return false;
    }
    if (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
    {
        reason = "更新包超过 " + std::to_string(options.maxPackageBytes) + " 字节。";
        return false;
    }
    switch (rc)
    {
    case CURLE_OK:
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        reason = "无法连接到更新服务器。";
        return false;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        reason = "下载中断，只收到 " + std::to_string(sink.written) + " 字节。";
        return false;
    case CURLE_OPERATION_TIMEDOUT:
        reason = "下载超时。";
        return false;
    default:
        reason = std::string("下载失败：") + curl_easy_strerror(rc);
        return false;
    }
    if (status != 200)
    {
        reason = "下载失败：服务器答复 " + std::to_string(status) + "。";
        return false;
    }
    return true;
}

} // namespace

bool IsUserDataPath(const std::string& relative)
{
    for (const char* data : kUserData)
    {
        const size_t n = std::strlen(data);
        if (relative.compare(0, n, data) == 0 && (relative.size() == n || relative[n] == '/'))
            return true;
    }
    return false;
}

std::string InstallationFolder(const std::string& programPath)
{
    const size_t slash = programPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    std::string folder = programPath.substr(0, slash);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder.empty() ? "/" : folder;
}

std::optional<std::string> Sha256OfFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    char buffer[65536];
    while (in)
    {
        in.read(buffer, sizeof buffer);
        if (in.gcount() > 0 &&
            EVP_DigestUpdate(ctx.get(), buffer, static_cast<size_t>(in.gcount())) != 1)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1)
        return std::nullopt;
    std::string hex;
    static const char kDigits[] = "0123456789abcdef";
    for (unsigned i = 0; i < length; ++i)
    {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

CUpdateResult InstallPackage(const std::string& installDir, const std::string& packageFile,
                             const CUpdateOptions& options, const CUpdateHooks& hooks)
{
    if (!MakeWorkFolder(installDir))
        return Failure("无法在安装文件夹中工作：" + ErrorText(errno));
    // Goes when empty: a journal that could not be rolled back stays.
    struct WorkFolderGuard
    {
        std::string path;
        ~WorkFolderGuard() { ::rmdir(path.c_str()); }
    } guard{installDir + "/" + kWorkFolder};
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    if (!a)
        return Failure("无法读取更新包。");
    archive_read_support_filter_gzip(a.get());
    archive_read_support_format_tar(a.get());
    if (archive_read_open_filename(a.get(), packageFile.c_str(), 65536) != ARCHIVE_OK)
        return Failure("更新包不是 tar.gz 文件：" + ArchiveError(a.get()));

    ReplacementSet set(installDir, hooks);
    std::string reason;
    std::uint64_t unpacked = 0;
    std::size_t entries = 0;
    archive_entry* entry = nullptr;
    int rc;
    while ((rc = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK)
    {
        if (++entries > kMaxEntries)
            return Failure("更新包中的条目太多。");
        const char* raw = archive_entry_pathname_utf8(entry);
        if (!raw)
            raw = archive_entry_pathname(entry);
        const std::string relative = CleanRelativePath(raw);
        if (relative.empty())
            return Failure(std::string("更新包中的路径不安全：") + (raw ? raw : "(无)"));
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || (type != AE_IFREG && type != AE_IFDIR))
            return Failure("更新包中的 " + relative + " 不是普通文件或文件夹。");
        if (IsUserDataPath(relative))
            continue; // the user's copy stays
        if (type == AE_IFDIR)
        {
            if (!set.AddFolder(relative, reason))
                return Failure(reason);
            continue;
        }
        const la_int64_t size = archive_entry_size(entry);
        unpacked += size > 0 ? static_cast<std::uint64_t>(size) : 0;
        if (unpacked > options.maxUnpackedBytes)
            return Failure("更新包解开后太大。");
        const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
        if (!set.StageFile(relative, a.get(), mode, reason))
            return Failure(reason);
    }
    if (rc != ARCHIVE_EOF)
        return Failure("更新包已损坏：" + ArchiveError(a.get()));
    if (set.FileCount() == 0)
        return Failure("更新包中没有程序文件。");
    if (hooks.stage)
        hooks.stage("正在替换程序文件…");
    if (!set.Commit(reason))
        return Failure(reason);
    CUpdateResult result;
    result.outcome = UpdateOutcome::Installed;
    return result;
}

bool RecoverInterruptedUpdate(const std::string& installDir)
{
    const std::string work = installDir + "/" + kWorkFolder;
    std::ifstream journal(work + "/journal");
    if (!journal)
    {
        RemoveWorkFolder(installDir);
        return true;
    }
    std::vector<std::pair<char, std::string>> lines;
    for (std::string line; std::getline(journal, line);)
        if (line.size() > 2 && line[1] == '\t')
            lines.emplace_back(line[0], line.substr(2));
    journal.close();
    bool ok = true;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    {
        const std::string& target = it->second;
        const std::string staged = Beside(target, kNewSuffix);
        const std::string kept = Beside(target, kOldSuffix);
        struct stat st
        {
        };
        if (it->first == 'R')
        {
            // The kept link is the old file whether or not the new one was
            // renamed over the target already (a rename onto the same file
            // changes nothing).
            if (::lstat(kept.c_str(), &st) == 0)
            {
                if (::rename(kept.c_str(), target.c_str()) != 0)
                    ok = false;
                ::unlink(kept.c_str());
            }
            ::unlink(staged.c_str());
        }
        else if (it->first == 'N')
        {
            // Renamed already when the staged copy is gone.
            if (::lstat(staged.c_str(), &st) == 0)
                ::unlink(staged.c_str());
            else
                ::unlink(target.c_str());
        }
        else if (it->first == 'D')
        {
            ::rmdir(target.c_str());
        }
    }
    if (ok)
        ::unlink((work + "/journal").c_str());
    RemoveWorkFolder(installDir);
    return ok;
}

CUpdateResult RunUpdate(const CUpdateOptions& options, const CUpdateHooks& hooks)
{
    auto stage = [&](const std::string& text)
    {
        if (hooks.stage)
            hooks.stage(text);
    };
    // A launcher link (/usr/bin/myzelk) stands for the folder it points into.
    char resolved[PATH_MAX];
    const std::string installDir = InstallationFolder(
        ::realpath(options.programPath.c_str(), resolved) ? resolved : options.programPath);
    struct stat st
    {
    };
    if (::stat(options.programPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Failure("找不到要更新的程序：" + options.programPath);
    // The package manager's files are replaced by the package manager only;
    // not even the lock file is written here.
    if (DetectAppMode((installDir + "/").c_str()) == AppMode::Installed)
        return Failure(kInstalledCopyReason);
    InstallationLock lock(installDir);
    if (!lock.Take())
        return Failure("另一个更新程序正在更新这个安装，请等它结束。");
    if (!RecoverInterruptedUpdate(installDir))
        return Failure("上次未完成的更新无法还原，请重新安装。");

    stage("正在检查更新…");
    std::string error;
    CManifestFetchLimits limits;
    limits.connectTimeoutMs = options.connectTimeoutMs;
    limits.totalTimeoutMs = options.connectTimeoutMs + 20000;
    const std::string url = options.manifestUrl.empty() ? GetUpdateUrl() : options.manifestUrl;
    const std::optional<CUpdateManifest> manifest = FetchUpdateManifest(url, &error, limits);
    if (!manifest)
        return Failure("无法取得更新信息：" + error);
    CUpdateResult result;
    result.version = manifest->version;
    if (!(manifest->version > options.installedVersion))
    {
        result.outcome = UpdateOutcome::NoNewer;
        result.reason = "您的版本已是最新的版本!";
        return result;
    }

    if (!MakeWorkFolder(installDir))
        return Failure("无法在安装文件夹中工作：" + ErrorText(errno));
    const std::string package = installDir + "/" + kWorkFolder + "/package.tar.gz";
    stage("正在下载 MyZELK " + manifest->version.Text() + "…");
    if (!Download(manifest->packageUrl, package, options, hooks, error))
    {
        RemoveWorkFolder(installDir);
        CUpdateResult failed = Failure(error);
        failed.version = manifest->version;
        return failed;
    }
    stage("正在校验更新包…");
    const std::optional<std::string> sha = Sha256OfFile(package);
    if (!sha || *sha != manifest->sha256)
    {
        RemoveWorkFolder(installDir);
        CUpdateResult failed = Failure("更新包校验失败：SHA-256 与更新信息不符。");
        failed.version = manifest->version;
        return failed;
    }
    stage("正在安装…");
    CUpdateResult installed = InstallPackage(installDir, package, options, hooks);
    installed.version = manifest->version;
    RemoveWorkFolder(installDir);
    return installed;
}
