#pragma once
// Whether the operator may open a serial device, and when not, what to do about it.
//
// Serial device nodes belong to a group (dialout on Debian) whose members may read and write
// them; an operator outside it gets EACCES on every open, which a port list should say before
// the first connect fails. The check reads permissions only: it never opens the device, so it
// neither raises the modem lines of a device in use nor disturbs another program that has it.

#include <string>
#include <sys/types.h>
#include <vector>

namespace talvern::serial {

struct DeviceAccess {
    int Error = 0;     // 0: the operator may open it; EACCES (or EPERM): not
    std::string Group; // the group that may open it, for the fix ("dialout" when unknown)
    std::string User;  // the operator's login name
};

// Whose permissions are checked: the running process, or another operator's in tests.
struct Credentials {
    uid_t Uid = 0;
    std::vector<gid_t> Groups; // the primary group included
    std::string User;
    bool Privileged = false;   // the superuser opens anything
    static Credentials OfThisProcess();
};

// The check for this process, by the kernel itself (access lists and privileges included).
// A missing node gives ENOENT.
DeviceAccess CheckDeviceAccess(const std::string& path);
// The check for someone else: the node's owner, group and mode bits as the kernel reads them for
// an open for reading and writing (access lists are not read).
DeviceAccess CheckDeviceAccess(const std::string& path, const Credentials& who);

// The one command that lets the operator open the device: "sudo usermod -aG dialout anna".
// The membership counts from the next login.
std::string AccessFixCommand(const DeviceAccess& access);

} // namespace talvern::serial
