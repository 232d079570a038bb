/*
 * zel_xml3 - read an XML document into a tree of plain C records, walk and edit it,
 * write it back pretty-printed in any encoding.
 *
 * Compiles as C99 and as C++. All strings are NUL-terminated UTF-8.
 *
 * Ownership in one paragraph: the host owns every root made by XMLCreateRootNode, every
 * detached copy made by XMLCopyNodeData, every child taken out by XML_RemoveNthChildData or
 * XMLDetachNode and every record created with a NULL parent, and frees each of them with
 * XMLFreeRootNode (or hands it back to a tree with XMLInsertChild). Every other record
 * belongs to its parent.
 * Strings given to the library are copied; the library never keeps a host pointer past the
 * call and never hands out a string the host must free. Records are allocated by the library;
 * the host never frees, reallocates or assigns a record, a string or a sequence in a record
 * itself (see "Changing records").
 * A document record read with ZEL_XML_KEEP_ALL also holds the document's source text for the
 * writer; it is freed with that record.
 *
 * Threads: tree functions take no lock; keep any one tree to one thread at a time.
 * XMLInit/XMLTerm are serialised by a process-wide lock.
 */
#ifndef ZEL_XML3_H
#define ZEL_XML3_H

#include <stddef.h>
#include <stdint.h>

/* Version of this header. ZEL_XML_VERSION_NUMBER = MAJOR * 10000 + MINOR * 100 + PATCH. */
#define ZEL_XML_VERSION_MAJOR 0
#define ZEL_XML_VERSION_MINOR 1
#define ZEL_XML_VERSION_PATCH 0
#define ZEL_XML_VERSION_NUMBER \
    (ZEL_XML_VERSION_MAJOR * 10000 + ZEL_XML_VERSION_MINOR * 100 + ZEL_XML_VERSION_PATCH)

#if defined(ZEL_XML3_BUILDING) && defined(__GNUC__)
#define ZEL_XML_API __attribute__((visibility("default")))
#else
#define ZEL_XML_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result code of reads and writes. Also the C++ type of the exception thrown for a name of
 * 32 bytes or more (value ZEL_XML_EXCEPTION): a C++ host catches it with
 * `catch (ZEL_XML_RESULT code)`. A C host cannot catch it and must keep names under 32 bytes. */
typedef int32_t ZEL_XML_RESULT;

#define ZEL_XML_OK 0          /* the read or write ran to its end */
#define ZEL_XML_EXCEPTION 4   /* an exception ended a read or write; the name-too-long value */
#define ZEL_XML_ERROR 5       /* the parser reported an error */
#define ZEL_XML_NO_FILE 9     /* the input file cannot be opened or is empty */
#define ZEL_XML_UNEXPECTED 10 /* an event-driven read ended by an unexpected exception */

/* Type codes of XMLNode.type and XMLAttr.type. XMLRead and the event-driven readers make
 * records of types 0, 1 and 11; XMLReadFile with ZEL_XML_KEEP_ALL also 3, 4, 6, 7 and 8.
 * Attributes carry 3 (ordinary) or 10 (declared NOTATION). */
typedef enum XMLNodeType {
    XML_ELEMENT_NODE = 0,
    XML_TEXT_NODE = 1,
    XML_ATTRIBUTE_NODE = 2,
    XML_CDATA_SECTION_NODE = 3,
    XML_ENTITY_REFERENCE_NODE = 4,
    XML_ENTITY_NODE = 5,
    XML_PROCESSING_INSTRUCTION_NODE = 6,
    XML_COMMENT_NODE = 7,
    XML_DOCUMENT_TYPE_NODE = 8,
    XML_DOCUMENT_FRAGMENT_NODE = 9,
    XML_NOTATION_NODE = 10,
    XML_DOCUMENT_NODE = 11
} XMLNodeType;

/* One attribute, held by value in XMLNode.attributes. */
typedef struct XMLAttr {
    char* name;    /* owned by the record; never NULL in a record the library made */
    int32_t type;  /* an XMLNodeType code classifying the attribute; not written to files */
    char* value;   /* owned by the record; always text; never NULL in a record the library made */
} XMLAttr;

/* Ordered attributes of a node. 0 <= count <= capacity; items is NULL when capacity is 0.
 * The array grows geometrically and may move when an attribute is appended, so a pointer
 * to an XMLAttr is valid only until the next append to the same node. */
typedef struct XMLAttrList {
    XMLAttr* items;
    int32_t count;
    int32_t capacity;
} XMLAttrList;

/* Ordered, owned children of a node. 0 <= count <= capacity; entries are never NULL.
 * Children are held by pointer, so a child's address never changes. */
typedef struct XMLNodeList {
    struct XMLNode** items;
    int32_t count;
    int32_t capacity;
} XMLNodeList;

/* One node of a tree. Read the fields freely; change them through the functions below. */
typedef struct XMLNode {
    char name[32];          /* element or key name, at most 31 bytes and a NUL; "" for text; of
                               a longer name read from a document, its leading bytes (cut at a
                               character boundary): XMLGetNodeName gives the whole name */
    int32_t type;           /* an XMLNodeType code: 0 element, 1 text, 11 document; in trees
                               read whole also 3 CDATA, 4 entity reference, 6 processing
                               instruction (name the target), 7 comment, 8 DOCTYPE */
    char* value;            /* owned text: a text node's characters, an element's own value;
                               never NULL in a record the library made ("" when empty) */
    int32_t intValue;       /* integer slot; carried by copies, never written to files */
    XMLAttrList attributes; /* attributes in the order they were added */
    XMLNodeList children;   /* owned children in document order */
    struct XMLNode* parent; /* not owning: the record this one was appended to, NULL for a
                               root or a detached copy (see each function for who sets it) */
    void* docRef;           /* reserved; NULL on creation, carried over by copies */
} XMLNode;

/* Progress of an event-driven read: an estimate in percent (may exceed 100 before the final
 * report of exactly 100), the number of records made so far, and the caller's userData. */
typedef void (*XMLProgressCallback)(double percent, int32_t nodeCount, void* userData);

