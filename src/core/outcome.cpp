#include "core/outcome.h"

#include "core/fixed_string.h"
#include "core/log.h"
#include "platform/errors.h"

#include <cstdlib>
#include <string>

namespace ca {
namespace {

constexpr std::string_view kMoreStart = " (and ";
constexpr std::string_view kMoreEnd = " more: see the installer log)";

// The first failure's text, and how many came after it.
std::string firstOf(std::string_view value, long& more)
{
    more = 0;
    const std::size_t at = value.rfind(kMoreStart);
    if (at == std::string_view::npos || value.size() < kMoreEnd.size() ||
        value.substr(value.size() - kMoreEnd.size()) != kMoreEnd)
        return std::string(value);
    const std::string count(value.substr(at + kMoreStart.size(), value.size() - kMoreEnd.size() - at - kMoreStart.size()));
    char* end = nullptr;
    more = std::strtol(count.c_str(), &end, 10);
    if (end == count.c_str() || *end != '\0' || more < 0) return more = 0, std::string(value);
    return std::string(value.substr(0, at));
}

}  // namespace

void reportHostFailure(const Session& session, const char* property, std::string_view host, std::string_view path,
                       std::string_view reason, platform::Status code)
{
    const std::string text = platform::errorText(code);
    const std::string failure = concat(host, ": ", path, " ", reason, " (error ", std::to_string(code), ": ",
                                       text.empty() ? std::string("no system text") : text, ")");
    FixedString<4096> current;
    session.read(property, current);
    if (current.empty()) {
        session.log(concat(property, " set: ", escaped(failure)));
        session.set(property, failure);
        return;
    }
    long more = 0;
    const std::string first = firstOf(current.view(), more);
    session.log(concat(property, " keeps its first failure; this one too: ", escaped(failure)));
    session.set(property, concat(first, kMoreStart, std::to_string(more + 1), kMoreEnd));
}

platform::Status lastFailureCode()
{
    const platform::Status code = platform::lastError();
    return code != platform::kSuccess ? code : platform::kFunctionFailed;
}

}  // namespace ca
