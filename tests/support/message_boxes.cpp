#include "tests/support/message_boxes.h"

namespace kg::test {
namespace {

std::vector<ShownBox> recorded;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    recorded.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
    return IDOK;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder() : override_(sys.MessageBoxA, RecordBox) { recorded.clear(); }
MessageBoxRecorder::~MessageBoxRecorder() { recorded.clear(); }
const std::vector<ShownBox>& MessageBoxRecorder::Boxes() const { return recorded; }

}  // namespace kg::test
