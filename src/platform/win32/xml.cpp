// The DOM document over COM: MSXML 3.0's DOMDocument30. Every interface
// pointer is owned by one object here and released when that object goes,
// so nothing outlives the caller's ComApartment.
#include "platform/xml.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <msxml2.h>

#include <new>
#include <utility>

namespace platform {
namespace {

// Our own copies: the reader depends on exactly these, whatever the SDK's
// import libraries happen to carry.
constexpr CLSID kClsidDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr DWORD kClassContext = 0x17;  // in-process server and handler, local and remote server

void check(HRESULT hr)
{
    if (FAILED(hr)) throw ComError(hr);
}

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** put() noexcept
    {
        reset();
        return &p_;
    }
    void reset() noexcept
    {
        if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text))
    {
        if (b_ == nullptr) throw ComError(E_OUTOFMEMORY);
    }
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept
    {
        SysFreeString(std::exchange(b_, nullptr));
        return &b_;
    }
    BSTR release() noexcept { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

// The path in the ANSI code page, as the DOM wants it: a wide BSTR.
Bstr widen(const char* text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) throw ComError(HRESULT_FROM_WIN32(GetLastError()));
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length) <= 0)
        throw ComError(HRESULT_FROM_WIN32(GetLastError()));
    return Bstr(wide.c_str());
}

std::string narrow(BSTR text)
{
    const int wideLength = static_cast<int>(SysStringLen(text));
    if (wideLength == 0) return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace

ComApartment::ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}

ComApartment::~ComApartment()
{
    if (initialized_) CoUninitialize();
}

struct XmlNodeList::Impl {
    ComPtr<IXMLDOMNodeList> list;
};

struct XmlNode::Impl {
    ComPtr<IXMLDOMNode> node;
};

struct XmlDocument::Impl {
    ComPtr<IXMLDOMDocument> document;
};

XmlNodeList::XmlNodeList() = default;
XmlNodeList::XmlNodeList(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmlNodeList::XmlNodeList(XmlNodeList&&) noexcept = default;
XmlNodeList& XmlNodeList::operator=(XmlNodeList&&) noexcept = default;
XmlNodeList::~XmlNodeList() = default;

long XmlNodeList::length() const
{
    if (!impl_ || !impl_->list) return 0;
    long count = 0;
    check(impl_->list->get_length(&count));
    return count;
}

XmlNode XmlNodeList::item(long index) const
{
    if (!impl_ || !impl_->list) return {};
    auto impl = std::make_unique<XmlNode::Impl>();
    check(impl_->list->get_item(index, impl->node.put()));
    if (!impl->node) return {};
    return XmlNode(std::move(impl));
}

XmlNode::XmlNode() = default;
XmlNode::XmlNode(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XmlNode::XmlNode(XmlNode&&) noexcept = default;
XmlNode& XmlNode::operator=(XmlNode&&) noexcept = default;
XmlNode::~XmlNode() = default;

std::string XmlNode::typeString() const
{
    if (!impl_) return {};
    Bstr type;
    check(impl_->node->get_nodeTypeString(type.put()));
    return narrow(type.get());
}

bool XmlNode::attributeCount(long& count) const
{
    if (!impl_) return false;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(impl_->node->get_attributes(attributes.put())) || !attributes) return false;
    return SUCCEEDED(attributes->get_length(&count));
}

bool XmlNode::attribute(long index, std::string& name, std::string& text) const
{
    if (!impl_) return false;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(impl_->node->get_attributes(attributes.put())) || !attributes) return false;
    ComPtr<IXMLDOMNode> item;
    if (FAILED(attributes->get_item(index, item.put())) || !item) return false;
    Bstr nodeName;
    Bstr nodeText;
    check(item->get_nodeName(nodeName.put()));
    check(item->get_text(nodeText.put()));
    name = narrow(nodeName.get());
    text = narrow(nodeText.get());
    return true;
}

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>())
{
    check(CoCreateInstance(kClsidDomDocument30, nullptr, kClassContext, kIidXmlDomDocument,
                           reinterpret_cast<void**>(impl_->document.put())));
}

XmlDocument::XmlDocument(XmlDocument&&) noexcept = default;
XmlDocument& XmlDocument::operator=(XmlDocument&&) noexcept = default;
XmlDocument::~XmlDocument() = default;

bool XmlDocument::load(const char* path)
{
    if (!impl_) throw ComError(E_POINTER);
    IXMLDOMDocument* document = impl_->document.get();
    // The descriptor is plain data: no DTD, no external entities, no
    // validation. Older MSXML builds lack ProhibitDTD; then the other two
    // settings still keep external content out.
    // MSXML loads asynchronously by default: load would return before the
    // document is parsed, and a malformed one could pass as loaded.
    check(document->put_async(VARIANT_FALSE));
    check(document->put_resolveExternals(VARIANT_FALSE));
    check(document->put_validateOnParse(VARIANT_FALSE));
    ComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(document2.put())))) {
        VARIANT prohibit;
        VariantInit(&prohibit);
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        Bstr property(L"ProhibitDTD");
        document2->setProperty(property.get(), prohibit);
    }

    Bstr widePath = widen(path);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = widePath.get();  // still owned by widePath
    VARIANT_BOOL loaded = VARIANT_FALSE;
    check(document->load(source, &loaded));
    return loaded != VARIANT_FALSE;
}

XmlNodeList XmlDocument::elementsByTagName(const char* tagName) const
{
    if (!impl_) throw ComError(E_POINTER);
    Bstr name = widen(tagName);
    auto impl = std::make_unique<XmlNodeList::Impl>();
    check(impl_->document->getElementsByTagName(name.get(), impl->list.put()));
    return XmlNodeList(std::move(impl));
}

}  // namespace platform
