// Message maps: each class that handles messages has a static table of
// entries chained to its base class's table. An entry matches a message (and
// for WM_COMMAND a notification code and a range of identifiers) and calls a
// member function through a typed thunk written by the entry macro.
#pragma once

#include <windows.h>

#include "framework/object.h"

namespace kg {

class CCmdTarget;

struct MessageMapEntry {
    UINT message;  // WM_COMMAND, WM_PAINT, ... ; 0 ends the table
    UINT code;     // notification code (WM_COMMAND, WM_NOTIFY)
    UINT firstId;  // control or command identifiers
    UINT lastId;
    // Calls the handler; returns the message's result.
    LRESULT (*invoke)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;  // null for CCmdTarget
    const MessageMapEntry* entries;
};

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();

    // Finds the first entry for the message along the chain of tables.
    const MessageMapEntry* FindEntry(UINT message, UINT code, UINT id) const;

    // Runs the command handler for `id` (a WM_COMMAND with code 0, as a menu
    // or accelerator sends it); false when no table has one.
    bool OnCmdMsg(UINT id);
};

}  // namespace kg

// Declares the table in a class body.
#define DECLARE_MESSAGE_MAP()                               \
public:                                                     \
    const ::kg::MessageMap* GetMessageMap() const override; \
    static const ::kg::MessageMap* GetThisMessageMap();

// Opens the table of `theClass`, chained to the table of `baseClass`. The
// entries are built inside a static member function, so their thunks may
// call the class's protected and private handlers. The formatter is off for
// the two: each is half of one braced table, which it would take apart.
// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                    \
    const ::kg::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }      \
    const ::kg::MessageMap* theClass::GetThisMessageMap() {                                       \
        using ThisClass [[maybe_unused]] = theClass;                                              \
        using TheBaseClass = baseClass;                                                           \
        static const ::kg::MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                            \
            {0, 0, 0, 0, nullptr}};                                                  \
        static const ::kg::MessageMap map = {TheBaseClass::GetThisMessageMap(), entries}; \
        return &map;                                                                 \
    }
// clang-format on

// void memberFxn(): a command (menu item, button click, accelerator).
#define ON_COMMAND(id, memberFxn)                                 \
    {WM_COMMAND, 0, static_cast<UINT>(id), static_cast<UINT>(id), \
     [](::kg::CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {    \
         static_cast<ThisClass*>(target)->memberFxn();            \
         return 0;                                                \
     }},
