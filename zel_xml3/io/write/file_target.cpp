#include "io/write/file_target.hpp"

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

}  // namespace

FileTarget::FileTarget(const char* path) : stream_(nullptr), owned_(true) {
    std::string target = existing_regular_file(path);
    if (target.empty() || !open_replacement(target)) stream_ = std::fopen(path, "wb");
    if (stream_ == nullptr)
        ThrowXML1(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotOpenFile, path);
}

// A temporary file in the target's folder, with the target's permissions (and owner, where
// allowed); false when it cannot be made.
bool FileTarget::open_replacement(const std::string& target) {
    struct stat info;
    if (stat(target.c_str(), &info) != 0) return false;
    std::string pattern = folder_of(target) + ".zel_xml3_XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    if (fchown(fd, info.st_uid, info.st_gid) != 0) {
        // Only the owner's group or a privileged process may keep them; the mode still holds.
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

FileTarget::~FileTarget() {
    if (owned_ && stream_ != nullptr) std::fclose(stream_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void FileTarget::writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter*) {
    if (std::fwrite(bytes, 1, count, stream_) != count) throw_write_failed();
}

void FileTarget::flush() {
    if (std::fflush(stream_) != 0) throw_write_failed();
}

void FileTarget::finish() {
    if (!owned_) {
        flush();
        return;
    }
    std::FILE* stream = stream_;
    stream_ = nullptr;
    bool flushed = std::fflush(stream) == 0;
    bool synced = temporary_.empty() || fsync(fileno(stream)) == 0;
    if (std::fclose(stream) != 0 || !flushed || !synced) throw_write_failed();
    commit_replacement();
}

// The old file is replaced in one step, only now that the new one is complete on disk.
void FileTarget::commit_replacement() {
    if (temporary_.empty()) return;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) throw_write_failed();
    temporary_.clear();
}

}  // namespace zel::write
