// libFuzzer entry for run_dom_read (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_dom_read(data, size);
    return 0;
}
