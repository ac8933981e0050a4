// The release descriptor of a Creo Parametric 2.0 installation
// (bin\pim\xml\creobase.p.xml), read through the DOM.
#pragma once

#include "core/session.h"

#include <string>

namespace ca {

struct DescriptorValues {
    std::string descriptorVersion;
    std::string descriptorShipcode;
    std::string descriptorDatecode;
};

// Loads the descriptor and keeps in `values` the first version found, and the
// shipcode and datecode met up to it. False only when the file does not load
// (the user is told); a COM failure on the way is told to the user and still
// gives true, with what was stored before it.
bool readReleaseDescriptor(const Session& session, const char* path, DescriptorValues& values);

}  // namespace ca
