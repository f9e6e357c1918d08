// A Modbus server (TCP or RTU) that answers input-register reads from the simulated transmitters'
// values at the moment of the request, and refuses every other function.
#pragma once

#include <QElapsedTimer>
#include <QModbusDataUnit>
#include <QModbusPdu>

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
    return Base::processRequest(request);
  }

 private:
  const RegisterIndex& index_;
  const SimClock& clock_;
};

}  // namespace tarn
