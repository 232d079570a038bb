// libFuzzer entry for run_sax_bytes (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_sax_bytes(data, size);
    return 0;
}
