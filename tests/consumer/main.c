/* A host that knows the library only as installed: builds a tiny tree and checks it. */
#include <zel_xml3.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    XMLNode* root = XMLCreateRootNode();
    XMLNode* item;
    XMLCreateDocumentNode("config", root);
    item = XMLCreateElementNode("item", root);
    XMLCreateTextNode("42", item);
    if (XMLGetChildrenCount(root) != 1 || strcmp(XMLGetChildAt(item, 0)->value, "42") != 0) {
        fprintf(stderr, "unexpected tree\n");
        return 1;
    }
    XMLFreeRootNode(root);
    printf("zel_xml3 %d\n", ZEL_XML_VERSION_NUMBER);
    return 0;
}
