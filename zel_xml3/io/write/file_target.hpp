// The library's own output target over a C stream: the serialiser's bytes go straight to
// fwrite, so a host's FILE* can receive a document between writes of its own.
#pragma once

#include <cstdio>
#include <string>

#include <xercesc/framework/XMLFormatter.hpp>

namespace zel::write {

class FileTarget : public xercesc::XMLFormatTarget {
public:
    // Writes through the caller's open stream, which is flushed but never closed.
    explicit FileTarget(std::FILE* stream) : stream_(stream), owned_(false) {}
    // Writes the file `path`. An existing regular file (or one a symbolic link leads to) is
    // replaced only when finish() succeeds: the bytes go to a temporary file beside it, which
    // gets the old file's permissions and is renamed over it after a complete, flushed and
    // synced write. Anything else (a new file, a device, a pipe, or a folder where no
    // temporary file can be made) is created or truncated and written directly. Throws
    // XMLPlatformUtilsException when it cannot be opened.
    explicit FileTarget(const char* path);
    ~FileTarget() override;
    FileTarget(const FileTarget&) = delete;
    FileTarget& operator=(const FileTarget&) = delete;

    // Both throw XMLPlatformUtilsException when the stream refuses the bytes.
    void writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter* formatter) override;
    void flush() override;

    // Flushes, and closes a stream the target opened itself, then puts a temporary file in
    // place; throws when any step fails, so a full disk is reported rather than lost, and
    // the old file then stays as it was.
    void finish();

private:
    bool open_replacement(const std::string& target);
    void commit_replacement();

    std::FILE* stream_;
    bool owned_;
    std::string temporary_;  // the temporary file while it is not yet in place
    std::string target_;     // the file it replaces
};

}  // namespace zel::write
