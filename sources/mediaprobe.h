#pragma once

// The media probe: what the tools are asked and what their answers say (probeparse.h), the
// probe of one file (fileprobe.h), the queue that runs the probes of a list and writes their
// rows (probequeue.h), and the checks and private folders around them (probefolders.h).
#include "sources/fileprobe.h"
#include "sources/probefolders.h"
#include "sources/probeparse.h"
#include "sources/probequeue.h"
