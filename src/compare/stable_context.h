// The facts of a results document that stay the same from run to run on one
// machine with one build: what "same machine" means for brisk compare and for
// the history. Available memory and measured timer frequencies are left out on
// purpose: they change between two runs on the same machine.
#pragma once

#include <string>
#include <vector>

#include "compare/comparison.h"
#include "compare/results_document.h"

namespace brisk {

// One text per stable machine fact, in a fixed order, named as in the results
// JSON ("cpu.brand", "cpu.features", "topology.cores", "memory.total_bytes",
// "os.name", "os.version", "os.wine", "cpu.hypervisor", ...). Two documents
// come from the same machine exactly when these are equal.
std::vector<std::pair<std::string, std::string>> machine_facts(const ResultsDocument& document);
// The same for the build ("brisk.version", "brisk.compiler", "brisk.target")
// and for the settings the command line gave ("settings.isa", ...,
// "settings.numthreads" is "auto" for 0) with the sweep's variable last.
std::vector<std::pair<std::string, std::string>> build_facts(const ResultsDocument& document);
std::vector<std::pair<std::string, std::string>> settings_facts(const ResultsDocument& document);

// A short key equal for two documents exactly when machine_facts are equal
// (a hash written in hex); for grouping many documents quickly.
std::string machine_key(const ResultsDocument& document);

// Every stable fact (machine, build, settings) that is not the same in all of
// `files`, in the order above.
std::vector<ContextDifference> stable_differences(const std::vector<ComparedFile>& files);

// Whether two runs' settings are the same in everything that changes a score
// (threads, size, duration, isa, workload, threading, large pages, and the
// kind of page the fields got where both sides know it); when not,
// `differing` gets one entry per setting: "threads 2 vs 4".
bool same_run_settings(const RunSettings& base, const RunSettings& other,
                       std::vector<std::string>* differing = nullptr);

}  // namespace brisk
