#include "io/parser/safety.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLResourceIdentifier.hpp>

namespace zel::parser {

namespace {

std::atomic<std::uint64_t> reclaimed_total{0};

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

}  // namespace

std::uint64_t memory_cap_for(std::uint64_t input_size) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (input_size > kMax / kMemoryCapPerInputByte) return kMax;
    return std::max(kMinMemoryCap, kMemoryCapPerInputByte * input_size);
}

xercesc::MemoryManager* CappedMemory::getExceptionMemoryManager() {
    // Exceptions outlive the parse that raised them: they never come from the capped pool.
    return xercesc::XMLPlatformUtils::fgMemoryManager;
}

void MemoryBudget::refuse() { throw xercesc::OutOfMemoryException(); }

void* CappedMemory::allocate(XMLSize_t size) {
    budget_.charge(size);
    void* block = size <= std::numeric_limits<std::size_t>::max() - sizeof(Header)
                      ? ::operator new(size + sizeof(Header), std::nothrow)
                      : nullptr;
    if (block == nullptr) {
        budget_.release(size);
        throw xercesc::OutOfMemoryException();
    }
    Header* header = new (block) Header{&live_, live_.next, size};
    live_.next->prev = header;
    live_.next = header;
    return header + 1;
}

void CappedMemory::deallocate(void* payload) {
    if (payload == nullptr) return;
    Header* header = static_cast<Header*>(payload) - 1;
    header->prev->next = header->next;
    header->next->prev = header->prev;
    budget_.release(header->size);
    ::operator delete(header);
}

CappedMemory::~CappedMemory() {
    std::uint64_t freed = 0;
    for (Header* header = live_.next; header != &live_; ++freed) {
        Header* next = header->next;
        ::operator delete(header);
        header = next;
    }
    if (freed != 0) reclaimed_total.fetch_add(freed, std::memory_order_relaxed);
}

std::uint64_t CappedMemory::reclaimed_blocks() { return reclaimed_total.load(std::memory_order_relaxed); }

bool is_remote(const XMLCh* systemId) { return names_remote(systemId); }

bool is_remote(const char* systemId) { return names_remote(systemId); }

xercesc::InputSource* LocalOnlyResolver::resolveEntity(xercesc::XMLResourceIdentifier* resource) {
    const XMLCh* systemId = resource->getSystemId();
    bool relative = systemId == nullptr || scheme_length(systemId) == 0;
    if (is_remote(systemId) || (relative && is_remote(resource->getBaseURI())))
        return new RefusedSource(systemId != nullptr ? systemId : u"");
    return nullptr;  // the parser resolves local files as it always does
}

ParserSafety::ParserSafety(std::uint64_t input_size)
    : memory_(memory_cap_for(input_size)), records_(memory_cap_for(input_size)) {
    security_.setEntityExpansionLimit(kEntityExpansionLimit);
}

}  // namespace zel::parser
