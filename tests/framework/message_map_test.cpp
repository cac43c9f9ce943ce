// Message maps: a class's entries are found before its base class's, and a
// command reaches the handler of the most derived class that has one.
#include <gtest/gtest.h>

#include "framework/cmdtarget.h"

namespace kg {
namespace {

constexpr UINT ID_FIRST = 100;
constexpr UINT ID_SECOND = 101;
constexpr UINT ID_BASE_ONLY = 102;

class Base : public CCmdTarget {
public:
    std::string calls;

protected:
    void OnFirst() { calls += "base-first "; }
    void OnBaseOnly() { calls += "base-only "; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Base, CCmdTarget)
    ON_COMMAND(ID_FIRST, OnFirst)
    ON_COMMAND(ID_BASE_ONLY, OnBaseOnly)
END_MESSAGE_MAP()

class Derived : public Base {
private:
    void OnFirst() { calls += "derived-first "; }
    void OnSecond() { calls += "derived-second "; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Derived, Base)
    ON_COMMAND(ID_FIRST, OnFirst)
    ON_COMMAND(ID_SECOND, OnSecond)
END_MESSAGE_MAP()

TEST(MessageMap, CommandsReachTheMostDerivedHandler) {
    Derived target;
    EXPECT_TRUE(target.OnCmdMsg(ID_FIRST));
    EXPECT_TRUE(target.OnCmdMsg(ID_SECOND));
    EXPECT_TRUE(target.OnCmdMsg(ID_BASE_ONLY));
    EXPECT_FALSE(target.OnCmdMsg(999));
    EXPECT_EQ("derived-first derived-second base-only ", target.calls);
}

TEST(MessageMap, BaseClassSeesOnlyItsOwnTable) {
    Base target;
    EXPECT_TRUE(target.OnCmdMsg(ID_FIRST));
    EXPECT_FALSE(target.OnCmdMsg(ID_SECOND));
    EXPECT_EQ("base-first ", target.calls);
    EXPECT_EQ(nullptr, target.FindEntry(WM_COMMAND, 0, ID_SECOND));
    EXPECT_EQ(nullptr, target.FindEntry(WM_PAINT, 0, ID_FIRST));
}

}  // namespace
}  // namespace kg
