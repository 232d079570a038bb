// The four parser switches every reader of the library uses: the given validation scheme, no
// namespaces, no schemas. Header-only and free of the library's own types, so that the bare
// parsers the benchmarks and the conformance run compare against are set up the same way
// without taking the library's safety settings.
#pragma once

namespace zel::parser {

template <typename Parser, typename Scheme>
void set_reader_switches(Parser& parser, Scheme scheme) {
    parser.setValidationScheme(scheme);
    parser.setDoNamespaces(false);
    parser.setDoSchema(false);
    parser.setValidationSchemaFullChecking(false);
}

}  // namespace zel::parser
