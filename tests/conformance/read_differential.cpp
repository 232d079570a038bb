// XMLRead against the reference reader (oracle/) on every case of the conformance suite: the
// same result, element count, messages and records. Prints each difference; fails on any.
// usage: zel_xml3_read_differential SUITE_DIR
//        zel_xml3_read_differential -   (the paths to compare come one a line on standard input)
#include "catalog.hpp"
#include "dom_read.hpp"

#include "zel_xml3.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<conformance::Case> cases_from(const std::string& source) {
    if (source != "-") return conformance::load_catalog(source);
    std::vector<conformance::Case> cases;
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty()) cases.push_back(conformance::Case{line, "", "", line});
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SUITE_DIR\n", argv[0]);
        return 2;
    }
    XMLInit();
    int compared = 0, differing = 0;
    try {
        for (const conformance::Case& c : cases_from(argv[1])) {
            std::string difference = oracle::differences(c.path.c_str());
            ++compared;
            if (difference.empty()) continue;
            ++differing;
            std::printf("%s (%s): %s\n", c.id.c_str(), c.path.c_str(), difference.substr(0, 2000).c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        compared = 0;
    }
    XMLTerm();
    std::printf("%d cases compared, %d differ\n", compared, differing);
    return compared > 0 && differing == 0 ? 0 : 1;
}