/* A parser diagnostic: position (from 1), the entity's public identifier or NULL (valid only
 * during the call), severity 5 error, 6 warning, 7 fatal error, and the caller's userData.
 * XMLGetDiagnosticMessage, called during the callback, gives the diagnostic's text. */
typedef void (*XMLErrorCallback)(int32_t line, int32_t column, const char* publicId, int32_t severity,
                                 void* userData);

/* What an event-driven read reports back. Read once before the parse starts. */
typedef struct XMLParseCallbacks {
    int32_t filterMode;                   /* 1: report progress only at ends of filterName */
    char filterName[32];                  /* element name; at most 31 bytes are used */
    XMLProgressCallback progressCallback; /* may be NULL: no progress reports */
    XMLErrorCallback errorCallback;       /* may be NULL: diagnostics are dropped */
    void* userData;                       /* passed back unchanged to both callbacks */
} XMLParseCallbacks;

/* ---- Library start and stop ------------------------------------------------------------ */

/* Starts the parser library; call before the first read or write. Calls nest: balance each
 * XMLInit with one XMLTerm. Never fails visibly: a parser library that cannot start leaves
 * reads and writes unusable. Thread-safe against XMLInit/XMLTerm on other threads. */
ZEL_XML_API void XMLInit(void);

/* Stops the parser library after the last read or write; undoes one XMLInit. Must not run
 * while a read or write is in progress on another thread. */
ZEL_XML_API void XMLTerm(void);

/* ---- Records: create, copy, free -------------------------------------------------------- */

/* Returns a new empty root (name "", type 0, value "", no attributes or children, NULL
 * parent and docRef), owned by the caller and freed with XMLFreeRootNode; NULL if out of
 * memory. Needs no XMLInit. */
ZEL_XML_API XMLNode* XMLCreateRootNode(void);

/* Frees the record, its strings, its attributes and every record below it. NULL does
 * nothing. Only for records the host owns (see the top of this header); the record is not
 * taken out of any parent. Any depth is fine: no recursion. */
ZEL_XML_API void XMLFreeRootNode(XMLNode* node);

/* Returns an independent deep copy of the record and its subtree: names, types, values,
 * intValue, docRef and attributes in order. The copy's parent is NULL and each copied
 * child's parent is its copied parent. Owned by the caller (XMLFreeRootNode). NULL for a
 * NULL source or when memory runs out (nothing is left allocated then). */
ZEL_XML_API XMLNode* XMLCopyNodeData(const XMLNode* node);

/* ---- Construction ----------------------------------------------------------------------- */

/* Turns `node` (normally a root) into the document element: name copied, type 0, value "",
 * docRef NULL; attributes and children kept. Returns `node`; NULL when name or node is NULL
 * or memory runs out. A name of 32 bytes or more throws ZEL_XML_RESULT 4 (C++) with only
 * docRef changed; C hosts must keep names under 32 bytes. */
ZEL_XML_API XMLNode* XMLCreateDocumentNode(const char* name, XMLNode* node);

/* Appends a new element (name copied, type 0, value "", parent set to `parent`) as the last
 * child of `parent` and returns it; it belongs to `parent`. NULL when name or parent is NULL
 * or memory runs out, with nothing appended. A name of 32 bytes or more throws
 * ZEL_XML_RESULT 4 (C++) with `parent` unchanged; C hosts must keep names under 32 bytes. */
ZEL_XML_API XMLNode* XMLCreateElementNode(const char* name, XMLNode* parent);

/* Appends a new text record (name "", type 1, value a copy of `text`, parent set) as the
 * last child of `parent` and returns it; it belongs to `parent`. Text has no length limit.
 * NULL when text or parent is NULL or memory runs out, with nothing appended. */
ZEL_XML_API XMLNode* XMLCreateTextNode(const char* text, XMLNode* parent);

/* ---- Child access ----------------------------------------------------------------------- */

/* Number of children of `node`; 0 for NULL. */
ZEL_XML_API int32_t XMLGetChildrenCount(const XMLNode* node);

/* Child at zero-based `index`, owned by the tree; NULL for a NULL node or an index out of
 * range. Same as XMLGetNthChildData. */
ZEL_XML_API XMLNode* XMLGetChildAt(const XMLNode* node, int32_t index);

/* Child at zero-based `index`, owned by the tree; NULL for a NULL node or an index that is
 * negative or not less than the number of children. */
ZEL_XML_API XMLNode* XMLGetNthChildData(const XMLNode* node, int32_t index);

/* Takes the child at `index` out of `node`: its attributes and everything below it are
 * freed, later children move down one place. The removed record itself stays valid (name,
 * type, value, intValue, parent and docRef unchanged, no attributes or children) and now
 * belongs to the host, which frees it with XMLFreeRootNode. Always returns 0; an index out
 * of range or a NULL node changes nothing. */
ZEL_XML_API int32_t XML_RemoveNthChildData(XMLNode* node, int32_t index);

/* First child whose name equals `name` (exact, case-sensitive; "" finds text children),
 * owned by the tree; NULL if none or if an argument is NULL. */
ZEL_XML_API XMLNode* XMLGetChildWithKeyName(const XMLNode* node, const char* name);

/* Number of children whose name equals `name` exactly; 0 if an argument is NULL. */
ZEL_XML_API int32_t XMLGetNumChildrenWithKeyName(const XMLNode* node, const char* name);

/* The n-th (from 0) child among those whose name equals `name`, owned by the tree; NULL for
 * a negative n, too few matches or a NULL argument. Note: n comes before the name. */
ZEL_XML_API XMLNode* XMLGetNthChildWithKey(const XMLNode* node, int32_t n, const char* name);

/* First record named `name` in the subtree of `node`, `node` itself included, in pre-order
 * (a record before its descendants, an earlier child's whole subtree before a later child).
 * Owned by the tree. Sets *found to 1 when found, else 0 (a NULL `found` is not written).
 * NULL if nothing matches, an argument is NULL or memory for the search runs out. Any depth
 * is fine: no recursion. */
