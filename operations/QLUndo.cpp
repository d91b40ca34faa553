#include "operations/QLUndo.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "bootconfig/QLBootloaderConfig.h"
#include "journal/QLJournalJson.h"
#include "operations/QLHelperArguments.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/TreeOperations.h"
#include "platform/VolumeTree.h"

namespace tarnix {
namespace {

using Status = QLUndoStep::Status;

constexpr std::size_t kLargestFile = 16u << 20;  // as bootloader files are read

// One item, file or variable of a run: what its first record found and what its last left.
struct Plan {
  QLJournalKind kind;
  std::string path;
  std::uint64_t newest = 0;
  QLJournalValue original;  // the oldest record's before: what the run replaced
  QLJournalValue left;      // the newest record's after: what the run left
  std::string kept;         // the oldest record's kept copy: the original bytes
  std::string backup;
  // An item's attributes, each of which the run may or may not have changed.
  std::optional<std::pair<std::int64_t, std::int64_t>> owner, group, mode;  // {original, left}
};

std::string text(const QLJournalValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
  if (const auto* digits = std::get_if<std::string>(&value)) return digits->empty() ? "empty" : *digits;
  return "none";
}

// A fingerprint or digest is shown by its first digits, as version control shows commits.
std::string shortText(const QLJournalValue& value) {
  const std::string whole = text(value);
  return std::holds_alternative<std::string>(value) && whole.size() > 12 ? whole.substr(0, 12) : whole;
}

std::int64_t octal(const QLJournalValue& value) {
  return std::strtol(std::get<std::string>(value).c_str(), nullptr, 8);
}

std::string octalText(std::int64_t mode) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%llo", static_cast<unsigned long long>(mode));
  return digits;
}

// Groups a run's records by what they change, in the order of their newest record, newest first.
std::vector<Plan> plansOf(const QLJournalRunContents& run) {
  std::vector<const QLJournalRecord*> records;
  records.reserve(run.records.size());
  for (const auto& record : run.records) records.push_back(&record);
  std::stable_sort(records.begin(), records.end(), [](auto* a, auto* b) { return a->seq < b->seq; });
  std::vector<Plan> plans;
  std::unordered_map<std::string, std::size_t> index;
  for (const auto* record : records) {
    const auto& change = record->change;
    const bool attribute = change.kind == QLJournalKind::owner || change.kind == QLJournalKind::group ||
                           change.kind == QLJournalKind::mode;
    // An item's three attributes share a plan; anything else has one of its own per path.
    const std::string key =
        (attribute ? std::string("item") : std::string(journalKindName(change.kind))) + ":" + change.path;
    auto [found, inserted] = index.try_emplace(key, plans.size());
    if (inserted) {
      plans.emplace_back();
      plans.back().kind = attribute ? QLJournalKind::owner : change.kind;
      plans.back().path = change.path;
    }
    Plan& plan = plans[found->second];
    plan.newest = record->seq;
    if (attribute) {
      auto& slot = change.kind == QLJournalKind::owner   ? plan.owner
                   : change.kind == QLJournalKind::group ? plan.group
                                                         : plan.mode;
      const auto value = [&](const QLJournalValue& v) {
        return change.kind == QLJournalKind::mode ? octal(v) : std::get<std::int64_t>(v);
      };
      if (!slot) slot.emplace(value(change.before), value(change.after));
      slot->second = value(change.after);
      continue;
    }
    if (inserted) {
      plan.original = change.before;
      plan.kept = change.kept;
    }
    plan.left = change.after;
    if (plan.backup.empty()) plan.backup = change.backup;
  }
  std::stable_sort(plans.begin(), plans.end(), [](const Plan& a, const Plan& b) { return a.newest > b.newest; });
  return plans;
}

// Where a value stands: what the run left (to be put back), what it replaced (already back), or
// neither (changed since).
enum class Standing { left, original, changed };
template <typename T>
Standing standing(const T& now, const T& left, const T& original) {
  if (now == left) return Standing::left;
  if (now == original) return Standing::original;
  return Standing::changed;
}

Status statusOf(Standing where, const QLUndoOptions& options) {
  if (where == Standing::original) return Status::alreadyBack;
  if (where == Standing::changed && !options.force) return Status::conflict;
  return options.dryRun ? Status::planned : Status::undone;
}

QLUndoStep stepFor(const Plan& plan) {
  QLUndoStep step;
  step.kind = plan.kind;
  step.path = plan.path;
  return step;
}

QLUndoOutcome refuse(std::string why) {
  QLUndoOutcome outcome;
  outcome.error = std::move(why);
  return outcome;
}

// The checks every undo makes before anything: a damaged journal is not acted on.
std::optional<std::string> damaged(const QLJournalRunContents& run) {
  if (!run.summary.damage.empty())
    return "the journal of run " + run.summary.header.run + " is damaged (" + run.summary.damage +
           "); nothing was changed";
  return std::nullopt;
}

// The recipe of every undo: check every plan first; refuse, or stop after a dry run, without
// changing anything; otherwise put back what passed, recording it in a run of its own.
template <typename Check, typename PutBack>
QLUndoOutcome undoPlans(const QLJournalRunContents& run, const QLJournalPlace& place, const QLUndoOptions& options,
                        QLJournalHeader header, const std::vector<Plan>& plans, Check check, PutBack putBack) {
  QLUndoOutcome outcome;
  for (std::size_t i = 0; i < plans.size(); ++i) outcome.steps.push_back(check(i));
  outcome.refused = outcome.count(Status::conflict) > 0;
  if (outcome.refused || options.dryRun) return outcome;

  header.undoes = run.summary.header.run;
  QLJournalRun journal({place}, std::move(header));
  for (std::size_t i = 0; i < plans.size(); ++i) {
    auto& step = outcome.steps[i];
    if (step.status != Status::undone) continue;
    const std::uint64_t recorded = journal.changes();
    if (std::string failure = putBack(i, journal); !failure.empty()) {
      step.status = Status::failed;
      step.message = std::move(failure);
      journal.noteFailedSince(recorded);
    }
  }
  journal.finish();
  if (journal.changes() > 0) outcome.undoRun = journal.id();
  outcome.journalFiles = journal.files();
  return outcome;
}

class VolumeUndo {
 public:
  VolumeUndo(const platform::VolumeHandle& volume, const QLJournalRunContents& run, const QLUndoOptions& options)
      : volume_(volume),
        run_(run),
        options_(options),
        place_(volumeJournal(volume)),
        trees_(platform::volumeTreesOf(volume)),
        tree_(trees_->open("")) {}

