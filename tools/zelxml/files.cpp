// Reading a document into a tree and writing one back without risking the old file.
#include "cli.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelxml {

std::string unreadable_reason(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "";
}

long long file_size(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

int read_document(const std::string& path, Tree& tree, bool sax, bool show_progress, int32_t* records) {
    std::string reason = unreadable_reason(path);
    if (!reason.empty()) return fail(kIoError, "cannot read " + path + ": " + reason);
    if (tree.root() == nullptr) return fail(kIoError, "out of memory");
    if (file_size(path) == 0) return fail(kDocumentError, path + ": the file is empty, not an XML document");
    int32_t count = 0;
    ZEL_XML_RESULT result;
    if (sax) {
        XMLParseCallbacks callbacks = progress_callbacks(show_progress);
        result = SAX_XMLRead(path.c_str(), tree.root(), &callbacks, &count);
        progress_finish(show_progress);
    } else {
        result = XMLRead(path.c_str(), tree.root(), &count);
    }
    if (records != nullptr) *records = count;
    switch (result) {
        case ZEL_XML_OK: return kOk;
        case ZEL_XML_NO_FILE: return fail(kIoError, "cannot read " + path);
        case ZEL_XML_ERROR: return fail(kDocumentError, path + ": not a well-formed document");
        default: return fail(kDocumentError, path + ": reading failed (result " + std::to_string(result) + ")");
    }
}

namespace {

// A temporary file beside `path`, created empty; "" when the directory is not writable.
std::string temporary_beside(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = dir + "/." + base + ".zelxml-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd < 0) return "";
    ::close(fd);
    return buffer.data();
}

}  // namespace

int write_document_atomically(const std::string& path, const std::string& encoding, const XMLNode* root) {
    const char* enc = encoding.empty() ? "UTF-8" : encoding.c_str();
    if (path == "-") {
        ZEL_XML_RESULT result = XMLWriteFH(stdout, enc, root);
        std::fflush(stdout);
        return result == ZEL_XML_OK ? kOk : fail(kIoError, "writing to standard output failed");
    }
    struct stat old;
    bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {  // a device or a pipe: no rename possible
        return XMLWrite(path.c_str(), enc, root) == ZEL_XML_OK ? kOk : fail(kIoError, "cannot write " + path);
    }
    std::string temp = temporary_beside(path);
    if (temp.empty()) return fail(kIoError, "cannot write beside " + path + ": " + std::strerror(errno));
    if (XMLWrite(temp.c_str(), enc, root) != ZEL_XML_OK) {
        ::unlink(temp.c_str());
        return fail(kIoError, "cannot write " + path + " (the old file is unchanged)");
    }
    if (exists) ::chmod(temp.c_str(), old.st_mode & 07777);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return fail(kIoError, "cannot replace " + path + ": " + std::strerror(err));
    }
    return kOk;
}

}  // namespace zelxml
