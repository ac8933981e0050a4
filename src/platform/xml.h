// A DOM document read from a file: MSXML 3.0 over COM on Windows, an
// equivalent reader on the simulated machine. COM failures are thrown as
// ComError so that a reader can abandon its scan at any call.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace platform {

struct ComError : std::exception {
    explicit ComError(long code) : hresult(code) {}
    const char* what() const noexcept override { return "COM error"; }
    long hresult;
};

// CoInitialize for the calling thread; CoUninitialize when it goes out of scope.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_ = false;
};

class XmlNode;

class XmlNodeList {
public:
    XmlNodeList();
    XmlNodeList(XmlNodeList&&) noexcept;
    XmlNodeList& operator=(XmlNodeList&&) noexcept;
    ~XmlNodeList();
    long length() const;      // throws ComError
    XmlNode item(long index) const;  // an empty node when there is none

    struct Impl;
    explicit XmlNodeList(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

class XmlNode {
public:
    XmlNode();
    XmlNode(XmlNode&&) noexcept;
    XmlNode& operator=(XmlNode&&) noexcept;
    ~XmlNode();
    explicit operator bool() const noexcept { return impl_ != nullptr; }
    std::string typeString() const;  // "element", "text", ...
    // False when the attribute collection or its length cannot be had.
    bool attributeCount(long& count) const;
    // Name and text of the attribute at `index`, in the DOM's order; false when there is none.
    bool attribute(long index, std::string& name, std::string& text) const;

    struct Impl;
    explicit XmlNode(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

class XmlDocument {
public:
    // Creates the DOM document (DOMDocument30 on Windows); throws ComError.
    XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;
    ~XmlDocument();
    // False when the DOM reports that the file did not load; throws ComError.
    bool load(const char* path);
    // Throws ComError.
    XmlNodeList elementsByTagName(const char* tagName) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