  QLUndoOutcome undo(QLJournalHeader header) {
    if (auto why = damaged(run_)) return refuse(std::move(*why));
    if (!tree_) return refuse("cannot open the volume " + volume_.mountPoint());
    const auto plans = plansOf(run_);
    return undoPlans(
        run_, place_, options_, std::move(header), plans, [&](std::size_t i) { return check(plans[i]); },
        [&](std::size_t i, QLJournalRun& journal) {
          return plans[i].kind == QLJournalKind::kext ? putKextBack(plans[i], journal) : putItemBack(plans[i], journal);
        });
  }

 private:
  QLUndoStep check(const Plan& plan) {
    QLUndoStep step = stepFor(plan);
    switch (plan.kind) {
      case QLJournalKind::owner: checkItem(plan, step); break;
      case QLJournalKind::kext: checkKext(plan, step); break;
      case QLJournalKind::backup:
        step.status = Status::noted;
        step.message = "a copy made for you at " + plan.backup + "; left as it is";
        break;
      default:
        step.status = Status::elsewhere;
        step.message = "belongs to no volume: undo it from the system journal (bramble undo --system)";
        break;
    }
    return step;
  }

  void checkItem(const Plan& plan, QLUndoStep& step) {
    const auto attributes = tree_->attributes(plan.path);
    if (!attributes) {
      step.status = options_.force ? Status::failed : Status::conflict;
      step.message = "it is no longer there";
      return;
    }
    Standing worst = Standing::original;
    const auto weigh = [&](const auto& slot, std::int64_t now, const char* what, auto show) {
      if (!slot) return;
      const Standing where = standing(now, slot->second, slot->first);
      if (!step.now.empty()) {
        step.now += " ";
        step.putBack += " ";
      }
      step.now += std::string(what) + show(now);
      step.putBack += std::string(what) + show(slot->first);
      if (where == Standing::changed) {
        worst = Standing::changed;
        step.message += std::string(step.message.empty() ? "" : "; ") + what + show(now) + " now, the run left " +
                        show(slot->second);
      } else if (where == Standing::left && worst == Standing::original) {
        worst = Standing::left;
      }
    };
    const auto decimal = [](std::int64_t value) { return std::to_string(value); };
    weigh(plan.owner, attributes->uid, "owner ", decimal);
    weigh(plan.group, attributes->gid, "group ", decimal);
    weigh(plan.mode, attributes->permissions(), "mode ", octalText);
    step.status = statusOf(worst, options_);
    if (step.status != Status::conflict) step.message.clear();
  }

