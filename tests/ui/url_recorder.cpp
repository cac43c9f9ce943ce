// kgurlrecorder RECORD ADDRESS: the tests' handler of web addresses, which the shell starts for a link the program
// opens; it appends ADDRESS and a line feed to RECORD. A GUI program: a console would take the foreground.
#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* record = argc == 3 ? std::fopen(argv[1], "ab") : nullptr;
    return record && std::fprintf(record, "%s\n", argv[2]) > 0 && std::fclose(record) == 0 ? 0 : 1;
}
