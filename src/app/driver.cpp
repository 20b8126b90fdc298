#include "app/driver.h"

#include <iostream>

#include "app/banner.h"
#include "app/timer_report.h"
#include "harness/harness_runner.h"

namespace brisk {

int perform_action(const Dispatch& dispatch, DriverSettings& settings, TopologyHolder& topology) {
  switch (dispatch.action) {
    case DriverAction::parse_error:
    case DriverAction::invalid_setting:
    case DriverAction::size_overflow:
    case DriverAction::help: {
      // A rejected command line's message goes to standard error, the help
      // to standard output.
      std::ostream& out = exit_status(dispatch.action) != 0 ? std::cerr : std::cout;
      for (const std::string& line : dispatch.lines) out << line << std::endl;
      break;
    }
    case DriverAction::banner:
      play_fish_banner();
      break;
    case DriverAction::topology_report:
      topology.get().print();
      break;
    case DriverAction::timer_report:
      print_timer_report();
      break;
    case DriverAction::run:
      run_harness(settings.harness, settings.config, topology);
      std::cout << "press enter to exit" << std::endl;
      std::cin.get();  // returns at once at end of input
      break;
  }
  return exit_status(dispatch.action);
}

int run_driver(int argc, const char* const* argv) {
  // Errors appear in order with the output around them, and at once.
  std::cerr.tie(&std::cout);
  std::cerr.setf(std::ios::unitbuf);
  std::cin.tie(&std::cout);

  DriverSettings settings;
  TopologyHolder topology;
  const Dispatch dispatch = choose_action(argc, argv, settings);
  return perform_action(dispatch, settings, topology);
}

}  // namespace brisk