  void checkKext(const Plan& plan, QLUndoStep& step) {
    const auto [folder, name] = splitKextPath(plan.path);
    if (!arguments::kextFolder(folder) || !arguments::isKextName(std::string(name))) {
      step.status = Status::failed;
      step.message = "not a kext in a kext folder; left alone";
      return;
    }
    const QLJournalValue now = fingerprint(plan.path);
    step.now = shortText(now);
    step.putBack = shortText(plan.original);
    const Standing where = standing(now, plan.left, plan.original);
    step.status = statusOf(where, options_);
    if (where == Standing::changed) step.message = "it changed since the run";
    if (step.status == Status::alreadyBack || std::holds_alternative<std::monostate>(plan.original)) return;
    // What the run replaced must be in its store to be put back.
    if (plan.kept.empty() || !platform::attributesBeneath(volume_, keptPath(plan))) {
      step.status = options_.force ? Status::failed : Status::conflict;
      step.message = "the kext it replaced is not in the journal's store (" + place_.shownFolder + "/" +
                     run_.summary.header.run + "/" + plan.kept + ")";
    }
  }

  std::string putItemBack(const Plan& plan, QLJournalRun& journal) {
    const auto attributes = tree_->attributes(plan.path);
    if (!attributes) return "it is no longer there";
    const auto uid = plan.owner ? static_cast<std::uint32_t>(plan.owner->first) : attributes->uid;
    const auto gid = plan.group ? static_cast<std::uint32_t>(plan.group->first) : attributes->gid;
    if (uid != attributes->uid || gid != attributes->gid) {
      if (uid != attributes->uid &&
          !journal.record({QLJournalKind::owner, plan.path, std::int64_t{attributes->uid}, std::int64_t{uid}, {}, {}}))
        return journal.error();
      if (gid != attributes->gid &&
          !journal.record({QLJournalKind::group, plan.path, std::int64_t{attributes->gid}, std::int64_t{gid}, {}, {}}))
        return journal.error();
      if (const int rc = tree_->changeOwner(plan.path, uid, gid))
        return "cannot set its owner: " + std::string(std::strerror(rc));
    }
    // A new owner clears set-id bits: the mode is put back after it, also when the run did not
    // change the mode itself.
    const auto afterOwner = tree_->attributes(plan.path);
    if (!afterOwner || afterOwner->isSymlink()) return {};
    const std::uint32_t mode = plan.mode ? static_cast<std::uint32_t>(plan.mode->first) : attributes->permissions();
    if (afterOwner->permissions() == mode) return {};
    // Recorded from the mode the item had before this undo, not the one the new owner left.
    if (!journal.record(
            {QLJournalKind::mode, plan.path, octalText(attributes->permissions()), octalText(mode), {}, {}}))
      return journal.error();
    if (const int rc = tree_->changePermissions(plan.path, mode))
      return "cannot set its mode: " + std::string(std::strerror(rc));
    return {};
  }

