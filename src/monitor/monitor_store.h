// SPDX-License-Identifier: GPL-3.0-or-later
// Storing a transmitter's readings through the history's own import, as one source per batch
// that names the transmitter, so that duplicates and conflicts follow the history's rules.
#pragma once

#include <deque>

#include "history/history_store.h"
#include "monitor/monitor_config.h"

namespace tarn {

// The probe a transmitter's readings belong to, with the header its section gives.
ProbeKey TransmitterProbeKey(const TransmitterConfig& t);
ProbeHeader TransmitterProbeHeader(const TransmitterConfig& t);

// Imports the readings (in time order) as one source named after the transmitter.
ImportResult StoreTransmitterReadings(HistoryStore& store, const TransmitterConfig& t,
                                      const std::deque<HistoryReading>& readings);

}  // namespace tarn
