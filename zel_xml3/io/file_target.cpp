#include "io/file_target.hpp"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

namespace zel::dom {

namespace {

[[noreturn]] void throw_write_failed() {
    ThrowXML(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotWriteToFile);
}

}  // namespace

FileTarget::FileTarget(const char* path) : stream_(std::fopen(path, "wb")), owned_(true) {
    if (stream_ == nullptr)
        ThrowXML1(xercesc::XMLPlatformUtilsException, xercesc::XMLExcepts::File_CouldNotOpenFile, path);
}

FileTarget::~FileTarget() {
    if (owned_ && stream_ != nullptr) std::fclose(stream_);
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
    if (std::fclose(stream) != 0 || !flushed) throw_write_failed();
}

}  // namespace zel::dom
