// hostsim: the host stand-in that plays the plug-in's host, strict by design.
//
// It loads the plug-in (plugin.h), builds call blocks, owns memory handles
// with master pointers (handle_table.h), offers the six memory services and
// sends every kind of call (host.h).  It is strict on purpose: every resize
// moves the data to a new block and poisons and frees the old one, every
// service call is journalled, and after each call the handles are checked
// for unbalanced locks and for bytes written past the data.  A lean mode
// drops the journal and the poisoning for benchmarks.
#ifndef VANTORIX_HOSTSIM_HOSTSIM_H
#define VANTORIX_HOSTSIM_HOSTSIM_H

#include "hostsim/host.h"    // IWYU pragma: export
#include "hostsim/plugin.h"  // IWYU pragma: export

#endif
