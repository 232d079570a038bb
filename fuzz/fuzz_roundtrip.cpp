// libFuzzer entry for run_roundtrip (see checks.hpp).
#include "checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::run_roundtrip(data, size);
    return 0;
}
