// The four driver modes the command line can ask for besides a run.
#pragma once

namespace brisk {

struct ModeFlags {
  bool brisk = false;        // "--brisk": the fish banner
  bool help = false;         // "-?", "-h", "--help"
  bool topo_debug = false;   // "--topo-debug"
  bool timer_debug = false;  // "--timer-debug"
};

}  // namespace brisk
