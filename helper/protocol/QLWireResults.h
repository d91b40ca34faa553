#pragma once
// The message that carries repair results, written straight into a binary property list.
// libplist's writer looks every object up in a table that grows with the list and takes tens
// of seconds for a whole system's results; this one writes each result's strings and numbers
// once, shares the keys, class name and the few texts every result repeats, and takes time
// and memory in proportion to the results.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "helper/protocol/QLWireMessage.h"

namespace tarnix::wire {

// The body of a "reply" or "part" message with id `id` whose single value is the array of
// `results`, exactly as encodeMessage(kind, id, "", pack(results)) reads back.
std::string encodeResultsMessage(Kind kind, std::uint64_t id,
                                 std::span<const QLRepairPermissionsRepresentableResult> results);

struct ResultsMessage {
  Kind kind = Kind::reply;  // reply or part
  std::uint64_t id = 0;
  std::vector<QLRepairPermissionsRepresentableResult> results;
};

// The other way round, for the side that receives them: a "reply" or "part" whose only value is
// an array of results, read straight from its bytes instead of built as a property-list tree
// (libplist allocates every key and value of every result, several times the cost of the
// repair's own work on a whole system). Nothing when the body is any other message or has
// anything unusual about it (a missing or extra key, a refusal, text libplist would read
// differently, more than `frameLimit` allows): decodeMessage then decides. Whatever this reads,
// decodeMessage and unpack read the same.
std::optional<ResultsMessage> decodeResultsMessage(std::string_view body, std::size_t frameLimit);

}  // namespace tarnix::wire
