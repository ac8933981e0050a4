// The custom installation list, selection validation and the write-access
// checks.
#include "core/actions.h"
#include "core/state.h"
#include "selection/custom_install_list.h"
#include "sim_fixture.h"

#include <string>

namespace {

class SelectionTest : public SimTest {
protected:
    // A host whose registration file can be opened for appending.
    void makeWritableHost(const std::string& folder)
    {
        makeHost(folder);
        makeFolder(folder + "\\text");
    }
};

TEST_F(SelectionTest, CustomSlotBookkeeping)
{
    ca::resetProcessState();
    const ca::CustomInstallList& list = ca::processState().customInstallList;
    ca::initCustomInstallList();
    EXPECT_TRUE(ca::markUsedCustomSlots(session(), "C:\\any"));
    EXPECT_EQ(ca::processState().usedCustomSlotCount, 0);
    ASSERT_TRUE(ca::firstFreeCustomEntry());
    EXPECT_EQ(ca::firstFreeCustomEntry()->checkProperty, "PROE_VER_1");

    setProperty("WFCUSTOM_DIR_ONE", "C:\\one");
    setProperty("WFCUSTOM_DIR_THREE", "C:\\three");
    EXPECT_TRUE(ca::markUsedCustomSlots(session(), "C:\\THREE"));  // case counts
    EXPECT_TRUE(ca::markUsedCustomSlots(session(), "C:\\three\\"));
    EXPECT_EQ(ca::processState().usedCustomSlotCount,
              4);  // the counter is never reset
    const auto free = ca::firstFreeCustomEntry();
    ASSERT_TRUE(free);
    EXPECT_EQ(free->labelProperty, "WFCUSTOM_TWO");
    EXPECT_EQ(free->dirProperty, "WFCUSTOM_DIR_TWO");

    // A match stops at once: slots after it are not marked.
    ca::resetProcessState();
    ca::initCustomInstallList();
    setProperty("WFCUSTOM_DIR_FIVE", "C:\\five");
    EXPECT_FALSE(ca::markUsedCustomSlots(session(), "C:\\three"));
    EXPECT_EQ(ca::processState().usedCustomSlotCount, 1);
    EXPECT_FALSE(list[4].inUse);

    // A second build appends a second set; lookups find the first one.
    ca::initCustomInstallList();
    ASSERT_EQ(list.size(), 16u);
    ca::updateCustomEntry(ca::CustomInstallEntry{"", "WFCUSTOM_TWO", "PROE_VER_2", "ignored", "", true});
    EXPECT_TRUE(list[1].inUse);
    EXPECT_EQ(list[1].dirProperty, "WFCUSTOM_DIR_TWO");
    EXPECT_FALSE(list[9].inUse);
    const auto before = list;
    ca::updateCustomEntry(ca::CustomInstallEntry{"", "WFCUSTOM_NINE", "PROE_VER_9", "", "", true});
    EXPECT_EQ(list.size(), before.size());
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i].inUse, before[i].inUse);

    // Every slot used: no free entry in a single build.
    ca::resetProcessState();
    ca::initCustomInstallList();
    const char* dirs[] = {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT"};
    for (const char* d : dirs) setProperty(std::string("WFCUSTOM_DIR_") + d, std::string("C:\\") + d);
    EXPECT_TRUE(ca::markUsedCustomSlots(session(), ""));
    EXPECT_EQ(ca::processState().usedCustomSlotCount, 8);
    EXPECT_FALSE(ca::firstFreeCustomEntry());
}