ZEL_XML_API XMLNode* XMLGetNodeData(XMLNode* node, const char* name, uint8_t* found);

/* ---- Values and attributes -------------------------------------------------------------- */

/* Where values live. An element's text is held by its children (text records, or unnamed
 * elements, which the writer writes as text); XMLGetValueOfNode and XMLAlterValueOfNode use
 * the first child's value. A named element's own `value` and `intValue` are held in memory
 * only: the writer never writes them. Out of memory gives a null, false or 1 result with the
 * tree as it was.
 *
 * Number text, used by every setter below: integers in the "%d" form (-2147483648); doubles
 * in the "%g" form at six significant digits with a full stop whatever the process locale,
 * and an exponent of a sign and at least three digits (3.14159, 0.0001, 1e+006, 1e-005,
 * -1.5e+300, -0 for negative zero); "INF", "-INF" and "NaN" for non-finite doubles.
 * A boolean byte gives "true" only when it is exactly 1; 0, 2 and every other byte give
 * "false". */

/* Appends a new element named `key` as the last child of `parent` and returns it (owned by
 * the tree). A non-NULL `value` is copied into the element's OWN value, which stays in memory
 * and is never written; no child is made, so XMLGetValueOfNode on the element returns 1.
 * Existing children of that name are not looked at: repeated calls make siblings.
 * NULL for a NULL parent or key, or out of memory. A key of 32 bytes or more throws
 * ZEL_XML_RESULT 4 (C++) with `parent` unchanged; C hosts must keep keys under 32 bytes. */
ZEL_XML_API XMLNode* XMLAddKeyNameValue(XMLNode* parent, const char* key, const char* value);

/* Sets key `key` under `parent` and returns its element (owned by the tree).
 * Key missing: appends an element named `key` and, for a non-NULL value, one unnamed child
 * holding a copy of `value`, which is written as the element's text.
 * Key present (the first child whose name equals `key` exactly, as XMLGetChildWithKeyName
 * finds it): only that element's OWN value is replaced, which is never written; its
 * children, and so the text XMLGetValueOfNode reads and the writer writes, keep the old
 * text. A NULL value then returns the element unchanged.
 * NULL for a NULL parent or key, or out of memory. A key of 32 bytes or more never matches
 * and throws ZEL_XML_RESULT 4 (C++) with `parent` unchanged. */
ZEL_XML_API XMLNode* XMLSetKeyNameValue(XMLNode* parent, const char* key, const char* value);

/* Copies the value of the first child of `node` (whatever its type), with its NUL, into
 * `buffer`, which holds `bufferSize` bytes. Returns 0 when copied; 1, with the buffer
 * untouched, when the value is not shorter than bufferSize (never cut short), bufferSize
 * is 0 or negative, or `node` or `buffer` is NULL. A node without children returns 1 and
 * writes "" when bufferSize is above 1. */
ZEL_XML_API int32_t XMLGetValueOfNode(const XMLNode* node, int32_t bufferSize, char* buffer);

/* Replaces the whole value of the first child of `node` (whatever its type) with a copy of
 * `value`. Returns 0 when replaced; 1 when `node` has no children, `node` or `value` is
 * NULL, or memory runs out (nothing changes then). */
ZEL_XML_API int32_t XMLAlterValueOfNode(XMLNode* node, const char* value);

/* First attribute of `node` whose name equals `name` (exact, case-sensitive; "" is an
 * ordinary name). A pointer into node->attributes.items: it moves when the node gains an
 * attribute, so look up again after any append; freed with the tree. NULL if none or if an
 * argument is NULL. */
ZEL_XML_API XMLAttr* XMLFindAttrWithKeyName(XMLNode* node, const char* name);

/* Record fillers: give the attribute record `attr` a copy of `name` (renaming it if the name
 * differs, even when the node has another attribute of that name), the type code `type`, and
 * the text of `value` (number text above; the string copied; the boolean byte rule). Other
 * attributes are not looked at. Return 1; 0 when `attr`, `name` or a string value is NULL,
 * or memory runs out, with the record unchanged. Never throw. */
ZEL_XML_API uint8_t XMLSetIntegerAttribute(XMLAttr* attr, const char* name, int32_t value, int32_t type);
ZEL_XML_API uint8_t XMLSetDoubleAttribute(XMLAttr* attr, const char* name, double value, int32_t type);
ZEL_XML_API uint8_t XMLSetStringAttribute(XMLAttr* attr, const char* name, const char* value, int32_t type);
ZEL_XML_API uint8_t XMLSetBoolAttribute(XMLAttr* attr, const char* name, uint8_t value, int32_t type);

/* Node setters: set attribute `name` of `node` to the text of `value`, with type code 3
 * (XML_CDATA_SECTION_NODE) whatever it was (a NOTATION attribute's 10 included). The first
 * attribute of that name is changed in place, keeping its position and the count; otherwise
 * one is appended, which may move node->attributes.items. XMLSetNodeAttribute is the same
 * as XMLSetNodeStringAttribute. Return 1; 0 when `node`, `name` or a string value is NULL,
 * or memory runs out, with the node unchanged. Never throw. */
ZEL_XML_API uint8_t XMLSetNodeIntegerAttribute(XMLNode* node, const char* name, int32_t value);
ZEL_XML_API uint8_t XMLSetNodeDoubleAttribute(XMLNode* node, const char* name, double value);
ZEL_XML_API uint8_t XMLSetNodeStringAttribute(XMLNode* node, const char* name, const char* value);
ZEL_XML_API uint8_t XMLSetNodeBoolAttribute(XMLNode* node, const char* name, uint8_t value);
ZEL_XML_API uint8_t XMLSetNodeAttribute(XMLNode* node, const char* name, const char* value);

