// The library's own output target over a C stream: the serialiser's bytes go straight to
// fwrite, so a host's FILE* can receive a document between writes of its own.
#pragma once

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include <xercesc/framework/XMLFormatter.hpp>

namespace zel::write {

class FileTarget : public xercesc::XMLFormatTarget {
public:
    // Writes through the caller's open stream, which is flushed but never closed.
    explicit FileTarget(std::FILE* stream) : stream_(stream), owned_(false) {}
    // Writes the file `path`. A new file is created with the mode the umask gives; a device or
    // a pipe is written directly. An existing regular file (the one a symbolic link leads to,
    // so the link stays a link) changes only when finish() succeeds:
    // - with one link, in a folder where a temporary file can be made, the bytes go to a
    //   temporary file beside it, which gets the old file's mode (and owner and group, where
    //   the process may set them) and is renamed over it after a complete, synced write;
    // - with other hard links, or in a folder the process may not write or rename in (sticky,
    //   and neither the folder nor the file is the process's), the bytes are held and
    //   written into the file itself by finish(), so every link sees the new content.
    // Throws XMLPlatformUtilsException when the output cannot be opened, an existing file
    // the process may not write included: that one is never replaced through its folder.
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

    // For a document that could not be written whole: an existing file stays as it was (the
    // temporary file and the held bytes are dropped), a file the target created is removed,
    // and a caller's stream is flushed (what reached it stays there). Never throws.
    void abandon();

private:
    bool open_replacement(const std::string& target, const struct stat& info);
    void commit_replacement();
    void write_in_place();

    std::FILE* stream_;
    bool owned_;
    std::string temporary_;  // the temporary file while it is not yet in place
    std::string target_;     // the file it replaces
    int in_place_fd_ = -1;   // the existing file written in place by finish(), or -1
    std::string held_;       // the bytes for it until then
    std::string created_;    // a file that did not exist before the target made it
};

}  // namespace zel::write
