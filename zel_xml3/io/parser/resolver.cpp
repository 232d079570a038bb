#include "io/parser/resolver.hpp"

#include "io/parser/messages.hpp"

#include <cstddef>
#include <string>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>

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

// The bytes of an entity that is not fetched: none.
constexpr XMLByte kNothing[1] = {0};

}  // namespace

bool is_remote(const XMLCh* systemId) { return names_remote(systemId); }

bool is_remote(const char* systemId) { return names_remote(systemId); }

xercesc::InputSource* LocalOnlyResolver::resolveEntity(xercesc::XMLResourceIdentifier* resource) {
    const XMLCh* systemId = resource->getSystemId();
    bool relative = systemId == nullptr || scheme_length(systemId) == 0;
    if (!is_remote(systemId) && !(relative && is_remote(resource->getBaseURI())))
        return nullptr;  // the parser resolves local files as it always does
    const XMLCh* name = systemId != nullptr ? systemId : u"";
    warn(*resource, name);
    // The parser adopts the source; an empty buffer reads as an empty entity.
    auto* empty = new xercesc::MemBufInputSource(kNothing, 0, name, false);
    empty->setCopyBufToStream(false);
    return empty;
}

// Raised through the parser's own error handler, so that each reader reports it its usual
// way; the handler never throws for a warning.
void LocalOnlyResolver::warn(const xercesc::XMLResourceIdentifier& resource, const XMLCh* systemId) const {
    const xercesc::Locator* where = resource.getLocator();
    if (errors_ == nullptr || where == nullptr) return;
    std::u16string message = kRemoteNotFetched;
    message += systemId;
    errors_->warning(xercesc::SAXParseException(message.c_str(), *where));
}

}  // namespace zel::parser