  std::string putKextBack(const Plan& plan, QLJournalRun& journal) {
    const QLJournalValue now = fingerprint(plan.path);
    const bool present = !std::holds_alternative<std::monostate>(now);
    const bool hadOne = !std::holds_alternative<std::monostate>(plan.original);
    std::string keptName;
    std::string kept;
    if (present) {
      // What is there now is kept in the undo's own store, so the undo can be undone.
      const auto store = journal.store();
      if (!store) return journal.error();
      keptName = "1-" + std::string(splitKextPath(plan.path).second);
      for (int n = 2; platform::attributesBeneath(volume_, *store + "/" + keptName); ++n)
        keptName = std::to_string(n) + "-" + std::string(splitKextPath(plan.path).second);
      kept = *store + "/" + keptName;
    }
    if (!journal.record({QLJournalKind::kext, plan.path, now, plan.original, keptName, {}})) return journal.error();
    if (!hadOne) {
      // The run installed it where there was none: it moves to the store.
      const int rc = platform::renameBeneath(volume_, plan.path, kept);
      return rc == 0 ? std::string() : "cannot move it away: " + std::string(std::strerror(rc));
    }
    // The kext the run replaced comes out of the run's store and trades places with the one
    // there now, in one step.
    const std::string source = keptPath(plan);
    if (!present) {
      const int rc = platform::renameBeneath(volume_, source, plan.path);
      return rc == 0 ? std::string() : "cannot move it back: " + std::string(std::strerror(rc));
    }
    if (const int rc = platform::renameBeneath(volume_, source, kept))
      return "cannot take it from the journal's store: " + std::string(std::strerror(rc));
    if (const int rc = platform::exchangeBeneath(volume_, kept, plan.path)) {
      platform::renameBeneath(volume_, kept, source);
      return "cannot swap it into place: " + std::string(std::strerror(rc));
    }
    return {};
  }

  QLJournalValue fingerprint(const std::string& path) const {
    if (!platform::attributesBeneath(volume_, path)) return std::monostate{};
    const auto described = platform::describeTreeBeneath(volume_, path);
    // Unreadable: a value no record holds, so it stands as changed.
    return described ? journalDigest(*described) : std::string("unreadable");
  }

  std::string keptPath(const Plan& plan) const {
    return place_.folder + "/" + run_.summary.header.run + "/" + plan.kept;
  }

  static std::pair<std::string, std::string_view> splitKextPath(std::string_view path) {
    const auto slash = path.rfind('/');
    return {std::string(path.substr(0, slash + 1)), path.substr(slash + 1)};
  }

  const platform::VolumeHandle& volume_;
  const QLJournalRunContents& run_;
  const QLUndoOptions& options_;
  QLJournalPlace place_;
  std::unique_ptr<platform::VolumeTrees> trees_;
  std::unique_ptr<platform::VolumeTree> tree_;
};

class SystemUndo {
 public:
  SystemUndo(const QLJournalPlace& place, const QLJournalRunContents& run, const QLUndoOptions& options,
             platform::FirmwareVariables& variables)
      : place_(place), run_(run), options_(options), variables_(variables) {}

  QLUndoOutcome undo(QLJournalHeader header) {
    if (auto why = damaged(run_)) return refuse(std::move(*why));
    const auto plans = plansOf(run_);
    std::vector<std::string> keptBytes(plans.size());
    return undoPlans(
        run_, place_, options_, std::move(header), plans, [&](std::size_t i) { return check(plans[i], keptBytes[i]); },
        [&](std::size_t i, QLJournalRun& journal) {
          return plans[i].kind == QLJournalKind::file ? putFileBack(plans[i], keptBytes[i], journal)
                                                      : putVariableBack(plans[i], journal);
        });
  }

