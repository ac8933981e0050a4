// The destination dialog's check boxes: every usable host installation, up
// to eight, as a ticked box with a label and a tooltip that shows its folder.
#pragma once

#include "platform/types.h"

namespace ca {

// Gives the dialog's check box bound to `checkProperty` (PROE_VER_1 to
// PROE_VER_8) the tooltip `folder`, by replacing its Control row with a
// temporary one. Any other property name changes nothing. The database
// handle stays the caller's.
void setCheckBoxTooltip(platform::MsiHandle database, const char* checkProperty, const char* folder);

}  // namespace ca
