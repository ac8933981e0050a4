// The DOM the library reads descriptors with, on pugixml. It gives what MSXML 3.0
// gives for the same file: elements in document order, attributes in the order
// written, and a refusal of documents that are not well-formed. Nothing outside
// the file is ever fetched: DTDs are skipped and only XML's own entities expand.
#include "platform/sim/machine_internal.h"
#include "platform/xml.h"

#include <pugixml.hpp>

#include <set>
#include <system_error>

namespace platform {

namespace {
using sim::Machine;
using sim::Op;

const long kEFail = static_cast<long>(static_cast<std::int32_t>(0x80004005u));

// A live COM object: counted as a handle of the machine that made it.
class ComObject {
public:
    ComObject()
    {
        if (Machine* m = Machine::Internal::live()) {
            serial_ = m->internal().serial;
            m->internal().com += 1;
        }
    }
    ~ComObject()
    {
        Machine* m = Machine::Internal::live();
        if (serial_ != 0 && m != nullptr && m->internal().serial == serial_) m->internal().com -= 1;
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::uint64_t serial_ = 0;
};

// Checks pugixml leaves to the caller but MSXML makes: one root element, no
// text outside it, no attribute given twice.
bool wellFormed(const pugi::xml_document& doc)
{
    int roots = 0;
    for (auto child : doc.children()) {
        if (child.type() == pugi::node_element) ++roots;
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) return false;
    }
    if (roots != 1) return false;
    bool ok = true;
    struct Walker : pugi::xml_tree_walker {
        bool* ok;
        bool for_each(pugi::xml_node& node) override
        {
            std::set<std::string> seen;
            for (auto a : node.attributes())
                if (!seen.insert(a.name()).second) *ok = false;
            return *ok;
        }
    } walker;
    walker.ok = &ok;
    const_cast<pugi::xml_document&>(doc).traverse(walker);
    return ok;
}
}  // namespace

struct XmlDocument::Impl {
    std::shared_ptr<pugi::xml_document> doc = std::make_shared<pugi::xml_document>();
    ComObject handle;
};

struct XmlNodeList::Impl {
    std::shared_ptr<pugi::xml_document> doc;  // keeps the nodes alive, as a COM reference would
    std::vector<pugi::xml_node> nodes;
    ComObject handle;
};

struct XmlNode::Impl {
    std::shared_ptr<pugi::xml_document> doc;
    pugi::xml_node node;
    ComObject handle;
};

ComApartment::ComApartment()
{
    if (Machine* m = Machine::Internal::live()) {
        m->internal().com += 1;
        initialized_ = true;
    }
}

ComApartment::~ComApartment()
{
    Machine* m = Machine::Internal::live();
    if (initialized_ && m != nullptr && m->internal().com > 0) m->internal().com -= 1;
}

XmlDocument::XmlDocument()
{
    if (sim::injected(Machine::current(), Op::xmlCreate, "", static_cast<platform::Status>(kEFail))) throw ComError(kEFail);
    impl_ = std::make_unique<Impl>();
}
XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;

bool XmlDocument::load(const char* path)
{
    Machine& m = Machine::current();
    if (sim::injected(m, Op::xmlLoad, path != nullptr ? path : "", static_cast<platform::Status>(kEFail)))
        throw ComError(kEFail);
    if (!impl_) throw ComError(kEFail);
    auto fresh = std::make_shared<pugi::xml_document>();
    impl_->doc = fresh;  // a failed load leaves an empty document, as MSXML does
    if (path == nullptr || *path == '\0') return false;
    const auto host = m.hostPath(path);
    std::error_code ec;
    if (!host || !std::filesystem::is_regular_file(*host, ec)) return false;
    // As MSXML with ProhibitDTD: a document that declares a DTD does not load,
    // so no entity of any kind is ever expanded.
    const auto result = fresh->load_file(host->c_str(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
    bool declaresDtd = false;
    for (const auto& child : fresh->children()) declaresDtd = declaresDtd || child.type() == pugi::node_doctype;
    if (!result || declaresDtd || !wellFormed(*fresh)) {
        fresh->reset();
        return false;
    }
    return true;
}

XmlNodeList XmlDocument::elementsByTagName(const char* tagName) const
{
    if (!impl_ || tagName == nullptr) throw ComError(kEFail);
    auto list = std::make_unique<XmlNodeList::Impl>();
    list->doc = impl_->doc;
    const std::string_view wanted(tagName);
    struct Walker : pugi::xml_tree_walker {
        std::string_view wanted;
        std::vector<pugi::xml_node>* out;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() == pugi::node_element && (wanted == "*" || wanted == node.name())) out->push_back(node);
            return true;
        }
    } walker;
    walker.wanted = wanted;
    walker.out = &list->nodes;
    impl_->doc->traverse(walker);
    return XmlNodeList(std::move(list));
}

XmlNodeList::XmlNodeList() = default;
XmlNodeList::XmlNodeList(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmlNodeList::XmlNodeList(XmlNodeList&&) noexcept = default;
XmlNodeList& XmlNodeList::operator=(XmlNodeList&&) noexcept = default;
XmlNodeList::~XmlNodeList() = default;

long XmlNodeList::length() const
{
    if (!impl_) throw ComError(kEFail);
    return static_cast<long>(impl_->nodes.size());
}

XmlNode XmlNodeList::item(long index) const
{
    if (!impl_ || index < 0 || index >= static_cast<long>(impl_->nodes.size())) return {};
    auto node = std::make_unique<XmlNode::Impl>();
    node->doc = impl_->doc;
    node->node = impl_->nodes[static_cast<std::size_t>(index)];
    return XmlNode(std::move(node));
}

XmlNode::XmlNode() = default;
XmlNode::XmlNode(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmlNode::XmlNode(XmlNode&&) noexcept = default;
XmlNode& XmlNode::operator=(XmlNode&&) noexcept = default;
XmlNode::~XmlNode() = default;

std::string XmlNode::typeString() const
{
    if (!impl_) return "";
    switch (impl_->node.type()) {
    case pugi::node_element: return "element";
    case pugi::node_pcdata: return "text";
    case pugi::node_cdata: return "cdatasection";
    case pugi::node_comment: return "comment";
    case pugi::node_pi:
    case pugi::node_declaration: return "processinginstruction";
    case pugi::node_doctype: return "documenttype";
    case pugi::node_document: return "document";
    default: return "";
    }
}

bool XmlNode::attributeCount(long& count) const
{
    if (!impl_ || impl_->node.type() != pugi::node_element) return false;
    count = 0;
    for (auto a = impl_->node.first_attribute(); a; a = a.next_attribute()) ++count;
    return true;
}

bool XmlNode::attribute(long index, std::string& name, std::string& text) const
{
    if (!impl_ || index < 0) return false;
    long i = 0;
    for (auto a = impl_->node.first_attribute(); a; a = a.next_attribute(), ++i) {
        if (i == index) {
            name = a.name();
            text = a.value();
            return true;
        }
    }
    return false;
}

}  // namespace platform
