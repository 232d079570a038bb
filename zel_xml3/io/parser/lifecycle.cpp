// Start-up and shut-down of the parser library under the process-wide library lock.
#include "zel_xml3.h"

#include "io/parser/lifecycle.hpp"

#include <mutex>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUniDefs.hpp>
#include <xercesc/util/XMLUni.hpp>

namespace {

// Created during the library's static initialisation at load, destroyed at unload.
// Recursive so that a thread already holding it cannot deadlock itself.
std::recursive_mutex library_lock;

}  // namespace

namespace zel::parser {

// The parser library sets its memory manager when it starts and clears it when it stops for
// the last time.
bool library_started() { return xercesc::XMLPlatformUtils::fgMemoryManager != nullptr; }

}  // namespace zel::parser

extern "C" {

ZEL_XML_API void XMLInit(void) {
    try {
        std::lock_guard<std::recursive_mutex> hold(library_lock);
        xercesc::XMLPlatformUtils::Initialize(xercesc::XMLUni::fgXercescDefaultLocale, nullptr, nullptr, nullptr);
    } catch (const xercesc::XMLException&) {
        // A parser library that cannot start is not reported: reads and writes will fail.
    } catch (...) {
        // Out of memory, a lock that cannot be taken and the like: no exception leaves the library.
    }
}

ZEL_XML_API void XMLTerm(void) {
    try {
        std::lock_guard<std::recursive_mutex> hold(library_lock);
        xercesc::XMLPlatformUtils::Terminate();
    } catch (...) {
        // Nothing sensible to do about a failing shut-down; keep the exception inside.
    }
}

}  // extern "C"
