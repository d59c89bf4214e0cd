#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs("Usage: beatwright [SONG]\n"
               "Beatwright, a step chart editor for dance-mat games (.dwi files).\n",
               out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    PrintUsage(stdout);
    return 0;
}
