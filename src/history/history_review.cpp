// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_review.h"

#include <algorithm>
#include <string>

namespace tarn {

SecondPlan PlanUnimportSecond(int64_t file_id, const std::vector<SecondConflict>& conflicts,
                              bool reading_removed, double value) {
  SecondPlan plan;
  const double original = FirstStored(conflicts, value);
  std::vector<SecondConflict> rest;
  bool offered_now = false;  // the reading holds a value the file offered
  for (const SecondConflict& c : conflicts) {
    if (c.file_id == file_id) {
      plan.drop.push_back(c.id);
      offered_now = offered_now || (!reading_removed && c.offered == value);
    } else {
      rest.push_back(c);
    }
  }
  // Every conflict left is measured against the one value stored for the second.
  auto rebase_onto = [&](double stored, std::size_t from) {
    for (std::size_t i = from; i < rest.size(); ++i) {
      if (rest[i].offered == stored) {
        plan.drop.push_back(rest[i].id);
      } else if (rest[i].stored != stored) {
        plan.rebase.emplace_back(rest[i].id, stored);
      }
    }
  };
  if (reading_removed) {
    if (rest.empty()) return plan;
    // As if the file had never come: the first later offer would have been stored.
    plan.promote = true;
    plan.value = rest.front().offered;
    plan.file_id = rest.front().file_id;
    plan.drop.push_back(rest.front().id);
    rebase_onto(plan.value, 1);
    return plan;
  }
  const bool offered_elsewhere = std::any_of(
      rest.begin(), rest.end(), [&](const SecondConflict& c) { return c.offered == value; });
  if (offered_now && value != original && !offered_elsewhere) {
    plan.write_value = true;
    plan.value = original;
  }
  rebase_onto(original, 0);
  return plan;
}

std::string ProbeKeyNames(const std::vector<ProbeKey>& keys) {
  std::string out;
  for (const ProbeKey& k : keys) {
    if (!out.empty()) out += ", ";
    out += k.serial.empty() ? k.tag : k.tag + " " + k.serial;
  }
  return out;
}

}  // namespace tarn
