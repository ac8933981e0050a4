// What the package learns from the properties when a host could not be
// finished: the first failure's text, then a count of the others.
#include "core/outcome.h"
#include "model/release_table.h"
#include "sim_fixture.h"

using namespace ca;

class OutcomeTest : public SimTest {};

TEST_F(OutcomeTest, TheFirstFailureIsKeptAndTheOthersCounted)
{
    const Session s = caSession();
    reportHostFailure(s, kRemoveErrorProperty, "C:\\PTC\\wf4", "C:\\PTC\\wf4\\text\\protk.dat",
                      "still holds the Orvella entry", 5);
    const std::string first = "C:\\PTC\\wf4: C:\\PTC\\wf4\\text\\protk.dat still holds the Orvella entry "
                              "(error 5: Access is denied.)";
    EXPECT_EQ(property(kRemoveErrorProperty), first);
    reportHostFailure(s, kRemoveErrorProperty, "C:\\PTC\\wf5", "x", "could not be deleted", 32);
    EXPECT_EQ(property(kRemoveErrorProperty), first + " (and 1 more: see the installer log)");
    reportHostFailure(s, kRemoveErrorProperty, "C:\\PTC\\wf5", "y", "could not be deleted", 2);
    EXPECT_EQ(property(kRemoveErrorProperty), first + " (and 2 more: see the installer log)");
    EXPECT_EQ(property(kInstallErrorProperty), "");
    // Each failure is in the log, the later ones too.
    const auto& log = machine().logMessages();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.find("ORVELLA_REMOVE_ERROR") != std::string::npos; }),
              3);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("C:\\PTC\\wf5: y could not be deleted (error 2:") != std::string::npos;
    }));
    // A first failure whose own text holds " (and ": the count is the one at the end.
    const std::string odd = "C:\\Tools (and more)\\wf4: x could not be written (error 5: Access is denied.)";
    for (const char* path : {"x", "y", "z"})
        reportHostFailure(s, kInstallErrorProperty, "C:\\Tools (and more)\\wf4", path, "could not be written", 5);
    EXPECT_EQ(property(kInstallErrorProperty), odd + " (and 2 more: see the installer log)");
    // A code the system has no text for says so; a value that only looks
    // like a count ends with one.
    setProperty(kInstallErrorProperty, "");
    reportHostFailure(s, kInstallErrorProperty, "C:\\wf4", "x", "could not be written", 12345);
    const std::string unknown = "C:\\wf4: x could not be written (error 12345: no system text)";
    EXPECT_EQ(property(kInstallErrorProperty), unknown);
    for (const char* count : {"many", "-1", "2x", ""}) {
        const std::string looksCounted = unknown + " (and " + count + " more: see the installer log)";
        setProperty(kInstallErrorProperty, looksCounted);
        reportHostFailure(s, kInstallErrorProperty, "C:\\wf4", "y", "could not be written", 5);
        EXPECT_EQ(property(kInstallErrorProperty), looksCounted + " (and 1 more: see the installer log)");
    }
    // A first failure shorter than the count's end, with " (and " in it.
    setProperty(kInstallErrorProperty, "C:\\a (and b");
    reportHostFailure(s, kInstallErrorProperty, "C:\\wf4", "y", "could not be written", 5);
    EXPECT_EQ(property(kInstallErrorProperty), "C:\\a (and b (and 1 more: see the installer log)");
}

TEST_F(OutcomeTest, AHostWhoseEntryCannotBeTakenOutKeepsItsFilesAndRecordsUntilALaterRemoval)
{
    stageAddIn();
    makeHost("PTC\\wf4", true);
    writeFile("PTC\\wf4\\text\\protk.dat", "name Other\r\nend\r\n");
    deployAndRegister("C:\\PTC\\wf4", kWildfire4);
    machine().registry().setString(kProductKey, "WFCUSTOM_DIR_ONE", "C:\\PTC\\wf4");
    const auto installed = filesBelow("PTC\\wf4");
    const std::string protk = *readFile("PTC\\wf4\\text\\protk.dat");
    // Something the removal cannot read stands where protk.dat was.
    std::filesystem::remove(onC("PTC\\wf4\\text\\protk.dat"));
    makeFolder("PTC\\wf4\\text\\protk.dat");

    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(property(kRemoveErrorProperty),
              "C:\\PTC\\wf4: C:\\PTC\\wf4\\text\\protk.dat still holds the Orvella entry (error 5: Access is denied.)");
    auto left = filesBelow("PTC\\wf4");
    auto expected = installed;
    expected.erase("text\\protk.dat");
    EXPECT_EQ(left, expected) << "not one file of a host that keeps its entry goes";
    EXPECT_TRUE(machine().registry().value(kProductKey, "WFCUSTOM_DIR_ONE"));

    // Once the cause is gone, the next removal completes it.
    std::filesystem::remove(onC("PTC\\wf4\\text\\protk.dat"));
    writeFile("PTC\\wf4\\text\\protk.dat", protk);
    setProperty(kRemoveErrorProperty, "");
    EXPECT_EQ(cleanupProEAuxAppInFile(session()), 0u);
    EXPECT_EQ(property(kRemoveErrorProperty), "");
    EXPECT_EQ(readFile("PTC\\wf4\\text\\protk.dat"), "name Other\r\nend\r\n");
    EXPECT_FALSE(machine().registry().value(kProductKey, "WFCUSTOM_DIR_ONE"));
    EXPECT_FALSE(exists("PTC\\wf4\\x86e_win64\\obj\\orvbridge.dll"));
}
