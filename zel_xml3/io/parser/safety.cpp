#include "io/parser/safety.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/validators/DTD/DTDElementDecl.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

namespace zel::parser {

namespace {

std::atomic<std::uint64_t> reclaimed_total{0};

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

ParserSafety::ParserSafety(std::uint64_t input_size)
    : memory_(memory_cap_for(input_size)), records_(memory_cap_for(input_size)) {
    security_.setEntityExpansionLimit(kEntityExpansionLimit);
}

void ReadParser::Parser::doctypeDecl(const xercesc::DTDElementDecl& decl, const XMLCh* publicId,
                                     const XMLCh* systemId, bool hasIntSubset, bool hasExtSubset) {
    if (listener != nullptr) listener->doctype(decl.getFullName());
    SAXParser::doctypeDecl(decl, publicId, systemId, hasIntSubset, hasExtSubset);
}

void ReadParser::parse(xercesc::SAXParser::ValSchemes scheme, const ReadHandlers& handlers,
                       const DocumentInput& input) {
    safety_.configure(parser_, scheme, handlers.errors);
    if (handlers.dtd != nullptr) parser_.setDTDHandler(handlers.dtd);
    parser_.listener = handlers.doctype;
    if (handlers.scanner != nullptr) parser_.installAdvDocHandler(handlers.scanner);
    if (handlers.sax != nullptr) parser_.setDocumentHandler(handlers.sax);
    if (input.path != nullptr) {
        parse_local_file(parser_, input.path);
        return;
    }
    xercesc::MemBufInputSource source(static_cast<const XMLByte*>(input.bytes), input.length, input.system_id, false);
    source.setCopyBufToStream(false);
    if (input.encoding != nullptr) source.setEncoding(input.encoding);
    parser_.parse(source);
}

}  // namespace zel::parser
