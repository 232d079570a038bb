// The layout of the public records is part of the ABI: changing it needs a new SONAME.
#include "zel_xml3.h"

#include <cstddef>

static_assert(sizeof(ZEL_XML_RESULT) == 4);
static_assert(sizeof(XMLNodeType) == 4);
static_assert(XML_DOCUMENT_NODE == 11 && XML_NOTATION_NODE == 10 && XML_TEXT_NODE == 1);

static_assert(sizeof(XMLAttr) == 24);
static_assert(offsetof(XMLAttr, name) == 0 && offsetof(XMLAttr, type) == 8 && offsetof(XMLAttr, value) == 16);
static_assert(sizeof(XMLAttrList) == 16 && sizeof(XMLNodeList) == 16);
static_assert(offsetof(XMLAttrList, count) == 8 && offsetof(XMLAttrList, capacity) == 12);

static_assert(offsetof(XMLNode, name) == 0);
static_assert(offsetof(XMLNode, type) == 32);
static_assert(offsetof(XMLNode, value) == 40);
static_assert(offsetof(XMLNode, intValue) == 48);
static_assert(offsetof(XMLNode, attributes) == 56);
static_assert(offsetof(XMLNode, children) == 72);
static_assert(offsetof(XMLNode, parent) == 88);
static_assert(offsetof(XMLNode, docRef) == 96);
static_assert(sizeof(XMLNode) == 104);

static_assert(offsetof(XMLParseCallbacks, filterMode) == 0);
static_assert(offsetof(XMLParseCallbacks, filterName) == 4);
static_assert(offsetof(XMLParseCallbacks, progressCallback) == 40);
static_assert(offsetof(XMLParseCallbacks, errorCallback) == 48);
static_assert(offsetof(XMLParseCallbacks, userData) == 56);
static_assert(sizeof(XMLParseCallbacks) == 64);
