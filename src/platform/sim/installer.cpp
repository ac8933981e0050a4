// msi.dll on the simulated session: properties, the log, and the one view on
// the Control table that the library opens.
#include "platform/installer.h"
#include "platform/sim/machine_internal.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {
using sim::ControlRow;
using sim::Machine;
using sim::Op;
using Internal = Machine::Internal;
using RowKey = std::pair<std::string, std::string>;  // Dialog_, Control: the table's primary key

template <class T>
T* handleAs(Machine& m, MsiHandle h)
{
    auto it = m.internal().msi.find(h);
    return it == m.internal().msi.end() ? nullptr : std::get_if<T>(&it->second);
}

std::vector<ControlRow>::iterator findRow(Machine& m, const RowKey& key)
{
    auto& rows = m.controlRows();
    return std::find_if(rows.begin(), rows.end(),
                        [&](const ControlRow& r) { return r.fields[0] == key.first && r.fields[1] == key.second; });
}

// The one query shape: Control rows of a dialog, of a control type, bound to a property.
bool parseQuery(std::string_view q, Internal::View& view)
{
    static constexpr std::string_view kParts[] = {
        "SELECT * FROM `Control` WHERE `Control`.`Dialog_`='", "' AND `Control`.`Type`='",
        "' AND `Control`.`Property`='", "'"};
    std::string* out[] = {&view.dialog, &view.type, &view.property};
    for (int i = 0; i < 4; ++i) {
        if (q.substr(0, kParts[i].size()) != kParts[i]) return false;
        q.remove_prefix(kParts[i].size());
        if (i == 3) return q.empty();
        const std::size_t end = q.find('\'');
        if (end == std::string_view::npos) return false;
        *out[i] = std::string(q.substr(0, end));
        q.remove_prefix(end);
    }
    return false;
}

MsiHandle issue(Machine& m, std::variant<Internal::Database, Internal::View, Internal::Record> item)
{
    const auto h = static_cast<MsiHandle>(Internal::newId());
    m.internal().msi.emplace(h, std::move(item));
    return h;
}
}  // namespace

Status msiGetProperty(MsiHandle session, const char* name, char* buffer, std::uint32_t* count)
{
    Machine& m = Machine::current();
    if (session != m.session()) return kInvalidHandle;
    if (sim::injected(m, Op::propertyGet, name != nullptr ? name : "", kFunctionFailed)) return kFunctionFailed;
    if (name == nullptr || count == nullptr) return kInvalidParameter;
    const auto it = m.properties().find(name);
    const std::string value = it == m.properties().end() ? std::string() : it->second;
    const auto length = static_cast<std::uint32_t>(value.size());
    if (buffer == nullptr || length >= *count) {
        if (buffer != nullptr && *count > 0) {
            std::memcpy(buffer, value.data(), *count - 1);
            buffer[*count - 1] = '\0';
        }
        // Wine gives twice the length, the room the text could take in a
        // double-byte code page: a caller must not take it for the length,
        // nor count on the room.
        *count = m.propertyLengthAsWindows ? length : 2 * length;
        return kMoreData;
    }
    std::memcpy(buffer, value.c_str(), length + 1);
    *count = length;
    return kSuccess;
}

Status msiSetProperty(MsiHandle session, const char* name, const char* value)
{
    Machine& m = Machine::current();
    if (session != m.session()) return kInvalidHandle;
    if (sim::injected(m, Op::propertySet, name != nullptr ? name : "", kFunctionFailed)) return kFunctionFailed;
    if (name == nullptr) return kInvalidParameter;
    if (*name == '\0') return kFunctionFailed;
    auto& props = m.properties();
    sim::PropertyChange change{name, std::nullopt, std::nullopt};
    if (auto it = props.find(name); it != props.end()) change.before = it->second;
    if (value == nullptr || *value == '\0') {
        props.erase(name);
    } else {
        props[name] = value;
        change.after = value;
    }
    m.internal().propertyChanges.push_back(std::move(change));
    return kSuccess;
}

Status msiLogInfo(MsiHandle session, const char* text)
{
    Machine& m = Machine::current();
    if (session != m.session()) return kInvalidHandle;
    m.logMessages().emplace_back(text != nullptr ? text : "");
    if (m.logObserver) m.logObserver(m.logMessages().back());
    return kSuccess;
}

