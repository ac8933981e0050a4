// The release descriptor of a Creo Parametric 2.0 installation
// (bin\pim\xml\creobase.p.xml), read through the DOM.
#pragma once

namespace ca {

// Loads the descriptor and keeps the first version found, and the shipcode
// and datecode met up to it, in processState().descriptorValues. False only
// when the file does not load (the user is told); a COM failure on the way
// is reported to the user and still gives true.
bool readReleaseDescriptor(const char* path);

}  // namespace ca
