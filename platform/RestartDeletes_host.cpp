// The host's model of the value: the deletes named so far, in their order, as
// hostfs::ScheduledAtRestart gives them.
#include "platform/HostVolume_host.h"
#include "platform/RestartDeletes.h"

#include <algorithm>

namespace {

void RemoveTempFolderDeletes(std::vector<std::string>& named, const char* folderName) {
    named.erase(std::remove_if(named.begin(), named.end(),
                               [folderName](const std::string& name) {
                                   return IsTempFolderName(name.c_str(), folderName) != 0;
                               }),
                named.end());
}

} // namespace

int RestartDeletes::Schedule() {
    std::vector<std::string>& named = hostfs::state().scheduledAtRestart;
    RemoveTempFolderDeletes(named, m_folderName);
    for (size_t at = 0; at < m_names.Length(); at += std::strlen(m_names.Items() + at) + 1)
        named.push_back(m_names.Items() + at);
    return m_complete;
}

int WithdrawRestartDeletes(const char* folderName) {
    RemoveTempFolderDeletes(hostfs::state().scheduledAtRestart, folderName);
    return 1;
}
