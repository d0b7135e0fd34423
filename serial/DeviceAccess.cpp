#include "DeviceAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace talvern::serial {

namespace {

std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid); entry != nullptr && entry->gr_name != nullptr)
        return entry->gr_name;
    return {};
}

// The group to join: the node's own, unless the operator's primary group owns it (then the group
// bits are not the cause) or it has no name; Debian's serial group otherwise.
std::string groupToJoin(gid_t nodeGroup, gid_t primaryGroup) {
    const std::string name = groupName(nodeGroup);
    return !name.empty() && nodeGroup != primaryGroup && name != "root" ? name : "dialout";
}

} // namespace

DeviceAccess CheckDeviceAccess(const std::string& path) {
    // A process keeps its user and groups for its whole life (a new group counts from the next
    // login), and the user's name may come from a directory server: looked up once.
    static const Credentials self = Credentials::OfThisProcess();
    DeviceAccess access;
    access.User = self.User.empty() ? std::string("$USER") : self.User;
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        access.Error = errno;
        return access;
    }
    access.Group = groupToJoin(node.st_gid, self.Groups.front());
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
        access.Error = errno;
    return access;
}

Credentials Credentials::OfThisProcess() {
    Credentials who;
    who.Uid = ::geteuid();
    who.Privileged = who.Uid == 0;
    who.Groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<size_t>(count));
        const int got = ::getgroups(count, more.data());
        if (got > 0)
            who.Groups.insert(who.Groups.end(), more.begin(), more.begin() + got);
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_name != nullptr)
        who.User = entry->pw_name;
    return who;
}

DeviceAccess CheckDeviceAccess(const std::string& path, const Credentials& who) {
    DeviceAccess access;
    access.User = who.User.empty() ? std::string("$USER") : who.User;
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) {
        access.Error = errno;
        return access;
    }
    access.Group = groupToJoin(node.st_gid, who.Groups.empty() ? gid_t(-1) : who.Groups.front());
    if (who.Privileged)
        return access;
    const mode_t readWrite = node.st_uid == who.Uid ? (S_IRUSR | S_IWUSR)
                             : std::find(who.Groups.begin(), who.Groups.end(), node.st_gid) != who.Groups.end()
                                 ? (S_IRGRP | S_IWGRP)
                                 : (S_IROTH | S_IWOTH);
    if ((node.st_mode & readWrite) != readWrite)
        access.Error = EACCES;
    return access;
}

std::string AccessFixCommand(const DeviceAccess& access) {
    return "sudo usermod -aG " + access.Group + " " + access.User;
}

} // namespace talvern::serial