/* Typed element setters. Each fills a target: it copies `name`, sets type 0 (a text node
 * becomes an element) and stores the value in the target's OWN fields, which stay in memory
 * and are never written; attributes and children are kept. A value meaning "none" leaves
 * its field as it was. The Set functions fill `node` itself when its name is empty (a fresh
 * root, an unnamed element, a text node); otherwise, a named node included, they append a
 * new unnamed element to `node` and fill that, so each call on a named node adds a child.
 * Return the filled record (owned by the tree). NULL when `node` or `name` is NULL or memory
 * runs out (nothing changes), and when the name has 32 bytes or more: never a throw; the
 * node is unchanged, but a child appended for it stays, unnamed and with value "". */

/* Stores a copy of `value` (NULL: none) in the target's own value. */
ZEL_XML_API XMLNode* XMLSetNodeStringElement(XMLNode* node, const char* name, const char* value);

/* Stores the number text of `value` in the target's own value. 0.0, -0.0 and NaN mean none:
 * the value is left as it was. */
ZEL_XML_API XMLNode* XMLSetNodeDoubleElement(XMLNode* node, const char* name, double value);

/* Stores *value in the target's intValue (NULL: none); the target's value is never touched. */
ZEL_XML_API XMLNode* XMLSetNodeIntegerElement(XMLNode* node, const char* name, const int32_t* value);

/* Like XMLSetNodeStringElement, but always appends a new unnamed element to `parent` and
 * fills that, even when `parent` is unnamed. NULL for a NULL parent or name. */
ZEL_XML_API XMLNode* XMLAppendNodeStringElement(XMLNode* parent, const char* name, const char* value);

/* ---- Document reading and writing ------------------------------------------------------- */

/* Limits of every read (XMLRead and the three event-driven readers):
 * - No network, ever. An external DTD subset, parameter entity or general entity whose system
 *   identifier starts with a URL scheme other than file: (http:, https:, ftp:, ...), or is a
 *   file: URL naming a host other than localhost, is not fetched and is read as if it were
 *   empty; the read goes on. Each one is reported as a warning at the parser's position whose
 *   message is "remote DTD or entity not fetched: " and the identifier (XMLRead prints it as a
 *   Warning line; the event-driven readers send severity 6, and as they validate whenever
 *   there is a DOCTYPE, the elements the empty DTD does not declare then bring validity
 *   errors, severity 5; the result stays 0). What the host loses is what the skipped DTD
 *   declares: default attributes and entities (a reference to an entity only it declares is
 *   dropped). A document name of that kind is a file that cannot be opened. Local DTDs and
 *   entities, by path or file: URL, are read as usual (a relative local name containing ':'
 *   needs a "./" prefix; it resolves against the file that names it, or in a document read
 *   from memory against the current directory). One that cannot be opened (missing, a folder,
 *   not readable) is read as empty in the same way, with the warning "local DTD or entity not
 *   found: " and the identifier as written.
 * - At most 50,000 entity expansions per document: past them the parser stops with a fatal
 *   error (XMLRead 5; event-driven readers 5, severity 7 to errorCallback).
 * - Memory: the parser's own allocations, and separately the records the read makes, may
 *   each take at most max(256 MB, 128 x input size in bytes). Past that the read ends as for
 *   running out of memory: XMLRead prints "Unexpected exception" and returns 4 (5 when the
 *   parser also reported errors) and leaves `root` untouched, without an element count (it
 *   builds its records while the parser reads and fills `root` only at the end); the
 *   event-driven readers print their message and return 10, and the records they made so far
 *   stay in the tree. Whatever the parser allocated for a read (or the transcoder for a
 *   write) is freed when the call returns, even blocks the parser itself never gives back:
 *   repeated reads do not grow the process. A write makes no copy of the tree: it walks the
 *   records once to check them and once to write them, in 64 KB blocks. */

/* Reads the XML file `fileName` into `root` (normally from XMLCreateRootNode), which becomes
 * the document element; its attributes (type 3, sorted by name as UTF-16 units, defaulted ones
 * included), elements and text (CDATA and entity text included, a record for each piece the
 * parser's document reader would keep as a node) are appended after anything already there
 * and belong to `root`. Text is dropped only where a whole run of character data between two
 * tags is blank; in any other run every piece is kept, blank ones too. Stores the element
 * count (entity content not included) in *elementCount when not NULL. Returns 0; 4 for an exception, or silently for a NULL fileName or root; 5 when the parser
 * reported errors (the tree may be partial). An element name of 32 bytes or more stops the
 * records there (those before it stay, the element count covers the whole document) and
 * gives 4. */
ZEL_XML_API ZEL_XML_RESULT XMLRead(const char* fileName, XMLNode* root, int32_t* elementCount);

/* Writes the tree under `root` (only read) to the file `fileName` (created or replaced), in
 * `encoding` (an IANA name; NULL: UTF-8), pretty-printed; text is never changed. Names are
 * written as they stand, a prefixed one (xs:schema) included: there is no namespace
 * processing. The encodings that leave the byte order open, UTF-16, UCS-2,
 * ISO-10646-UCS-2, UTF-32, UCS-4 and ISO-10646-UCS-4 (in any letter case), are written in
 * this machine's byte order after a byte-order mark; every other encoding (UTF-8, UTF-16LE
 * and UTF-16BE included) gets none. A NULL or empty fileName writes nothing and returns 0.
 * Returns 4 for a NULL root (nothing printed), a name the XML rules refuse, a string that is
 * not UTF-8 (it could not be written unchanged), a tree too deep to write, an output that
 * cannot be opened or written (a full disk included) or an unknown encoding (messages go to
 * stderr).
 * A new file gets the mode the umask gives. An existing regular file (through symbolic
 * links, which stay links) changes only after a complete write, so a failed write leaves it
 * as it was: with one link in a folder the process may write, it is replaced in one step by
 * a synced temporary file beside it that takes its mode (and owner and group, where the
 * process may set them); with other hard links, or in a folder the process may not write
 * or rename in (a sticky folder that neither it nor the file belongs to), the finished
 * document is written into it in place, so every link sees it. A file the process may not
 * write gives 4 and is never replaced through its folder. A new file that cannot be written
 * whole (a name the encoding cannot hold, a full disk) is removed. Devices and pipes are
 * written directly.
 * Depth: a write accepts at most min(32,000, (stack left on the calling thread - 128 KB) /
 * 240 bytes) levels: 32,000 on an 8 MB stack, about 1,600 on a 512 KB thread. A deeper tree
 * gives 4 and "Unexpected exception" before anything is written. The same holds for
 * XMLWriteFH.
 * Before XMLInit, or after the last XMLTerm, both return 4 and print "Error during parsing:
 * <file name or descriptor> Exception message is: the parser library is not started; call
 * XMLInit first"; so do the readers (XMLRead and the SAX_ functions), naming their input
 * (SAX_XMLRead still returns 9 first for a file it cannot open). */
