// The zone file that the C library looks at when TZ is unset, and whether
// it has changed in the way that makes the C library read it again.
//
// This is GNU libc's behaviour, not the C standard's. With TZ unset, each
// mktime call runs tzset's check of /etc/localtime (tzset_internal with
// its "always" flag, then __tzfile_read): a stat of the file, links
// followed, and a new reading of it unless the device, the inode number and
// the modification time in whole seconds all equal those of the file it
// read last. Where it could not take the file as a zone file it reads it
// on every call. With TZ set it compares only the value of TZ, which this
// program never changes during a run, and never looks at the file.
#pragma once

#include <sys/types.h>

#include <ctime>

struct zone_file_stamp {
    bool found;  // the stat succeeded
    dev_t device;
    ino_t inode;
    std::time_t modified;  // whole seconds
    // Looked at only while the C library reads the file on every call.
    long modified_ns;
    std::time_t changed;
    long changed_ns;
    off_t size;
};

struct zone_watch {
    bool active;  // TZ unset: the zone model follows the file
    // The C library holds no zone file from it: any change of the file
    // counts, as it reads the file again at every call.
    bool every_field;
    zone_file_stamp seen;
};

// Watches when TZ is unset, taking the file's stamp now.
void start_zone_watch(zone_watch& watch);

// One stat of the file. True when it has changed as above since the stamp
// taken last, which it then replaces.
bool zone_file_changed(zone_watch& watch);
