// The installer session of the running action: its properties, its log, and
// the user. Every action makes one at its boundary and hands it down by
// reference; nothing below reaches the installer any other way.
#pragma once

#include "core/fixed_string.h"
#include "platform/installer.h"

#include <string>
#include <string_view>

namespace ca {

class Session {
public:
    // `action` names the running action in every line it logs.
    Session(platform::MsiHandle handle, const char* action);

    platform::MsiHandle handle() const { return handle_; }
    const char* action() const { return action_; }
    // The installer's UI level; -1 when it cannot be read (a deferred action).
    // Read when first asked, so that the action's first line in the log is its own.
    int uiLevel() const;

    // Reads a property into `value`, offering the buffer's whole capacity (the
    // count is reset before every read because the installer overwrites it).
    // `value` is cleared first. A value that does not fit is never taken in
    // part: `value` stays empty, the log names the property and its length,
    // and the result (kMoreData) tells the caller, whose verdict it is.
    // `length`, when given, receives the length of the whole value.
    template <std::size_t N>
    platform::Status read(const char* name, FixedString<N>& value, std::size_t* length = nullptr) const
    {
        value.clear();
        std::uint32_t count = static_cast<std::uint32_t>(N);
        const platform::Status status = platform::msiGetProperty(handle_, name, value.data(), &count);
        std::size_t whole = count;
        if (status != platform::kSuccess) {
            value.clear();
            // The count then is only the room to offer (Wine gives twice the
            // length, what the text could take in a double-byte code page).
            if (status == platform::kMoreData) whole = wholeLength(name, count);
            readFailed(name, status, whole, N);
        } else {
            value.terminate();
            whole = value.size();
        }
        if (length != nullptr) *length = whole;
        return status;
    }
    // The whole value, however long: for a value that must be passed on as it is.
    std::string readWhole(const char* name) const;
    // True when the property holds exactly `expected` (byte for byte).
    bool equals(const char* name, std::string_view expected) const;
    // The empty text removes the property.
    void set(const char* name, std::string_view value) const;
    void remove(const char* name) const { set(name, ""); }

    // One line in the installer log, after the action's name.
    void log(std::string_view text) const;
    // Tells the user something: a modal message box when the installer shows
    // a user interface, the log otherwise, so that a silent installation is
    // never left waiting for a click.
    void tellUser(const char* text, const char* caption, unsigned style) const;

private:
    void readFailed(const char* name, platform::Status status, std::size_t length, std::size_t capacity) const;
    // The length of a value that did not fit: read whole, or (should that
    // fail) the count the installer offered, which is never less.
    std::size_t wholeLength(const char* name, std::uint32_t offered) const;

    platform::MsiHandle handle_;
    const char* action_;
    mutable int uiLevel_ = -1;
    mutable bool uiLevelRead_ = false;
};

// A property that names a folder, as an action takes it: whole or not at all.
struct FolderProperty {
    const char* name = "";
    PathBuffer folder;       // empty when the value does not fit
    std::size_t length = 0;  // the whole value's characters
    bool tooLong() const { return length >= PathBuffer::capacity; }
    // "PROEM1DIR holds 297 characters, more than 259"
    std::string tooLongText() const;
};
FolderProperty readFolderProperty(const Session& session, const char* name);

}  // namespace ca