ZEL_XML_API ZEL_XML_RESULT XMLWrite(const char* fileName, const char* encoding, const XMLNode* root);

/* As XMLWrite, but writes through `fileHandle`, a C `FILE*` open for writing: the document
 * (its byte-order mark, if any, first) follows whatever the caller wrote before, the stream
 * is flushed and never closed, and the caller may go on writing. A NULL handle writes
 * nothing and returns 0. A write or flush the stream refuses (a full disk) gives 4. */
ZEL_XML_API ZEL_XML_RESULT XMLWriteFH(void* fileHandle, const char* encoding, const XMLNode* root);

/* ---- Event-driven reading --------------------------------------------------------------- */

/* Common to the three readers below. After XMLInit, the document's elements and non-blank
 * text are appended under `root`, which first becomes an unnamed document record (type 11)
 * and then the document element; its earlier attributes and children stay in front. Blank
 * text between elements is dropped; comments and processing instructions leave no trace;
 * text split by entities or CDATA is one record. Each element's parent link is set.
 * `callbacks` (may be NULL) is read once before the parse; its functions run on the calling
 * thread and must not change the tree. *count (when `count` is not NULL) receives the number
 * of element and text records made, removed blank ones included, unless the result is 9 or
 * 10. Results: 0 complete; 5 the parser hit a fatal error (the partial tree stays, severity 7
 * went to errorCallback; warnings and validity errors keep 0); 4 a parser exception or a NULL
 * root or buffer (nothing touched); 10 any other exception, such as an element name of 32
 * bytes or more or memory running out (records made so far stay; a line goes to stderr).
 * An element name of 32 bytes or more is first reported to errorCallback as severity 7 at
 * the position just past its start tag, with a message that quotes up to 31 bytes of the
 * name (cut at a character boundary) and states the 31-byte limit. */

/* Reads the file at `path`. 9 when `path` is NULL or the file cannot be opened or is empty
 * (nothing touched then). Progress is measured against the file's size in bytes. */
ZEL_XML_API ZEL_XML_RESULT SAX_XMLRead(const char* path, XMLNode* root, const XMLParseCallbacks* callbacks,
                                       int32_t* count);

/* Reads a NUL-terminated document in any encoding the parser recognises from its first
 * bytes. The buffer is parsed in place, never copied or freed: keep it unchanged during the
 * call. Progress is measured against its length in bytes. */
ZEL_XML_API ZEL_XML_RESULT SAX_XMLMemRead(const char* buffer, XMLNode* root, const XMLParseCallbacks* callbacks,
                                          int32_t* count);

/* Reads a document held as UTF-16 code units in the machine's byte order, ending at the first
 * zero unit, whatever encoding its declaration names; a leading byte-order mark is skipped.
 * Parsed in place like SAX_XMLMemRead; progress is measured against its size in bytes. */
ZEL_XML_API ZEL_XML_RESULT SAX_XMLMemWideCharRead(const uint16_t* buffer, XMLNode* root,
                                                  const XMLParseCallbacks* callbacks, int32_t* count);

/* The text of the diagnostic being reported, in UTF-8: call it from inside an errorCallback
 * of the three readers above, for every warning, error and fatal error; the parser's own
 * message, or the library's for its limits. Owned by the library and valid until the callback
 * returns. NULL at any other time and on any thread but the one the callback runs on. */
ZEL_XML_API const char* XMLGetDiagnosticMessage(void);

/* ---- Removing attributes and versions -------------------------------------------------- */

/* Removes the first attribute of `node` whose name equals `name` (the rule of
 * XMLFindAttrWithKeyName) and frees its strings; later attributes move down one place and
 * keep their order, so pointers into node->attributes.items from before the call may point
 * at another attribute or past the end. Returns 1 when one was removed; 0 when none has that
 * name or an argument is NULL (nothing changes). Never throws. */
ZEL_XML_API uint8_t XMLRemoveAttrWithKeyName(XMLNode* node, const char* name);

/* The library's version as "MAJOR.MINOR.PATCH", from the ZEL_XML_VERSION_* macros as the
 * library was built (compare with the header's to catch a mismatched install). A static
 * string, never NULL, never freed; works before XMLInit. */
ZEL_XML_API const char* XMLGetVersion(void);

/* The Xerces-C version the library runs with, "MAJOR.MINOR.PATCH". Xerces-C publishes its
 * version only in its headers, so this is the version built against; the loaded library has
 * the same major and minor version (its file name, libxerces-c-3.2.so, binds them). A static
 * string, never NULL, never freed; works before XMLInit. */
ZEL_XML_API const char* XMLGetParserVersion(void);

/* ---- Documents kept whole: read everything, write back what was not changed ------------- */
/* The functions in this section never print anything. Diagnostics go to the callbacks of
 * XMLReadOptions (with XMLGetDiagnosticMessage); why a call failed is in XMLGetLastError.
 * They need XMLInit, like the readers and writers above. Their results:
 *   ZEL_XML_OK (0)          done
 *   ZEL_XML_EXCEPTION (4)   nothing usable: a NULL argument, the library not started, an
 *                           input or output that cannot be opened, read or written, an unknown
 *                           encoding, memory running out, a sink that took fewer bytes than
 *                           it was given, a record that cannot be written (XMLGetLastError
 *                           says which and where). A failed write replaces no file.
 *   ZEL_XML_ERROR (5)       the parser hit a fatal error: the records up to it stay in the
 *                           tree, the diagnostic went to errorCallback (severity 7).
 * Reading: flags of XMLReadOptions. */
