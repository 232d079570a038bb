// libFuzzer entry for run_sax_wide (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_sax_wide(data, size);
    return 0;
}
