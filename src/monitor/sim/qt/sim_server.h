// SPDX-License-Identifier: GPL-3.0-or-later
// A Modbus server (TCP or RTU) that answers input-register reads from the simulated transmitters'
// values at the moment of the request, and refuses every other function.
#pragma once

#include <QElapsedTimer>
#include <QModbusDataUnit>
#include <QModbusPdu>
#include <cstdio>

#include "monitor/sim/sim_options.h"

namespace tarn {

// The simulator's time since start: real seconds for the silent windows, scaled for the values.
class SimClock {
 public:
  SimClock(double time_scale) : scale_(time_scale) { timer_.start(); }
  double RealSeconds() const { return static_cast<double>(timer_.nsecsElapsed()) * 1e-9; }
  double SimSeconds() const { return RealSeconds() * scale_; }

 private:
  QElapsedTimer timer_;
  double scale_;
};

template <class Base>
class SimServer : public Base {
 public:
  SimServer(const RegisterIndex& index, const SimClock& clock) : index_(index), clock_(clock) {}
  // Each answered read is written to `log` as "seconds-since-start first-register count".
  void SetLog(std::FILE* log) { log_ = log; }

 protected:
  bool readData(QModbusDataUnit* unit) const override {
    if (unit->registerType() != QModbusDataUnit::InputRegisters) return false;
    const double t = clock_.SimSeconds();
    for (qsizetype i = 0; i < unit->valueCount(); ++i) {
      uint16_t v = 0;
      if (!index_.ValueAt(unit->startAddress() + static_cast<int>(i), t, v)) return false;
      unit->setValue(i, v);
    }
    return true;
  }

  bool writeData(const QModbusDataUnit&) override { return false; }

  // A transmitter is read-only: input registers and nothing else.
  QModbusResponse processRequest(const QModbusPdu& request) override {
    if (request.functionCode() != QModbusPdu::ReadInputRegisters)
      return QModbusExceptionResponse(request.functionCode(),
                                      QModbusExceptionResponse::IllegalFunction);
    QModbusResponse response = Base::processRequest(request);
    if (log_ != nullptr && !response.isException()) {
      quint16 first = 0, count = 0;
      request.decodeData(&first, &count);
      std::fprintf(log_, "%.3f %u %u\n", clock_.RealSeconds(), first, count);
    }
    return response;
  }

 private:
  const RegisterIndex& index_;
  const SimClock& clock_;
  std::FILE* log_ = nullptr;
};

}  // namespace tarn