TEST_F(SelectionTest, BrowsedSlotValidation)
{
    // Nothing browsed: only the flags are written.
    validateSelection(session());
    EXPECT_EQ(property("INVALIDSEL"), "0");
    EXPECT_EQ(property("PROEM1"), "0");
    EXPECT_EQ(machine().properties().size(), 2u);

    makeHost("wf4");
    makeHost("creo2");
    writeFile("wf4\\uninstall\\instlog.txt", "RELEASE=\"Wildfire 4.0\"\r\n");
    writeFile("creo2\\bin\\pim\\xml\\creobase.p.xml", "<release version=\"2.0\"/>");
    setProperty("PROEWF4DIR", "C:\\wf4");
    setProperty("PROEM1DIR", "C:\\wf4");
    setProperty("PROEWF4", "1");
    validateSelection(session());
    EXPECT_EQ(property("DUPLICATEDIR"), "1");
    EXPECT_EQ(property("PROEM1DIR"), "C:\\wf4");
    EXPECT_FALSE(hasProperty("PROEM1VER"));

    // Not a duplicate when the release is not chosen, or the text differs.
    setProperty("DUPLICATEDIR", "");
    for (const char* folder : {"C:\\WF4", "C:\\wf4\\"}) {
        setProperty("PROEM1DIR", folder);
        validateSelection(session());
        EXPECT_FALSE(hasProperty("DUPLICATEDIR")) << folder;
        EXPECT_EQ(property("PROEM1VER"), "5") << folder;
    }
    setProperty("PROEWF4", "0");
    setProperty("PROEM1DIR", "C:\\wf4");
    validateSelection(session());
    EXPECT_FALSE(hasProperty("DUPLICATEDIR"));
    EXPECT_EQ(property("PROEM1"), "1");

    setProperty("PROEM1DIR", "C:\\creo2");
    validateSelection(session());
    EXPECT_EQ(property("PROEM1VER"), "9");

    // No host executable: flagged and emptied; on the command line PROEM1 stays.
    setProperty("ISCMDINSTALL", "1");
    setProperty("PROEM1", "1");
    makeFolder("plain");
    setProperty("PROEM1DIR", "C:\\plain");
    validateSelection(session());
    EXPECT_EQ(property("INVALIDSEL"), "1");
    EXPECT_FALSE(hasProperty("PROEM1DIR"));
    EXPECT_EQ(property("PROEM1"), "1");

    // A host of no known release: emptied but not flagged.
    makeHost("unknown");
    writeFile("unknown\\uninstall\\instlog.txt", "RELEASE=\"Unknown\"\r\n");
    setProperty("PROEM1DIR", "C:\\unknown");
    validateSelection(session());
    EXPECT_EQ(property("INVALIDSEL"), "0");
    EXPECT_FALSE(hasProperty("PROEM1DIR"));
    EXPECT_EQ(property("PROEM1"), "1");
}

TEST_F(SelectionTest, FirstUnwritableRegistrationFileIsReported)
{
    // Nothing chosen: PROTK_WRITE is cleared and TEMPPROEDIR left alone.
    setProperty("PROTK_WRITE", "NO");
    setProperty("TEMPPROEDIR", "C:\\before");
    checkProTKAccess(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\before");

    makeHost("creo1");  // no text folder: not writable
    makeHost("wf4");
    makeWritableHost("creo2");
    setProperty("CREO1", "1");
    setProperty("CREO1DIR", "C:\\creo1");
    setProperty("PROEWF4", "1");
    setProperty("PROEWF4DIR", "C:\\wf4");
    setProperty("CREO2", "1");
    setProperty("CREO2DIR", "C:\\creo2");
    checkProTKAccess(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\creo1");
    EXPECT_EQ(readFile("creo2\\text\\protk.dat"),
              "");  // the test leaves an empty file behind

    setProperty("CREO1", "0");
    checkProTKAccess(session());
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\wf4");

    // The browsed folder is tested even when its slot is not chosen.
    setProperty("PROEWF4", "");
    setProperty("PROEM1", "0");
    makeHost("browsed");
    setProperty("PROEM1DIR", "C:\\browsed");
    checkProTKAccess(session());
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\browsed");
    makeFolder("browsed\\text");
    checkProTKAccess(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));
}

TEST_F(SelectionTest, CustomFolderAccessReportsChosenSlotsOnly)
{
    makeHost("locked");
    makeWritableHost("open");
    setProperty("TEMPPROEDIR", "C:\\before");
    setProperty("WFCUSTOM_DIR_ONE", "C:\\locked");  // not ticked
    setProperty("WFCUSTOM_DIR_TWO", "C:\\open");
    setProperty("PROE_VER_2", "1");
    setProperty("PROE_VER_4", "1");  // ticked, but no folder
    checkProEFolderAccessRights(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));
    EXPECT_TRUE(exists("open\\text\\protk.dat"));

    setProperty("WFCUSTOM_DIR_THREE", "C:\\locked");
    setProperty("PROE_VER_3", "1");
    checkProEFolderAccessRights(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\before");

    // A NO that is already there stays.
    setProperty("PROE_VER_3", "0");
    checkProEFolderAccessRights(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
}

}  // namespace
