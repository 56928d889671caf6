// The program's entry point in a web page: the layer's own main (main.cpp,
// compiled under another name), then the end told to the page. main returns
// long after the page first called it, since the program sleeps in
// GetMessageA, so the page's runtime never sees it return by itself.
#include <emscripten.h>

#include <cstdio>

int kaplo_layer_main(int argc, char **argv);

EM_JS(void, page_ended, (int code), { Module.kaplo.ended(code); });

int main(int argc, char **argv) {
    int code = kaplo_layer_main(argc, argv);
    fflush(nullptr);
    page_ended(code);
    return code;
}
