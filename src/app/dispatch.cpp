#include "app/dispatch.h"

#include "app/help.h"
#include "app/options.h"
#include "app/validation.h"

namespace brisk {

int exit_status(DriverAction action) {
  switch (action) {
    case DriverAction::parse_error:
    case DriverAction::invalid_setting:
    case DriverAction::size_overflow:
      return 1;
    case DriverAction::banner:
    case DriverAction::help:
    case DriverAction::topology_report:
    case DriverAction::timer_report:
    case DriverAction::run:
      return 0;
  }
  return 0;
}

Dispatch choose_action(int argc, const char* const* argv, DriverSettings& settings) {
  const argparse::Parser parser =
      build_parser(settings.config, settings.harness, settings.modes, settings.exports,
                   settings.compare);
  const argparse::ParseResult parsed = parser.parse(argc, argv);
  if (!parsed.ok()) return {DriverAction::parse_error, {*parsed.error}};
  // The banner wins over every other request; nothing is validated on its path.
  if (settings.modes.brisk) return {DriverAction::banner, {}};
  if (auto failure = validate_settings(settings.config)) {
    return {DriverAction::invalid_setting, {*failure}};
  }
  if (auto failure = settings.exports.validate()) {
    return {DriverAction::invalid_setting, {*failure}};
  }
  if (auto failure =
          validate_compare_settings(settings.compare, settings.compare.compare_to_given)) {
    return {DriverAction::invalid_setting, {*failure}};
  }
  if (settings.modes.help) {
    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    return {DriverAction::help, help_lines(parser, argparse::program_name(argv0))};
  }
  if (settings.modes.topo_debug) return {DriverAction::topology_report, {}};
  if (settings.modes.timer_debug) return {DriverAction::timer_report, {}};
  if (auto failure = check_size_overflow(settings.config.size)) {
    return {DriverAction::size_overflow, {*failure}};
  }
  return {DriverAction::run, {}};
}

}  // namespace brisk
