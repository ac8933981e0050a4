#include "package.h"

#include "scenario.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace casim {
namespace {

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace

std::vector<sim::ControlRow> parseControlTable(const std::string& text, const std::string& fileName)
{
    std::vector<sim::ControlRow> rows;
    forEachLine(text, [&](const std::string& line, int lineNo) {
        const auto fields = splitTabs(line);
        if (lineNo == 1) {
            if (fields.size() != 12 || fields[0] != "Dialog_" || fields[11] != "Help")
                throw ScenarioError(fileName, lineNo, "not a Control table of 12 columns");
            return;
        }
        if (lineNo <= 3 || line.empty()) return;  // column types, table name and keys
        if (fields.size() != 12) throw ScenarioError(fileName, lineNo, "a Control row needs 12 fields");
        sim::ControlRow row;
        for (std::size_t i = 0; i < 12; ++i) row.fields[i] = fields[i];
        rows.push_back(row);
    });
    return rows;
}

Package loadPackage(const std::filesystem::path& folder)
{
    Package package;
    const auto idt = folder / "Control.idt";
    std::ifstream in(idt, std::ios::binary);
    if (!in) throw ScenarioError(idt.string(), 0, "cannot be read");
    package.controlRows = parseControlTable(std::string((std::istreambuf_iterator<char>(in)), {}), idt.string());
    package.sequences = loadSequences(folder / "sequences.txt");
    return package;
}

}  // namespace casim
