#include "tests/support/message_boxes.h"

namespace kg::test {
namespace {

std::vector<ShownBox> recorded;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    recorded.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
    return IDOK;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder() : swap(sys.MessageBoxA, RecordBox) { recorded.clear(); }
const std::vector<ShownBox>& MessageBoxRecorder::Boxes() const { return recorded; }

std::string MessageBoxRecorder::Told() const {
    std::string told;
    for (const ShownBox& box : recorded) {
        const UINT icon = box.type & MB_ICONMASK;
        told += std::string("[") + (box.owner != nullptr ? "owned " : "") +
                (icon == MB_ICONEXCLAMATION   ? "exclamation"
                 : icon == MB_ICONINFORMATION ? "information"
                 : icon == MB_ICONSTOP        ? "stop"
                                              : "plain") +
                ": " + box.text + "]";
    }
    return told;
}

}  // namespace kg::test
