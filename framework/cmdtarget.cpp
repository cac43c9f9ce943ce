#include "framework/cmdtarget.h"

namespace kg {

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const MessageMap* CCmdTarget::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMapEntry* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry* entry = map->entries; entry->message != 0; ++entry) {
            if (entry->message == message && entry->code == code && id >= entry->firstId && id <= entry->lastId) {
                return entry;
            }
        }
    }
    return nullptr;
}

bool CCmdTarget::OnCmdMsg(UINT id) {
    const MessageMapEntry* entry = FindEntry(WM_COMMAND, 0, id);
    if (entry == nullptr) {
        return false;
    }
    entry->invoke(this, MAKEWPARAM(id, 0), 0);
    return true;
}

}  // namespace kg
