#include "core/boundary.h"
#include "core/paths.h"
#include "core/properties.h"
#include "core/state.h"
#include "sim_fixture.h"

#include <new>
#include <stdexcept>

using namespace ca;

TEST(CoreFixedString, NeverWritesPastItsBuffer)
{
    FixedString<8> s("abc");
    EXPECT_TRUE(s.append("defg"));  // 7 characters and the terminator
    EXPECT_FALSE(s.append("h") || s.appendAll("x", "y") || s.assign("12345678"));  // all or nothing
    EXPECT_EQ(s.view(), "abcdefg");
    for (const auto& [before, after] : {std::pair{"C:\\host\\\\", "C:\\host\\"}, {"C:/host/", "C:/host"},
                                        {"C:/host", "C:/host"}, {"", ""}}) {
        PathBuffer p(before);
        stripTrailingSeparator(p);  // only one separator goes
        EXPECT_EQ(p.view(), after);
    }
}

using CoreTest = SimTest;

TEST_F(CoreTest, HostExecutableTest)
{
    makeHost("PTC\\wf4");
    makeFolder("PTC\\folder\\x86e_win64\\obj\\xtop.exe");  // a folder of that name counts too
    makeHost("");  // an empty folder names no folder, even with xtop.exe at the root of the drive
    const std::string longFolder = "C:\\" + std::string(240, 'a');  // too long for the derived path
    for (const auto& [folder, host] : {std::pair<std::string, bool>{"C:\\PTC\\wf4", true}, {"C:\\PTC\\wf4\\", true},
                                       {"c:/ptc/WF4/", true}, {"C:\\PTC\\folder", true}, {"C:\\PTC", false},
                                       {"", false}, {longFolder, false}})
        EXPECT_EQ(hasHostExecutable(folder.c_str()), host) << folder;
}

TEST_F(CoreTest, PropertyReadsOfferTheWholeBufferAndNeverKeepATruncatedValue)
{
    setProperty("FOLDER", std::string(259, 'x'));
    PathBuffer value;
    EXPECT_EQ(readProperty(session(), "FOLDER", value), platform::kSuccess);
    EXPECT_EQ(value.size(), 259u);
    setProperty("FOLDER", std::string(260, 'x'));
    EXPECT_EQ(readProperty(session(), "FOLDER", value), platform::kMoreData);
    EXPECT_TRUE(value.empty());
    // A later read after a long one still gets the full capacity.
    setProperty("SHORT", "C:\\PTC");
    EXPECT_EQ(readProperty(session(), "SHORT", value), platform::kSuccess);
    EXPECT_EQ(value.view(), "C:\\PTC");
    EXPECT_EQ(readProperty(session(), "UNSET", value), platform::kSuccess);
    EXPECT_TRUE(value.empty());
}

namespace {
unsigned sawCleanState = 0;
unsigned dirtyAndThrow(platform::MsiHandle)
{
    ProcessState& s = processState();
    sawCleanState = s.installationMap.empty() && s.customInstallList.empty() && s.usedCustomSlotCount == 0 &&
                    !s.creoFamily && s.descriptorValues.descriptorVersion.empty();
    s.installationMap["(Datecode: M010)"] = "C:\\x";
    s.customInstallList.resize(16);
    s.usedCustomSlotCount = 9;
    s.creoFamily = true;
    s.descriptorValues.descriptorVersion = "2.0";
    throw std::bad_alloc();
}
unsigned returnsSeven(platform::MsiHandle) { return 7; }
}  // namespace

TEST_F(CoreTest, BoundaryStartsEveryActionFromLoadTimeStateAndLetsNothingEscape)
{
    processState().creoFamily = true;  // as a direct call below the boundary may leave it
    EXPECT_EQ(runAction(session(), dirtyAndThrow, 0), 0u);
    EXPECT_EQ(sawCleanState, 1u);
    EXPECT_EQ(runAction(session(), dirtyAndThrow, 1), 1u);
    EXPECT_EQ(sawCleanState, 1u);  // the second action did not see what the first left
    EXPECT_EQ(runAction(session(), returnsSeven), 7u);
}

TEST_F(CoreTest, MessagesGoToTheLogUnlessTheInstallerShowsAUserInterface)
{
    auto tell = [](platform::MsiHandle) -> unsigned {
        tellUser("Something to say.", "Caption", 0x30);
        return 0;
    };
    for (const char* silent : {"2", ""}) {
        setProperty("UILevel", silent);
        runAction(session(), tell);
    }
    EXPECT_TRUE(machine().messageBoxes().empty());
    ASSERT_EQ(machine().logMessages().size(), 2u);
    EXPECT_NE(machine().logMessages()[0].find("Something to say."), std::string::npos);

    setProperty("UILevel", "5");
    runAction(session(), tell);
    ASSERT_EQ(machine().messageBoxes().size(), 1u);
    const auto& box = machine().messageBoxes()[0];
    EXPECT_EQ(box.text + "|" + box.caption + "|" + std::to_string(box.style), "Something to say.|Caption|48");
}
