#pragma once
// A simulator's hold on a port-map name, kept on disk beside the name so that whoever
// comes after a killed simulator can put the name right:
//   COM1.ecu-sim.ID  -> the simulator's line: its claim on COM1
//   COM1.replaced.ID -> what COM1 led to before the simulator took it over
// ID is the process id, its start time and a number within the process, so a claim is
// alive exactly while that process runs. Edits hold the map lock, so the tools that
// follow these rules never interleave; a link someone else changed is left as it is.
#include <optional>
#include <string>
#include <vector>

namespace ecu {

struct PortClaim {
    std::string port; // COM1
    std::string id;
    std::string line;                    // the simulator's terminal
    std::optional<std::string> replaced; // the target it took over, if any
    bool alive = false;

    std::string ClaimPath(const std::string& dir) const;
    std::string ReplacedPath(const std::string& dir) const;
};

// An exclusive lock on the map folder (created if missing) for one edit; waits for it.
class PortMapLock {
public:
    explicit PortMapLock(const std::string& dir);
    ~PortMapLock();
    PortMapLock(const PortMapLock&) = delete;
    PortMapLock& operator=(const PortMapLock&) = delete;

private:
    int fd_ = -1;
};

// The claims on `port` in the map folder `dir`; none when it cannot be read.
std::vector<PortClaim> ReadClaims(const std::string& dir, const std::string& port);

// Whether `name` is one of the records above, for any port.
bool IsClaimRecord(const std::string& name);

// A fresh identity for a claim of this process.
std::string NewClaimId();

// What giving a name back did.
struct Released {
    enum class Action {
        PutBack,  // the name leads to `target` again
        Freed,    // the name had no link before: it has none now
        HandedOn, // a later simulator holds the name and will put back `target` (if any)
        LeftAsIs, // someone else had linked the name elsewhere: only the records went
    };
    PortClaim claim;
    Action action = Action::LeftAsIs;
    std::optional<std::string> target;
};

// Gives the name back for `claim`: the replaced target is put back while the name still
// leads to the claim's line; when another simulator took it over meanwhile, that one puts
// back this claim's replaced target instead. Then the records go. Safe to repeat after an
// interruption. Call with the map lock held. Throws std::filesystem::filesystem_error.
Released ReleaseClaim(const std::string& dir, const PortClaim& claim);

// Releases the claims of simulators that have ended. Call with the map lock held.
std::vector<Released> ReleaseDeadClaims(const std::string& dir, const std::string& port);

// The same with the lock taken; nothing when the folder does not exist.
std::vector<Released> SettlePort(const std::string& dir, const std::string& port);

// "led to /dev/pts/4, the line of a simulator that had ended: put back /dev/ttyUSB0".
std::string ReleasedText(const Released& released);

} // namespace ecu
