// The custom installation list, selection validation and the write-access checks.
#include "model/listed_installations.h"
#include "sim_fixture.h"

#include <tuple>

namespace {

using SelectionTest = SimTest;

TEST_F(SelectionTest, CustomSlotBookkeeping)
{
    const ca::Session s = caSession();
    ca::ListedInstallations listed = ca::ListedInstallations::read(s);
    EXPECT_EQ(listed.usedCount(), 0);
    EXPECT_FALSE(listed.holds("C:\\any"));
    ASSERT_TRUE(listed.add(s, "label", "C:\\first"));
    EXPECT_EQ(property("WFCUSTOM_DIR_ONE") + "|" + property("PROE_VER_1") + "|" + property("WFCUSTOM_ONE"),
              "C:\\first|1|label");

    // A slot is used when its folder property is set, also to a folder too
    // long to read; a candidate must match it exactly.
    machine().properties().clear();
    setProperties({{"WFCUSTOM_DIR_ONE", "C:\\one"}, {"WFCUSTOM_DIR_TWO", "C:\\" + std::string(300, 'x')},
                   {"WFCUSTOM_DIR_THREE", "C:\\three"}});
    listed = ca::ListedInstallations::read(s);
    EXPECT_EQ(listed.usedCount(), 3);
    EXPECT_TRUE(listed.holds("C:\\three"));
    EXPECT_FALSE(listed.holds("C:\\THREE"));  // case counts
    EXPECT_FALSE(listed.holds("C:\\three\\"));
    ASSERT_TRUE(listed.add(s, "four", "C:\\four"));
    EXPECT_EQ(property("WFCUSTOM_DIR_TWO"), "C:\\" + std::string(300, 'x'));
    EXPECT_EQ(property("WFCUSTOM_DIR_FOUR"), "C:\\four");
    EXPECT_TRUE(listed.holds("C:\\four"));
    EXPECT_FALSE(hasProperty("WFCUSTOM_DIR_FIVE"));

    // Every slot used: nothing is added, nothing changes.
    for (const char* d : {"ONE", "TWO", "THREE", "FOUR", "FIVE", "SIX", "SEVEN", "EIGHT"})
        setProperty(std::string("WFCUSTOM_DIR_") + d, std::string("C:\\") + d);
    listed = ca::ListedInstallations::read(s);
    EXPECT_EQ(listed.usedCount(), 8);
    const auto before = machine().properties();
    EXPECT_FALSE(listed.add(s, "ninth", "C:\\nine"));
    EXPECT_EQ(machine().properties(), before);
}

TEST_F(SelectionTest, BrowsedSlotValidation)
{
    // Nothing browsed: only the flags are written.
    validateSelection(session());
    EXPECT_EQ(machine().properties(), (std::map<std::string, std::string>{{"INVALIDSEL", "0"}, {"PROEM1", "0"}}));

    makeHost("wf4");
    makeHost("creo2");
    makeHost("unknown");
    makeFolder("plain");
    writeLog("wf4", "RELEASE=\"Wildfire 4.0\"\r\n");
    writeLog("unknown", "RELEASE=\"Unknown\"\r\n");
    writeDescriptor("creo2", "<release version=\"2.0\"/>");
    setProperties({{"PROEWF4DIR", "C:\\wf4"}, {"PROEWF4", "1"}});
    // The changes, then DUPLICATEDIR, PROEM1DIR, PROEM1VER, INVALIDSEL and PROEM1 ("" when unset).
    using Changes = std::vector<std::pair<std::string, std::string>>;
    const std::tuple<Changes, const char*, const char*, const char*, const char*, const char*> steps[] = {
        {{{"PROEM1DIR", "C:\\wf4"}}, "1", "C:\\wf4", "", "0", "0"},
        // Not a duplicate when the text differs or the release is not chosen.
        {{{"DUPLICATEDIR", ""}, {"PROEM1DIR", "C:\\WF4"}}, "", "C:\\WF4", "5", "0", "1"},
        {{{"PROEM1DIR", "C:\\wf4\\"}}, "", "C:\\wf4\\", "5", "0", "1"},
        {{{"PROEWF4", "0"}, {"PROEM1DIR", "C:\\wf4"}}, "", "C:\\wf4", "5", "0", "1"},
        {{{"PROEM1DIR", "C:\\creo2"}}, "", "C:\\creo2", "9", "0", "1"},
        // No host executable: flagged and emptied; on the command line PROEM1 stays.
        {{{"ISCMDINSTALL", "1"}, {"PROEM1VER", ""}, {"PROEM1DIR", "C:\\plain"}}, "", "", "", "1", "1"},
        // A host of no known release: emptied but not flagged.
        {{{"PROEM1DIR", "C:\\unknown"}}, "", "", "", "0", "1"},
    };
    int n = 0;
    for (const auto& [changes, duplicate, folder, release, invalid, browsedSlot] : steps) {
        setProperties(changes);
        validateSelection(session());
        const std::string found = property("DUPLICATEDIR") + "|" + property("PROEM1DIR") + "|" + property("PROEM1VER") +
                                  "|" + property("INVALIDSEL") + "|" + property("PROEM1");
        EXPECT_EQ(found, std::string(duplicate) + "|" + folder + "|" + release + "|" + invalid + "|" + browsedSlot)
            << "step " << ++n;
    }
}

TEST_F(SelectionTest, FirstUnwritableRegistrationFileIsReported)
{
    // Nothing chosen: PROTK_WRITE is cleared and TEMPPROEDIR left alone.
    setProperties({{"PROTK_WRITE", "NO"}, {"TEMPPROEDIR", "C:\\before"}});
    checkProTKAccess(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\before");

    makeHost("creo1");  // no text folder: not writable
    makeHost("wf4");
    makeHost("creo2", true);
    setProperties({{"CREO1", "1"}, {"CREO1DIR", "C:\\creo1"}, {"PROEWF4", "1"}, {"PROEWF4DIR", "C:\\wf4"},
                   {"CREO2", "1"}, {"CREO2DIR", "C:\\creo2"}});
    checkProTKAccess(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\creo1");
    EXPECT_FALSE(exists("creo2\\text\\protk.dat")) << "a check leaves nothing behind";
    setProperty("CREO1", "0");
    checkProTKAccess(session());
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\wf4");

    // The browsed folder is tested even when its slot is not chosen.
    makeHost("browsed");
    setProperties({{"PROEWF4", ""}, {"PROEM1", "0"}, {"PROEM1DIR", "C:\\browsed"}});
    checkProTKAccess(session());
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\browsed");
    makeFolder("browsed\\text");
    checkProTKAccess(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));

    // A folder too long to take is named whole, for the dialog to show,
    // whichever length the installer reports for it.
    const std::string tooLong = "C:\\" + std::string(297, 'x');
    setProperties({{"PROEWF4", "1"}, {"PROEWF4DIR", tooLong}});
    for (const bool asWindows : {false, true}) {
        machine().propertyLengthAsWindows = asWindows;
        setProperty("TEMPPROEDIR", "");
        checkProTKAccess(session());
        EXPECT_EQ(property("PROTK_WRITE"), "NO");
        EXPECT_EQ(property("TEMPPROEDIR"), tooLong) << asWindows;
    }
}

TEST_F(SelectionTest, CustomFolderAccessReportsChosenSlotsOnly)
{
    makeHost("locked");
    makeHost("open", true);
    setProperties({{"TEMPPROEDIR", "C:\\before"}, {"WFCUSTOM_DIR_ONE", "C:\\locked"} /* not ticked */,
                   {"WFCUSTOM_DIR_TWO", "C:\\open"}, {"PROE_VER_2", "1"}, {"PROE_VER_4", "1"} /* no folder */});
    checkProEFolderAccessRights(session());
    EXPECT_FALSE(hasProperty("PROTK_WRITE"));
    EXPECT_FALSE(exists("open\\text\\protk.dat"));

    setProperties({{"WFCUSTOM_DIR_THREE", "C:\\locked"}, {"PROE_VER_3", "1"}});
    checkProEFolderAccessRights(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO");
    EXPECT_EQ(property("TEMPPROEDIR"), "C:\\before");
    setProperty("PROE_VER_3", "0");
    checkProEFolderAccessRights(session());
    EXPECT_EQ(property("PROTK_WRITE"), "NO") << "a NO that is already there stays";
}

}  // namespace