#define ZEL_XML_KEEP_ALL 0x1u /* keep everything the document holds (see XMLReadFile) */
#define ZEL_XML_VALIDATE 0x2u /* validate against the DTD when there is one: validity errors go
                                 to errorCallback as severity 5 and keep result 0 */
/* Options of XMLReadFile and XMLReadBuffer; NULL or a zeroed struct means the defaults. */
typedef struct XMLReadOptions {
    uint32_t flags;                      /* ZEL_XML_KEEP_ALL, ZEL_XML_VALIDATE */
    const XMLParseCallbacks* callbacks;  /* may be NULL; read once before the parse */
} XMLReadOptions;
/* Writing: flags of XMLWriteOptions. */
#define ZEL_XML_WRITE_INDENT 0x1u /* indent element-only content as XMLWrite does; mixed
                                     content and what lies in it are left as they are */
/* Options of XMLWriteFile and XMLWriteToSink; NULL or a zeroed struct means the defaults. */
typedef struct XMLWriteOptions {
    uint32_t flags;       /* ZEL_XML_WRITE_INDENT */
    const char* encoding; /* an IANA name; NULL: the document's own (see XMLWriteFile) */
} XMLWriteOptions;
/* Receives the written document in order, `length` bytes at `bytes` (valid during the call
 * only), and returns how many it took; fewer than `length` stops the write with 4. */
typedef size_t (*XMLWriteSink)(const void* bytes, size_t length, void* userData);
/* Reads the XML file `fileName` into `root` (normally fresh from XMLCreateRootNode).
 * Flags 0: the tree SAX_XMLRead builds (the document element in `root`, attributes in
 * document order, DTD defaults included, blank runs between elements dropped, text split by
 * entities or CDATA as one record), without printing anything.
 * ZEL_XML_KEEP_ALL: `root` becomes the document record (name "", type 11, value ""), whose
 * attributes are the XML declaration's as written (version, encoding, standalone; none
 * without a declaration) and whose children are, in document order, comments (type 7, value
 * the text), processing instructions (type 6, name the target, value the data), the DOCTYPE
 * (type 8, name the root name, attributes publicId and systemId when given, value the
 * internal subset as written), white space between them (type 1) and the document element.
 * Inside elements: every piece of text, blank ones too (type 1; character references and
 * predefined entities resolved), CDATA sections (type 3, value the content), references to
 * entities the DTD declares (type 4, name the entity, children what its text reads as; only
 * `&name;` is written back), comments and processing instructions; attributes in document
 * order, only those written in the document. Example:
 *   <?xml version="1.0"?>            root: type 11, attributes version="1.0"
 *   <!-- c -->                          7 " c "   1 "\n"
 *   <a x="1"><![CDATA[<]]>&e;</a>       0 "a" (x="1"): 3 "<", 4 "e" (its text below it)
 * The tree remembers the source of what it read, so XMLWriteFile and XMLWriteToSink, given
 * the document record, give back every part the host did not change byte for byte (given a
 * record below it, they write that subtree in default forms). Records that were edited (through
 * the functions or the fields) are written the default way, each on its own.
 * Both modes: an element name of any length is read; a record's `name` then holds its
 * leading bytes (at most 31, cut at a character boundary) and XMLGetNodeName the whole name.
 * *recordCount (when not NULL) receives the number of records made.
 * Results: the table above; 4 also when the file cannot be opened or is empty. */
ZEL_XML_API ZEL_XML_RESULT XMLReadFile(const char* fileName, XMLNode* root, const XMLReadOptions* options,
                                       int32_t* recordCount);
/* As XMLReadFile, from `length` bytes at `bytes` in any encoding the parser detects from the
 * first bytes (UTF-16 with a byte-order mark included); no terminator is needed, the bytes
 * are only read during the call. 4 for NULL bytes or a length of 0. */
ZEL_XML_API ZEL_XML_RESULT XMLReadBuffer(const void* bytes, size_t length, XMLNode* root,
                                         const XMLReadOptions* options, int32_t* recordCount);
/* Writes the tree under `root` (only read) to the file `fileName` with the file rules of
 * XMLWrite (atomic replace, mode, owner, links; nothing replaced on failure).
 * Every record type is written: 0, 1 and 11 as XMLWrite writes them, 3 as a CDATA section
 * (split where it holds "]]>"), 4 as `&name;`, 6, 7, and 8 as a DOCTYPE (only as a child of a
 * document record); attributes in record order; a document record with its declaration.
 * Without ZEL_XML_WRITE_INDENT nothing is added or re-indented. A NULL encoding writes a tree
 * read with ZEL_XML_KEEP_ALL in the document's own encoding, with its byte-order mark and
 * line ends, and any other tree in UTF-8. Characters the encoding cannot hold become
 * character references in text and attribute values; in names, comments, processing
 * instructions and CDATA they fail the write with 4. Results: the table above. */
ZEL_XML_API ZEL_XML_RESULT XMLWriteFile(const char* fileName, const XMLNode* root, const XMLWriteOptions* options);
/* As XMLWriteFile, but hands the document to `sink` in blocks of up to 64 KB; `userData` is
 * passed back unchanged. Nothing is written for a NULL sink or root (4). */
ZEL_XML_API ZEL_XML_RESULT XMLWriteToSink(XMLWriteSink sink, void* userData, const XMLNode* root,
                                          const XMLWriteOptions* options);
/* Why the last call on this thread of a function of this section, or of the edit and path
 * functions below that return a ZEL_XML_RESULT, failed, in UTF-8; "" after a success or
 * before any call. Owned by the library, valid until the next of those calls on this thread.
 * Never NULL. */
ZEL_XML_API const char* XMLGetLastError(void);
/* The whole name of `node`: what its `name` holds, or for a record read with a name over 31
 * bytes the whole of it (while `name` still holds its leading bytes). Owned by the record and
 * valid until the record is renamed or freed. "" for a NULL node. */
ZEL_XML_API const char* XMLGetNodeName(const XMLNode* node);

