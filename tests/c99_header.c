/* A C99 host: the header compiles with -std=c99 -pedantic and the API works from C. */
#include "zel_xml3.h"

#include <stdio.h>
#include <string.h>

#define CHECK(cond)                                                 \
    do {                                                            \
        if (!(cond)) {                                              \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            return 1;                                               \
        }                                                           \
    } while (0)

int main(void) {
    XMLNode* root = XMLCreateRootNode();
    XMLNode* list;
    XMLNode* copy;
    uint8_t found = 0;
    int i;
    CHECK(root != NULL);
    CHECK(XMLCreateDocumentNode("list", root) == root);
    for (i = 0; i < 3; ++i) XMLCreateTextNode("entry", XMLCreateElementNode("item", root));
    list = XMLGetNthChildWithKey(root, 2, "item");
    CHECK(list != NULL && list == XMLGetChildAt(root, 2));
    CHECK(XMLGetNumChildrenWithKeyName(root, "item") == 3);
    CHECK(XMLGetNodeData(root, "", &found) != NULL && found == 1);
    copy = XMLCopyNodeData(root);
    {
        XMLNode* first = XMLGetChildAt(root, 0);
        CHECK(XML_RemoveNthChildData(root, 0) == 0);
        CHECK(XMLGetChildrenCount(root) == 2 && XMLGetChildrenCount(first) == 0);
        XMLFreeRootNode(first);
    }
    CHECK(XMLGetChildrenCount(copy) == 3 && strcmp(copy->name, "list") == 0);
    XMLFreeRootNode(copy);
    XMLFreeRootNode(root);
    {
        XMLParseCallbacks callbacks;
        memset(&callbacks, 0, sizeof callbacks);
        CHECK(callbacks.progressCallback == NULL && ZEL_XML_OK == 0 && XML_DOCUMENT_NODE == 11);
        CHECK(XMLGetDiagnosticMessage() == NULL); /* only inside an error callback */
    }
    {
        XMLNode* doc = XMLCreateRootNode();
        char buffer[16];
        const int32_t n = 5;
        CHECK(XMLCreateDocumentNode("config", doc) == doc);
        CHECK(XMLSetKeyNameValue(doc, "port", "8080") == XMLGetChildAt(doc, 0));
        CHECK(XMLGetValueOfNode(XMLGetChildAt(doc, 0), (int32_t)sizeof buffer, buffer) == 0);
        CHECK(strcmp(buffer, "8080") == 0);
        CHECK(XMLSetNodeDoubleAttribute(doc, "ratio", 1e6) == 1);
        CHECK(strcmp(XMLFindAttrWithKeyName(doc, "ratio")->value, "1e+006") == 0);
        CHECK(XMLSetNodeIntegerElement(doc, "n", &n)->intValue == 5);
        CHECK(XMLRemoveAttrWithKeyName(doc, "ratio") == 1 && XMLFindAttrWithKeyName(doc, "ratio") == NULL);
        XMLFreeRootNode(doc);
    }
    CHECK(strchr(XMLGetVersion(), '.') != NULL && strchr(XMLGetParserVersion(), '.') != NULL);
    return 0;
}
