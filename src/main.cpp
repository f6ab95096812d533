#include "platform/appinfo.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", mixgen::kAppTitle, qPrintable(mixgen::versionText()));
        return 0;
    }
    std::printf("Usage: mixgen [/P:path] [/O:file] [/N:n] [/A] [/E] [/Y] [/S]\n");
    return 0;
}
