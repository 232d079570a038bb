// The event-driven reader on a buffer of 16-bit code units.
#include "fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::start_once();
    std::vector<uint16_t> units(size / 2 + 1, 0);
    std::memcpy(units.data(), data, size / 2 * 2);
    XMLNode* root = XMLCreateRootNode();
    SAX_XMLMemWideCharRead(units.data(), root, nullptr, nullptr);
    zelfuzz::check_tree(root);
    XMLFreeRootNode(root);
    return 0;
}
