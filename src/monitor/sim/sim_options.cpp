// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/sim/sim_options.h"

#include <cmath>

#include "common/number_text.h"

namespace tarn {
namespace {

// Highest input register a transmitter may start at: the protocol's addresses are 16 bits.
constexpr int kMaxRegister = 65535;

bool WholeInt(std::string_view text, int low, int high, int& out) {
  double v = 0;
  if (!ParseWholeNumber(text, &v) || v != std::floor(v) || v < low || v > high) return false;
  out = static_cast<int>(v);
  return true;
}

bool Finite(std::string_view text, double& out) {
  return ParseWholeNumber(text, &out) && std::isfinite(out);
}

}  // namespace

std::string SimUsage() {
  return "usage: tarn-transmitter-sim [--tcp [HOST:]PORT] [--rtu] [--baud N] [--unit ID]\n"
         "                            [--er SPEC]... [--lpr SPEC]... [--time-scale K]\n"
         "                            [--silent AT+FOR]... [--log FILE]\n"
         "  Serves input registers (function 4) of simulated transmitters over Modbus TCP\n"
         "  and/or Modbus RTU on a pseudo-terminal, and prints each address it serves.\n"
         "  SPEC: key=value,... with register, count; ER: span, loss-unit (MILS|MM),\n"
         "  rate (per year), start; LPR: rate (mpy).\n";
}

bool ParseTransmitterSettings(TransmitterKind kind, std::string_view settings,
                              std::vector<SimTransmitter>& out, std::string& error) {
  SimTransmitter t;
  t.kind = kind;
  int count = 1;
  std::string_view rest = settings;
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
      error = "'" + std::string(item) + "' is not key=value";
      return false;
    }
    const std::string key(item.substr(0, eq));
    const std::string_view value = item.substr(eq + 1);
    const bool er = kind == TransmitterKind::kEr;
    bool ok = true;
    if (key == "register") {
      ok = WholeInt(value, 0, kMaxRegister, t.first_register);
    } else if (key == "count") {
      ok = WholeInt(value, 1, kMaxRegister + 1, count);
    } else if (key == "rate") {
      ok = Finite(value, t.rate);
    } else if (er && key == "span") {
      ok = Finite(value, t.span) && t.span > 0;
    } else if (er && key == "start") {
      ok = Finite(value, t.start_loss) && t.start_loss >= 0;
    } else if (er && key == "loss-unit") {
      if (value == "MILS") {
        t.unit = LossUnit::kMils;
      } else if (value == "MM") {
        t.unit = LossUnit::kMm;
      } else {
        ok = false;
      }
    } else {
      error = "unknown key '" + key + "' for " + (er ? "--er" : "--lpr");
      return false;
    }
    if (!ok) {
      error = "bad value for " + key + ": '" + std::string(value) + "'";
      return false;
    }
  }
  const int width = RegisterCount(kind);
  if (t.first_register + count * width - 1 > kMaxRegister) {
    error = "registers run past " + std::to_string(kMaxRegister);
    return false;
  }
  for (int i = 0; i < count; ++i) {
    out.push_back(t);
    t.first_register += width;
  }
  return true;
}

bool ParseSimArgs(const std::vector<std::string>& args, SimOptions& o, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      return true;
    }
    if (a == "--rtu") {
      o.rtu = true;
      continue;
    }
    if (a.rfind("--", 0) != 0) {
      error = "unexpected argument '" + a + "'";
      return false;
    }
    if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    bool ok = true;
    if (a == "--tcp") {
      o.tcp = true;
      const size_t colon = v.rfind(':');
      if (colon != std::string::npos) {
        o.tcp_host = v.substr(0, colon);
        ok = !o.tcp_host.empty();
      }
      ok = ok &&
           WholeInt(colon == std::string::npos ? v : v.substr(colon + 1), 0, 65535, o.tcp_port);
    } else if (a == "--baud") {
      ok = WholeInt(v, 1, 4000000, o.baud);
    } else if (a == "--unit") {
      ok = WholeInt(v, 1, 247, o.unit_id);
    } else if (a == "--time-scale") {
      ok = Finite(v, o.time_scale) && o.time_scale > 0;
    } else if (a == "--silent") {
      const size_t plus = v.find('+');
      SilentWindow w;
      ok = plus != std::string::npos && Finite(v.substr(0, plus), w.from_seconds) &&
           Finite(v.substr(plus + 1), w.length_seconds) && w.from_seconds >= 0 &&
           w.length_seconds > 0;
      if (ok) o.silent.push_back(w);
    } else if (a == "--log") {
      o.log = v;
    } else if (a == "--er" || a == "--lpr") {
      std::string why;
      if (!ParseTransmitterSettings(a == "--er" ? TransmitterKind::kEr : TransmitterKind::kLpr, v,
                                    o.transmitters, why)) {
        error = a + " " + v + ": " + why;
        return false;
      }
    } else {
      error = "unknown option '" + a + "'";
      return false;
    }
    if (!ok) {
      error = "bad value for " + a + ": '" + v + "'";
      return false;
    }
  }
  if (!o.tcp && !o.rtu) o.tcp = true;
  if (o.transmitters.empty()) o.transmitters.push_back(SimTransmitter{});
  return true;
}

bool SilentAt(const std::vector<SilentWindow>& windows, double elapsed_seconds) {
  for (const SilentWindow& w : windows) {
    if (elapsed_seconds >= w.from_seconds && elapsed_seconds < w.from_seconds + w.length_seconds)
      return true;
  }
  return false;
}

bool RegisterIndex::Build(const std::vector<SimTransmitter>& transmitters, std::string& error) {
  transmitters_ = transmitters;
  owner_.clear();
  for (size_t k = 0; k < transmitters_.size(); ++k) {
    const SimTransmitter& t = transmitters_[k];
    const int end = t.first_register + RegisterCount(t.kind);
    if (static_cast<int>(owner_.size()) < end) owner_.resize(end, -1);
    for (int r = t.first_register; r < end; ++r) {
      if (owner_[r] >= 0) {
        error = "two transmitters share input register " + std::to_string(r);
        return false;
      }
      owner_[r] = static_cast<int>(k);
    }
  }
  return true;
}

bool RegisterIndex::ValueAt(int address, double elapsed_seconds, uint16_t& value) const {
  if (address < 0 || address >= static_cast<int>(owner_.size()) || owner_[address] < 0)
    return false;
  const SimTransmitter& t = transmitters_[owner_[address]];
  value = TransmitterRegister(t, address - t.first_register, elapsed_seconds);
  return true;
}

}  // namespace tarn