MsiHandle msiGetActiveDatabase(MsiHandle session)
{
    Machine& m = Machine::current();
    if (session != m.session()) return 0;
    if (sim::injected(m, Op::database, "", kFunctionFailed)) return 0;
    if (!Internal::databaseAvailable(m)) return 0;
    return issue(m, Internal::Database{});
}

Status msiDatabaseOpenView(MsiHandle database, const char* query, MsiHandle* view)
{
    Machine& m = Machine::current();
    if (handleAs<Internal::Database>(m, database) == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::database, "", kFunctionFailed)) return kFunctionFailed;
    if (query == nullptr || view == nullptr) return kInvalidParameter;
    Internal::View v;
    if (!parseQuery(query, v)) return kBadQuerySyntax;
    *view = issue(m, std::move(v));
    return kSuccess;
}

Status msiViewExecute(MsiHandle view, MsiHandle /*params*/)
{
    Machine& m = Machine::current();
    auto* v = handleAs<Internal::View>(m, view);
    if (v == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::database, v->property, kFunctionFailed)) return kFunctionFailed;
    v->rows.clear();
    for (const auto& row : m.controlRows())
        if (row.fields[0] == v->dialog && row.fields[2] == v->type && row.fields[8] == v->property)
            v->rows.emplace_back(row.fields[0], row.fields[1]);
    v->next = 0;
    v->executed = true;
    return kSuccess;
}

Status msiViewFetch(MsiHandle view, MsiHandle* record)
{
    Machine& m = Machine::current();
    auto* v = handleAs<Internal::View>(m, view);
    if (v == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::database, v->property, kFunctionFailed)) return kFunctionFailed;
    if (record == nullptr) return kInvalidParameter;
    if (!v->executed) return kFunctionFailed;
    while (v->next < v->rows.size()) {
        const RowKey key = v->rows[v->next++];
        auto row = findRow(m, key);
        if (row == m.controlRows().end()) continue;  // deleted since the view ran
        Internal::Record r{row->fields, key};
        *record = issue(m, std::move(r));
        return kSuccess;
    }
    return kNoMoreItems;
}

Status msiViewModify(MsiHandle view, int mode, MsiHandle record)
{
    Machine& m = Machine::current();
    if (handleAs<Internal::View>(m, view) == nullptr) return kInvalidHandle;
    auto* r = handleAs<Internal::Record>(m, record);
    if (r == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::database, r->fields[8], kFunctionFailed)) return kFunctionFailed;
    auto& rows = m.controlRows();
    switch (mode) {
    case kModifyDelete: {
        if (!r->row) return kFunctionFailed;
        auto row = findRow(m, *r->row);
        if (row == rows.end()) return kFunctionFailed;
        rows.erase(row);
        r->row.reset();
        return kSuccess;
    }
    case kModifyInsertTemporary: {
        const RowKey key{r->fields[0], r->fields[1]};
        if (findRow(m, key) != rows.end()) return kFunctionFailed;
        rows.push_back(ControlRow{r->fields, true});
        r->row = key;
        return kSuccess;
    }
    case kModifyRefresh: {
        if (!r->row) return kFunctionFailed;
        auto row = findRow(m, *r->row);
        if (row == rows.end()) return kFunctionFailed;
        r->fields = row->fields;
        return kSuccess;
    }
    default:
        return kInvalidParameter;
    }
}

Status msiRecordSetString(MsiHandle record, unsigned field, const char* value)
{
    Machine& m = Machine::current();
    auto* r = handleAs<Internal::Record>(m, record);
    if (r == nullptr) return kInvalidHandle;
    if (sim::injected(m, Op::database, r->fields[8], kFunctionFailed)) return kFunctionFailed;
    if (field == 0 || field > r->fields.size()) return kInvalidParameter;
    r->fields[field - 1] = value != nullptr ? value : "";
    return kSuccess;
}

Status msiCloseHandle(MsiHandle handle)
{
    if (handle == 0) return kSuccess;
    Machine* m = Machine::Internal::live();
    if (m == nullptr) return kInvalidHandle;
    if (handle == m->session()) return kSuccess;  // the session belongs to the installer
    return m->internal().msi.erase(handle) > 0 ? kSuccess : kInvalidHandle;
}

}  // namespace platform