/* ---- Changing records ------------------------------------------------------------------- */
/* Hosts read record fields freely but change records only through the functions of this
 * header. Every string a record holds carries a hidden byte just before its first character
 * that tells the library how the string is stored (a block of its own, or inside the
 * record's block); a host string assigned to `name`, `value` or an attribute lacks it, and
 * freeing the tree then frees the wrong block or crashes. Likewise the child and attribute
 * sequences are the library's blocks: never assign, reorder or free their items. To add, move
 * or remove records use XMLInsertChild, XMLDetachNode and XMLDeleteNode; to change text use
 * XMLSetNodeText or XMLAlterValueOfNode; names, XMLRenameNode; attributes, the setters above.
 * A tree read with ZEL_XML_KEEP_ALL and changed through these functions still gives back every
 * record that was not touched byte for byte (XMLWriteFile); touched records are written in
 * their default forms. A record moved within its document (XMLDetachNode, then XMLInsertChild)
 * is not touched: it keeps its form at its new place.
 * The functions below report failures as XMLReadFile does: ZEL_XML_OK (0) or
 * ZEL_XML_EXCEPTION (4) with the reason in XMLGetLastError, and the tree as it was. None of
 * them needs XMLInit, none prints. */

/* Attaches `child`, a record that belongs to no parent (from XMLCreateRootNode,
 * XMLCopyNodeData, XMLDetachNode, XML_RemoveNthChildData or a create function given a NULL
 * parent), to `parent` at zero-based `index`: it goes before the child now at `index`; an
 * index of -1 or of the number of children appends it. The tree owns `child` from then on and
 * sets its parent link. 4 for a NULL argument, an index out of range, a child that is
 * `parent` or one of its ancestors, a child `parent` already holds, a document record (type
 * 11) as child, a parent that holds no children in XML (text, CDATA, comment, processing
 * instruction, DOCTYPE, entity reference), a DOCTYPE anywhere but under a document record, or
 * memory running out. The ancestor test looks through the subtree of `child` (never up
 * through parent links, which a record from XML_RemoveNthChildData keeps stale), so it costs
 * time in proportion to that subtree. */
ZEL_XML_API ZEL_XML_RESULT XMLInsertChild(XMLNode* parent, int32_t index, XMLNode* child);

/* Takes `node` out of its parent (found through its parent link) with its subtree and
 * attributes intact, clears its parent link and returns it: the host now owns it and frees
 * it with XMLFreeRootNode, or attaches it again with XMLInsertChild. Later siblings move down
 * one place. NULL (nothing changes) for a NULL node or one without a parent. Not for a record
 * taken out by XML_RemoveNthChildData: it belongs to no parent already, but keeps its old
 * parent link, which may point at a record freed since. */
ZEL_XML_API XMLNode* XMLDetachNode(XMLNode* node);

/* Takes `node` out of its parent and frees it with everything below it; pointers to it and
 * into its subtree are invalid afterwards. 4 for a NULL node or one without a parent (free a
 * root with XMLFreeRootNode); as XMLDetachNode, not for a record from XML_RemoveNthChildData. */
ZEL_XML_API ZEL_XML_RESULT XMLDeleteNode(XMLNode* node);

/* Gives `node` (an element, processing instruction or entity reference) a copy of `name`,
 * of any length (`name` then holds its leading bytes and XMLGetNodeName the whole name).
 * 4 for a NULL argument, another record type, a name that is not an XML name (empty, a
 * leading digit, a space, '=', not UTF-8), for a processing instruction "xml" in any letter
 * case (it names the declaration), or memory running out; the record is unchanged. */
ZEL_XML_API ZEL_XML_RESULT XMLRenameNode(XMLNode* node, const char* name);

/* Make a comment (type 7, value a copy of `text`), a CDATA section (type 3, value `text`) or
 * a processing instruction (type 6, name a copy of `target`, value a copy of `data`).
 * With a parent, the record is appended as its last child, belongs to the tree and has its
 * parent link set; with a NULL parent it is detached and owned by the host (XMLFreeRootNode,
 * or XMLInsertChild). The text may be anything: the writer refuses what XML cannot hold
 * ("--" in a comment, "?>" in PI data, CDATA beside the document element) when it writes,
 * and splits CDATA at "]]>". NULL for NULL text, target or data, a target that is not an XML
 * name or is "xml" in any letter case, a parent that holds no children (as for
 * XMLInsertChild), or memory running out; nothing is appended then. */
ZEL_XML_API XMLNode* XMLCreateCommentNode(const char* text, XMLNode* parent);
ZEL_XML_API XMLNode* XMLCreateCDATANode(const char* text, XMLNode* parent);
ZEL_XML_API XMLNode* XMLCreateProcessingInstructionNode(const char* target, const char* data, XMLNode* parent);

/* The string value of `node` as XPath defines it, copied into `buffer` like snprintf: at
 * most bufferSize - 1 bytes and a terminator (nothing when bufferSize is 0; a NULL buffer
 * only measures). Returns the full length in bytes, so a result not less than bufferSize
 * means the text was cut. The value of a named element, a document record or an entity
 * reference is all text below it in document order: the values of text records, CDATA
 * sections and unnamed elements, through named elements and entity references, without
 * comments, processing instructions, the DOCTYPE or the white space beside the document
 * element; any other record's value (an unnamed element's included) is its own `value`. A
 * NULL node gives 0 (and "" when there is room). Any depth is fine: no recursion. */
ZEL_XML_API size_t XMLGetNodeText(const XMLNode* node, char* buffer, size_t bufferSize);

/* Replaces the content of `node`: a named element's or entity reference's children all go
 * (freed) and one text record holding a copy of `text` takes their place (none for ""); a
 * text, CDATA, comment or processing instruction record, or an unnamed element, gets `text`
 * as its value. Attributes and a named element's own value stay. An entity reference is still
 * written as `&name;`: its new text is seen in memory only. 4 for a NULL argument, a document
 * record or DOCTYPE, or memory running out (nothing changes then). */
ZEL_XML_API ZEL_XML_RESULT XMLSetNodeText(XMLNode* node, const char* text);

