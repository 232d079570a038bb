#include "io/source/source_text.hpp"

#include "tree/tree.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace zel::source {

namespace {

inline std::uint64_t mix(std::uint64_t state, std::uint64_t word) {
    state ^= word;
    state *= 0xFF51AFD7ED558CCDu;
    return state ^ (state >> 32);
}

}  // namespace

Fingerprint& Fingerprint::add(const char* bytes, std::size_t len) {
    std::size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        state_ = mix(state_, word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes + i, len - i);
    state_ = mix(state_, tail ^ (std::uint64_t{len} << 56));
    return *this;
}

Fingerprint& Fingerprint::add(const char* text) {
    return text == nullptr ? add(std::uint64_t{0x5A}) : add(text, std::strlen(text));
}

Fingerprint& Fingerprint::add(std::uint64_t number) {
    state_ = mix(state_, number + 0x632BE59BD9B4E019u);
    return *this;
}

std::uint64_t record_fingerprint(const XMLNode* record) {
    Fingerprint print;
    print.add(static_cast<std::uint64_t>(record->type)).add(tree::whole_name(record));
    if (record->type != XML_ELEMENT_NODE || record->name[0] == '\0') print.add(record->value);
    if (record->type == XML_DOCUMENT_TYPE_NODE)
        for (int32_t i = 0; i < record->attributes.count; ++i) print.add(attribute_fingerprint(record->attributes.items[i]));
    return print.value();
}

std::uint64_t attribute_fingerprint(const XMLAttr& attr) { return Fingerprint().add(attr.name).add(attr.value).value(); }

std::uint64_t declaration_fingerprint(const XMLNode* document) {
    Fingerprint print;
    print.add(static_cast<std::uint64_t>(document->attributes.count));
    for (int32_t i = 0; i < document->attributes.count; ++i) print.add(attribute_fingerprint(document->attributes.items[i]));
    return print.value();
}

void SourceText::complete() {
    std::sort(records.begin(), records.end(),
              [](const RawRecord& a, const RawRecord& b) { return std::less<const XMLNode*>()(a.record, b.record); });
}

const RawRecord* SourceText::find(const XMLNode* record) const {
    auto at = std::lower_bound(records.begin(), records.end(), record, [](const RawRecord& entry, const XMLNode* key) {
        return std::less<const XMLNode*>()(entry.record, key);
    });
    return at != records.end() && at->record == record ? &*at : nullptr;
}

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<const XMLNode*, std::unique_ptr<SourceText>> sources;
};

// Never destroyed: records may be freed from static destructors of the host.
Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

std::atomic<std::size_t> attached{0};

// Set while the library loads, before any thread can free a record.
const bool hooked = (tree::document_freed = forget, true);

}  // namespace

void attach(const XMLNode* document, std::unique_ptr<SourceText> source) {
    Registry& all = registry();
    std::lock_guard<std::mutex> hold(all.lock);
    all.sources[document] = std::move(source);
    attached.store(all.sources.size(), std::memory_order_relaxed);
}

const SourceText* source_of(const XMLNode* document) {
    if (attached.load(std::memory_order_relaxed) == 0 || document == nullptr) return nullptr;
    if (document->type != XML_DOCUMENT_NODE) return nullptr;
    Registry& all = registry();
    std::lock_guard<std::mutex> hold(all.lock);
    auto found = all.sources.find(document);
    return found != all.sources.end() ? found->second.get() : nullptr;
}

void forget(const XMLNode* document) {
    if (attached.load(std::memory_order_relaxed) == 0) return;
    std::unique_ptr<SourceText> gone;  // freed outside the lock
    Registry& all = registry();
    std::lock_guard<std::mutex> hold(all.lock);
    auto found = all.sources.find(document);
    if (found == all.sources.end()) return;
    gone = std::move(found->second);
    all.sources.erase(found);
    attached.store(all.sources.size(), std::memory_order_relaxed);
}

}  // namespace zel::source
