// kgurlrecorder RECORD ADDRESS: the tests' handler of web addresses. The
// shell starts it for a link the program opens; it appends ADDRESS and a
// line feed to the file RECORD, so a test can see what was opened. A GUI
// program: a console of its own would take the foreground from the dialog.
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    std::FILE* record = std::fopen(argv[1], "ab");
    if (record == nullptr) {
        return 1;
    }
    std::fprintf(record, "%s\n", argv[2]);
    return std::fclose(record) == 0 ? 0 : 1;
}
