#include "identification/release_descriptor.h"

#include "core/log.h"
#include "platform/shell.h"
#include "platform/xml.h"

#include <string>

namespace ca {
namespace {

// Takes the wanted attributes of one element, in the DOM's order; true once
// a version is found, which ends the whole scan.
bool takeAttributes(const platform::XmlNode& node, DescriptorValues& values)
{
    long count = 0;
    if (!node.attributeCount(count)) return false;
    for (long index = 0; index < count; ++index) {
        std::string name;
        std::string text;
        if (!node.attribute(index, name, text)) continue;
        if (name == "datecode") {
            values.descriptorDatecode = text;
        } else if (name == "shipcode") {
            values.descriptorShipcode = text;
        } else if (name == "version") {
            values.descriptorVersion = text;
            return true;
        }
    }
    return false;
}

}  // namespace

bool readReleaseDescriptor(const Session& session, const char* path, DescriptorValues& values)
{
    platform::ComApartment apartment;
    try {
        platform::XmlDocument document;
        if (!document.load(path)) {
            session.tellUser("Error: failed to load XML file. Check the file name.", "Load XML file",
                     platform::kMbOk | platform::kMbIconExclamation);
            return false;
        }
        // Every element of the document, in document order: the wanted
        // attributes may sit on any of them. "*" is the DOM's name for every
        // element; a blank names none (no element can be called so), which
        // would leave the values unread.
        const platform::XmlNodeList nodes = document.elementsByTagName("*");
        for (long index = 0; index < nodes.length(); ++index) {
            const platform::XmlNode node = nodes.item(index);
            if (!node || node.typeString() != "element") continue;
            if (takeAttributes(node, values)) break;
        }
        return true;
    } catch (const platform::ComError& error) {
        logFailed(session, static_cast<platform::Status>(error.hresult), "read the release descriptor ", escaped(path));
        // What was stored before the failure stays.
        session.tellUser("*** Exception occurred ***", "Error message", platform::kMbOk);
        return true;
    }
}

}  // namespace ca
