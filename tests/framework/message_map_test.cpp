// Message maps: a command reaches the handler of the most derived class that
// has one; a base class sees only its own table.
#include <gtest/gtest.h>

#include "framework/cmdtarget.h"

namespace kg {
namespace {

struct Base : CCmdTarget {
    std::string calls;
    void OnFirst() { calls += "base-first "; }
    void OnBaseOnly() { calls += "base-only "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Base, CCmdTarget)
    ON_COMMAND(100, OnFirst)
    ON_COMMAND(102, OnBaseOnly)
END_MESSAGE_MAP()

struct Derived : Base {
    void OnFirst() { calls += "derived-first "; }
    void OnSecond() { calls += "derived-second "; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Derived, Base)
    ON_COMMAND(100, OnFirst)
    ON_COMMAND(101, OnSecond)
END_MESSAGE_MAP()

TEST(MessageMap, CommandsReachTheMostDerivedHandler) {
    Derived derived;
    Base base;
    for (const UINT id : {100, 101, 102, 0, 999}) {
        derived.calls += derived.OnCmdMsg(id) ? "" : "none ";
        base.calls += base.OnCmdMsg(id) ? "" : "none ";
    }
    EXPECT_EQ("derived-first derived-second base-only none none ", derived.calls);
    EXPECT_EQ("base-first none base-only none none ", base.calls);
    EXPECT_EQ(nullptr, base.FindEntry(WM_PAINT, 0, 100));
}

}  // namespace
}  // namespace kg
