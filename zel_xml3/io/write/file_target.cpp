#include "io/write/file_target.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

namespace zel::write {

namespace {

[[noreturn]] void throw_write_failed() {
    ThrowXML(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotWriteToFile);
}

// The regular file `path` names, through symbolic links; "" when there is none.
std::string existing_regular_file(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return "";
    char resolved[PATH_MAX];
    return realpath(path, resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string folder_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Whether a file in `folder` with `info` may be replaced by a rename. In a folder with the
// sticky bit only the owner of the file or of the folder (or a privileged process) may, so
// elsewhere the file is written in place.
bool may_rename_over(const std::string& folder, const struct stat& info) {
    struct stat dir;
    if (stat(folder.c_str(), &dir) != 0) return false;
    uid_t me = geteuid();
    return (dir.st_mode & S_ISVTX) == 0 || me == 0 || me == info.st_uid || me == dir.st_uid;
}

}  // namespace

FileTarget::FileTarget(const char* path) : stream_(nullptr), owned_(true) {
    std::string target = existing_regular_file(path);
    if (!target.empty()) {
        // Opened without truncation: only a test that the process may write the file.
        int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        struct stat info;
        if (fd >= 0 && fstat(fd, &info) == 0) {
            if (info.st_nlink == 1 && may_rename_over(folder_of(target), info) && open_replacement(target, info)) {
                ::close(fd);
                return;
            }
            in_place_fd_ = fd;
            return;
        }
        if (fd >= 0) ::close(fd);
    } else {
        struct stat info;
        bool absent = lstat(path, &info) != 0 && errno == ENOENT;
        stream_ = std::fopen(path, "wb");
        if (stream_ != nullptr && absent) created_ = path;
    }
    if (stream_ == nullptr)
        ThrowXML1(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotOpenFile, path);
}

// A temporary file in the target's folder, with the target's mode (and owner and group,
// where the process may set them); false when it cannot be made.
bool FileTarget::open_replacement(const std::string& target, const struct stat& info) {
    std::string pattern = folder_of(target) + ".zel_xml3_XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    if (fchown(fd, info.st_uid, info.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0) {
        // Only a privileged process may give a file away, and only a member may set its
        // group: the file then keeps the process's owner and group, and the mode still holds.
    }
    std::FILE* stream = fchmod(fd, info.st_mode & 07777) == 0 ? fdopen(fd, "wb") : nullptr;
    if (stream == nullptr) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    stream_ = stream;
    temporary_ = pattern;
    target_ = target;
    return true;
}

// What was not finished goes: the temporary file, and a file the target created.
FileTarget::~FileTarget() {
    if (owned_ && stream_ != nullptr) std::fclose(stream_);
    if (in_place_fd_ >= 0) ::close(in_place_fd_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    if (!created_.empty()) ::unlink(created_.c_str());
}

void FileTarget::writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter*) {
    if (in_place_fd_ >= 0) {
        held_.append(reinterpret_cast<const char*>(bytes), count);
        return;
    }
    if (std::fwrite(bytes, 1, count, stream_) != count) throw_write_failed();
}

void FileTarget::flush() {
    if (in_place_fd_ >= 0) return;  // nothing reaches the file before finish()
    if (std::fflush(stream_) != 0) throw_write_failed();
}

void FileTarget::abandon() {
    held_.clear();
    if (!owned_) std::fflush(stream_);  // the rest goes with the destructor
}

void FileTarget::finish() {
    if (!owned_) {
        flush();
        return;
    }
    if (in_place_fd_ >= 0) {
        write_in_place();
        return;
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    bool flushed = std::fflush(stream) == 0;
    bool synced = temporary_.empty() || fsync(fileno(stream)) == 0;
    if (std::fclose(stream) != 0 || !flushed || !synced) throw_write_failed();
    commit_replacement();
    created_.clear();  // complete: it stays
}

// The whole document over the old content from the start, then the file cut to its length:
// the old bytes stay until the new ones are complete in memory.
void FileTarget::write_in_place() {
    int fd = in_place_fd_;
    in_place_fd_ = -1;
    bool ok = true;
    for (std::size_t done = 0; ok && done < held_.size();) {
        ssize_t n = pwrite(fd, held_.data() + done, held_.size() - done, static_cast<off_t>(done));
        if (n > 0) done += static_cast<std::size_t>(n);
        else ok = n < 0 && errno == EINTR;
    }
    ok = ok && ftruncate(fd, static_cast<off_t>(held_.size())) == 0 && fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) throw_write_failed();
}

// The old file is replaced in one step, only now that the new one is complete on disk.
void FileTarget::commit_replacement() {
    if (temporary_.empty()) return;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) throw_write_failed();
    temporary_.clear();
}

}  // namespace zel::write
