// SPDX-License-Identifier: GPL-3.0-or-later
// Storing a transmitter's readings through the history's own import, as one source per batch
// that names the transmitter, so that duplicates and conflicts follow the history's rules.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "monitor/monitor_config.h"

namespace tarn {

// The probe a transmitter's readings belong to, with the header its section gives.
ProbeKey TransmitterProbeKey(const TransmitterConfig& t);
ProbeHeader TransmitterProbeHeader(const TransmitterConfig& t);

// Imports the readings (in time order) as one source named after the transmitter.
ImportResult StoreTransmitterReadings(HistoryStore& store, const TransmitterConfig& t,
                                      const std::deque<HistoryReading>& readings);

// Places at their configured POINT the probes of the transmitters `todo` names (indexes into
// `transmitters`) that the history holds, unless already there; those placed or found in place
// leave `todo`, and their tags and points go to *placed.
Status PlaceTransmitterProbes(HistoryStore& store,
                              const std::vector<const TransmitterConfig*>& transmitters,
                              std::vector<std::size_t>* todo, std::vector<std::string>* placed);

}  // namespace tarn
