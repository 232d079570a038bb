// The safety settings every parser the library makes gets, kept in one place for every
// reader: an entity expansion limit, a memory cap on the parser's own allocations and on the
// records a read builds, and an entity resolver that never lets the parser reach the network
// (resolver.hpp); and the one set-up of a reader's parser with them (ReadParser).
#pragma once

#include "io/parser/resolver.hpp"
#include "io/parser/switches.hpp"
#include "zel_xml3.h"

#include <cstddef>
#include <cstdint>

#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/util/SecurityManager.hpp>

namespace zel::parser {

// Entity references a parser expands in one document before it stops with a fatal error.
constexpr XMLSize_t kEntityExpansionLimit = 50000;

// A read may use max(kMinMemoryCap, kMemoryCapPerInputByte x input size) bytes. The factor
// leaves room for the costliest honest input measured: a chain of a million nested elements
// (7 bytes of input a level) takes the document parser about 86 bytes per input byte.
constexpr std::uint64_t kMinMemoryCap = std::uint64_t{256} << 20;
constexpr std::uint64_t kMemoryCapPerInputByte = 128;
std::uint64_t memory_cap_for(std::uint64_t input_size);

// Bytes a read may still take for one purpose; charging past the cap throws the parser
// library's OutOfMemoryException, which the parser lets through: the read ends, and a parser
// that saw it is discarded.
class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t cap) : cap_(cap) {}

    void charge(std::size_t bytes) {
        if (bytes > cap_ - used_) refuse();
        used_ += bytes;
    }
    void release(std::size_t bytes) { used_ -= bytes; }

private:
    [[noreturn]] static void refuse();

    std::uint64_t cap_;
    std::uint64_t used_ = 0;
};

// A per-parser memory manager that counts what it hands out against its own budget and
// keeps every block it has handed out and not yet taken back on a list, so that it can free
// what the parser never gave back (the parser library loses some blocks of every document
// with an external DTD). It must outlive whatever allocates from it: destroying it frees
// every block still out.
class CappedMemory : public xercesc::MemoryManager {
public:
    // A cap no allocation reaches: for writes, which only reclaim.
    static constexpr std::uint64_t kNoCap = UINT64_MAX;

    explicit CappedMemory(std::uint64_t cap) : budget_(cap) {}
    ~CappedMemory() override;
    CappedMemory(const CappedMemory&) = delete;
    CappedMemory& operator=(const CappedMemory&) = delete;

    xercesc::MemoryManager* getExceptionMemoryManager() override;
    void* allocate(XMLSize_t size) override;
    void deallocate(void* block) override;

    // Blocks that managers of this process freed at their end because whoever allocated them
    // never gave them back.
    static std::uint64_t reclaimed_blocks();

    // In front of each block, aligned for any type: its size and its neighbours on the list.
    struct alignas(std::max_align_t) Header {
        Header* prev;
        Header* next;
        std::size_t size;
    };

private:
    MemoryBudget budget_;
    Header live_{&live_, &live_, 0};  // the list's ends meet here
};

// What a parser needs for as long as it lives: make one before the parser, pass memory() to
// the parser's constructor, then configure() the parser. The parser's allocations and the
// records the read builds are capped separately, each at memory_cap_for(input size).
class ParserSafety {
public:
    explicit ParserSafety(std::uint64_t input_size);
    ParserSafety(const ParserSafety&) = delete;
    ParserSafety& operator=(const ParserSafety&) = delete;

    CappedMemory* memory() { return &memory_; }
    MemoryBudget* records() { return &records_; }

    // Every reader's settings: the four switches with `scheme` (Val_Never for the document
    // reader, Val_Auto for the event-driven readers), `errors` as the error handler, which
    // also hears of remote entities left out, then the library's safety settings.
    template <typename Parser>
    void configure(Parser& parser, typename Parser::ValSchemes scheme, xercesc::ErrorHandler& errors) {
        set_reader_switches(parser, scheme);
        parser.setErrorHandler(&errors);
        parser.setSecurityManager(&security_);
        resolver_.report_to(&errors);
        parser.setXMLEntityResolver(&resolver_);
    }

private:
    CappedMemory memory_;
    MemoryBudget records_;
    xercesc::SecurityManager security_;
    LocalOnlyResolver resolver_;
};

// The document one read parses: a file the parser opens by name, or bytes in memory parsed in
// place under `system_id` (their name in messages and the base of their relative references),
// in `encoding`, or when that is null in the encoding their first bytes show.
struct DocumentInput {
    const char* path = nullptr;
    const void* bytes = nullptr;
    std::size_t length = 0;
    const XMLCh* system_id = nullptr;
    const XMLCh* encoding = nullptr;

    static DocumentInput file(const char* path) {
        DocumentInput input;
        input.path = path;
        return input;
    }
    static DocumentInput memory(const void* bytes, std::size_t length, const XMLCh* system_id,
                                const XMLCh* encoding = nullptr) {
        return DocumentInput{nullptr, bytes, length, system_id, encoding};
    }
};

// Told the name of the document type declaration as the parser meets it, before the
// internal subset is read; may end the parse by throwing.
class DoctypeListener {
public:
    virtual void doctype(const XMLCh* name) = 0;

protected:
    ~DoctypeListener() = default;
};

// Where one read's parser sends what it finds: diagnostics to `errors`, and its events to the
// reader, either as the scanner reports them (`scanner`) or as SAX events (`sax`). `dtd` is
// for the reader that must have the DTD read exactly as a document parser has it read; with
// it, `doctype` hears of the document type declaration.
struct ReadHandlers {
    xercesc::ErrorHandler& errors;
    xercesc::XMLDocumentHandler* scanner = nullptr;
    xercesc::DocumentHandler* sax = nullptr;
    xercesc::DTDHandler* dtd = nullptr;
    DoctypeListener* doctype = nullptr;
};

// Every reader's parser: the safety settings, then a SAX parser allocating from their memory
// (so they outlive it). Make one, make the reader's handlers with records() as their budget,
// then parse(). The parser dies with this object, so one that ran out of its memory is never
// used again.
class ReadParser {
public:
    explicit ReadParser(std::uint64_t input_size) : safety_(input_size), parser_(nullptr, safety_.memory()) {}

    MemoryBudget& records() { return *safety_.records(); }

    // Configures the parser with `scheme` (Val_Never for the document reader's settings,
    // Val_Auto to validate where the document has a DTD), the handlers and the library's
    // safety settings, then parses `input`. A file name the parser would fetch over the
    // network is parsed as a file that cannot be opened.
    void parse(xercesc::SAXParser::ValSchemes scheme, const ReadHandlers& handlers, const DocumentInput& input);

private:
    // A SAX parser that passes the document type's name on, which SAX itself drops.
    class Parser : public xercesc::SAXParser {
    public:
        using SAXParser::SAXParser;
        DoctypeListener* listener = nullptr;
        void doctypeDecl(const xercesc::DTDElementDecl& decl, const XMLCh* publicId, const XMLCh* systemId,
                         bool hasIntSubset, bool hasExtSubset) override;
    };

    ParserSafety safety_;
    Parser parser_;
};

}  // namespace zel::parser
