// A check, when the program starts, that this C library's mktime behaves as
// the reuse of its answers in local_time.cpp assumes.
#pragma once

// True when mktime, asked for a time that the clocks show twice and given no
// daylight-saving flag, picks the side of the offset of its previous
// successful call, and a failed call leaves that offset alone: the
// behaviour of GNU libc, which the C standard does not promise. Runs its
// probes in a zone of its own (standard time at UTC, so that mktime is left
// with the offset 0 it has in a fresh process) and restores TZ afterwards,
// whatever its length.
bool mktime_follows_previous_offset();