/* ---- Paths: XPath 1.0 over records ------------------------------------------------------ */
/* XMLEvaluatePath evaluates an XPath 1.0 expression: every axis, node test, predicate,
 * operator and core function. The tree is seen as XPath sees a document:
 *   root node     the document record (type 11) at the top of the context's tree; for a tree
 *                 without one (XMLRead, SAX_XMLRead), a root standing above its top record;
 *   elements      records of type 0 with a name;
 *   text nodes    text records, CDATA sections and unnamed elements (their `value`); adjacent
 *                 ones form one text node; empty ones are none;
 *   transparent   entity references: their children stand in their place;
 *   comments, processing instructions (the record's name is the target);
 *   attributes    an element's attributes, except xmlns and xmlns:* which are its namespace
 *                 nodes (with the xml prefix's, on the namespace axis);
 *   left out      white space and the DOCTYPE beside the document element.
 * Names are compared whole (XMLGetNodeName). Records keep prefixed names as written; a name
 * test with a prefix (p:item, p:*) matches by namespace URI, the prefix bound through
 * XMLPathOptions.namespaces and the record's URI found from the xmlns attributes in scope.
 * An unprefixed name test matches only names in no namespace, so elements under a default
 * namespace (xmlns="...") need a bound prefix, as XPath 1.0 has it. id() finds elements by
 * their xml:id attribute (records do not keep DTD attribute types).
 * The context's tree must have its parent links (every reader, create and copy function sets
 * them). Evaluation takes no lock and changes nothing; nothing recurses on document depth.
 * Compiled once: each thread keeps its 16 most recently used expressions compiled, keyed by
 * their text, so evaluating one expression against many contexts parses it only once.
 * An expression may nest 200 levels deep (parentheses, predicates, arguments, and chains of
 * one operator such as a | b | c each count one level a term); deeper ones give 4. */

/* Type codes of XMLPathResult.type and XMLPathVariable.type. */
#define ZEL_XML_PATH_NODE_SET 1
#define ZEL_XML_PATH_BOOLEAN 2
#define ZEL_XML_PATH_NUMBER 3
#define ZEL_XML_PATH_STRING 4

/* XMLPathNode.type of a namespace node (beside the XMLNodeType codes 0, 1, 2, 6, 7, 11). */
#define ZEL_XML_PATH_NAMESPACE_NODE 13

/* One node of a node-set.
 *   type 0 element, 7 comment, 6 processing instruction: `node` is the record;
 *   type 1 text node: `node` is its first record (later adjacent ones belong to it too);
 *   type 11 root: `node` is the document record, or the top record of a tree without one;
 *   type 2 attribute: `node` is its element, `attribute` points at it in node->attributes;
 *   type 13 namespace node: `node` is the element it belongs to, `attribute` the xmlns
 *   attribute that declares it (on that element or an ancestor), NULL for the xml prefix.
 * Pointers into the tree: valid while the tree is not changed. */
typedef struct XMLPathNode {
    XMLNode* node;
    XMLAttr* attribute; /* NULL unless type is 2 or 13 */
    int32_t type;
} XMLPathNode;

/* The value of an expression. `string` and `nodes` are owned by the result and freed by
 * XMLFreePathResult. */
typedef struct XMLPathResult {
    int32_t type;         /* ZEL_XML_PATH_*; 0 after a failure */
    int32_t boolean;      /* the boolean result (0 or 1) */
    double number;        /* the number result */
    char* string;         /* UTF-8: the string result, or for a boolean or number result its
                             XPath string() ("true", "NaN", "-Infinity", "12", "0.1");
                             NULL for a node-set */
    XMLPathNode* nodes;   /* a node-set's nodes, in document order, each once; NULL when empty */
    size_t count;         /* how many */
    int32_t errorOffset;  /* after a result of 4 for a faulty expression: the byte offset in
                             it where the problem was found; -1 otherwise */
} XMLPathResult;

/* A variable the expression reads as $name. */
typedef struct XMLPathVariable {
    const char* name;         /* without the '$' */
    int32_t type;             /* ZEL_XML_PATH_* */
    int32_t boolean;          /* for BOOLEAN: 0 false, anything else true */
    double number;            /* for NUMBER */
    const char* string;       /* for STRING (UTF-8; NULL reads as "") */
    const XMLPathNode* nodes; /* for NODE_SET: nodes of the context's tree, any order */
    size_t count;
} XMLPathVariable;

/* Options of XMLEvaluatePath; NULL or a zeroed struct means none. Read during the call only. */
typedef struct XMLPathOptions {
    const char* const* namespaces;     /* prefix, URI, prefix, URI, ..., NULL: the prefixes name
                                          tests may use; xml is always bound */
    const XMLPathVariable* variables;  /* variableCount entries */
    size_t variableCount;
} XMLPathOptions;

/* Evaluates `expression` with `context` as the context node (position 1, size 1) and fills
 * `*result`, which the host frees with XMLFreePathResult whatever the outcome. 0 done; 4 for
 * a NULL argument, a syntax error, an unbound prefix, variable or unknown function, a wrong
 * argument count, or memory running out: XMLGetLastError names the problem and its place, as
 * in "expected ']' at offset 14", and result->errorOffset holds that offset. */
ZEL_XML_API ZEL_XML_RESULT XMLEvaluatePath(const XMLNode* context, const char* expression,
                                           const XMLPathOptions* options, XMLPathResult* result);

/* Frees what `result` holds and zeroes it (type 0, errorOffset -1); NULL does nothing.
 * Calling it twice is harmless. */
ZEL_XML_API void XMLFreePathResult(XMLPathResult* result);

/* The string value of a node-set node, copied as XMLGetNodeText does (the same result):
 * a text node's whole run of adjacent records, an attribute's value, a namespace node's URI,
 * and for the other types XMLGetNodeText of the record. 0 for NULL. */
ZEL_XML_API size_t XMLGetPathNodeText(const XMLPathNode* node, char* buffer, size_t bufferSize);
#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZEL_XML3_H */
