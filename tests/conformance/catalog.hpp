// The list of conformance cases, read from the suite's flattened catalogue.
#pragma once

#include <string>
#include <vector>

namespace conformance {

struct Case {
    std::string id;
    std::string type;      // valid, invalid, not-wf or error, as the suite classes the case
    std::string entities;  // none, general, parameter or both
    std::string path;      // the case's document on disk
};

// Reads `<suite>/cleaned/xmlconf-flattened.xml`: every TEST element, its URI resolved against
// the xml:base values of the TESTCASES elements around it and `<suite>/xmlconf/`. Throws
// std::runtime_error when the catalogue cannot be read.
std::vector<Case> load_catalog(const std::string& suite_dir);

}  // namespace conformance
