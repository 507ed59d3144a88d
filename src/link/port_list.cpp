#include "link/port_list.h"

#include "text/text_ids.h"
#include "text/texts.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// The device a path finally names; the path itself when it cannot be resolved.
std::string FinalTarget(const fs::path& path)
{
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    return error ? path.string() : target.string();
}

// Device -> the first link (in name order) of folder that leads to it.
std::map<std::string, std::string> LinksByTarget(const std::string& folder)
{
    std::vector<fs::path> links;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_symlink(error)) links.push_back(it->path());
    std::sort(links.begin(), links.end());
    std::map<std::string, std::string> byTarget;
    for (const fs::path& link : links) byTarget.emplace(FinalTarget(link), link.string());
    return byTarget;
}

std::string OneField(std::string text)
{
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

std::string Adapter(const PortListEntry& entry)
{
    std::string text;
    for (const std::string* part : {&entry.description, &entry.maker, &entry.serialNumber}) {
        if (part->empty()) continue;
        if (!text.empty()) text += ", ";
        text += *part;
    }
    return text;
}

} // namespace

bool NaturalPathLess(const std::string& a, const std::string& b)
{
    auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') --digits;
        const std::string number = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

std::vector<PortListEntry> ListPorts(std::vector<SystemPort> ports, const std::string& byIdFolder,
                                     const PortProber& probe)
{
    std::sort(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) { return NaturalPathLess(a.path, b.path); });
    ports.erase(std::unique(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) { return a.path == b.path; }),
                ports.end());
    const std::map<std::string, std::string> links = LinksByTarget(byIdFolder);
    std::vector<PortListEntry> entries;
    for (SystemPort& port : ports) {
        PortListEntry entry{port.path, {}, std::move(port.description), std::move(port.maker), std::move(port.serialNumber), {}};
        if (const auto it = links.find(FinalTarget(entry.path)); it != links.end()) entry.byId = it->second;
        entry.reason = PortAccessText(probe(entry.path));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string PortAccessText(const PortProbe& probe)
{
    switch (probe.access) {
    case PortAccess::Opens: return std::string();
    case PortAccess::PermissionDenied: return GetText(TEXT_PORT_PERMISSION_DENIED);
    case PortAccess::Busy: return GetText(TEXT_PORT_BUSY);
    case PortAccess::Gone: return GetText(TEXT_PORT_GONE);
    case PortAccess::Failed: break;
    }
    return probe.detail.empty() ? GetText(TEXT_PORT_CANNOT_OPEN) : GetText(TEXT_PORT_CANNOT_OPEN) + ": " + probe.detail;
}

std::string PortEntryLabel(const PortListEntry& entry)
{
    std::string details = entry.byId.empty() ? std::string() : entry.path;
    if (const std::string adapter = Adapter(entry); !adapter.empty()) details += (details.empty() ? "" : ", ") + adapter;
    std::string label = entry.StoredName();
    if (!details.empty()) label += "  (" + details + ")";
    if (!entry.Opens()) label += " - " + entry.reason;
    return label;
}

std::string PortTableLine(const PortListEntry& entry)
{
    const std::string adapter = Adapter(entry);
    return OneField(entry.path) + '\t' + (entry.byId.empty() ? std::string("-") : OneField(entry.byId)) + '\t' +
           (adapter.empty() ? std::string("-") : OneField(adapter)) + '\t' + (entry.Opens() ? std::string("ok") : OneField(entry.reason));
}

} // namespace tarn
