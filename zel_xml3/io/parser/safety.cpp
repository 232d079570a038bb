#include "io/parser/safety.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

namespace zel::parser {

namespace {

// Each block carries its size in front, aligned for any type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

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
    void* block = size <= std::numeric_limits<std::size_t>::max() - kHeader
                      ? ::operator new(size + kHeader, std::nothrow)
                      : nullptr;
    if (block == nullptr) {
        budget_.release(size);
        throw xercesc::OutOfMemoryException();
    }
    *static_cast<XMLSize_t*>(block) = size;
    return static_cast<char*>(block) + kHeader;
}

void CappedMemory::deallocate(void* payload) {
    if (payload == nullptr) return;
    void* block = static_cast<char*>(payload) - kHeader;
    budget_.release(*static_cast<XMLSize_t*>(block));
    ::operator delete(block);
}

ParserSafety::ParserSafety(std::uint64_t input_size)
    : memory_(memory_cap_for(input_size)), records_(memory_cap_for(input_size)) {
    security_.setEntityExpansionLimit(kEntityExpansionLimit);
}

}  // namespace zel::parser
