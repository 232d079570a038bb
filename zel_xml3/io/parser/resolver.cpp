#include "io/parser/resolver.hpp"

#include "io/parser/messages.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/URLInputSource.hpp>
#include <xercesc/framework/XMLBuffer.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/BinMemInputStream.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>
#include <xercesc/util/XMLURL.hpp>
#include <xercesc/util/XMLUri.hpp>

namespace zel::parser {

namespace {

// The helpers below look only at ASCII, so they read UTF-16 and UTF-8 names alike.
template <typename Char>
bool is_ascii_alpha(Char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Char>
bool is_scheme_char(Char c) {
    return is_ascii_alpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

template <typename Char>
bool equals_ignoring_case(const Char* text, std::size_t len, const char* ascii) {
    std::size_t i = 0;
    for (; i < len && ascii[i] != '\0'; ++i) {
        Char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<Char>(text[i] + 32) : text[i];
        if (c != static_cast<Char>(ascii[i])) return false;
    }
    return i == len && ascii[i] == '\0';
}

// Length of the URL scheme `text` starts with (RFC 3986: a letter, then letters, digits,
// '+', '-' or '.', then ':'); 0 when there is none.
template <typename Char>
std::size_t scheme_length(const Char* text) {
    if (!is_ascii_alpha(text[0])) return 0;
    std::size_t len = 1;
    while (is_scheme_char(text[len])) ++len;
    return text[len] == ':' ? len : 0;
}

// A file: URL names the local file system when its authority is empty or "localhost".
template <typename Char>
bool names_local_host(const Char* after_scheme) {
    if (after_scheme[0] != '/' || after_scheme[1] != '/') return true;
    const Char* host = after_scheme + 2;
    std::size_t len = 0;
    while (host[len] != 0 && host[len] != '/') ++len;
    return len == 0 || equals_ignoring_case(host, len, "localhost");
}

template <typename Char>
bool names_remote(const Char* systemId) {
    if (systemId == nullptr) return false;
    std::size_t len = scheme_length(systemId);
    if (len == 0) return false;
    if (!equals_ignoring_case(systemId, len, "file")) return true;
    return !names_local_host(systemId + len + 1);
}

// The bytes of an entity that is not read: none.
constexpr XMLByte kNothing[1] = {0};

// Raised through the parser's own error handler, so that each reader reports it its usual
// way; the handler never throws for a warning.
void warn(xercesc::ErrorHandler* errors, const xercesc::Locator* where, const char16_t* what,
          const XMLCh* systemId) {
    if (errors == nullptr || where == nullptr) return;
    std::u16string message = what;
    message += systemId;
    errors->warning(xercesc::SAXParseException(message.c_str(), *where));
}

// The warning for a local entity that cannot be opened, kept until the parser tries to open
// it. The parser opens and first reads an entity right after resolving it, before it reads on,
// so the locator still stands where the entity is referenced.
struct NotFoundWarning {
    xercesc::ErrorHandler* errors;
    const xercesc::Locator* where;
    std::u16string systemId;

    void send() const { warn(errors, where, kLocalNotFound, systemId.c_str()); }
};

// A local file the parser opened, read unchanged, except that when the very first read fails
// (the parser opens a folder without complaint and fails only to read it) it reads as empty,
// with the warning. A failure on a later read stays the parser's error.
class FirstReadGuard : public xercesc::BinInputStream {
public:
    FirstReadGuard(std::unique_ptr<xercesc::BinInputStream> file, const NotFoundWarning& warning)
        : file_(std::move(file)), warning_(warning) {}

    XMLFilePos curPos() const override { return file_->curPos(); }
    XMLSize_t readBytes(XMLByte* toFill, XMLSize_t maxToRead) override {
        if (!first_) return empty_ ? 0 : file_->readBytes(toFill, maxToRead);
        first_ = false;
        try {
            return file_->readBytes(toFill, maxToRead);
        } catch (const xercesc::XMLPlatformUtilsException&) {
            empty_ = true;
            warning_.send();
            return 0;
        }
    }
    const XMLCh* getContentType() const override { return file_->getContentType(); }
    const XMLCh* getEncoding() const override { return file_->getEncoding(); }

private:
    std::unique_ptr<xercesc::BinInputStream> file_;
    NotFoundWarning warning_;  // a copy: the parser may delete the source before the stream
    bool first_ = true;
    bool empty_ = false;
};

// The source the parser would make itself for a local entity, under the same system
// identifier (the resolved path or file: URL, which later relative names resolve against),
// except that a file it cannot open or first read reads as empty, with the warning.
class LocalSource : public xercesc::InputSource {
public:
    LocalSource(std::unique_ptr<xercesc::InputSource> usual, NotFoundWarning warning)
        : InputSource(usual->getSystemId()), usual_(std::move(usual)), warning_(std::move(warning)) {}

    xercesc::BinInputStream* makeStream() const override {
        std::unique_ptr<xercesc::BinInputStream> file(usual_->makeStream());
        if (file == nullptr) {
            warning_.send();
            return new xercesc::BinMemInputStream(kNothing, 0, xercesc::BinMemInputStream::BufOpt_Reference);
        }
        return new FirstReadGuard(std::move(file), warning_);
    }

private:
    std::unique_ptr<xercesc::InputSource> usual_;
    NotFoundWarning warning_;
};

// The source the parser makes for `systemId` when the resolver gives none (as the reader
// manager's createReader does): the identifier resolved against the base as a URL when that
// gives an absolute one (a file: URL here), else a file path woven onto the base path (the
// library never asks for strict URI conformance, which would refuse such a path). An entity
// without a recorded base takes the name of the external entity being read, which is what the
// locator gives. A document in memory has a name without a folder, so a relative path there
// resolves against the current directory. nullptr for a URL the parser would not open as a
// local file (not reached: those are remote).
std::unique_ptr<xercesc::InputSource> usual_source(const xercesc::XMLResourceIdentifier& resource,
                                                   const XMLCh* systemId) {
    const XMLCh* base = resource.getBaseURI();
    if ((base == nullptr || *base == 0) && resource.getLocator() != nullptr)
        base = resource.getLocator()->getSystemId();
    xercesc::XMLURL url;
    if (!url.setURL(base, systemId, url) || url.isRelative()) {
        xercesc::XMLBuffer path;
        xercesc::XMLUri::normalizeURI(systemId, path);
        return std::make_unique<xercesc::LocalFileInputSource>(base, path.getRawBuffer());
    }
    if (url.getProtocol() != xercesc::XMLURL::File || is_remote(url.getURLText())) return nullptr;
    return std::make_unique<xercesc::URLInputSource>(url);
}

}  // namespace

bool is_remote(const XMLCh* systemId) { return names_remote(systemId); }

bool is_remote(const char* systemId) { return names_remote(systemId); }

// Both warnings name the system identifier as the document wrote it (the parser only drops
// U+FFFF from it), not the path or URL it resolves to.
xercesc::InputSource* LocalOnlyResolver::resolveEntity(xercesc::XMLResourceIdentifier* resource) {
    const XMLCh* systemId = resource->getSystemId();
    const XMLCh* name = systemId != nullptr ? systemId : u"";
    bool relative = scheme_length(name) == 0;
    if (is_remote(systemId) || (relative && is_remote(resource->getBaseURI()))) {
        warn(errors_, resource->getLocator(), kRemoteNotFetched, name);
        // The parser adopts the source; an empty buffer reads as an empty entity.
        auto* empty = new xercesc::MemBufInputSource(kNothing, 0, name, false);
        empty->setCopyBufToStream(false);
        return empty;
    }
    if (resource->getResourceIdentifierType() != xercesc::XMLResourceIdentifier::ExternalEntity)
        return nullptr;  // no other kind is read: the readers load no schemas
    std::unique_ptr<xercesc::InputSource> usual = usual_source(*resource, name);
    if (usual == nullptr) return nullptr;
    return new LocalSource(std::move(usual), {errors_, resource->getLocator(), name});
}

}  // namespace zel::parser
