// The library's own output target over a C stream: the serialiser's bytes go straight to
// fwrite, so a host's FILE* can receive a document between writes of its own.
#pragma once

#include <cstdio>

#include <xercesc/framework/XMLFormatter.hpp>

namespace zel::dom {

class FileTarget : public xercesc::XMLFormatTarget {
public:
    // Writes through the caller's open stream, which is flushed but never closed.
    explicit FileTarget(std::FILE* stream) : stream_(stream), owned_(false) {}
    // Creates or truncates `path`; throws XMLPlatformUtilsException when it cannot be opened.
    explicit FileTarget(const char* path);
    ~FileTarget() override;
    FileTarget(const FileTarget&) = delete;
    FileTarget& operator=(const FileTarget&) = delete;

    // Both throw XMLPlatformUtilsException when the stream refuses the bytes.
    void writeChars(const XMLByte* bytes, XMLSize_t count, xercesc::XMLFormatter* formatter) override;
    void flush() override;

    // Flushes, and closes a stream the target opened itself; throws when either fails, so
    // a full disk is reported rather than lost.
    void finish();

private:
    std::FILE* stream_;
    bool owned_;
};

// A target that drops everything: lets an encoding be tried before any output is opened.
class NullTarget : public xercesc::XMLFormatTarget {
public:
    void writeChars(const XMLByte*, XMLSize_t, xercesc::XMLFormatter*) override {}
};

}  // namespace zel::dom
