// The event-driven reader on a byte buffer, with callbacks installed.
#include "fuzz_common.hpp"

namespace {
void on_progress(double, int32_t, void*) {}
void on_error(int32_t, int32_t, const char*, int32_t, void*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::start_once();
    std::string text(reinterpret_cast<const char*>(data), size);  // adds the terminator
    XMLParseCallbacks callbacks{};
    callbacks.filterMode = size > 0 && (data[0] & 1);
    std::memcpy(callbacks.filterName, "item", 5);
    callbacks.progressCallback = on_progress;
    callbacks.errorCallback = on_error;
    XMLNode* root = XMLCreateRootNode();
    int32_t count = -1;
    SAX_XMLMemRead(text.c_str(), root, &callbacks, &count);
    zelfuzz::check_tree(root);
    XMLFreeRootNode(root);
    return 0;
}
