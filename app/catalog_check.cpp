// Build step: reads every catalogue file given on the command line as the
// program will, so that a malformed line or an identifier outside 0 to 65535
// fails the build, naming the file and line, instead of losing texts at run
// time.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "app/message_catalog.h"

int main(int argc, char** argv) {
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        quillet::MessageCatalog catalog;
        std::string error = "cannot be read";
        if (!file || !catalog.AddFile(content.str(), &error)) {
            std::cerr << argv[i] << ": " << error << '\n';
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
