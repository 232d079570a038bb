/* Builds a small configuration document by hand with the tree API and prints it as an
 * indented outline: element names with their attributes, text in quotes. */
#include "zel_xml3.h"

#include <stdio.h>
#include <stdlib.h>

static void print_record(const XMLNode* node, int depth) {
    int32_t i;
    printf("%*s", depth * 2, "");
    if (node->type == XML_TEXT_NODE) {
        printf("\"%s\"\n", node->value);
        return;
    }
    printf("%s", node->name);
    for (i = 0; i < node->attributes.count; ++i)
        printf(" %s=\"%s\"", node->attributes.items[i].name, node->attributes.items[i].value);
    printf("\n");
}

/* Pre-order walk with an explicit stack of (record, next child) pairs: no recursion. */
static int print_outline(const XMLNode* root) {
    const XMLNode** nodes = malloc(sizeof *nodes * 64);
    int32_t* next = malloc(sizeof *next * 64);
    int top = 0, capacity = 64, result = 0;
    if (nodes == NULL || next == NULL) {
        free(nodes);
        free(next);
        return 1;
    }
    print_record(root, 0);
    nodes[0] = root;
    next[0] = 0;
    while (top >= 0) {
        const XMLNode* child = XMLGetNthChildData(nodes[top], next[top]++);
        if (child == NULL) {
            --top;
            continue;
        }
        print_record(child, top + 1);
        if (top + 1 == capacity) {
            const XMLNode** more_nodes = realloc(nodes, sizeof *nodes * capacity * 2);
            int32_t* more_next = more_nodes ? realloc(next, sizeof *next * capacity * 2) : NULL;
            if (more_nodes) nodes = more_nodes;
            if (more_next == NULL) {
                result = 1;
                break;
            }
            next = more_next;
            capacity *= 2;
        }
        ++top;
        nodes[top] = child;
        next[top] = 0;
    }
    free(nodes);
    free(next);
    return result;
}

int main(void) {
    XMLNode* root = XMLCreateRootNode();
    XMLNode* server;
    XMLNode* users;
    int result;
    XMLCreateDocumentNode("config", root);
    server = XMLCreateElementNode("server", root);
    XMLCreateTextNode("example.org", XMLCreateElementNode("host", server));
    XMLCreateTextNode("8080", XMLCreateElementNode("port", server));
    users = XMLCreateElementNode("users", root);
    XMLCreateTextNode("ada", XMLCreateElementNode("user", users));
    XMLCreateTextNode("grace", XMLCreateElementNode("user", users));

    printf("%d users, second is %s\n", XMLGetNumChildrenWithKeyName(users, "user"),
           XMLGetChildAt(XMLGetNthChildWithKey(users, 1, "user"), 0)->value);
    result = print_outline(root);
    XMLFreeRootNode(root);
    return result;
}
