#pragma once
// The message that carries repair results, written straight into a binary property list.
// libplist's writer looks every object up in a table that grows with the list and takes tens
// of seconds for a whole system's results; this one writes each result's strings and numbers
// once, shares the keys, class name and the few texts every result repeats, and takes time
// and memory in proportion to the results.
#include <cstdint>
#include <span>
#include <string>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "helper/protocol/QLWireMessage.h"

namespace tarnix::wire {

// The body of a "reply" or "part" message with id `id` whose single value is the array of
// `results`, exactly as encodeMessage(kind, id, "", pack(results)) reads back.
std::string encodeResultsMessage(Kind kind, std::uint64_t id,
                                 std::span<const QLRepairPermissionsRepresentableResult> results);

}  // namespace tarnix::wire
