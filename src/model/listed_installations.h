// The listed installations: the destination dialog's eight check-box slots,
// each naming the three installer properties of one host installation (its
// label, its check box, its folder). An action reads them once and passes the
// list on; adding an installation fills a free slot and its check box.
#pragma once

#include "core/fixed_string.h"
#include "core/session.h"
#include "model/release_table.h"

#include <array>
#include <string_view>

namespace ca {

struct ListedSlot {
    const CustomSlotNames* names;
    PathBuffer folder;             // the folder property as read; empty when it does not fit
    std::size_t folderLength = 0;  // the folder property's characters
    bool chosen = false;           // the check box holds exactly "1"
    bool inUse = false;            // holds a folder (one too long to take too)
    bool tooLong() const { return folderLength >= PathBuffer::capacity; }
};

class ListedInstallations {
public:
    // Every slot free, whatever the properties hold: the check-box list
    // fills the boxes again from the first.
    static ListedInstallations allFree();
    // The slots as the session's properties hold them: a slot whose folder
    // property is set is in use.
    static ListedInstallations read(const Session& session);

    const std::array<ListedSlot, 8>& slots() const { return slots_; }
    // One line naming every chosen slot's folder property and folder.
    void logChosen(const Session& session) const;
    // Some slot in use holds exactly this folder (case and separators count).
    bool holds(std::string_view folder) const;
    int usedCount() const;

    // Gives the first free slot an installation: ticks its box, sets its
    // label and folder and shows the folder as the box's tooltip. With
    // `releaseProperty`, that release slot's selection is set too (after the
    // label). False, and nothing changed (nor logged: the caller tells), when
    // every slot is in use.
    bool add(const Session& session, std::string_view label, std::string_view folder,
             const char* releaseProperty = nullptr);

private:
    std::array<ListedSlot, 8> slots_;
};

// Gives the dialog's check box bound to `checkProperty` (PROE_VER_1 to
// PROE_VER_8) the tooltip `folder`, by replacing its Control row with a
// temporary one. Any other property name changes nothing.
void setCheckBoxTooltip(const Session& session, const char* checkProperty, std::string_view folder);

}  // namespace ca
