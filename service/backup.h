// Whole-line backup and restore. A backup is one parameter file per actuator
// (DIR/A<address>.par) that the window loads as it is, with two more
// sections: [Device] (Address, Type, Name, Date) and [Relays].
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "paramset.h"
#include "relayset.h"
#include "scan.h"

class IniImage;
class TWakePort;

namespace service {

std::string backupFileName(int address);  // "A17.par"

struct DeviceRecord {
    int address = 0;
    std::string type;
    std::string name;
    std::string date;  // ISO 8601
};
void deviceToFile(IniImage& file, const DeviceRecord& device);
// Address 0 when the file has no [Device] address.
DeviceRecord deviceFromFile(const IniImage& file);

struct BackupItem {
    int address = 0;
    std::string type;
    std::string file;   // the path written
    std::string error;  // empty when the backup of this actuator succeeded
    bool ok() const { return error.empty(); }
};

struct BackupOptions {
    std::vector<int> addresses;                    // empty: scan the line first
    ScanOptions scan;                              // range, progress and cancel of that scan
    std::function<std::string(int address)> name;  // the operator's name for an address
    std::function<void(const BackupItem&)> done;   // after each actuator
};

// One failing actuator does not stop the others. The folder is made when missing.
std::vector<BackupItem> backupLine(TWakePort& port, const std::string& dir,
                                   const BackupOptions& options);

// The addresses of wanted that have no item: what an interrupted backup
// left undone.
std::vector<int> addressesNotBackedUp(const std::vector<int>& wanted,
                                      const std::vector<BackupItem>& items);

struct RestoreOptions {
    bool dryRun = false;
    bool travel = false;         // also write Nt
    bool force = false;          // restore even when the type text differs
    bool allowDefaults = false;  // write a file that lacks keys, with their defaults
    std::function<void(const struct RestoreItem&)> done;  // after each file
    std::function<bool()> cancelled;                      // asked before each file
};

struct RestoreItem {
    enum Result {
        Restored,      // written and verified
        Unchanged,     // the actuator already held the file's values (a dry run too)
        DryRun,        // compared only, and the actuator differs
        TypeMismatch,  // another type of actuator answers there: nothing written
        VerifyFailed,  // written, but the read-back differs
        Failed,        // an exchange failed (error says which)
        BadFile        // the file cannot be read or names no address
    } result = Failed;
    std::string file;
    DeviceRecord device;     // from the file
    std::string deviceType;  // what answers at the address
    WriteOutcome params;
    bool hasRelays = false;
    RelayWriteOutcome relays;
    std::string error;
    bool ok() const { return result == Restored || result == Unchanged || result == DryRun; }
};

// One backup file onto the actuator at its [Device] address.
RestoreItem restoreFile(TWakePort& port, const std::string& path, const RestoreOptions& options);
// The paths of the folder's A<n>.par, in the order of their addresses.
std::vector<std::string> backupFiles(const std::string& dir);
// Every A<n>.par of the folder, in the order of their addresses.
std::vector<RestoreItem> restoreLine(TWakePort& port, const std::string& dir,
                                     const RestoreOptions& options);
// The folder's backup files that have no item: what an interrupted restore
// left undone.
std::vector<std::string> filesNotRestored(const std::string& dir,
                                          const std::vector<RestoreItem>& items);

}  // namespace service
