// kgurlrecorder RECORD ADDRESS: the tests' handler of web addresses. The
// shell starts it for a link the program opens; it appends ADDRESS and a
// line feed to the file RECORD, so a test can see what was opened. A GUI
// program: a console of its own would take the foreground from the dialog.
#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* record = argc == 3 ? std::fopen(argv[1], "ab") : nullptr;
    if (record == nullptr) return 2;
    const bool written = std::fprintf(record, "%s\n", argv[2]) > 0;
    return std::fclose(record) == 0 && written ? 0 : 1;
}
