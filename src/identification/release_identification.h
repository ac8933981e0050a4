// Which host release a folder holds, told from the host's own files.
#pragma once

#include "core/session.h"
#include "identification/release_descriptor.h"
#include "model/release_table.h"

#include <string>
#include <string_view>

namespace ca {

// Identifies folders for one action. What the first release descriptor gave
// serves the rest of the action: a later folder with a descriptor is Creo
// Parametric 2.0 without being read, and a folder without an installation log
// takes that descriptor's shipcode and datecode for its label.
class ReleaseIdentifier {
public:
    explicit ReleaseIdentifier(const Session& session) : session_(session) {}

    // The release of `folder` (with or without one trailing separator); 0 when
    // it cannot be told, or when a derived path would not fit its buffer.
    // The log says which, and how it was told.
    ReleaseCode identify(std::string_view folder);

    // Release text, shipcode and datecode from the folder's installation log
    // (or, without a log, from the descriptor read before). Outputs whose
    // keyword never appears keep what the caller passed in.
    void readInstallLog(std::string_view folder, std::string& release, std::string& shipcode,
                        std::string& datecode) const;

    const DescriptorValues& descriptor() const { return descriptor_; }

private:
    ReleaseCode identify(std::string_view folder, std::string& how);

    const Session& session_;
    DescriptorValues descriptor_;
};

// "Wildfire 4.0", or what the code stands for when no release slot does.
std::string releaseName(ReleaseCode code);

// The check-box text of a browsed installation: its family, the release text
// as the log gives it, and the shipcode (or else the datecode).
std::string browsedInstallationLabel(Family family, const std::string& release, const std::string& shipcode,
                                     const std::string& datecode);

}  // namespace ca