 private:
  QLUndoStep check(const Plan& plan, std::string& keptBytes) {
    QLUndoStep step = stepFor(plan);
    if (plan.kind != QLJournalKind::file && plan.kind != QLJournalKind::nvram) {
      step.status = Status::elsewhere;
      step.message = "belongs to a volume: undo it from that volume's journal";
      return step;
    }
    const QLJournalValue now = plan.kind == QLJournalKind::file ? fileDigest(plan.path) : variableBytes(plan.path);
    step.now = shortText(now);
    step.putBack = shortText(plan.original);
    const Standing where = standing(now, plan.left, plan.original);
    step.status = statusOf(where, options_);
    if (where == Standing::changed) step.message = "it changed since the run";
    if (plan.kind != QLJournalKind::file || step.status == Status::alreadyBack) return step;
    // The dated copy holds what the save replaced; it must still be what the run kept.
    const auto* original = std::get_if<std::string>(&plan.original);
    const auto bytes = plan.kept.empty() ? std::nullopt : platform::readFile(plan.kept, kLargestFile);
    if (!original || !bytes || journalDigest(*bytes) != *original) {
      step.status = options_.force ? Status::failed : Status::conflict;
      step.message = original ? "the copy it kept (" + (plan.kept.empty() ? std::string("none") : plan.kept) +
                                    ") is missing or changed"
                              : "the file did not exist before the run; remove it yourself if you want";
      return step;
    }
    keptBytes = *bytes;
    return step;
  }

  std::string putFileBack(const Plan& plan, const std::string& bytes, QLJournalRun& journal) {
    std::string keptCopy;
    const int rc = QLBootloaderConfig::saveFile(plan.path, bytes, &journal, keptCopy);
    return rc == 0 ? std::string() : "cannot write it: " + std::string(std::strerror(rc));
  }

  std::string putVariableBack(const Plan& plan, QLJournalRun& journal) {
    const auto colon = plan.path.find(':');
    const std::string guid = plan.path.substr(0, colon);
    const std::string name = plan.path.substr(colon + 1);
    if (!journal.record({QLJournalKind::nvram, plan.path, variableBytes(plan.path), plan.original, {}, {}}))
      return journal.error();
    int rc = 0;
    if (const auto* hex = std::get_if<std::string>(&plan.original)) {
      const auto bytes = fromHex(*hex).value_or(std::string());
      rc = variables_.write(guid, name, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    } else {
      rc = variables_.remove(guid, name);
    }
    return rc == 0 ? std::string() : "cannot write the variable: " + std::string(std::strerror(rc));
  }

  static QLJournalValue fileDigest(const std::string& path) {
    if (!platform::pathExists(path)) return std::monostate{};
    const auto bytes = platform::readFile(path, kLargestFile);
    return bytes ? journalDigest(*bytes) : std::string("unreadable");
  }

  QLJournalValue variableBytes(const std::string& path) {
    const auto colon = path.find(':');
    const auto bytes = variables_.read(path.substr(0, colon), path.substr(colon + 1));
    if (!bytes) return std::monostate{};
    return toHex(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  }

  const QLJournalPlace& place_;
  const QLJournalRunContents& run_;
  const QLUndoOptions& options_;
  platform::FirmwareVariables& variables_;
};

}  // namespace

std::string_view undoStatusName(QLUndoStep::Status status) {
  static constexpr std::string_view kNames[] = {"undone", "planned",   "already-back", "conflict",
                                                "failed", "elsewhere", "noted"};
  return kNames[static_cast<std::size_t>(status)];
}

std::size_t QLUndoOutcome::count(QLUndoStep::Status status) const {
  return static_cast<std::size_t>(
      std::count_if(steps.begin(), steps.end(), [&](const QLUndoStep& step) { return step.status == status; }));
}

QLUndoOutcome undoVolumeRun(const platform::VolumeHandle& volume, const QLJournalRunContents& run,
                            const QLUndoOptions& options, QLJournalHeader header) {
  return VolumeUndo(volume, run, options).undo(std::move(header));
}

QLUndoOutcome undoSystemRun(const QLJournalPlace& place, const QLJournalRunContents& run, const QLUndoOptions& options,
                            platform::FirmwareVariables& variables, QLJournalHeader header) {
  return SystemUndo(place, run, options, variables).undo(std::move(header));
}

}  // namespace tarnix
